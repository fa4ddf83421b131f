#include "ui/calibration/corrective_rules.h"

#include <algorithm>
#include <numeric>

namespace {

// C++ division truncates toward zero, as the shown corrective must
long long scaled(long long difference, long long variation, long long interval)
{
    return interval == 0 ? 0 : difference * variation / interval;
}

} // namespace

long long temperatureCorrective(long long temperature1, long long calibrationTemperature, long long variation,
                                long long interval)
{
    return scaled(temperature1 - calibrationTemperature, variation, interval);
}

long long pressureCorrective(long long pressure1, long long calibrationPressure, long long variation,
                             long long interval, long long rpm, long long rpmThreshold)
{
    if (rpm < rpmThreshold) return 0;
    return scaled(calibrationPressure - pressure1, variation, interval);
}

int wrapGuidedPosition(int position)
{
    if (position < 1) return kGuidedPositions;
    if (position > kGuidedPositions) return 1;
    return position;
}

int injectorCountOf(const OneBased<int, 8>& calibrationExtra)
{
    return std::accumulate(calibrationExtra.begin(), calibrationExtra.end(), 0);
}

void SteadyValue::add(int value, int tolerance)
{
    if (count_ == 0 || std::max(high_, value) - std::min(low_, value) > tolerance) {
        // a new run starts from this value
        count_ = 1;
        low_ = high_ = value;
        return;
    }
    low_ = std::min(low_, value);
    high_ = std::max(high_, value);
    ++count_;
}
