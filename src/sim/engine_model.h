#pragma once

#include "link/shared_state.h"

#include <QString>
#include <QtGlobal>

#include <algorithm>
#include <array>
#include <functional>
#include <optional>
#include <utility>

// The value at (rpm, tinj) of an 8 x 8 table on these axes, `cell(row, column)`: bilinear between
// breakpoints, flat beyond the ends, as the gas ECU reads its table.
template <typename Cell>
double interpolateTable(const std::array<int, 8>& rpmAxis, const std::array<int, 8>& tinjAxis, double rpm,
                        double tinj, const Cell& cell)
{
    // the breakpoint segment holding x and the fraction along it
    const auto locate = [](const std::array<int, 8>& axis, double x) -> std::pair<int, double> {
        if (x <= axis[0]) return {0, 0.0};
        for (int i = 0; i < 7; ++i)
            if (x < axis[i + 1]) return {i, (x - axis[i]) / std::max(1, axis[i + 1] - axis[i])};
        return {6, 1.0};
    };
    const auto [c, fc] = locate(rpmAxis, rpm);
    const auto [r, fr] = locate(tinjAxis, tinj);
    const double top = cell(r, c) * (1 - fc) + cell(r, c + 1) * fc;
    const double bottom = cell(r + 1, c) * (1 - fc) + cell(r + 1, c + 1) * fc;
    return top * (1 - fr) + bottom * fr;
}

// A four-cylinder car with a petrol ECU and a gas system, driven round a lap: what the gas ECU
// would measure. Time is given by the caller (milliseconds since the ECU powered up) and the
// engine steps itself on a fixed 20 ms grid, so a run depends only on the seed and on what was
// asked when, not on how often anybody looked.
//
// Injection times are in microseconds. The petrol ECU keeps the mixture right with its closed
// loop: on gas it lengthens or shortens the time it reports by as much as the gas coefficient in
// use is off the engine's true need, after a lag; on petrol the time is what the engine needs.
class EngineModel {
public:
    explicit EngineModel(quint32 seed = 1);

    // The map the installer started from: the breakpoints the gas ECU ships with and the
    // coefficients there (100 = gas time equal to petrol time).
    static constexpr std::array<int, 8> kRpmBreakpoints{800, 1200, 1600, 2000, 2500, 3000, 4000, 5000};
    static constexpr std::array<int, 8> kTinjBreakpoints{2000, 3000, 4000, 5000, 6500, 8000, 10000, 13000};
    static int nominalKgb(int row, int column) { return 100 + 2 * row + 2 * column; }

    // How far the engine's true need is from the nominal map, in per cent of each cell: the same
    // amount everywhere, a slope across the table, or a smooth swell. The seed picks the slope's
    // direction and the swell's phase.
    struct KgbError {
        enum class Shape { Flat, Tilt, Wave };
        Shape shape = Shape::Wave;
        double percent = 8.0;
    };
    // "wave:8", "tilt:-5", "flat:100"; nullopt for anything else or a percent outside -50..150.
    static std::optional<KgbError> parseKgbError(const QString& text);

    void setSeed(quint32 seed);
    quint32 seed() const { return seed_; }
    void setKgbError(const KgbError& error);
    KgbError kgbError() const { return kgbError_; }

    // The coefficient the engine needs at this speed and petrol time, bilinear between the
    // nominal map's breakpoints and flat beyond its ends.
    double trueKgbAt(double rpm, double tinj) const;
    // The same at every cell of a table on these axes, rounded.
    OneBased<int, kTableCellCount> trueTable(const std::array<int, 8>& rpmAxis,
                                             const std::array<int, 8>& tinjAxis) const;

    // What the gas ECU applies at an engine speed and reported petrol time, and the rules of its
    // change-over. Without them the gas is always right and the rules are the defaults.
    std::function<double(int rpm, int petrolTinj)> kgbInUse;
    struct ChangeoverRules {
        int temperature = 35; // reducer temperature from which gas is allowed
        int rpm = 1800;       // engine speed to pass on the way to gas
        bool onDeceleration = false;
        int overlapToGasMs = 500;
        int overlapToPetrolMs = 200;
    };
    std::function<ChangeoverRules()> changeoverRules;

