#include "ui/params/level_rules.h"

#include <QTest>

namespace {

// The green lamps lit, by shape number, in the order 2, 3, 4, 5.
QList<int> lit(const GaugeLamps& lamps)
{
    QList<int> out;
    for (int shape = 2; shape <= 5; ++shape)
        if (lamps.greenLit(shape)) out << shape;
    return out;
}

// The reserve lamp over `ticks` gauge ticks at one reading: 'B' bright, 'd' dark.
QString reserveOver(GaugeLamps& lamps, int ticks, int levelMv, GaugeModel model, int minMv, int maxMv,
                    const std::array<int, 3>& percents)
{
    QString seen;
    for (int i = 0; i < ticks; ++i) {
        lamps.update(levelMv, model, minMv, maxMv, percents);
        seen += lamps.reserveBright() ? QLatin1Char('B') : QLatin1Char('d');
    }
    return seen;
}

constexpr std::array<int, 3> kQuarters{25, 50, 75};

} // namespace

class TestLevelRules : public QObject {
    Q_OBJECT
private slots:
    void thresholdsBothDirections();
    void thresholdLabelsRoundHalvesToEven();
    void threeStepGaugeRising();
    void fourStepGaugeRising();
    void fallingSensorMirrors();
    void reserveBlinksOverSixTicks();
    void lampColours();
};

void TestLevelRules::thresholdsBothDirections()
{
    QCOMPARE(thresholdMv(25, 500, 4500), 1500);
    QCOMPARE(thresholdMv(50, 500, 4500), 2500);
    QCOMPARE(thresholdMv(75, 500, 4500), 3500);
    QCOMPARE(thresholdMv(0, 500, 4500), 500);
    QCOMPARE(thresholdMv(100, 500, 4500), 4500);
    // a falling sensor: the thresholds fall from the empty-tank reading
    QCOMPARE(thresholdMv(25, 4500, 500), 3500);
    QCOMPARE(thresholdMv(75, 4500, 500), 1500);
    QCOMPARE(thresholdMv(kFourStepReservePercent, 4500, 500), 4180);
    // equal ends: every threshold is that reading
    QCOMPARE(thresholdMv(60, 2000, 2000), 2000);
    // a percentage past the range goes on past the full-tank reading, below zero when falling
    QCOMPARE(thresholdMv(150, 4500, 500), -1500);
    QCOMPARE(thresholdCentiMv(8, 500, 4500), 82000);
}

void TestLevelRules::thresholdLabelsRoundHalvesToEven()
{
    QCOMPARE(thresholdMv(50, 0, 1), 0);   // 0.5
    QCOMPARE(thresholdMv(50, 0, 3), 2);   // 1.5
    QCOMPARE(thresholdMv(50, 0, 7), 4);   // 3.5
    QCOMPARE(thresholdMv(75, 0, 14), 10); // 10.5: in binary fractions 0.14 x 75 lies just above
    QCOMPARE(thresholdMv(30, 0, 5), 2);   // 1.5
    QCOMPARE(thresholdMv(1, 0, 51), 1);   // 0.51
    QCOMPARE(thresholdMv(50, 1, 0), 0);   // 0.5 falling
    QCOMPARE(thresholdMv(150, 1, 0), 0);  // -0.5
    QCOMPARE(thresholdMv(150, 3, 0), -2); // -1.5
}

void TestLevelRules::threeStepGaugeRising()
{
    // min 500, max 4500, thresholds 25/50/75: T1 1500, T2 2500, T3 3500
    for (GaugeModel model : {GaugeModel::Switch, GaugeModel::ThreeStep}) {
        GaugeLamps lamps;
        const auto at = [&](int mv) {
            lamps.update(mv, model, 500, 4500, kQuarters);
            return lit(lamps);
        };
        QCOMPARE(at(1499), QList<int>{});
        QCOMPARE(at(1500), QList<int>({2})); // exactly at a threshold: the higher state
        QVERIFY(lamps.reserveBright());
        QCOMPARE(at(2499), QList<int>({2}));
        QCOMPARE(at(2500), QList<int>({2, 3}));
        QCOMPARE(at(3499), QList<int>({2, 3}));
        QCOMPARE(at(3500), QList<int>({2, 3, 4}));
        QCOMPARE(at(65535), QList<int>({2, 3, 4}));
        QVERIFY(!lamps.greenLit(5)); // the three-step gauges have no fifth lamp
        QCOMPARE(at(0), QList<int>{});
    }
}

