#pragma once

#include "ui/params/parameter_page.h"

// Cutoff: the engine speed and injection time below which gas injection stops, and the gas
// coefficient used meanwhile (parameters 31, 32, 33).
class CutoffPage : public ParameterPage {
    Q_OBJECT
public:
    explicit CutoffPage(AppContext& context);

protected:
    std::span<const Caption> captions() const override;
};
