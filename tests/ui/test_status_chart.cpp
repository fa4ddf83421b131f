// The status window's chart: one sample per status reply, each channel the value its box shows,
// "NC" a gap, and hiding it stops the drawing but not the minute it keeps.
#include "link/frames.h"
#include "support/grab.h"
#include "support/quiet_offscreen.h"
#include "support/window_test.h"
#include "ui/common/strip_chart.h"
#include "ui/status/status_chart.h"
#include "ui/status/status_window.h"

#include <QCheckBox>
#include <QLegendMarker>
#include <QLineEdit>
#include <QLineSeries>
#include <QScreen>
#include <QTest>

#include <cmath>

namespace {

struct Reply {
    int lambda1 = 700, lambda2 = 300, kgbCor = 123, pressure = 1230, rpm = 2500, petrol1 = 333;
};

QByteArray statusFrame(const Reply& r)
{
    QByteArray p;
    const auto add16 = [&p](int v) { p += char(v / 256) + QByteArray(1, char(v % 256)); };
    for (int v : {r.lambda1, r.lambda2, 95, r.kgbCor, r.pressure, 610, 55, 75, r.rpm, 2345})
        add16(v);
    add16(r.petrol1);
    for (int i = 1; i < 8; ++i)
        add16(300 + i);
    p += char(0); // no change-over under way
    p += char(0); // on gas
    return frames::frame(3, p);
}

} // namespace

class TestStatusChart : public FakeLinkWindowTest {
    Q_OBJECT
private slots:
    void initTestCase() { quietOffscreenWarnings(); }
    void init()
    {
        startOnFakeLink();
        link->open("/dev/ttyS0", "9600,n,8,1");
        app->state.changeoverAcknowledged = 1;
        app->navigator.open(WindowId::Status);
        window = app->navigator.window<StatusWindow>(WindowId::Status);
        chart = control<StripChart>("Form3", "StripChart");
    }
    void cleanup() { stopAll(); }

    void everyChannelIsWhatItsBoxShows();
    void oneSamplePerReply();
    void noSignalIsAGap();
    void hiddenChartStopsDrawingAndComesBackWhole();
    void legendInTheUsersLanguageAndWindowFitsTheScreen();

private:
    void tick(const Reply& reply)
    {
        emit link->received(statusFrame(reply));
        window->pollTick();
    }
    double last(StatusChannel c) const
    {
        const QLineSeries* s = chart->series(c);
        return s->count() ? s->at(s->count() - 1).y() : -1;
    }
    QString box(const char* name) { return control<QLineEdit>("Form3", name)->text(); }

    StatusWindow* window = nullptr;
    StripChart* chart = nullptr;
};

void TestStatusChart::everyChannelIsWhatItsBoxShows()
{
    Reply r;
    tick(r);
    r.lambda1 = 650;
    r.rpm = 3100;
    r.petrol1 = 1001; // gas 1001 x 123 / 100 = 1231, by the window's own rule
    tick(r);
    const std::pair<StatusChannel, const char*> pairs[] = {
        {Lambda1Channel, "Text3"},      {Lambda2Channel, "Text13"},  {RpmChannel, "Text6"},
        {PetrolTinjChannel, "Text5_0"}, {GasTinjChannel, "Text5_8"}, {PressureChannel, "Text10"}};
    for (auto [channel, name] : pairs)
        QCOMPARE(QString::number(last(channel)), box(name));
    QCOMPARE(last(GasTinjChannel), 1231.0);
    QCOMPARE(last(Lambda1Channel), 650.0);
}

void TestStatusChart::oneSamplePerReply()
{
    tick(Reply());
    tick(Reply());
    QCOMPARE(chart->trace().size(), 2);
    window->pollTick(); // nothing came back: the silence is not drawn as a repeated value
    window->pollTick();
    QCOMPARE(chart->trace().size(), 2);
    // a write echo or the changeover acknowledgement is not a status sample
    emit link->received(frames::frame(4, QByteArray()));
    window->pollTick();
    QCOMPARE(chart->trace().size(), 2);
}

