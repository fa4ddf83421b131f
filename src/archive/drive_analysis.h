#pragma once

// The KGB table checked against a drive: for every cell, the petrol ECU's injection time on petrol
// and on gas, and the coefficient that would make them agree. On gas the petrol ECU's closed loop
// lengthens its time when the gas runs lean and shortens it when rich, so a cell is right when its
// time is the same on both fuels. No widget here: the calibration window and the command line sit
// above.

#include "archive/datalog.h"
#include "link/shared_state.h"

#include <QString>
#include <QStringList>
#include <QtGlobal>

#include <array>
#include <optional>
#include <span>
#include <vector>

// Breakpoints of one axis of the table, as the ECU holds them.
using Axis = std::array<int, 8>;
// The 64 cells, cell k = 1 + 8 x row + column at [k - 1], row on the TINJ axis.
using TableCells = std::array<int, 64>;

// The rpm and Tinj axes as the program holds them from the ECU (all 0 before they are read).
std::pair<Axis, Axis> tableAxes(const SharedState& state);

// The breakpoint 0..7 the value stands nearest to, as the calibration window's marker places it:
// the first below the axis, the last above it, within a segment the nearer end (the upper one from
// half-way). On an axis that does not rise, the first segment the value fits; 0 when none.
int nearestBreakpoint(const Axis& axis, int value);
// The cell 1..64 the operating point uses.
int operatingCell(const Axis& rpmAxis, const Axis& tinjAxis, int rpm, int tinj);

// One calibration reply.
struct DriveSample {
    qint64 timeMs = 0;
    bool onGas = false;
    int ecuState = 0; // 0 running normally; 1..5 a change-over, others a cut-off or a fault
    bool calibrationMode = false;
    int rpm = 0;
    int tinj = 0;      // the petrol ECU's injection time (calibrationTinj), in the TINJ axis' units
    int kgbInUse = -1; // the coefficient the ECU applied; below 0 when not known
};

// Which samples count. A sample is stable when all of these hold:
// - the engine runs: rpm at least `minRpm` and an injection time above 0;
// - the ECU runs normally (state 0): not in a change-over, a cut-off or a fault;
// - `settleMs` have passed since the last disturbance: a sample in any other state, a change of
//   fuel or of calibration mode, the engine not running, or a gap of more than `maxGapMs` between
//   two replies (what happened in it is not known). The petrol ECU's closed loop needs that long to
//   correct for the new mixture; the first sample of a drive is a disturbance too;
// - the operating point is steady: since the previous reply rpm moved by at most `maxRpmStep` and
//   the injection time by at most `maxTinjStepPercent` of its previous value, and it has stayed in
//   the same cell for `dwellMs`, so the closed loop is not still correcting for the cell it left.
// Gas samples in calibration mode do not count towards the suggestion (the coefficient under test
// stands in for the table); petrol samples do, the petrol time does not depend on it.
// A cell has a suggestion when it holds at least `minSamples` stable samples on each fuel (3 s of
// replies at the calibration window's 300 ms poll).
struct DriveRules {
    int minRpm = 400;
    qint64 settleMs = 3000;
    qint64 maxGapMs = 2000;
    int maxRpmStep = 250;
    int maxTinjStepPercent = 15;
    qint64 dwellMs = 900;
    int minSamples = 10;
};

// What the drive says of one cell.
struct CellAnalysis {
    int hits = 0;          // replies with the engine running in this cell, stable or not
    int petrolSamples = 0; // stable samples on petrol
    int gasSamples = 0;    // stable samples on gas that count towards the suggestion
    double petrolMeanTinj = 0;
    double gasMeanTinj = 0;
    // The cell's value that brings the gas time back to the petrol time: each gas sample's
    // coefficient (the KGB in use) times its gas time, averaged, over the mean petrol time;
    // rounded, halves to even, and kept within 0..255. The KGB in use rather than the cell's value
    // because the ECU interpolates between cells and substitutes the coefficient under test: it is
    // what was actually applied. A sample without it stands for the cell's value.
    // Unset when either fuel has fewer than the rule's samples.
    std::optional<int> suggestedKgb;
};

struct CellOverlay {
    std::array<CellAnalysis, 64> cells{}; // cell k at [k - 1]
    int samples = 0;
    int stableSamples = 0; // stable samples in any cell, on either fuel
    int suggestedCells = 0;
    int maxHits = 0;

    const CellAnalysis& cell(int k) const { return cells[static_cast<size_t>(k - 1)]; }
};

// Samples added one at a time, each in constant time; result() is computed from running sums.
class DriveAccumulator {
public:
    DriveAccumulator(const Axis& rpmAxis, const Axis& tinjAxis, const DriveRules& rules = {});

    void add(const DriveSample& sample);
    // `table`: the cells' values, for samples whose coefficient is not known.
    CellOverlay result(const TableCells& table) const;
    int samples() const { return samples_; }
    const Axis& rpmAxis() const { return rpmAxis_; }
    const Axis& tinjAxis() const { return tinjAxis_; }

private:
    struct Sums {
        int hits = 0;
        int petrolCount = 0;
        double petrolTinj = 0;
        int gasCount = 0;
        double gasTinjKnown = 0;   // gas times of samples with a known coefficient
        double gasKgbTinj = 0;     // their coefficient times gas time
        double gasTinjUnknown = 0; // gas times of samples without one
    };
    bool running(const DriveSample& s) const;

    Axis rpmAxis_, tinjAxis_;
    DriveRules rules_;
    std::array<Sums, 64> sums_{};
    int samples_ = 0;
    int stable_ = 0;
    std::optional<DriveSample> previous_;
    qint64 disturbedMs_ = 0; // the last disturbance
    int cell_ = 0;           // the cell of the previous sample, 0 for none
    qint64 cellSinceMs_ = 0; // since when the operating point is in it
};

CellOverlay analyse(std::span<const DriveSample> samples, const Axis& rpmAxis, const Axis& tinjAxis,
                    const TableCells& table, const DriveRules& rules = {});

// The samples of a calibration datalog. The columns are found by key: "rpm", "tinj" and "fuel"
// (0 petrol, 1 gas) are needed; without "ecuState" the ECU is taken as running normally, without
// "calibrationMode" as out of calibration mode, without "kgbInUse" the cells' values stand in.
// A row missing any needed value is left out.
struct DriveSamples {
    std::vector<DriveSample> samples;
    QStringList missingColumns; // needed columns the log does not have: nothing could be read
};
DriveSamples driveSamples(const Datalog& log);
