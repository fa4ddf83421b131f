#pragma once

// The automatic calibration without any widget: the averages and stability counts of each sample,
// the evaluation window of a petrol phase and its decision, the phase deadline, the difference bar
// and the table derived from the coefficient found.

#include "link/shared_state.h"
#include "link/value_limits.h"

#include <QList>

#include <algorithm>

#include <optional>

namespace auto_calibration {

constexpr int kWindowSamples = 30; // a petrol evaluation window: 9 s of stable running
constexpr int kDeviation = 200;    // Tinj units that count as a deviation, and one step per 200
constexpr int kRpmRange = 200;
constexpr int kRpmStableSamples = 20;
constexpr int kPetrolStableAfter = 29; // Tinj stable once the count exceeds these
constexpr int kGasStableAfter = 9;
constexpr int kBarUnit = 50; // Tinj units per lit element of the difference bar
constexpr int kBarSide = 10; // elements on each side of the centre

// The ECU's state byte while it changes fuel over.
inline bool changingOver(int ecuState)
{
    return ecuState >= 1 && ecuState <= 5;
}

// One calibration frame as the procedure reads it.
struct Sample {
    int rpm = 0;
    int tinj = 0;
    int ecuState = 0;
    int onPetrol = 1;
};

// How a closed petrol window moved the coefficient under test.
struct Decision {
    enum class Kind { Reference, NoChange, Raise, Lower, Found };
    Kind kind = Kind::NoChange;
    int step = 0;
    int testKgb = 0;      // after the decision, within 0..255
    bool limited = false; // the step would have left 0..255
    // no deviation, but gas was last measured at another coefficient: one more round first
    bool gasNotMeasured = false;
};

// The step a petrol window's counts call for: + when gas ran long, - when it ran short, found when
// neither was seen. Too few samples of one kind alone change nothing.
Decision decide(int gasShortCount, int gasLongCount, int maxDeviation, int testKgb);

// What the window does after a sample.
struct SampleOutcome {
    bool armPhaseDeadline = false;    // once per stable phase; see AutoCalibration::sample
    std::optional<Decision> decision; // a petrol window closed
};

// The window variables of the procedure and the rules that move them, sample by sample.
class AutoCalibration {
public:
    void reset(int startKgb);

    // One sampling tick on a fresh calibration frame.
    SampleOutcome sample(const Sample& s, int stableTinjRange);
    // The phase deadline passed: true when a fuel changeover is to be requested; false on gas once
    // the value is found, where the window waits for OK. A phase counts from the first sample that
    // shows the other fuel with no changeover under way; until then nothing is evaluated.
    bool phaseDeadline(bool onPetrol);
    // A changeover was requested and the car does not run on the other fuel yet.
    bool changeoverPending() const { return changeoverPending_; }
    // The fuel the pending changeover leaves (1 petrol, 0 gas).
    int changeoverFrom() const { return changeoverFrom_; }

    // shown on the fuel side of the sample last taken
    bool showsPetrol() const { return showsPetrol_; }
    // |Tinj - the other fuel's reference|
    int difference() const { return difference_; }
    int barElementsLit() const;

    int testKgb = 0;
    int tinjAccumulator = 0;
    int tinjCount = 0;
    int tinjAverage = 0;
    int tinjStableCount = 0;
    int rpmSum = 0;
    int rpmCount = 0;
    int rpmAverage = 0;
    int rpmStableCount = 0;
    bool rpmStable = false;
    bool tinjStable = false;
    int windowSamples = 0;
    int gasShortCount = 0;
    int gasLongCount = 0;
    int maxDeviation = 0;
    bool windowDone = false;
    int phaseCount = 0;
    int petrolTinjRef = 0;
    int gasTinjRef = 0;
    bool found = false; // OK is offered

    // Samples in a row with both RPM and Tinj in range, for the technician.
    int stableTicks() const { return std::min(rpmStableCount, tinjStableCount); }

private:
    bool deadlineArmed_ = false;
    bool changeoverPending_ = false;
    int changeoverFrom_ = 1;
    int gasMeasuredAtKgb_ = -1; // the coefficient under test when gas last ran stable
    bool showsPetrol_ = true;
    int difference_ = 0;
};

enum class Fuel { Lpg, Cng };

// The 64 cells derived from the coefficient `v`: v in cell 1 and everywhere off the lowest Tinj
// row and the lowest RPM column; along them v x 1.02 .. 1.12 for LPG, v x 0.98 .. 0.88 for CNG.
OneBased<int, kTableCellCount> deriveTable(int v, Fuel fuel);
// The cells a frame cannot carry (above 255), in rising order.
QList<int> cellsAboveByte(const OneBased<int, kTableCellCount>& cells);

} // namespace auto_calibration
