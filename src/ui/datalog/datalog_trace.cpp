#include "ui/datalog/datalog_trace.h"

#include <algorithm>
#include <cmath>

DatalogTrace datalogTrace(std::span<const double> t, std::span<const double> v, double startMs, double spanMs,
                          int columns, double offsetMs)
{
    DatalogTrace trace;
    const auto first = std::lower_bound(t.begin(), t.end(), startMs - offsetMs);
    const auto last = std::upper_bound(t.begin(), t.end(), startMs + spanMs - offsetMs);
    const size_t from = static_cast<size_t>(std::max<std::ptrdiff_t>(0, first - t.begin() - 1));
    const size_t to = std::min(t.size(), static_cast<size_t>(last - t.begin()) + 1);

    bool open = false; // the last point added may be joined to the next
    auto add = [&](size_t i) {
        if (!open) trace.pieceStarts.push_back(trace.points.size());
        open = true;
        trace.points.emplace_back(t[i] + offsetMs, v[i]);
    };
    if (columns <= 0 || to - from <= 2 * static_cast<size_t>(columns)) {
        for (size_t i = from; i < to; ++i) {
            if (std::isnan(v[i]))
                open = false;
            else
                add(i);
        }
        return trace;
    }

    const double perColumn = spanMs / columns;
    auto columnOf = [&](size_t i) { return std::floor((t[i] + offsetMs - startMs) / perColumn); };
    constexpr size_t none = SIZE_MAX;
    for (size_t i = from; i < to;) {
        const double column = columnOf(i);
        size_t end = i, lo = none, hi = none, firstValid = none, lastValid = none;
        bool gap = false;
        for (; end < to && columnOf(end) == column; ++end) {
            if (std::isnan(v[end])) {
                gap = true;
                continue;
            }
            if (firstValid == none) firstValid = end;
            lastValid = end;
            if (lo == none || v[end] < v[lo]) lo = end;
            if (hi == none || v[end] > v[hi]) hi = end;
        }
        if (firstValid == none) {
            open = false;
        } else if (!gap) {
            size_t keep[4] = {firstValid, lo, hi, lastValid};
            std::sort(std::begin(keep), std::end(keep));
            for (size_t k = 0; k < 4; ++k)
                if (k == 0 || keep[k] != keep[k - 1]) add(keep[k]);
        } else {
            // a sensor that comes and goes within one pixel: the line arriving ends at its first
            // value, a stroke from lowest to highest stands for the rest, and a line leaves from
            // the last value only if the next sample has one too
            if (firstValid == i && open) add(i);
            open = false;
            add(std::min(lo, hi));
            if (hi != lo) add(std::max(lo, hi));
            open = false;
            if (lastValid == end - 1) add(lastValid);
        }
        i = end;
    }
    return trace;
}

DatalogScale datalogScale(double low, double high, int maxTicks)
{
    if (!(low <= high) || !std::isfinite(low) || !std::isfinite(high)) low = 0, high = 1;
    if (low == high) {
        const double pad = low == 0 ? 1 : std::abs(low) * 0.1;
        low -= pad;
        high += pad;
    }
    maxTicks = std::max(2, maxTicks);
    const double raw = (high - low) / (maxTicks - 1);
    double magnitude = std::pow(10, std::floor(std::log10(raw)));
    static constexpr double kSteps[] = {1, 2, 5};
    DatalogScale scale;
    for (size_t k = 0;; ++k) {
        // the widened ends may need one tick more than there is room for: then a longer step
        const double step = kSteps[k % 3] * magnitude;
        if (k % 3 == 2) magnitude *= 10;
        if (step < raw) continue;
        scale.step = step;
        scale.low = std::floor(low / step) * step;
        scale.high = std::ceil(high / step) * step;
        if ((scale.high - scale.low) / step < maxTicks - 0.5) break;
    }
    return scale;
}

std::vector<double> DatalogScale::ticks() const
{
    std::vector<double> ticks;
    const double first = std::round(low / step);
    for (double k = 0; (first + k) * step <= high + step * 1e-6; ++k)
        ticks.push_back((first + k) * step);
    return ticks;
}
