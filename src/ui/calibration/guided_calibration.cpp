#include "ui/calibration/guided_calibration.h"

#include "link/frames.h"
#include "link/parameter_catalogue.h"
#include "ui/calibration/corrective_rules.h"

#include <array>

namespace {

int* modeFlag(SharedState& state, GuidedCalibration::Kind kind)
{
    switch (kind) {
    case GuidedCalibration::Kind::SwitchingRpm:
        return &state.switchingRpmMode;
    case GuidedCalibration::Kind::Pressure:
        return &state.calibrationPressureMode;
    case GuidedCalibration::Kind::Temperature:
        return &state.calibrationTemperatureMode;
    case GuidedCalibration::Kind::Coils:
        return &state.coilCalibrationMode;
    case GuidedCalibration::Kind::None:
        break;
    }
    return nullptr;
}

} // namespace

GuidedCalibration::Kind GuidedCalibration::atPosition(int position)
{
    switch (position) {
    case 2:
        return Kind::SwitchingRpm;
    case 3:
        return Kind::Pressure;
    case 4:
        return Kind::Temperature;
    case 5:
        return Kind::Coils;
    default:
        return Kind::None;
    }
}

int GuidedCalibration::parameterOf(Kind kind)
{
    switch (kind) {
    case Kind::SwitchingRpm:
        return param::changeoverRpm;
    case Kind::Pressure:
        return param::calibrationPressure;
    case Kind::Temperature:
        return param::calibrationTemperature;
    default:
        return 0;
    }
}

GuidedCalibration::Kind GuidedCalibration::running() const
{
    if (state_.coilCalibrationMode == 1) return Kind::Coils;
    if (state_.switchingRpmMode == 1) return Kind::SwitchingRpm;
    if (state_.calibrationPressureMode == 1) return Kind::Pressure;
    if (state_.calibrationTemperatureMode == 1) return Kind::Temperature;
    return Kind::None;
}

void GuidedCalibration::start(Kind kind)
{
    if (kind == Kind::Coils) {
        state_.calibrationExtraReceived = 0;
        state_.coilCalibrationAbort = 0;
        state_.trialCoilCount = 1;
        coilsConfirmed_ = false;
    }
    if (int* flag = modeFlag(state_, kind)) *flag = 1;
}

bool GuidedCalibration::injectorsShown() const
{
    return running() == Kind::Coils && coilsConfirmed_ && state_.calibrationExtraReceived == 1 &&
           state_.coilCalibrationAbort == 0;
}

std::vector<WriteValue> GuidedCalibration::store(int value) const
{
    if (const int id = parameterOf(running())) return {{{false, id}, value}};
    return {};
}

std::vector<WriteValue> GuidedCalibration::storeCoils() const
{
    return {{{false, param::coilCount}, state_.trialCoilCount},
            {{false, param::injectorCount}, injectorCountOf(state_.calibrationExtra)}};
}

GuidedCalibration::Kind GuidedCalibration::finishWrite()
{
    const Kind kind = running();
    if (kind == Kind::Coils)
        endCoils();
    else if (int* flag = modeFlag(state_, kind))
        *flag = 0;
    return kind;
}

GuidedCalibration::CoilStep GuidedCalibration::coilTick()
{
    if (state_.calibrationExtraReceived == 0) return CoilStep::AskInjectors;
    if (state_.coilCalibrationAbort == 1) {
        endCoils();
        return CoilStep::Abandoned;
    }
    return CoilStep::InjectorsIn;
}

GuidedCalibration::Kind GuidedCalibration::abandon()
{
    const Kind kind = running();
    if (kind == Kind::Coils)
        state_.coilCalibrationAbort = 1;
    else if (int* flag = modeFlag(state_, kind))
        *flag = 0;
    return kind;
}

void GuidedCalibration::endCoils()
{
    state_.coilCalibrationMode = 0;
    state_.calibrationExtraReceived = 0;
    coilsConfirmed_ = false;
}

void GuidedCalibration::drop()
{
    abandon();
    if (running() == Kind::Coils) endCoils();
}

void GuidedCalibration::stopWaiting()
{
    if (running() == Kind::Coils) endCoils();
}