void TestStatusChart::noSignalIsAGap()
{
    Reply r;
    r.lambda1 = 3;   // <= 5 mV: "NC" from the 21st tick
    r.pressure = 10; // likewise
    r.rpm = 0;       // unchanged at 0: "NC" from the 11th
    for (int i = 0; i < 25; ++i)
        tick(r);
    QCOMPARE(box("Text3"), QString("NC"));
    QCOMPARE(box("Text10"), QString("NC"));
    QCOMPARE(box("Text6"), QString("NC"));
    for (StatusChannel c : {Lambda1Channel, PressureChannel, RpmChannel})
        QVERIFY2(std::isnan(last(c)), qPrintable(QString::number(c)));
    // until then the boxes showed the number, and so did the chart
    QCOMPARE(chart->series(Lambda1Channel)->at(0).y(), 3.0);
    QCOMPARE(chart->series(PressureChannel)->at(0).y(), 10.0);
    QCOMPARE(last(Lambda2Channel), 300.0);

    r.lambda1 = 800; // the sensor is back: the line goes on after the gap
    tick(r);
    QCOMPARE(last(Lambda1Channel), 800.0);
}

void TestStatusChart::hiddenChartStopsDrawingAndComesBackWhole()
{
    auto* toggle = control<QCheckBox>("Form3", "ChartToggle");
    QVERIFY(toggle->isChecked());
    const int heightShown = window->height();
    tick(Reply());
    toggle->click();
    QVERIFY(!chart->isVisible());
    QVERIFY(window->height() < heightShown);
    const int redraws = chart->redraws();
    Reply r;
    for (int i = 0; i < 30; ++i) {
        r.rpm = 2000 + i; // moving, so it never goes stale
        tick(r);
    }
    QCOMPARE(chart->redraws(), redraws);
    QCOMPARE(chart->series(RpmChannel)->count(), 1);

    toggle->click();
    QVERIFY(chart->isVisible());
    QCOMPARE(chart->series(RpmChannel)->count(), 31);
    QCOMPARE(last(RpmChannel), 2029.0);

    // a new visit starts with an empty chart, shown
    toggle->click();
    app->navigator.close(window);
    app->navigator.open(WindowId::Status);
    QVERIFY(toggle->isChecked());
    QVERIFY(chart->isVisible());
    QCOMPARE(chart->trace().size(), 0);
    QCOMPARE(chart->series(RpmChannel)->count(), 0);
}

void TestStatusChart::legendInTheUsersLanguageAndWindowFitsTheScreen()
{
    const std::pair<int, QString> languages[] = {
        {1, "Pressione mbar"}, {2, "Pressure mbar"}, {3, "Basinc mbar"}};
    for (const auto& [index, pressure] : languages) {
        app->navigator.close(window);
        app->state.languageIndex = index;
        app->navigator.open(WindowId::Status);
        QCOMPARE(chart->series(PressureChannel)->name(), pressure);
        QVERIFY(!control<QCheckBox>("Form3", "ChartToggle")->text().isEmpty());
        tick(Reply());
        // a minute of driving, on the chart's own clock, to look at
        chart->clear();
        for (int i = 0; i <= 200; ++i) {
            const double wave = std::sin(i / 6.0);
            const double sample[kStatusChannels] = {i % 20 < 10 ? 150.0 + 20 * wave : 820.0 + 20 * wave,
                                                    i > 120 && i < 150 ? std::nan("") : 450 + 300 * wave,
                                                    2500 + 1200 * std::sin(i / 30.0),
                                                    350 + 120 * std::sin(i / 30.0),
                                                    430 + 150 * std::sin(i / 30.0),
                                                    1150 + 40 * wave};
            chart->add(i * 300LL, sample);
        }
        grabIfAsked(window, QStringLiteral("status_chart_%1").arg(index));
        const QSize size = window->sizeHint();
        QVERIFY2(size.width() <= 1024 && size.height() <= 740,
                 qPrintable(QStringLiteral("%1x%2").arg(size.width()).arg(size.height())));
        control<QCheckBox>("Form3", "ChartToggle")->click();
        grabIfAsked(window, QStringLiteral("status_chart_hidden_%1").arg(index));
    }
}

QTEST_MAIN(TestStatusChart)
#include "test_status_chart.moc"
