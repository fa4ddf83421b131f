#include "ui/common/strip_trace.h"

#include <algorithm>
#include <cmath>

StripTrace::StripTrace(int channels, long long spanMs, int capacity)
    : channels_(std::max(1, channels)), spanMs_(spanMs), capacity_(std::max(1, capacity)),
      times_(static_cast<std::size_t>(capacity_)),
      values_(static_cast<std::size_t>(capacity_) * static_cast<std::size_t>(channels_))
{
}

void StripTrace::add(long long ms, std::span<const double> values)
{
    // a clock that steps back would fold the chart over itself
    if (size_ > 0) ms = std::max(ms, newestMs());
    if (size_ == capacity_) {
        head_ = slot(1);
        --size_;
    }
    const int row = slot(size_);
    times_[static_cast<std::size_t>(row)] = ms;
    for (int c = 0; c < channels_; ++c) {
        const auto at = static_cast<std::size_t>(c);
        values_[static_cast<std::size_t>(row * channels_ + c)] =
            at < values.size() ? values[at] : std::nan("");
    }
    ++size_;
    while (size_ > 0 && times_[static_cast<std::size_t>(head_)] < ms - spanMs_) {
        head_ = slot(1);
        --size_;
    }
}

void StripTrace::clear()
{
    head_ = 0;
    size_ = 0;
}

long long StripTrace::oldestMs() const
{
    return size_ > 0 ? times_[static_cast<std::size_t>(head_)] : 0;
}

long long StripTrace::newestMs() const
{
    return size_ > 0 ? times_[static_cast<std::size_t>(slot(size_ - 1))] : 0;
}

void StripTrace::points(int channel, long long nowMs, QList<QPointF>& out) const
{
    out.clear();
    if (channel < 0 || channel >= channels_) return;
    out.reserve(size_);
    for (int i = 0; i < size_; ++i) {
        const auto row = static_cast<std::size_t>(slot(i));
        out.append(
            QPointF(static_cast<double>(times_[row] - nowMs) / 1000.0,
                    values_[row * static_cast<std::size_t>(channels_) + static_cast<std::size_t>(channel)]));
    }
}

std::size_t StripTrace::storageBytes() const
{
    return times_.capacity() * sizeof(long long) + values_.capacity() * sizeof(double);
}

double scaleCeiling(double value)
{
    if (!(value > 0) || !std::isfinite(value)) return 1;
    const double decade = std::pow(10.0, std::floor(std::log10(value)));
    for (double m : {1.0, 2.0, 5.0, 10.0})
        if (m * decade >= value * (1 - 1e-12)) return m * decade;
    return 10 * decade;
}
