#pragma once

// The arithmetic under the datalog chart, without widgets: which points of a channel to draw for
// the time in view, and the ticks of a scale.

#include <QPointF>

#include <span>
#include <vector>

// A channel's line over the time in view, broken where the log has no value ("NC"). Points are
// (time ms, value); the line joins the points of one piece and never two pieces.
struct DatalogTrace {
    std::vector<QPointF> points;
    std::vector<size_t> pieceStarts; // index in `points` where each piece begins

    size_t pieceCount() const { return pieceStarts.size(); }
    std::span<const QPointF> piece(size_t i) const
    {
        const size_t end = i + 1 < pieceStarts.size() ? pieceStarts[i + 1] : points.size();
        return std::span<const QPointF>(points).subspan(pieceStarts[i], end - pieceStarts[i]);
    }
};

// The points of `values` (NaN: no value) from `startMs` for `spanMs`, plus one sample either side so
// that the line runs to the edges; a sample at time t is placed at t + offsetMs. When the view
// holds more samples than `columns` (pixels) can show, each column keeps only its first, lowest,
// highest and last value, which draws the same picture; so the cost of drawing is bounded by the
// width, whatever the zoom.
DatalogTrace datalogTrace(std::span<const double> timesMs, std::span<const double> values, double startMs,
                          double spanMs, int columns, double offsetMs = 0);

// A scale over [low, high] with round ticks (1, 2 or 5 times a power of ten) at most `maxTicks`
// of them; the ends are widened to the ticks around the values.
struct DatalogScale {
    double low = 0;
    double high = 1;
    double step = 0.5;
    std::vector<double> ticks() const;
};
DatalogScale datalogScale(double low, double high, int maxTicks);
