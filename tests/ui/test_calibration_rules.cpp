// What the calibration window computes without widgets: the marker over the grid, the averages,
// the fuel colours, the status line and the order of the write-back.
#include "link/frames.h"
#include "link/parameter_catalogue.h"
#include "link/write_session.h"
#include "ui/calibration/calibration_rules.h"
#include "ui/common/colours.h"
#include "ui/status/status_rules.h"

#include <QTest>

class TestCalibrationRules : public QObject {
    Q_OBJECT
private slots:
    void markerColumnsAndRows();
    void markerOnAxesNotStrictlyIncreasing();
    void injectionTimeAndPressureAverages();
    void lambdaAverageAfterTenPolls();
    void changeoverBlinksEveryThreePolls();
    void statusLineByStateAndLanguage();
    void writeItemNames();
};

namespace {
constexpr Axis kRpm{800, 1200, 1600, 2000, 2500, 3000, 4000, 5000};
constexpr Axis kTinj{200, 300, 400, 500, 650, 800, 1000, 1300};
} // namespace

void TestCalibrationRules::markerColumnsAndRows()
{
    QCOMPARE(markerOffset(kRpm, 800, kMarkerColumns), 1320);
    QCOMPARE(markerOffset(kRpm, 5001, kMarkerColumns), 7440);
    QCOMPARE(markerOffset(kRpm, 799, kMarkerColumns), 960);
    QCOMPARE(markerOffset(kRpm, 5000, kMarkerColumns), 1320 + 840 * 7);
    QCOMPARE(markerOffset(kRpm, 1000, kMarkerColumns), 1320 + 420);
    QCOMPARE(markerOffset(kRpm, 4500, kMarkerColumns), 1320 + 840 * 6 + 420);

    QCOMPARE(markerOffset(kTinj, 200, kMarkerRows), 840);
    QCOMPARE(markerOffset(kTinj, 1301, kMarkerRows), 4320);
    QCOMPARE(markerOffset(kTinj, 199, kMarkerRows), 720);
    QCOMPARE(markerOffset(kTinj, 250, kMarkerRows), 840 + 240);
    QCOMPARE(markerOffset(kTinj, 575, kMarkerRows), 840 + 480 * 4 - 240);
}

void TestCalibrationRules::markerOnAxesNotStrictlyIncreasing()
{
    // two equal breakpoints: no division by their difference, the marker at a segment's start
    const Axis twice{800, 1200, 1200, 2000, 2500, 3000, 4000, 5000};
    QCOMPARE(markerOffset(twice, 1200, kMarkerColumns), 1320 + 840);
    QCOMPARE(markerOffset(twice, 1600, kMarkerColumns), 1320 + 840 * 2 + 420);
    const Axis startsTwice{800, 800, 1600, 2000, 2500, 3000, 4000, 5000};
    QCOMPARE(markerOffset(startsTwice, 800, kMarkerColumns), 1320);
    QCOMPARE(markerOffset(startsTwice, 1200, kMarkerColumns), 1320 + 840 + 420);
    const Axis flat{1000, 1000, 1000, 1000, 1000, 1000, 1000, 1000};
    QCOMPARE(markerOffset(flat, 1000, kMarkerRows), 840);
    QCOMPARE(markerOffset(flat, 1001, kMarkerRows), 4320);
    QCOMPARE(markerOffset(flat, 999, kMarkerRows), 720);
    // all zero, as a blank ECU holds it
    const Axis zero{};
    QCOMPARE(markerOffset(zero, 0, kMarkerColumns), 1320);
    // out of order: still on the grid
    const Axis backwards{5000, 4000, 3000, 2500, 2000, 1600, 1200, 800};
    for (int rpm : {0, 800, 1000, 3000, 5000, 6000}) {
        const int left = markerOffset(backwards, rpm, kMarkerColumns);
        QVERIFY(left >= 960 && left <= 7440);
    }
}

void TestCalibrationRules::injectionTimeAndPressureAverages()
{
    TinjAverage steady;
    for (int i = 0; i < 9; ++i)
        steady.add(1234);
    QCOMPARE(steady.averagedTinj, 0); // shown after ten polls only
    steady.add(1234);
    QCOMPARE(steady.averagedTinj, 1230);
    QCOMPARE(steady.tinjSampleCount, 0);
    QCOMPARE(steady.tinjAccumulator, 0);

    // the sum rounds with halves to even, not the tenth alone: 0 + 0.5 -> 0, but 1 + 0.5 -> 2
    TinjAverage even;
    even.add(5);
    QCOMPARE(even.tinjAccumulator, 0);
    TinjAverage odd;
    odd.add(10);
    odd.add(5);
    QCOMPARE(odd.tinjAccumulator, 2);
    for (int i = 0; i < 8; ++i)
        odd.add(10);
    QCOMPARE(odd.averagedTinj, 10); // one low, the sum would stop at 9 and show 0
    TinjAverage halves;
    for (int i = 0; i < 5; ++i) {
        halves.add(125);
        halves.add(135);
    }
    QCOMPARE(halves.averagedTinj, 130);
    TinjAverage top;
    for (int i = 0; i < 10; ++i)
        top.add(65535);
    QCOMPARE(top.averagedTinj, 65540); // 6554 ten times, floored to tens

    QCOMPARE(smoothPressure(1000, 0), 500);
    QCOMPARE(smoothPressure(1001, 0), 500);
    QCOMPARE(smoothPressure(1003, 0), 502);
    int smoothed = 0;
    for (int i = 0; i < 40; ++i)
        smoothed = smoothPressure(1200, smoothed);
    QCOMPARE(smoothed, 1200);
    QCOMPARE(smoothPressure(65535, 65535), 65535);
}

