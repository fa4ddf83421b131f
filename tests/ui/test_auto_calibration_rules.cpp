// The automatic calibration's arithmetic: the derived table, the decisions of a petrol window,
// the phase deadline, stability and the difference bar.
#include "ui/calibration/auto_calibration_rules.h"

#include <QTest>

using namespace auto_calibration;
using Kind = Decision::Kind;

Q_DECLARE_METATYPE(Decision::Kind)

namespace {

constexpr int kIdeal = 118;

Sample petrol(int tinj, int rpm = 2500)
{
    return {rpm, tinj, 0, 1};
}
Sample gas(int tinj, int rpm = 2500)
{
    return {rpm, tinj, 0, 0};
}

// Feeds `s` until the procedure asks for the phase deadline; the number of samples taken.
int untilDeadline(AutoCalibration& p, const Sample& s, std::optional<Decision>* decision = nullptr)
{
    for (int n = 1; n <= 200; ++n) {
        const SampleOutcome out = p.sample(s, 200);
        if (out.decision && decision) *decision = out.decision;
        if (out.armPhaseDeadline) return n;
    }
    return -1;
}

} // namespace

class TestAutoCalibrationRules : public QObject {
    Q_OBJECT
private slots:
    void derivedTable();
    void cellsAByteCannotCarry();
    void decisions_data();
    void decisions();
    void deviationThreshold_data();
    void deviationThreshold();
    void firstPetrolPhaseOnlyTakesTheReference();
    void deadlineArmedOncePerPhase();
    void lostStabilityDiscardsTheWindow();
    void nothingIsFoundUntilTheFuelReallyChanged();
    void foundOnlyAgainstGasMeasuredAtTheCoefficient();
    void differenceBar();
    void convergesOnTheRightCoefficient_data();
    void convergesOnTheRightCoefficient();
};

void TestAutoCalibrationRules::derivedTable()
{
    const int lpg[8] = {100, 102, 105, 108, 110, 112, 112, 112};
    const int cng[8] = {100, 98, 95, 92, 90, 88, 88, 88};
    for (const auto& [fuel, expected] : {std::pair{Fuel::Lpg, lpg}, std::pair{Fuel::Cng, cng}}) {
        const auto cells = deriveTable(100, fuel);
        for (int j = 0; j < 8; ++j) {
            QCOMPARE(cells[1 + j], expected[j]);     // lowest Tinj row
            QCOMPARE(cells[1 + 8 * j], expected[j]); // lowest RPM column
        }
        for (int r = 1; r < 8; ++r)
            for (int c = 1; c < 8; ++c)
                QCOMPARE(cells[1 + 8 * r + c], 100);
    }
    // whole per cent: no product lands a unit short
    QCOMPARE(deriveTable(50, Fuel::Lpg)[5], 55);
    QCOMPARE(deriveTable(25, Fuel::Cng)[8], 22);
}

void TestAutoCalibrationRules::cellsAByteCannotCarry()
{
    QVERIFY(cellsAboveByte(deriveTable(228, Fuel::Lpg)).isEmpty()); // 228 x 1.12 = 255.36
    QCOMPARE(cellsAboveByte(deriveTable(229, Fuel::Lpg)), QList<int>({6, 7, 8, 41, 49, 57}));
    QVERIFY(cellsAboveByte(deriveTable(255, Fuel::Cng)).isEmpty());
    // CNG lowers the lowest row and column back into range; the other 50 cells keep 256
    QCOMPARE(cellsAboveByte(deriveTable(256, Fuel::Cng)).size(), 50);
    QCOMPARE(cellsAboveByte(deriveTable(256, Fuel::Lpg)).size(), 64);
}

void TestAutoCalibrationRules::decisions_data()
{
    QTest::addColumn<int>("gasShort");
    QTest::addColumn<int>("gasLong");
    QTest::addColumn<int>("maxDeviation");
    QTest::addColumn<int>("testKgb");
    QTest::addColumn<Kind>("kind");
    QTest::addColumn<int>("after");
    QTest::addColumn<bool>("limited");

    QTest::newRow("too few long samples") << 0 << 4 << 450 << 100 << Kind::NoChange << 100 << false;
    QTest::newRow("mostly long") << 2 << 7 << 450 << 100 << Kind::Raise << 102 << false;
    QTest::newRow("mostly short") << 7 << 2 << 450 << 100 << Kind::Lower << 98 << false;
    QTest::newRow("as many of each") << 3 << 3 << 900 << 100 << Kind::NoChange << 100 << false;
    QTest::newRow("399 steps by one") << 0 << 5 << 399 << 100 << Kind::Raise << 101 << false;
    QTest::newRow("400 steps by two") << 0 << 5 << 400 << 100 << Kind::Raise << 102 << false;
    QTest::newRow("only short") << 6 << 0 << 650 << 100 << Kind::Lower << 97 << false;
    QTest::newRow("no deviation") << 0 << 0 << 0 << 100 << Kind::Found << 100 << false;
    QTest::newRow("stops at 255") << 0 << 9 << 2400 << 250 << Kind::Raise << 255 << true;
    QTest::newRow("stops at 0") << 9 << 0 << 2400 << 3 << Kind::Lower << 0 << true;
}

