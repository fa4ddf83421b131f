#include "archive/drive_analysis.h"

#include "link/parameter_catalogue.h"
#include "link/rounding.h"
#include "link/value_limits.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>

std::pair<Axis, Axis> tableAxes(const SharedState& state)
{
    Axis rpm{}, tinj{};
    for (size_t i = 0; i < 8; ++i) {
        rpm[i] = state.parameterValues[param::mapRpmAxis + static_cast<int>(i)];
        tinj[i] = state.parameterValues[param::mapTinjAxis + static_cast<int>(i)];
    }
    return {rpm, tinj};
}

int nearestBreakpoint(const Axis& axis, int value)
{
    if (value > axis[7]) return 7;
    if (value <= axis[0]) return 0;
    for (size_t k = 0; k < 7; ++k) {
        const long long low = axis[k], high = axis[k + 1];
        if (low < value && value <= high)
            return static_cast<int>(k) + (2 * (value - low) >= high - low ? 1 : 0);
    }
    return 0;
}

int operatingCell(const Axis& rpmAxis, const Axis& tinjAxis, int rpm, int tinj)
{
    return 1 + 8 * nearestBreakpoint(tinjAxis, tinj) + nearestBreakpoint(rpmAxis, rpm);
}

DriveAccumulator::DriveAccumulator(const Axis& rpmAxis, const Axis& tinjAxis, const DriveRules& rules)
    : rpmAxis_(rpmAxis), tinjAxis_(tinjAxis), rules_(rules)
{
}

bool DriveAccumulator::running(const DriveSample& s) const
{
    return s.rpm >= rules_.minRpm && s.tinj > 0;
}

void DriveAccumulator::add(const DriveSample& s)
{
    ++samples_;
    const bool run = running(s);
    const std::optional<DriveSample> before = previous_;
    previous_ = s;
    const bool disturbed = !run || s.ecuState != 0 || !before || s.onGas != before->onGas ||
                           s.calibrationMode != before->calibrationMode || s.timeMs < before->timeMs ||
                           s.timeMs - before->timeMs > rules_.maxGapMs;
    if (disturbed) disturbedMs_ = s.timeMs;
    if (!run) {
        cell_ = 0;
        return;
    }
    const int cell = operatingCell(rpmAxis_, tinjAxis_, s.rpm, s.tinj);
    if (cell != cell_) {
        cell_ = cell;
        cellSinceMs_ = s.timeMs;
    }
    Sums& sums = sums_[static_cast<size_t>(cell - 1)];
    ++sums.hits;
    if (disturbed || s.timeMs - disturbedMs_ < rules_.settleMs || s.timeMs - cellSinceMs_ < rules_.dwellMs)
        return;
    const bool steady =
        std::abs(s.rpm - before->rpm) <= rules_.maxRpmStep &&
        100LL * std::abs(s.tinj - before->tinj) <= 1LL * rules_.maxTinjStepPercent * before->tinj;
    if (!steady) return;
    if (!s.onGas) {
        ++sums.petrolCount;
        sums.petrolTinj += s.tinj;
    } else if (!s.calibrationMode) {
        ++sums.gasCount;
        if (s.kgbInUse >= 0) {
            sums.gasTinjKnown += s.tinj;
            sums.gasKgbTinj += static_cast<double>(s.kgbInUse) * s.tinj;
        } else {
            sums.gasTinjUnknown += s.tinj;
        }
    } else {
        return;
    }
    ++stable_;
}

CellOverlay DriveAccumulator::result(const TableCells& table) const
{
    CellOverlay overlay;
    overlay.samples = samples_;
    overlay.stableSamples = stable_;
    for (size_t i = 0; i < sums_.size(); ++i) {
        const Sums& s = sums_[i];
        CellAnalysis& a = overlay.cells[i];
        a.hits = s.hits;
        a.petrolSamples = s.petrolCount;
        a.gasSamples = s.gasCount;
        if (s.petrolCount > 0) a.petrolMeanTinj = s.petrolTinj / s.petrolCount;
        if (s.gasCount > 0) a.gasMeanTinj = (s.gasTinjKnown + s.gasTinjUnknown) / s.gasCount;
        overlay.maxHits = std::max(overlay.maxHits, s.hits);
        if (s.petrolCount < rules_.minSamples || s.gasCount < rules_.minSamples || a.petrolMeanTinj <= 0)
            continue;
        const double applied = (s.gasKgbTinj + static_cast<double>(table[i]) * s.gasTinjUnknown) / s.gasCount;
        const double ratio = std::clamp(applied / a.petrolMeanTinj, 0.0, static_cast<double>(kCellMax));
        a.suggestedKgb = static_cast<int>(roundHalfEven(ratio).value_or(kCellMax));
        ++overlay.suggestedCells;
    }
    return overlay;
}

CellOverlay analyse(std::span<const DriveSample> samples, const Axis& rpmAxis, const Axis& tinjAxis,
                    const TableCells& table, const DriveRules& rules)
{
    DriveAccumulator accumulator(rpmAxis, tinjAxis, rules);
    for (const DriveSample& s : samples)
        accumulator.add(s);
    return accumulator.result(table);
}

namespace {

// A cell of the log as a whole number; nothing for an empty cell or one no reply could hold.
std::optional<int> whole(double value)
{
    if (!(std::abs(value) <= std::numeric_limits<int>::max())) return std::nullopt;
    return static_cast<int>(value);
}

} // namespace

DriveSamples driveSamples(const Datalog& log)
{
    DriveSamples out;
    const int rpm = log.channelIndex("rpm"), tinj = log.channelIndex("tinj"), fuel = log.channelIndex("fuel");
    for (const auto& [index, key] : {std::pair{rpm, "rpm"}, {tinj, "tinj"}, {fuel, "fuel"}})
        if (index < 0) out.missingColumns << QString::fromLatin1(key);
    if (!out.missingColumns.isEmpty()) return out;
    const int state = log.channelIndex("ecuState"), kgb = log.channelIndex("kgbInUse"),
              mode = log.channelIndex("calibrationMode");
    const auto column = [&log](int index) -> const std::vector<double>* {
        return index < 0 ? nullptr : &log.values[static_cast<size_t>(index)];
    };
    const std::vector<double>*rpms = column(rpm), *tinjs = column(tinj), *fuels = column(fuel),
          *states = column(state), *kgbs = column(kgb), *modes = column(mode);
    out.samples.reserve(log.timesMs.size());
    for (size_t row = 0; row < log.timesMs.size(); ++row) {
        const std::optional<int> r = whole((*rpms)[row]), t = whole((*tinjs)[row]), f = whole((*fuels)[row]);
        if (!r || !t || !f || (*f != 0 && *f != 1)) continue;
        DriveSample s;
        s.timeMs = static_cast<qint64>(log.timesMs[row]);
        s.onGas = *f == 1;
        s.rpm = *r;
        s.tinj = *t;
        // a state the log does not give is no normal running
        if (states) s.ecuState = whole((*states)[row]).value_or(-1);
        if (kgbs) s.kgbInUse = whole((*kgbs)[row]).value_or(-1);
        if (modes) s.calibrationMode = whole((*modes)[row]).value_or(0) != 0;
        out.samples.push_back(s);
    }
    return out;
}
