#include "ui/common/strip_chart.h"

#include <QChart>
#include <QChartView>
#include <QGraphicsLayout>
#include <QLegend>
#include <QLineSeries>
#include <QVBoxLayout>
#include <QValueAxis>

#include <cmath>

namespace {
// 300 ms polls fill a minute with 200 samples; the rest is room for a faster link.
constexpr int kCapacity = 1024;
constexpr LocalText kSeconds{"s", "s", "sn"};
} // namespace

StripChart::StripChart(std::span<const Axis> axes, std::span<const Channel> channels, QWidget* parent)
    : QWidget(parent), axisDefs_(axes.begin(), axes.end()), channels_(channels.begin(), channels.end()),
      trace_(static_cast<int>(channels.size()), kSpanMs, kCapacity), chart_(new QChart),
      view_(new QChartView(chart_, this)), timeAxis_(new QValueAxis(chart_))
{
    chart_->setAnimationOptions(QChart::NoAnimation);
    chart_->setMargins(QMargins(2, 2, 2, 2));
    chart_->layout()->setContentsMargins(0, 0, 0, 0);
    chart_->setBackgroundRoundness(0);
    chart_->legend()->setAlignment(Qt::AlignTop);
    QFont small = font();
    small.setPointSizeF(small.pointSizeF() * 0.85);
    chart_->legend()->setFont(small);

    // seconds before now on a fixed scale: a new sample moves the points, never the axis
    timeAxis_->setRange(-static_cast<double>(kSpanMs) / 1000.0, 0);
    timeAxis_->setTickCount(7);
    timeAxis_->setLabelsFont(small);
    chart_->addAxis(timeAxis_, Qt::AlignBottom);
    for (const Axis& def : axisDefs_) {
        auto* axis = new QValueAxis(chart_);
        axis->setTickCount(6);
        axis->setLabelFormat(QStringLiteral("%d"));
        axis->setLabelsFont(small);
        axis->setTitleFont(small);
        axis->setGridLineVisible(axes_.empty());
        chart_->addAxis(axis, def.side);
        axes_.push_back(axis);
        tops_.push_back(0);
    }
    for (const Channel& def : channels_) {
        auto* line = new QLineSeries(chart_);
        QPen pen(def.colour);
        pen.setWidthF(1.5);
        line->setPen(pen);
        chart_->addSeries(line);
        line->attachAxis(timeAxis_);
        line->attachAxis(axes_[static_cast<std::size_t>(def.axis)]);
        series_.push_back(line);
    }
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(view_);
    clear();
    setLanguage(Language::Italian);
}

void StripChart::setLanguage(Language language)
{
    // the unit in the labels, not in a title line the window has no height for
    timeAxis_->setLabelFormat(QStringLiteral("%d ") + kSeconds.in(language));
    for (std::size_t i = 0; i < axes_.size(); ++i)
        axes_[i]->setTitleText(axisDefs_[i].unit.in(language));
    for (std::size_t i = 0; i < series_.size(); ++i)
        series_[i]->setName(channels_[i].name.in(language));
}

void StripChart::clear()
{
    trace_.clear();
    for (std::size_t i = 0; i < axes_.size(); ++i)
        setAxisTop(static_cast<int>(i), axisDefs_[i].initialTop);
    for (QLineSeries* line : series_)
        line->clear();
}

void StripChart::setAxisTop(int axis, double top)
{
    const auto i = static_cast<std::size_t>(axis);
    // a scale not known yet (a sensor type not read) keeps the axis it has
    if (i >= axes_.size() || tops_[i] == top || !(top > 0) || !std::isfinite(top)) return;
    tops_[i] = top;
    axes_[i]->setRange(0, top);
}

void StripChart::add(long long ms, std::span<const double> values)
{
    trace_.add(ms, values);
    // an axis only ever grows while the window is open, so the labels do not jump with each reply
    for (std::size_t c = 0; c < channels_.size() && c < values.size(); ++c) {
        const int axis = channels_[c].axis;
        if (std::isfinite(values[c]) && values[c] > tops_[static_cast<std::size_t>(axis)])
            setAxisTop(axis, scaleCeiling(values[c]));
    }
    if (isVisible()) redraw();
}

void StripChart::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    redraw();
}

void StripChart::redraw()
{
    ++redraws_;
    QList<QPointF> points;
    for (std::size_t c = 0; c < series_.size(); ++c) {
        trace_.points(static_cast<int>(c), trace_.newestMs(), points);
        series_[c]->replace(points);
    }
}
