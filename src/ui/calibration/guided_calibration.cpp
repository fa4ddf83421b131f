#include "ui/calibration/guided_calibration.h"

#include "link/frames.h"
#include "link/parameter_catalogue.h"
#include "link/write_walk.h"
#include "ui/calibration/corrective_rules.h"

#include <array>

namespace {

// the coil count goes before the injectors
constexpr std::array<int, 2> kCoilOrder = {param::coilCount, param::injectorCount};

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
    lastSent_ = 0;
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

void GuidedCalibration::store(int value)
{
    if (const int id = parameterOf(running())) state_.pendingParameterValues[id] = value;
}

void GuidedCalibration::storeCoils()
{
    state_.pendingParameterValues[param::injectorCount] = injectorCountOf(state_.calibrationExtra);
    state_.pendingParameterValues[param::coilCount] = state_.trialCoilCount;
}

GuidedCalibration::WriteStep GuidedCalibration::nextWrite()
{
    const Kind kind = running();
    if (kind == Kind::None) return {};
    std::optional<int> id;
    if (kind == Kind::Coils) {
        id = nextParameterToWrite(state_, kCoilOrder);
    } else {
        const int only[] = {parameterOf(kind)};
        id = nextParameterToWrite(state_, only);
    }
    if (!id) {
        if (kind == Kind::Coils)
            endCoils();
        else
            *modeFlag(state_, kind) = 0;
        return {QByteArray(), kind};
    }
    lastSent_ = *id;
    // store checked the value against what the frame carries
    return {frames::writeParameter(*id, state_.pendingParameterValues[*id]).value_or(QByteArray()),
            Kind::None, *id};
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

GuidedCalibration::Kind GuidedCalibration::abandon(bool keepSent)
{
    const Kind kind = running();
    const auto giveUp = [&](int id) {
        if (!keepSent || id != lastSent_) state_.pendingParameterValues[id] = state_.parameterValues[id];
    };
    if (kind == Kind::Coils) {
        state_.coilCalibrationAbort = 1;
        for (const int id : kCoilOrder)
            giveUp(id);
    } else if (kind != Kind::None) {
        *modeFlag(state_, kind) = 0;
        giveUp(parameterOf(kind));
    }
    lastSent_ = 0;
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
    // no echo can come on a lost port: nothing sent is kept
    abandon(false);
    if (running() == Kind::Coils) endCoils();
}

void GuidedCalibration::stopWaiting()
{
    if (running() == Kind::Coils) endCoils();
}

std::vector<int> GuidedCalibration::unconfirmed() const
{
    const Kind kind = running();
    std::vector<int> ids;
    const auto note = [&](int id) {
        if (id != 0 && state_.pendingParameterValues[id] != state_.parameterValues[id]) ids.push_back(id);
    };
    if (kind == Kind::Coils) {
        for (const int id : kCoilOrder)
            note(id);
    } else {
        note(parameterOf(kind));
    }
    return ids;
}
