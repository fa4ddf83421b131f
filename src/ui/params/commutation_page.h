#pragma once

#include "ui/params/parameter_page.h"

// The change-over between petrol and gas: overlap times, the speed, temperature and start filter
// that allow gas, the pressure that means an empty tank, the moment of the change, the switch fitted
// and warm switching.
class CommutationPage : public ParameterPage {
    Q_OBJECT
public:
    explicit CommutationPage(AppContext& context);

protected:
    std::span<const Caption> captions() const override;
};
