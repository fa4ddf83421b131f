#pragma once

#include "ui/params/parameter_page.h"

// The installation: coils and injectors, the calibration pressure and temperature, the temperature
// range, the speed above which the pressure correction applies and the pressure sensor fitted.
class OtherPage : public ParameterPage {
    Q_OBJECT
public:
    explicit OtherPage(AppContext& context);

protected:
    std::span<const Caption> captions() const override;
};
