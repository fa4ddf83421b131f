// The strip chart's minute of samples: bounded over a long drive, gaps kept as gaps, and no
// drawing while it is hidden.
#include "support/quiet_offscreen.h"
#include "ui/common/strip_chart.h"
#include "ui/common/strip_trace.h"

#include <QLineSeries>
#include <QTest>
#include <QValueAxis>

#include <cmath>

namespace {
const StripChart::Axis kAxes[] = {{{"mV"}, 1000, Qt::AlignLeft}, {{"rpm"}, 5000, Qt::AlignRight}};
const StripChart::Channel kChannels[] = {{{"a"}, 0, Qt::red}, {{"b"}, 1, Qt::blue}};
const double kNaN = std::nan("");
} // namespace

class TestStripChart : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { quietOffscreenWarnings(); }

    void tenMinuteDriveKeepsOneMinute();
    void burstAndClockStepsStayBounded();
    void scaleStepsOneTwoFive();
    void hiddenChartCollectsWithoutDrawing();
    void missingValueIsAGapNotAZero();
    void axisGrowsOnlyPastItsTop();
};

void TestStripChart::tenMinuteDriveKeepsOneMinute()
{
    StripTrace trace(2, 60'000, 1024);
    const std::size_t storage = trace.storageBytes();
    int largest = 0;
    QList<QPointF> points;
    for (long long ms = 0; ms <= 10 * 60'000; ms += 300) {
        const double v[] = {double(ms % 1000), double(ms / 300)};
        trace.add(ms, v);
        largest = std::max(largest, trace.size());
        QVERIFY(trace.newestMs() - trace.oldestMs() <= 60'000);
    }
    QCOMPARE(largest, 201); // 60 s of 300 ms polls, both ends included
    QCOMPARE(trace.storageBytes(), storage);
    trace.points(1, trace.newestMs(), points);
    QCOMPARE(points.size(), 201);
    QCOMPARE(points.first(), QPointF(-60.0, 1800.0));
    QCOMPARE(points.last(), QPointF(0.0, 2000.0));
    for (int i = 1; i < points.size(); ++i)
        QVERIFY(points[i].x() > points[i - 1].x());
}

void TestStripChart::burstAndClockStepsStayBounded()
{
    StripTrace trace(1, 60'000, 16);
    const double v[] = {1};
    for (int i = 0; i < 100; ++i)
        trace.add(i, v); // far faster than any poll: the oldest give way
    QCOMPARE(trace.size(), 16);
    QCOMPARE(trace.oldestMs(), 84LL);
    trace.add(10, v); // a clock that steps back does not fold the chart
    QCOMPARE(trace.newestMs(), 99LL);
    trace.add(1'000'000, v); // after a long silence only the new sample is within the minute
    QCOMPARE(trace.size(), 1);
    trace.clear();
    QCOMPARE(trace.size(), 0);
    QList<QPointF> points{{1, 1}};
    trace.points(0, 0, points);
    QVERIFY(points.isEmpty());
}

void TestStripChart::scaleStepsOneTwoFive()
{
    const std::pair<double, double> cases[] = {{0, 1},        {-5, 1},        {0.3, 0.5},   {1, 1},
                                               {1000, 1000},  {1001, 2000},   {2500, 5000}, {3000, 5000},
                                               {5001, 10000}, {65535, 100000}};
    for (auto [value, top] : cases)
        QCOMPARE(scaleCeiling(value), top);
}

void TestStripChart::hiddenChartCollectsWithoutDrawing()
{
    QWidget window;
    StripChart chart(kAxes, kChannels, &window);
    window.show();
    const double v[] = {500, 800};
    chart.add(0, v);
    QCOMPARE(chart.series(0)->count(), 1);

    chart.hide();
    const int redraws = chart.redraws();
    for (long long ms = 300; ms <= 90'000; ms += 300)
        chart.add(ms, v);
    QCOMPARE(chart.redraws(), redraws);
    QCOMPARE(chart.series(0)->count(), 1);

    chart.show(); // the last minute, at once
    QCOMPARE(chart.redraws(), redraws + 1);
    QCOMPARE(chart.series(1)->count(), chart.trace().size());
    QCOMPARE(chart.series(1)->at(0).x(), -60.0);
    QCOMPARE(chart.series(1)->at(chart.series(1)->count() - 1), QPointF(0, 800));

    chart.clear();
    QCOMPARE(chart.series(0)->count(), 0);
}

void TestStripChart::missingValueIsAGapNotAZero()
{
    QWidget window;
    StripChart chart(kAxes, kChannels, &window);
    window.show();
    const double seen[] = {450, 900}, missing[] = {kNaN, 900};
    chart.add(0, seen);
    chart.add(300, missing);
    chart.add(600, seen);
    QCOMPARE(chart.series(0)->count(), 3);
    QVERIFY(std::isnan(chart.series(0)->at(1).y()));
    QCOMPARE(chart.series(0)->at(2).y(), 450.0);
    QCOMPARE(chart.series(1)->at(1).y(), 900.0);
}

void TestStripChart::axisGrowsOnlyPastItsTop()
{
    QWidget window;
    StripChart chart(kAxes, kChannels, &window);
    window.show();
    const double low[] = {900, 4000}, high[] = {1200, 7300};
    chart.add(0, low);
    QCOMPARE(chart.axis(0)->max(), 1000.0);
    QCOMPARE(chart.axis(1)->max(), 5000.0);
    chart.add(300, high);
    QCOMPARE(chart.axis(0)->max(), 2000.0);
    QCOMPARE(chart.axis(1)->max(), 10000.0);
    chart.add(600, low); // no shrinking back with each reply
    QCOMPARE(chart.axis(0)->max(), 2000.0);
    chart.clear();
    QCOMPARE(chart.axis(0)->max(), 1000.0);
    chart.setAxisTop(0, 5000); // a 0-5 V sensor
    QCOMPARE(chart.axis(0)->max(), 5000.0);
    chart.setAxisTop(0, 0); // its type not read yet: no empty scale
    QCOMPARE(chart.axis(0)->max(), 5000.0);
}

QTEST_MAIN(TestStripChart)
#include "test_strip_chart.moc"