void TestLevelRules::fourStepGaugeRising()
{
    // T0 = T(8) = 820 with min 500 and max 4500
    GaugeLamps lamps;
    const auto at = [&](int mv) {
        lamps.update(mv, GaugeModel::FourStep, 500, 4500, kQuarters);
        return lit(lamps);
    };
    QCOMPARE(at(819), QList<int>{});
    QCOMPARE(at(820), QList<int>({5}));
    QVERIFY(lamps.reserveBright());
    QCOMPARE(at(1499), QList<int>({5}));
    QCOMPARE(at(1500), QList<int>({2, 5}));
    QCOMPARE(at(2500), QList<int>({2, 3, 5}));
    QCOMPARE(at(3500), QList<int>({2, 3, 4, 5}));
    QCOMPARE(gaugeModelOf(2), GaugeModel::FourStep);
    QCOMPARE(gaugeModelOf(1), GaugeModel::ThreeStep);
    QCOMPARE(gaugeModelOf(0), GaugeModel::Switch);
    QCOMPARE(gaugeModelOf(7), GaugeModel::Switch); // a type the gauge does not know: three steps
}

void TestLevelRules::fallingSensorMirrors()
{
    // min 4500, max 500: T1 3500, T2 2500, T3 1500, T0 4180
    GaugeLamps lamps;
    const auto at = [&](int mv, GaugeModel model = GaugeModel::ThreeStep) {
        lamps.update(mv, model, 4500, 500, kQuarters);
        return lit(lamps);
    };
    QCOMPARE(at(3501), QList<int>{});
    QCOMPARE(at(3500), QList<int>({2}));
    QCOMPARE(at(2501), QList<int>({2}));
    QCOMPARE(at(2500), QList<int>({2, 3}));
    QCOMPARE(at(1500), QList<int>({2, 3, 4}));
    QCOMPARE(at(0), QList<int>({2, 3, 4}));
    QCOMPARE(at(4181, GaugeModel::FourStep), QList<int>{});
    QCOMPARE(at(4180, GaugeModel::FourStep), QList<int>({5}));
    QCOMPARE(at(3500, GaugeModel::FourStep), QList<int>({2, 5}));
    QCOMPARE(at(1000, GaugeModel::FourStep), QList<int>({2, 3, 4, 5}));

    // falling, a reading exactly at T1 advances the blink although one lamp shows; rising it does not
    GaugeLamps falling;
    reserveOver(falling, 2, 3500, GaugeModel::ThreeStep, 4500, 500, kQuarters);
    QCOMPARE(reserveOver(falling, 1, 4000, GaugeModel::ThreeStep, 4500, 500, kQuarters), QString("B"));
    GaugeLamps rising;
    reserveOver(rising, 2, 1500, GaugeModel::ThreeStep, 500, 4500, kQuarters);
    QCOMPARE(reserveOver(rising, 1, 1000, GaugeModel::ThreeStep, 500, 4500, kQuarters), QString("d"));
}

void TestLevelRules::reserveBlinksOverSixTicks()
{
    GaugeLamps lamps;
    QCOMPARE(reserveOver(lamps, 12, 600, GaugeModel::ThreeStep, 500, 4500, kQuarters),
             QString("ddBBBdddBBBd"));
    // leaving the reserve keeps the count; coming back goes on from it
    reserveOver(lamps, 1, 600, GaugeModel::ThreeStep, 500, 4500, kQuarters);
    reserveOver(lamps, 1, 600, GaugeModel::ThreeStep, 500, 4500, kQuarters);
    QCOMPARE(reserveOver(lamps, 1, 2000, GaugeModel::ThreeStep, 500, 4500, kQuarters), QString("B"));
    QCOMPARE(reserveOver(lamps, 1, 600, GaugeModel::ThreeStep, 500, 4500, kQuarters), QString("B"));
    lamps.restartBlink();
    QCOMPARE(reserveOver(lamps, 3, 600, GaugeModel::FourStep, 500, 4500, kQuarters), QString("ddB"));
    QCOMPARE(lit(lamps), QList<int>{});
}

void TestLevelRules::lampColours()
{
    GaugeLamps lamps;
    lamps.update(600, GaugeModel::ThreeStep, 500, 4500, kQuarters);
    QCOMPARE(lamps.reserveColour(), QColor(192, 0, 0));
    QCOMPARE(lamps.greenColour(2), QColor(0, 192, 0));
    lamps.update(2500, GaugeModel::ThreeStep, 500, 4500, kQuarters);
    QCOMPARE(lamps.reserveColour(), QColor(255, 0, 0));
    QCOMPARE(lamps.greenColour(3), QColor(0, 255, 0));
    QCOMPARE(lamps.greenColour(4), QColor(0, 192, 0));
}

QTEST_GUILESS_MAIN(TestLevelRules)
#include "test_level_rules.moc"
