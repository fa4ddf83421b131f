#include "sim/engine_model.h"

#include <QStringList>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <random>

namespace {

constexpr qint64 kStepMs = 20;
// A caller that comes back after a long silence finds the engine as it would be by then, without
// replaying every step of it.
constexpr qint64 kCatchUpMs = 120000;
constexpr double kPi = std::numbers::pi;

// The trim a petrol ECU allows itself before it gives up correcting.
constexpr double kTrimMin = 0.6;
constexpr double kTrimMax = 1.6;

// Cylinder 1 is the one the calibration replies report; the others deviate a little.
constexpr double kCylinderOffset[kCylinderCount] = {0.0, 0.006, -0.004, 0.003, 0.0, 0.0, 0.0, 0.0};

quint64 splitMix(quint64 x)
{
    x += 0x9E3779B97F4A7C15ULL;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ULL;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBULL;
    return x ^ (x >> 31);
}

// Numbers in [0, 1) from a generator whose sequence the standard fixes, so a seed gives the same
// car everywhere (the standard distributions may differ between libraries).
double unit(std::mt19937& random)
{
    return static_cast<double>(random()) / 4294967296.0;
}

double smoothStep(double x)
{
    return x * x * (3.0 - 2.0 * x);
}

} // namespace

EngineModel::EngineModel(quint32 seed)
{
    setSeed(seed);
}

std::optional<EngineModel::KgbError> EngineModel::parseKgbError(const QString& text)
{
    const QStringList parts = text.split(QLatin1Char(':'));
    if (parts.size() != 2) return std::nullopt;
    KgbError error;
    const QString shape = parts[0].trimmed().toLower();
    if (shape == QLatin1String("flat"))
        error.shape = KgbError::Shape::Flat;
    else if (shape == QLatin1String("tilt"))
        error.shape = KgbError::Shape::Tilt;
    else if (shape == QLatin1String("wave"))
        error.shape = KgbError::Shape::Wave;
    else
        return std::nullopt;
    bool ok = false;
    error.percent = parts[1].trimmed().toDouble(&ok);
    if (!ok || !(error.percent >= -50.0 && error.percent <= 150.0)) return std::nullopt;
    return error;
}

void EngineModel::setSeed(quint32 seed)
{
    seed_ = seed;
    buildTrueMap();
    buildLap();
}

void EngineModel::setKgbError(const KgbError& error)
{
    kgbError_ = error;
    buildTrueMap();
}

void EngineModel::buildTrueMap()
{
    std::mt19937 random(seed_ ^ 0x5EEDu);
    const double angle = 2.0 * kPi * unit(random);
    const double phase1 = 2.0 * kPi * unit(random);
    const double phase2 = 2.0 * kPi * unit(random);
    const double a = kgbError_.percent / 100.0;
    for (int r = 0; r < 8; ++r) {
        for (int c = 0; c < 8; ++c) {
            const double u = c / 7.0;
            const double v = r / 7.0;
            double e = a;
            if (kgbError_.shape == KgbError::Shape::Tilt) {
                // largest in one corner, opposite in the other
                const double along = std::cos(angle) * (2 * u - 1) + std::sin(angle) * (2 * v - 1);
                e = a * along / (std::abs(std::cos(angle)) + std::abs(std::sin(angle)));
            } else if (kgbError_.shape == KgbError::Shape::Wave) {
                // less than one swell across either axis: smooth from cell to cell
                e = a * (0.6 * std::sin(1.4 * kPi * u + phase1) + 0.4 * std::cos(1.1 * kPi * v + phase2));
            }
            trueCells_[r][c] = nominalKgb(r, c) * (1.0 + e);
        }
    }
}

void EngineModel::buildLap()
{
    std::mt19937 random(seed_ ^ 0xD21BEu);
    std::array<int, 8> columns{0, 1, 2, 3, 4, 5, 6, 7};
    for (int i = 7; i > 0; --i)
        std::swap(columns[i], columns[static_cast<int>(unit(random) * (i + 1))]);
    int k = 0;
    for (int i = 0; i < 8; ++i)
        for (int j = 0; j < 8; ++j)
            lapCells_[k++] = {i % 2 == 0 ? j : 7 - j, columns[i]}; // up one column, down the next
    wobblePhase_ = 2.0 * kPi * unit(random);
}

double EngineModel::trueKgbAt(double rpm, double tinj) const
{
    return interpolateTable(kRpmBreakpoints, kTinjBreakpoints, rpm, tinj,
                            [this](int row, int column) { return trueCells_[row][column]; });
}

