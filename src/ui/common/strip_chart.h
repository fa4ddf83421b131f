#pragma once

#include "link/language.h"
#include "ui/common/strip_trace.h"

#include <QColor>
#include <QWidget>

#include <span>
#include <vector>

class QChart;
class QChartView;
class QLineSeries;
class QValueAxis;

// The last minute of a few live channels, each on the value axis of its unit, the newest sample at
// the right edge. It draws only while it is on screen: hidden, it keeps collecting (which costs
// nothing but the trace) and shows the whole minute again when it comes back.
class StripChart : public QWidget {
    Q_OBJECT
public:
    struct Axis {
        LocalText unit;
        double initialTop; // grows to the next 1-2-5 step when a value goes above it
        Qt::Alignment side;
    };
    struct Channel {
        LocalText name; // legend, with its unit
        int axis;
        QColor colour;
    };
    static constexpr long long kSpanMs = 60'000;

    StripChart(std::span<const Axis> axes, std::span<const Channel> channels, QWidget* parent);

    void setLanguage(Language language);
    // Empties the chart and gives every axis its initial top.
    void clear();
    // A top of 0 or less (nothing known yet) leaves the axis as it is.
    void setAxisTop(int axis, double top);
    // One sample per channel (NaN: nothing to show) at `ms` on a monotonic clock.
    void add(long long ms, std::span<const double> values);

    const StripTrace& trace() const { return trace_; }
    QLineSeries* series(int channel) const { return series_[static_cast<std::size_t>(channel)]; }
    QValueAxis* axis(int axis) const { return axes_[static_cast<std::size_t>(axis)]; }
    // How many times the series were given new points, for the tests that check a hidden chart idles.
    int redraws() const { return redraws_; }

    // low enough to sit under a full window on a 768-line screen
    QSize sizeHint() const override { return {640, 200}; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    void redraw();

    std::vector<Axis> axisDefs_;
    std::vector<Channel> channels_;
    StripTrace trace_;
    QChart* chart_;
    QChartView* view_;
    QValueAxis* timeAxis_;
    std::vector<QLineSeries*> series_;
    std::vector<QValueAxis*> axes_;
    std::vector<double> tops_;
    int redraws_ = 0;
};