    struct Readings {
        int rpm = 0;
        OneBased<int, kCylinderCount> petrolTinj; // microseconds; 0 for absent cylinders
        int lambda1Mv = 0;
        int lambda2Mv = 0;
        int pressureMbar = 0;
        int pressure2Mbar = 0;
        int temperature1 = 0;
        int temperature2Raw = 0;
        int levelMv = 0;
        int ecuState = 0;
        int onPetrol = 1;
    };
    Readings read(qint64 nowMs);
    // Brings the engine up to `nowMs` as it was: a request that changes what the gas side does
    // takes effect from its own time.
    void advanceTo(qint64 nowMs);

    // Where the driver takes the engine: speed and the petrol time it needs there. Repeats every
    // kLapMs: a stretch of cruise, then every cell of the nominal map in turn (a column order the
    // seed picks), each reached by an acceleration or a lift-off and held, then idle.
    struct Drive {
        double rpm = 0;
        double baseTinj = 0;
    };
    Drive driveAt(qint64 nowMs) const;
    static constexpr qint64 kCruiseMs = 15000; // first of the lap, above the change-over speed
    static constexpr qint64 kRampMs = 2500;
    static constexpr qint64 kHoldMs = 9000;
    static constexpr qint64 kIdleMs = 12500; // last of the lap, ramp down included
    static constexpr qint64 kLapMs = kCruiseMs + 64 * (kRampMs + kHoldMs) + kIdleMs;

    // "Commuta": petrol -> gas through states 2 (reducer too cold), 3 (speed below the change-over
    // speed), 4 (on deceleration: speed not yet back below it), 5 (overlap); gas -> petrol through
    // state 1. Each shows for at least changeoverStepMs. A request while one is under way is
    // acknowledged and otherwise ignored.
    void requestChangeover(qint64 nowMs);
    bool onPetrol(qint64 nowMs);

    // The operator holds the engine steady while calibrating: at `heldRpm` and `heldTinj`, load
    // constant, so the pressure settles too.
    void setHeldSteady(bool steady) { heldSteady_ = steady; }
    int heldRpm = 2500;
    int heldTinj = 6000;

    int cylinders = 4;
    qint64 changeoverStepMs = 700;
    // the petrol ECU's closed loop: time constant of its correction, and the spread of the
    // reported times (standard deviation, per cent)
    qint64 loopLagMs = 1000;
    double noisePercent = 1.0;
    // Both temperatures at power-up; they warm towards 70 (reducer) and 88 (water).
    int startTemperature = 18;
    // Unplugged sensors read as "no signal": lambda <= 5 mV, pressure 10, temperature 0.
    bool lambda1Unplugged = false;
    bool pressureUnplugged = false;
    bool temperature1Unplugged = false;
    // The engine stopped: rpm 0 and no injection.
    bool engineStopped = false;

    // The closed loop's factor on the petrol time now (1 = no correction).
    double trim() const { return trim_; }

private:
    void step(qint64 t);
    ChangeoverRules rules() const;
    double reducerTemperature(qint64 t) const;
    // deterministic noise: standard normal from the seed, the time and a channel number
    double gauss(qint64 t, int channel) const;
    int uniform(qint64 t, int channel, int amplitude) const;
    void buildLap();
    void buildTrueMap();

    quint32 seed_ = 1;
    KgbError kgbError_;
    double trueCells_[8][8] = {};
    // the lap's cells in driving order, as (row, column)
    std::array<std::pair<int, int>, 64> lapCells_{};
    double wobblePhase_ = 0;

    qint64 clockMs_ = 0; // the grid step the state was last advanced to
    double trim_ = 1.0;
    bool onPetrol_ = true;
    bool heldSteady_ = false;
    // change-over in progress: the state (1..5) and when it began
    int changeoverState_ = 0;
    qint64 stateSinceMs_ = 0;
};
