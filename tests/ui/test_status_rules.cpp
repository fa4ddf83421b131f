#include "ui/status/status_rules.h"

#include <QTest>

namespace {

QList<int> marked(const std::array<bool, kOxygenSegments>& marks)
{
    QList<int> out;
    for (int i = 0; i < kOxygenSegments; ++i)
        if (marks[static_cast<size_t>(i)]) out << i;
    return out;
}

template <size_t N> QList<int> lit(const std::array<bool, N>& segments)
{
    QList<int> out;
    for (size_t i = 0; i < N; ++i)
        if (segments[i]) out << static_cast<int>(i);
    return out;
}

} // namespace

class TestStatusRules : public QObject {
    Q_OBJECT
private slots:
    void missingSignalThresholds();
    void staleValues();
    void averages();
    void gasTime();
    void oxygenBars();
    void pressureAndLevelBars();
    void lampsBlinkThroughAChangeover();
    void stateMessages();
};

void TestStatusRules::missingSignalThresholds()
{
    // lambda: 5 mV counts as missing; "NC" from the 21st tick
    MissingSignalCounter lambda(19);
    for (int tick = 1; tick <= 20; ++tick)
        QCOMPARE(lambda.apply(true, "5").text, QString("5"));
    BoxView nc = lambda.apply(true, "5");
    QCOMPARE(nc.text, QString("NC"));
    QVERIFY(!nc.enabled);
    QCOMPARE(lambda.apply(true, "3").text, QString("NC"));
    BoxView back = lambda.apply(false, "6");
    QCOMPARE(back.text, QString("6"));
    QVERIFY(back.enabled);
    QCOMPARE(lambda.count(), 0);

    // temperature: "NC" from the 101st zero; temperature 2 shows raw - 40 until then
    MissingSignalCounter temperature(99);
    for (int tick = 1; tick <= 100; ++tick)
        QCOMPARE(temperature.apply(true, "-40").text, QString("-40"));
    QCOMPARE(temperature.apply(true, "-40").text, QString("NC"));

    // pressure: exactly 10 for 20 ticks keeps showing 10, the 21st is "NC", 11 restores at once
    MissingSignalCounter pressure(19);
    for (int tick = 1; tick <= 20; ++tick)
        QCOMPARE(pressure.apply(true, "10").text, QString("10"));
    QCOMPARE(pressure.apply(true, "10").text, QString("NC"));
    QCOMPARE(pressure.apply(false, "11").text, QString("11"));
    QVERIFY(pressure.apply(true, "10").enabled); // counting starts again from zero
}

void TestStatusRules::staleValues()
{
    StaleValueWatch rpm;
    bool enabled = true;
    BoxView view = rpm.apply(850, enabled);
    for (int tick = 1; tick <= 10; ++tick) {
        view = rpm.apply(850, view.enabled);
        QVERIFY(view.enabled);
    }
    view = rpm.apply(850, view.enabled); // 11th unchanged tick: greyed, number kept
    QVERIFY(!view.enabled);
    QCOMPARE(view.text, QString("850"));
    view = rpm.apply(851, view.enabled);
    QVERIFY(view.enabled);

    StaleValueWatch stopped;
    view = stopped.apply(0, true); // 0 is also the starting value: unchanged from the first tick
    for (int tick = 2; tick <= 10; ++tick)
        view = stopped.apply(0, view.enabled);
    QCOMPARE(view.text, QString("0"));
    view = stopped.apply(0, view.enabled);
    QCOMPARE(view.text, QString("NC"));
    QVERIFY(!view.enabled);
}

void TestStatusRules::averages()
{
    LambdaAverage lambda;
    lambda.seed(432);
    for (int tick = 1; tick < 100; ++tick) {
        lambda.add(tick < 50 ? 100 : 901);
        QCOMPARE(lambda.shown(), QString("432"));
    }
    lambda.add(901);
    // (49 x 100 + 51 x 901) / 100 = 508.51
    QCOMPARE(lambda.shown(), QString("508"));
    // a steady sensor averages to itself, for every value it can read
    for (int mv = 0; mv <= 5000; ++mv) {
        LambdaAverage steady;
        for (int tick = 0; tick < 100; ++tick)
            steady.add(mv);
        QCOMPARE(steady.shown(), QString::number(mv));
    }

    LevelAverage level;
    level.seed(3000);
    for (int tick = 1; tick < 50; ++tick)
        level.add(2019);
    QCOMPARE(level.shown(), 3000);
    level.add(2019);
    QCOMPARE(level.shown(), 2010); // each sample cut to tens first
}

void TestStatusRules::gasTime()
{
    QCOMPARE(gasInjectionTime(450, 120), 540);
    QCOMPARE(gasInjectionTime(450, 0), 0);
    QCOMPARE(gasInjectionTime(7, 10), 0);
    QCOMPARE(gasInjectionTime(65535, 65535), 42948362);
}

