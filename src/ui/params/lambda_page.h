#pragma once

#include "ui/params/parameter_page.h"

// The oxygen-sensor parameters: the type of each sensor, its lean and rich thresholds, and the
// engine speed above which the lambda correction works.
class LambdaPage : public ParameterPage {
    Q_OBJECT
public:
    explicit LambdaPage(AppContext& context);

protected:
    void onActivate() override;
    std::span<const Caption> captions() const override;
};
