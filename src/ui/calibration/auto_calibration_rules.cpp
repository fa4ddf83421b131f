#include "ui/calibration/auto_calibration_rules.h"

#include "link/rounding.h"
#include "ui/calibration/calibration_rules.h"

#include <algorithm>
#include <cstdlib>

namespace auto_calibration {

Decision decide(int gasShortCount, int gasLongCount, int maxDeviation, int testKgb)
{
    Decision d;
    const int step = maxDeviation / kDeviation;
    int change = 0;
    if (gasShortCount == 0 && gasLongCount == 0) {
        d.kind = Decision::Kind::Found;
    } else if (gasShortCount == 0 && gasLongCount >= 5) {
        change = step;
    } else if (gasLongCount == 0 && gasShortCount >= 5) {
        change = -step;
    } else if (gasShortCount > 0 && gasLongCount > 0) {
        if (gasLongCount > gasShortCount) change = step;
        if (gasShortCount > gasLongCount) change = -step;
    }
    if (change > 0) d.kind = Decision::Kind::Raise;
    if (change < 0) d.kind = Decision::Kind::Lower;
    d.step = std::abs(change);
    // the coefficient goes out as one byte: a step past the ends stops there instead of wrapping
    const int wanted = testKgb + change;
    d.testKgb = std::clamp(wanted, 0, kCellMax);
    d.limited = d.testKgb != wanted;
    return d;
}

void AutoCalibration::reset(int startKgb)
{
    *this = AutoCalibration();
    testKgb = std::clamp(startKgb, 0, kCellMax);
}

SampleOutcome AutoCalibration::sample(const Sample& s, int stableTinjRange)
{
    SampleOutcome out;
    const bool petrol = s.onPetrol == 1;
    const bool changing = changingOver(s.ecuState);
    if (changeoverPending_ && s.onPetrol != changeoverFrom_ && !changing) {
        // the other fuel at last: its phase starts from this sample
        changeoverPending_ = false;
        ++phaseCount;
        tinjAccumulator = tinjCount = 0;
        rpmSum = rpmCount = 0;
        rpmStableCount = tinjStableCount = 0;
    }
    // a request the ECU did not follow, or a changeover under way, is no phase: a petrol window
    // compared with petrol would find no deviation
    const bool between = changeoverPending_ || changing;

    tinjAccumulator = static_cast<int>(divideHalfEven(s.tinj + 5LL * tinjAccumulator, 5));
    if (++tinjCount > 4) {
        tinjAverage = tinjAccumulator / 5 * 5;
        tinjCount = 0;
        tinjAccumulator = 0;
    }
    tinjStableCount = std::abs(s.tinj - tinjAverage) <= stableTinjRange && !between ? tinjStableCount + 1 : 0;
    if (between) {
        // the averages go on for the display; the references are not taken from a mixed phase
    } else if (petrol) {
        petrolTinjRef = tinjAverage;
        if (phaseCount == 0) gasTinjRef = tinjAverage;
    } else {
        gasTinjRef = tinjAverage;
    }
    // from the counts every time: a sample out of range ends stability at once
    tinjStable = tinjStableCount > (petrol ? kPetrolStableAfter : kGasStableAfter);

    rpmSum += s.rpm;
    if (++rpmCount >= 10) {
        rpmAverage = rpmSum / 100 * 10;
        rpmCount = 0;
        rpmSum = 0;
    }
    rpmStableCount = std::abs(s.rpm - rpmAverage) <= kRpmRange && !between ? rpmStableCount + 1 : 0;
    rpmStable = rpmStableCount >= kRpmStableSamples;

    showsPetrol_ = petrol || s.ecuState != 0;
    difference_ = std::abs(s.tinj - (showsPetrol_ ? gasTinjRef : petrolTinjRef));

    const auto armDeadline = [this, &out] {
        // armed once per phase: re-arming on every stable tick would keep pushing the change-over back
        if (!deadlineArmed_) out.armPhaseDeadline = true;
        deadlineArmed_ = true;
    };
    if (!(rpmStable && tinjStable)) {
        windowSamples = gasShortCount = gasLongCount = 0;
        return out;
    }
    if (!petrol) {
        gasMeasuredAtKgb_ = testKgb;
        armDeadline();
        windowSamples = gasShortCount = gasLongCount = 0;
        return out;
    }
    if (windowDone) return out;
    if (phaseCount > 0) {
        if (s.tinj >= gasTinjRef + kDeviation) {
            ++gasShortCount;
            maxDeviation = std::max(maxDeviation, s.tinj - gasTinjRef);
        }
        if (s.tinj <= gasTinjRef - kDeviation) {
            ++gasLongCount;
            maxDeviation = std::max(maxDeviation, gasTinjRef - s.tinj);
        }
    }
    if (++windowSamples < kWindowSamples) return out;
    if (phaseCount > 0) {
        Decision d = decide(gasShortCount, gasLongCount, maxDeviation, testKgb);
        if (d.kind == Decision::Kind::Found && gasMeasuredAtKgb_ != testKgb) {
            d.kind = Decision::Kind::NoChange;
            d.gasNotMeasured = true;
        }
        testKgb = d.testKgb;
        if (d.kind == Decision::Kind::Found) found = true;
        out.decision = d;
    } else {
        Decision first;
        first.kind = Decision::Kind::Reference;
        first.testKgb = testKgb;
        out.decision = first;
    }
    armDeadline();
    windowDone = true;
    windowSamples = gasShortCount = gasLongCount = 0;
    return out;
}

bool AutoCalibration::phaseDeadline(bool onPetrol)
{
    deadlineArmed_ = false;
    if (!onPetrol && found) return false;
    rpmStableCount = tinjStableCount = 0;
    rpmStable = tinjStable = false;
    windowDone = false;
    maxDeviation = 0;
    tinjAccumulator = tinjCount = 0;
    rpmSum = rpmCount = 0;
    windowSamples = gasShortCount = gasLongCount = 0;
    changeoverPending_ = true;
    changeoverFrom_ = onPetrol ? 1 : 0;
    return true;
}

int AutoCalibration::barElementsLit() const
{
    return std::min(kBarSide, difference_ / kBarUnit);
}

OneBased<int, kTableCellCount> deriveTable(int v, Fuel fuel)
{
    // per cent, so that 100 x 1.02 is 102 and not 101.99999
    static constexpr int lpg[8] = {100, 102, 105, 108, 110, 112, 112, 112};
    static constexpr int cng[8] = {100, 98, 95, 92, 90, 88, 88, 88};
    const int* factor = fuel == Fuel::Lpg ? lpg : cng;
    OneBased<int, kTableCellCount> cells;
    cells.fill(v);
    for (int j = 1; j < 8; ++j) {
        const int scaled = static_cast<int>(static_cast<long long>(v) * factor[j] / 100);
        cells[1 + j] = scaled;     // lowest Tinj row, RPM column j
        cells[1 + 8 * j] = scaled; // lowest RPM column, Tinj row j
    }
    return cells;
}

QList<int> cellsAboveByte(const OneBased<int, kTableCellCount>& cells)
{
    QList<int> above;
    for (int k = 1; k <= kTableCellCount; ++k)
        if (cells[k] > kCellMax) above << k;
    return above;
}

} // namespace auto_calibration