void TestStatusRules::oxygenBars()
{
    // straight 0-1 V
    QCOMPARE(marked(oxygenMarkers(0, 2, 1000, 50)), QList<int>{19});
    QCOMPARE(marked(oxygenMarkers(1000, 2, 1000, 50)), QList<int>{0});
    QCOMPARE(marked(oxygenMarkers(4000, 2, 1000, 50)), QList<int>{0});
    QCOMPARE(marked(oxygenMarkers(950, 2, 1000, 50)), (QList<int>{0, 1}));
    QCOMPARE(marked(oxygenMarkers(960, 2, 1000, 50)), QList<int>{0});
    // inverted 5-0 V
    QCOMPARE(marked(oxygenMarkers(0, 1, 5000, 250)), QList<int>{0});
    QCOMPARE(marked(oxygenMarkers(5000, 1, 5000, 250)), QList<int>{19});
    QCOMPARE(marked(oxygenMarkers(4800, 1, 5000, 250)), QList<int>{19});
    QCOMPARE(marked(oxygenMarkers(250, 1, 5000, 250)), (QList<int>{0, 1}));

    QCOMPARE(oxygenBaseColour(0), QColor(150, 0, 0));
    QCOMPARE(oxygenBaseColour(5), QColor(220, 150, 0));
    QCOMPARE(oxygenBaseColour(12), QColor(50, 150, 0));
    QCOMPARE(oxygenBaseColour(19), QColor(150, 0, 0));
}

void TestStatusRules::pressureAndLevelBars()
{
    QCOMPARE(lit(pressureSegments(0)), QList<int>{0});
    QCOMPARE(lit(pressureSegments(149)), QList<int>{0});
    QCOMPARE(lit(pressureSegments(150)), (QList<int>{0, 1}));
    QCOMPARE(lit(pressureSegments(3000)).size(), 20);
    QCOMPARE(lit(pressureSegments(2849)).size(), 19);

    // a sensor whose reading falls as the tank fills
    QVERIFY(lit(levelSegments(4000, 4000, 500, 218.75)).isEmpty());
    QCOMPARE(lit(levelSegments(3900, 4000, 500, 218.75)), QList<int>{0});
    QCOMPARE(lit(levelSegments(500, 4000, 500, 218.75)).size(), 16);
    // and one whose reading rises
    QCOMPARE(lit(levelSegments(500, 500, 4000, 218.75)), QList<int>{0});
    QCOMPARE(lit(levelSegments(3782, 500, 4000, 218.75)).size(), 16);
    QCOMPARE(lit(levelSegments(3781, 500, 4000, 218.75)).size(), 15);
    QVERIFY(lit(levelSegments(499, 500, 4000, 218.75)).isEmpty());

    QCOMPARE(levelColour(3, true), QColor(255, 0, 0));
    QCOMPARE(levelColour(4, true), QColor(0, 255, 0));
    QCOMPARE(levelColour(3, false), QColor(150, 0, 0));
    QCOMPARE(levelColour(15, false), QColor(0, 150, 0));
}

void TestStatusRules::lampsBlinkThroughAChangeover()
{
    FuelLamps lamps;
    lamps.update(0, 1);
    QCOMPARE(lamps.petrol(), colours::brightRed);
    QCOMPARE(lamps.gas(), colours::darkGreen);
    QList<bool> gasBright;
    for (int tick = 0; tick < 12; ++tick) {
        lamps.update(3, 1);
        QCOMPARE(lamps.petrol(), colours::darkRed);
        gasBright << (lamps.gas() == colours::brightGreen);
    }
    // ticks 1-2 keep the colour, 3-5 dark, 6 bright: a 1.8 s period
    QCOMPARE(gasBright,
             (QList<bool>{false, false, false, false, false, true, true, true, false, false, false, true}));
    lamps.update(0, 0);
    QCOMPARE(lamps.petrol(), colours::darkRed);
    QCOMPARE(lamps.gas(), colours::brightGreen);
    lamps.update(7, 0); // safety: petrol
    QCOMPARE(lamps.petrol(), colours::brightRed);
}

void TestStatusRules::stateMessages()
{
    QCOMPARE(ecuStateMessage(4, 1, 35, 1200), QString("B->G ATTESA GIRI MINORI DI SOGLIA  1000"));
    QCOMPARE(ecuStateMessage(3, 2, 35, 1200), QString("P->G WAITING RPM ABOVE THRESHOLD  1200"));
    QCOMPARE(ecuStateMessage(2, 3, 35, 1200), QString("P->G WAITING TEMPERATURE  35"));
    QCOMPARE(ecuStateMessage(9, 1, 0, 0), QString("TINJ < SOGLIA : CUTOFF "));
    QCOMPARE(ecuStateMessage(20, 1, 0, 0), QString("ASSENZA SEGNALE GIRI"));
    QCOMPARE(ecuStateMessage(20, 2, 0, 0), QString("RPM SIGNAL NOT PRESENT"));
    QCOMPARE(ecuStateMessage(20, 3, 0, 0), QString(" "));
    for (int language = 1; language <= 3; ++language) {
        QCOMPARE(ecuStateMessage(11, language, 0, 0), QString(" "));
        QCOMPARE(ecuStateMessage(0, language, 0, 0), QString(" "));
        QCOMPARE(ecuStateMessage(21, language, 0, 0), QString(" "));
    }
    QCOMPARE(ecuStateMessage(13, 3, 0, 0), QString("GAS FINISHING - SWITCH TO PETROL"));
}

QTEST_APPLESS_MAIN(TestStatusRules)
#include "test_status_rules.moc"