OneBased<int, kTableCellCount> EngineModel::trueTable(const std::array<int, 8>& rpmAxis,
                                                      const std::array<int, 8>& tinjAxis) const
{
    OneBased<int, kTableCellCount> cells;
    for (int r = 0; r < 8; ++r)
        for (int c = 0; c < 8; ++c)
            cells[1 + 8 * r + c] = static_cast<int>(std::lround(trueKgbAt(rpmAxis[c], tinjAxis[r])));
    return cells;
}

EngineModel::Drive EngineModel::driveAt(qint64 nowMs) const
{
    if (heldSteady_) return {static_cast<double>(heldRpm), static_cast<double>(heldTinj)};
    const qint64 t = nowMs % kLapMs;
    const Drive idle{static_cast<double>(kRpmBreakpoints[0]), static_cast<double>(kTinjBreakpoints[0])};
    const Drive cruise{2500.0, 5000.0};
    const auto at = [this](int i) {
        const auto [row, column] = lapCells_[i];
        return Drive{static_cast<double>(kRpmBreakpoints[column]),
                     static_cast<double>(kTinjBreakpoints[row])};
    };
    Drive from = idle;
    Drive to = cruise;
    qint64 since = t;
    if (t >= kCruiseMs) {
        const qint64 cellTime = t - kCruiseMs;
        const qint64 i = cellTime / (kRampMs + kHoldMs);
        if (i < 64) {
            from = i == 0 ? cruise : at(static_cast<int>(i - 1));
            to = at(static_cast<int>(i));
            since = cellTime % (kRampMs + kHoldMs);
        } else {
            from = at(63);
            to = idle;
            since = cellTime - 64 * (kRampMs + kHoldMs);
        }
    }
    if (since >= kRampMs) {
        // held, with the small movements of a foot on the pedal
        const double s = static_cast<double>(t); // the same on every lap
        return {to.rpm * (1.0 + 0.006 * std::sin(2 * kPi * s / 5300.0 + wobblePhase_)),
                to.baseTinj * (1.0 + 0.01 * std::sin(2 * kPi * s / 7100.0 + 2 * wobblePhase_))};
    }
    const double x = static_cast<double>(since) / kRampMs;
    const double s = smoothStep(x);
    Drive d{from.rpm + (to.rpm - from.rpm) * s, from.baseTinj + (to.baseTinj - from.baseTinj) * s};
    // accelerating takes more fuel for a moment; lifting off takes less
    const double accelerating = std::clamp((to.rpm - from.rpm) / 1000.0, 0.0, 1.0);
    const double liftingOff = std::clamp((from.baseTinj - to.baseTinj) / 3000.0, 0.0, 1.0);
    d.baseTinj *= 1.0 + (0.25 * accelerating - 0.35 * liftingOff) * std::sin(kPi * x);
    return d;
}

EngineModel::ChangeoverRules EngineModel::rules() const
{
    return changeoverRules ? changeoverRules() : ChangeoverRules();
}

double EngineModel::reducerTemperature(qint64 t) const
{
    const double warm = 1.0 - std::exp(-static_cast<double>(t) / 90000.0);
    return startTemperature + std::max(0.0, 70.0 - startTemperature) * warm;
}

double EngineModel::gauss(qint64 t, int channel) const
{
    const quint64 h = splitMix((static_cast<quint64>(seed_) << 40) ^ (static_cast<quint64>(t) << 8) ^
                               static_cast<quint64>(channel));
    const double u1 = (static_cast<double>(h >> 11) + 0.5) / 9007199254740992.0;
    const double u2 = static_cast<double>(splitMix(h) >> 11) / 9007199254740992.0;
    return std::sqrt(-2.0 * std::log(u1)) * std::cos(2.0 * kPi * u2);
}

int EngineModel::uniform(qint64 t, int channel, int amplitude) const
{
    const quint64 h = splitMix((static_cast<quint64>(seed_) << 40) ^ (static_cast<quint64>(t) << 8) ^
                               static_cast<quint64>(channel + 128));
    return static_cast<int>(h % static_cast<quint64>(2 * amplitude + 1)) - amplitude;
}

void EngineModel::requestChangeover(qint64 nowMs)
{
    advanceTo(nowMs);
    if (changeoverState_ != 0) return;
    changeoverState_ = onPetrol_ ? 2 : 1;
    stateSinceMs_ = nowMs;
}

bool EngineModel::onPetrol(qint64 nowMs)
{
    advanceTo(nowMs);
    return onPetrol_;
}