void TestAutoCalibrationRules::decisions()
{
    QFETCH(int, gasShort);
    QFETCH(int, gasLong);
    QFETCH(int, maxDeviation);
    QFETCH(int, testKgb);
    QFETCH(Kind, kind);
    QFETCH(int, after);
    QFETCH(bool, limited);
    const Decision d = decide(gasShort, gasLong, maxDeviation, testKgb);
    QCOMPARE(d.kind, kind);
    QCOMPARE(d.testKgb, after);
    QCOMPARE(d.limited, limited);
}

void TestAutoCalibrationRules::deviationThreshold_data()
{
    QTest::addColumn<int>("gasTinjRef");
    QTest::addColumn<Kind>("kind");
    QTest::addColumn<int>("after");
    QTest::addColumn<int>("maxDeviation");
    // petrol steady at 600; 200 away from the gas time counts, 199 does not
    QTest::newRow("gas 199 shorter") << 401 << Kind::Found << 100 << 0;
    QTest::newRow("gas 200 shorter") << 400 << Kind::Lower << 99 << 200;
    QTest::newRow("gas 201 shorter") << 399 << Kind::Lower << 99 << 201;
    QTest::newRow("gas 199 longer") << 799 << Kind::Found << 100 << 0;
    QTest::newRow("gas 200 longer") << 800 << Kind::Raise << 101 << 200;
    QTest::newRow("gas 201 longer") << 801 << Kind::Raise << 101 << 201;
}

void TestAutoCalibrationRules::deviationThreshold()
{
    QFETCH(int, gasTinjRef);
    QFETCH(Kind, kind);
    QFETCH(int, after);
    QFETCH(int, maxDeviation);
    AutoCalibration p;
    p.reset(100);
    untilDeadline(p, petrol(600));
    QVERIFY(p.phaseDeadline(true));
    QVERIFY(untilDeadline(p, gas(600)) > 0); // gas measured at the coefficient under test
    QVERIFY(p.phaseDeadline(false));
    p.gasTinjRef = gasTinjRef;
    std::optional<Decision> decision;
    QVERIFY(untilDeadline(p, petrol(600), &decision) > 0);
    QVERIFY(decision);
    QCOMPARE(decision->kind, kind);
    QCOMPARE(p.testKgb, after);
    QCOMPARE(p.maxDeviation, maxDeviation);
    QCOMPARE(p.found, kind == Kind::Found);
}

void TestAutoCalibrationRules::firstPetrolPhaseOnlyTakesTheReference()
{
    AutoCalibration p;
    p.reset(kIdeal - 20);
    std::optional<Decision> decision;
    const int taken = untilDeadline(p, petrol(603), &decision);
    QVERIFY(taken > kWindowSamples);
    QVERIFY(decision);
    QCOMPARE(decision->kind, Kind::Reference);
    QCOMPARE(p.testKgb, kIdeal - 20);
    QVERIFY(!p.found);
    // both references hold the petrol average; each fifth is rounded as it is added, so 603 gives 605
    QCOMPARE(p.petrolTinjRef, 605);
    QCOMPARE(p.gasTinjRef, 605);
    // the window is closed: more samples decide nothing until the change-over
    for (int i = 0; i < 50; ++i) {
        const SampleOutcome out = p.sample(petrol(603), 200);
        QVERIFY(!out.decision && !out.armPhaseDeadline);
    }
    QVERIFY(p.phaseDeadline(true));
    QVERIFY(!p.rpmStable && !p.tinjStable);
    // the phase counts once the car runs on gas, not when the change-over is asked for
    QCOMPARE(p.phaseCount, 0);
    QVERIFY(p.changeoverPending());
    p.sample(gas(700), 200);
    QCOMPARE(p.phaseCount, 1);
    QVERIFY(!p.changeoverPending());
}

void TestAutoCalibrationRules::nothingIsFoundUntilTheFuelReallyChanged()
{
    // the ECU does not change over: petrol against petrol would show no deviation at all
    AutoCalibration p;
    p.reset(kIdeal);
    untilDeadline(p, petrol(600));
    QVERIFY(p.phaseDeadline(true));
    for (int i = 0; i < 300; ++i) {
        const SampleOutcome out = p.sample(petrol(600), 200);
        QVERIFY(!out.decision && !out.armPhaseDeadline);
    }
    QVERIFY(p.changeoverPending() && !p.found);
    QCOMPARE(p.changeoverFrom(), 1);

    // a change-over under way (states 1..5) is no phase either, whatever the fuel flag says
    for (int i = 0; i < 100; ++i)
        QVERIFY(!p.sample({2500, 700, 3, 0}, 200).armPhaseDeadline);
    QCOMPARE(p.phaseCount, 0);
    QVERIFY(!p.tinjStable);

    // gas at last: it runs stable, back to petrol, and a window with no deviation finds the value
    QVERIFY(untilDeadline(p, gas(600)) > 0);
    QCOMPARE(p.phaseCount, 1);
    QVERIFY(p.phaseDeadline(false));
    std::optional<Decision> d;
    untilDeadline(p, petrol(600), &d);
    QCOMPARE(p.phaseCount, 2);
    QVERIFY(d);
    QCOMPARE(d->kind, Kind::Found);
}

