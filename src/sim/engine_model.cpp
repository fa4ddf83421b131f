#include "sim/engine_model.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {
constexpr double kDriveCycleMs = 40000.0;
} // namespace

EngineModel::EngineModel(quint32 seed) : random_(seed) {}

int EngineModel::noise(int amplitude)
{
    std::uniform_int_distribution<int> d(-amplitude, amplitude);
    return d(random_);
}

void EngineModel::requestChangeover(qint64 nowMs)
{
    settle(nowMs);
    if (changeoverState_ != 0) return;
    changeoverState_ = onPetrol_ ? 2 : 1;
    stateSinceMs_ = nowMs;
}

bool EngineModel::onPetrol(qint64 nowMs)
{
    settle(nowMs);
    return onPetrol_;
}

void EngineModel::settle(qint64 nowMs)
{
    while (changeoverState_ != 0 && nowMs - stateSinceMs_ >= changeoverStepMs) {
        stateSinceMs_ += changeoverStepMs;
        if (changeoverState_ == 1) {
            onPetrol_ = true;
            changeoverState_ = 0;
        } else if (changeoverState_ == 5) {
            onPetrol_ = false;
            changeoverState_ = 0;
        } else {
            ++changeoverState_;
        }
    }
}

EngineModel::Readings EngineModel::read(qint64 nowMs)
{
    settle(nowMs);
    Readings r;
    const double t = static_cast<double>(nowMs);
    const double phase = 2.0 * std::numbers::pi * t / kDriveCycleMs;

    // idle at about 850 rpm, up to about 3300 and back over the cycle
    double rpm = heldSteady_ ? static_cast<double>(heldRpm) : 850.0 + 1250.0 * (1.0 - std::cos(phase));
    r.rpm = engineStopped ? 0 : std::max(0, static_cast<int>(rpm) + noise(15));

    const double load = heldSteady_ ? 0.5 : 0.5 + 0.5 * std::sin(phase + 0.6);
    const int baseTinj = heldSteady_ ? 600 : static_cast<int>(260 + rpm * 0.12 + load * 450.0);
    for (int c = 1; c <= kCylinderCount; ++c)
        r.petrolTinj[c] = (c <= cylinders && !engineStopped) ? baseTinj + (c - 2) * 6 + noise(8) : 0;

    // switching 0-1 V sensors, about one swing a second; the second one lags behind
    const double swing = std::sin(2.0 * std::numbers::pi * t / 1100.0);
    r.lambda1Mv =
        lambda1Unplugged ? 3 : std::clamp(450 + static_cast<int>(380.0 * swing) + noise(10), 40, 950);
    const double swing2 = std::sin(2.0 * std::numbers::pi * (t - 350.0) / 1300.0);
    r.lambda2Mv = std::clamp(450 + static_cast<int>(350.0 * swing2) + noise(10), 40, 950);

    // regulator warms up from 18 degrees towards 70; water (sensor 2) towards 88
    const double warm = 1.0 - std::exp(-t / 90000.0);
    r.temperature1 = temperature1Unplugged ? 0 : 18 + static_cast<int>(52.0 * warm);
    r.temperature2Raw = 40 + 18 + static_cast<int>(70.0 * warm);

    const int pressure = (onPetrol_ ? 1020 : 1100) - static_cast<int>(60.0 * load) + noise(6);
    r.pressureMbar = pressureUnplugged ? 10 : pressure;
    r.pressure2Mbar = pressure - 40 + noise(4);

    // the tank empties slowly: 3200 mV falling by 1 mV every 2 s
    r.levelMv = std::max(600, 3200 - static_cast<int>(t / 2000.0) + noise(25));

    r.ecuState = changeoverState_;
    r.onPetrol = onPetrol_ ? 1 : 0;
    if (engineStopped) r.ecuState = 7;
    return r;
}