void EngineModel::advanceTo(qint64 nowMs)
{
    if (nowMs - clockMs_ > kCatchUpMs) clockMs_ = (nowMs - kCatchUpMs) / kStepMs * kStepMs;
    while (clockMs_ + kStepMs <= nowMs) {
        clockMs_ += kStepMs;
        step(clockMs_);
    }
}

void EngineModel::step(qint64 t)
{
    const Drive d = driveAt(t);
    const double rpm = engineStopped ? 0.0 : d.rpm;
    if (changeoverState_ != 0) {
        const ChangeoverRules r = rules();
        const qint64 dwell = t - stateSinceMs_;
        bool next = dwell >= changeoverStepMs;
        switch (changeoverState_) {
        case 1:
            next = next && dwell >= r.overlapToPetrolMs;
            break;
        case 2:
            next = next && reducerTemperature(t) >= r.temperature;
            break;
        case 3:
            next = next && rpm >= r.rpm;
            break;
        case 4:
            next = next && (!r.onDeceleration || rpm <= r.rpm - 200);
            break;
        default:
            next = next && dwell >= r.overlapToGasMs;
            break;
        }
        if (next) {
            stateSinceMs_ = t;
            if (changeoverState_ == 1 || changeoverState_ == 5) {
                onPetrol_ = changeoverState_ == 1;
                changeoverState_ = 0;
            } else {
                ++changeoverState_;
            }
        }
    }

    // The loop brings the mixture back to right: on gas the fuel that reaches the engine is the
    // reported time x the coefficient in use / the coefficient it needs.
    double target = 1.0;
    if (!onPetrol_ && !engineStopped) {
        const double need = trueKgbAt(d.rpm, d.baseTinj);
        const double reported = d.baseTinj * trim_;
        const double inUse = kgbInUse ? kgbInUse(static_cast<int>(d.rpm), static_cast<int>(reported)) : need;
        target = need / std::max(1.0, inUse);
    }
    target = std::clamp(target, kTrimMin, kTrimMax);
    const double follow = 1.0 - std::exp(-static_cast<double>(kStepMs) / std::max<qint64>(1, loopLagMs));
    trim_ += (target - trim_) * follow;
}

EngineModel::Readings EngineModel::read(qint64 nowMs)
{
    advanceTo(nowMs);
    Readings r;
    const double t = static_cast<double>(nowMs);
    const Drive d = driveAt(nowMs);

    r.rpm = engineStopped ? 0 : std::max(0, static_cast<int>(d.rpm) + uniform(nowMs, 1, 15));
    const double reported = d.baseTinj * trim_;
    for (int c = 1; c <= kCylinderCount; ++c) {
        if (c > cylinders || engineStopped) continue;
        const double spread = 1.0 + noisePercent / 100.0 * gauss(nowMs, 10 + c);
        r.petrolTinj[c] =
            std::max(0, static_cast<int>(std::lround(reported * (1.0 + kCylinderOffset[c - 1]) * spread)));
    }

    // switching 0-1 V sensors, about one swing a second; the second one lags behind
    const double swing = std::sin(2.0 * kPi * t / 1100.0);
    r.lambda1Mv = lambda1Unplugged
                      ? 3
                      : std::clamp(450 + static_cast<int>(380.0 * swing) + uniform(nowMs, 2, 10), 40, 950);
    const double swing2 = std::sin(2.0 * kPi * (t - 350.0) / 1300.0);
    r.lambda2Mv = std::clamp(450 + static_cast<int>(350.0 * swing2) + uniform(nowMs, 3, 10), 40, 950);

    // the reducer warms towards 70 degrees, the water (sensor 2) towards 88
    r.temperature1 = temperature1Unplugged ? 0 : static_cast<int>(reducerTemperature(nowMs));
    const double warm = 1.0 - std::exp(-t / 90000.0);
    r.temperature2Raw =
        40 + startTemperature + static_cast<int>(std::max(0.0, 88.0 - startTemperature) * warm);

    const double load = std::clamp((d.baseTinj - 2000.0) / 11000.0, 0.0, 1.0);
    const int pressure = (onPetrol_ ? 1020 : 1100) - static_cast<int>(60.0 * load) + uniform(nowMs, 4, 6);
    r.pressureMbar = pressureUnplugged ? 10 : pressure;
    r.pressure2Mbar = pressure - 40 + uniform(nowMs, 5, 4);

    // the tank empties slowly: 3200 mV falling by 1 mV every 2 s
    r.levelMv = std::max(600, 3200 - static_cast<int>(t / 2000.0) + uniform(nowMs, 6, 25));

    r.ecuState = changeoverState_;
    r.onPetrol = onPetrol_ ? 1 : 0;
    if (engineStopped) r.ecuState = 7;
    return r;
}