void TestAutoCalibrationRules::foundOnlyAgainstGasMeasuredAtTheCoefficient()
{
    AutoCalibration p;
    p.reset(kIdeal);
    untilDeadline(p, petrol(600));
    p.phaseDeadline(true);
    untilDeadline(p, gas(600)); // gas measured at kIdeal
    p.phaseDeadline(false);
    p.sample(petrol(600), 200);
    p.testKgb = kIdeal + 3; // the coefficient moved since gas last ran
    std::optional<Decision> d;
    untilDeadline(p, petrol(600), &d);
    QVERIFY(d);
    QCOMPARE(d->kind, Kind::NoChange);
    QVERIFY(d->gasNotMeasured);
    QVERIFY(!p.found);
}

void TestAutoCalibrationRules::deadlineArmedOncePerPhase()
{
    // the first phase on gas goes to petrol as soon as gas is stable, and only once
    AutoCalibration p;
    p.reset(100);
    int armed = 0;
    for (int i = 0; i < 80; ++i)
        armed += p.sample(gas(700), 200).armPhaseDeadline;
    QCOMPARE(armed, 1);
    QVERIFY(p.phaseDeadline(false)); // nothing found yet: change over
    armed = 0;
    for (int i = 0; i < 80; ++i)
        armed += p.sample(petrol(600), 200).armPhaseDeadline;
    QCOMPARE(armed, 1);
}

void TestAutoCalibrationRules::lostStabilityDiscardsTheWindow()
{
    AutoCalibration p;
    p.reset(100);
    untilDeadline(p, petrol(600));
    p.phaseDeadline(true);
    p.sample(gas(900), 200); // the car changed over
    p.gasTinjRef = 900;      // gas ran long
    // stable petrol again; the window fills with long samples
    int n = 0;
    while (p.windowSamples < 10 && ++n < 200)
        p.sample(petrol(600), 200);
    QCOMPARE(p.gasLongCount, 10);
    const int deviation = p.maxDeviation;
    QVERIFY(deviation >= 300);
    // one sample far off: unstable at once, the window's counts go, the largest deviation stays
    p.sample(petrol(1200), 200);
    QVERIFY(!p.tinjStable);
    QCOMPARE(p.windowSamples, 0);
    QCOMPARE(p.gasLongCount, 0);
    QCOMPARE(p.gasShortCount, 0);
    QCOMPARE(p.maxDeviation, deviation);
}

void TestAutoCalibrationRules::differenceBar()
{
    // before any average the other fuel's reference is 0, so the difference is the time itself
    for (const auto& [tinj, lit] : {std::pair{49, 0}, {50, 1}, {99, 1}, {100, 2}, {499, 9}, {5000, 10}}) {
        AutoCalibration p;
        p.reset(100);
        p.sample(petrol(tinj), 200);
        QVERIFY(p.showsPetrol());
        QCOMPARE(p.barElementsLit(), lit);
        p.reset(100);
        p.sample(gas(tinj), 200);
        QVERIFY(!p.showsPetrol());
        QCOMPARE(p.barElementsLit(), lit);
    }
    // during a change-over (state 1..5) the petrol side shows, whatever the fuel
    AutoCalibration p;
    p.reset(100);
    p.sample({2500, 600, 1, 0}, 200);
    QVERIFY(p.showsPetrol());
}

void TestAutoCalibrationRules::convergesOnTheRightCoefficient_data()
{
    QTest::addColumn<int>("start");
    QTest::newRow("20 below") << kIdeal - 20;
    QTest::newRow("20 above") << kIdeal + 20;
    QTest::newRow("right already") << kIdeal;
}

void TestAutoCalibrationRules::convergesOnTheRightCoefficient()
{
    // a car whose gas time runs 250 long per unit of coefficient too low, as the virtual ECU's does
    QFETCH(int, start);
    AutoCalibration p;
    p.reset(start);
    bool onPetrol = true;
    for (int phase = 0; phase < 30 && !(p.found && !onPetrol); ++phase) {
        const int tinj = onPetrol ? 600 : std::max(0, 600 + 250 * (kIdeal - p.testKgb));
        QVERIFY(untilDeadline(p, {2500, tinj, 0, onPetrol ? 1 : 0}) > 0);
        if (p.phaseDeadline(onPetrol)) onPetrol = !onPetrol;
    }
    QVERIFY(p.found);
    QCOMPARE(p.testKgb, kIdeal);
    // found: on gas the deadline no longer changes fuel; the window waits for OK
    QVERIFY(!onPetrol);
    QVERIFY(!p.phaseDeadline(false));
}

QTEST_GUILESS_MAIN(TestAutoCalibrationRules)
#include "test_auto_calibration_rules.moc"
