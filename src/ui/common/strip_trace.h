#pragma once

#include <QList>
#include <QPointF>

#include <cstddef>
#include <span>
#include <vector>

// The last `spanMs` of samples of a few channels, oldest first, for a strip chart. The storage is
// fixed when it is made, so an hour's drive costs the memory of a minute. A missing value (a box
// showing "NC") is NaN, which the chart draws as a gap.
class StripTrace {
public:
    StripTrace(int channels, long long spanMs, int capacity);

    // One sample of every channel at `ms` (monotonic); samples older than the span go.
    void add(long long ms, std::span<const double> values);
    void clear();

    int channels() const { return channels_; }
    int size() const { return size_; }
    long long spanMs() const { return spanMs_; }
    long long oldestMs() const;
    long long newestMs() const;
    // Channel `channel` as chart points, x in seconds before `nowMs` (-60..0), into `out`.
    void points(int channel, long long nowMs, QList<QPointF>& out) const;
    std::size_t storageBytes() const;

private:
    int slot(int i) const { return (head_ + i) % capacity_; }

    int channels_;
    long long spanMs_;
    int capacity_;
    std::vector<long long> times_;
    std::vector<double> values_; // capacity_ rows of channels_
    int head_ = 0;               // oldest
    int size_ = 0;
};

// The axis top for `value`: the least 1, 2 or 5 times a power of ten at or above it, so that a
// scale grows in a few readable steps instead of following every reply.
double scaleCeiling(double value);