void TestCalibrationRules::lambdaAverageAfterTenPolls()
{
    LambdaAverage average(10);
    average.seed(450);
    for (int i = 0; i < 9; ++i) {
        average.add(100 + i);
        QCOMPARE(average.shown(), QString("450"));
    }
    average.add(109);
    QCOMPARE(average.shown(), QString("104")); // 1045 / 10, floored
    average.reset();
    average.seed(7);
    for (int i = 0; i < 10; ++i)
        average.add(20);
    QCOMPARE(average.shown(), QString("20")); // a reset keeps the ten polls
}

void TestCalibrationRules::changeoverBlinksEveryThreePolls()
{
    FuelColours fuel;
    fuel.update(0, 1);
    QCOMPARE(fuel.colour(), colours::brightRed);
    QVERIFY(fuel.updatesAverage() && fuel.onPetrol());
    // starting from red: two more red, then three red, three green ...
    const QColor expected[] = {colours::brightRed,   colours::brightRed,   colours::brightRed,
                               colours::brightRed,   colours::brightRed,   colours::brightGreen,
                               colours::brightGreen, colours::brightGreen, colours::brightRed,
                               colours::brightRed,   colours::brightRed,   colours::brightGreen};
    for (const QColor& colour : expected) {
        fuel.update(3, 1);
        QCOMPARE(fuel.colour(), colour);
        QVERIFY(!fuel.updatesAverage());
    }
    fuel.update(0, 0);
    QCOMPARE(fuel.colour(), colours::brightGreen);
    QVERIFY(fuel.updatesAverage() && !fuel.onPetrol());
    // a fresh change-over starts its count again
    fuel.update(5, 0);
    fuel.update(5, 0);
    QCOMPARE(fuel.colour(), colours::brightGreen);
    fuel.update(5, 0);
    QCOMPARE(fuel.colour(), colours::brightRed);
}

void TestCalibrationRules::statusLineByStateAndLanguage()
{
    const GuidedModes none;
    QCOMPARE(calibrationStatusLine(20, 1, 35, 1800, none), QString("ASSENZA SEGNALE GIRI"));
    QCOMPARE(calibrationStatusLine(20, 3, 35, 1800, none), QString("RPM SIGNAL NOT PRESENT"));
    QCOMPARE(calibrationStatusLine(20, 2, 35, 1800, none), QString(" "));
    GuidedModes pressure;
    pressure.pressureOrTemperature = true;
    QCOMPARE(calibrationStatusLine(20, 2, 35, 1800, pressure), QString("Press MODIFY when ready"));
    QCOMPARE(calibrationStatusLine(4, 1, 35, 1800, none), QString("B->G ATTESA GIRI MINORI DI SOGLIA  1600"));
    QCOMPARE(calibrationStatusLine(2, 2, 35, 1800, none),
             QString("P->G WAITING TEMPERATURE ABOVE THRESHOLD  35"));
    QCOMPARE(calibrationStatusLine(2, 3, 35, 1800, none), QString("END THE SWITCHING BEFORE CALIBRATION"));
    QCOMPARE(calibrationStatusLine(9, 1, 35, 1800, none), QString("TINJ < SOGLIA : CUTOFF "));
    QCOMPARE(calibrationStatusLine(12, 1, 35, 1800, none), QString("B->G ATTESA FILTRO GIRI INIZIALE"));
    for (int unknown : {0, 11, 14, 19, 21, 255})
        QCOMPARE(calibrationStatusLine(unknown, 1, 35, 1800, none), QString(" "));
    // the first running guided calibration wins
    GuidedModes both;
    both.switchingRpm = true;
    both.coilsReady = true;
    QCOMPARE(
        calibrationStatusLine(0, 1, 35, 1800, both),
        QString("Portare la vettura alla soglia giri desiderata per la commutazione e premere MODIFICA"));
}

void TestCalibrationRules::writeItemNames()
{
    QCOMPARE(writeItemLabel({true, 64}, Language::English), QString("Cell row 8 column 8"));
    QCOMPARE(writeItemLabel({false, param::mapRpmAxis}, Language::Italian), QString("Asse RPM punto 1"));
    QCOMPARE(writeItemLabel({false, param::mapTinjAxis + 7}, Language::English),
             QString("TINJ axis point 8"));
}

QTEST_GUILESS_MAIN(TestCalibrationRules)
#include "test_calibration_rules.moc"
