// The correctives' arithmetic and the guided calibrations' bookkeeping, without any window.
#include "link/frames.h"
#include "link/parameter_catalogue.h"
#include "ui/calibration/calibration_rules.h"
#include "ui/calibration/corrective_rules.h"
#include "ui/calibration/guided_calibration.h"

#include <QTest>

class TestGuidedRules : public QObject {
    Q_OBJECT
private slots:
    void correctivesTruncateTowardZero();
    void correctivesOfTypedValuesBeyondTheSpinnersDoNotOverflow();
    void selectorWrapsAndInjectorsAreSummed();
    void coilCountIsWrittenBeforeTheInjectors();
    void abandonedCalibrationLeavesNothingWanted();
    void valueIsSteadyAfterFivePollsWithinTolerance();
    void turkishPromptsAreTheOneTurkishText();
};

void TestGuidedRules::correctivesTruncateTowardZero()
{
    // interval 10, variation 3, calibration temperature 40
    QCOMPARE(temperatureCorrective(65, 40, 3, 10), 7LL);  // 7.5
    QCOMPARE(temperatureCorrective(25, 40, 3, 10), -4LL); // -4.5
    QCOMPARE(temperatureCorrective(250, 40, 3, 0), 0LL);

    // interval 100, variation 2, calibration pressure 1000, threshold 1500 rpm
    QCOMPARE(pressureCorrective(950, 1000, 2, 100, 1500, 1500), 1LL);
    QCOMPARE(pressureCorrective(950, 1000, 2, 100, 1499, 1500), 0LL);
    QCOMPARE(pressureCorrective(1049, 1000, 2, 100, 3000, 1500), 0LL); // -0.98
    QCOMPARE(pressureCorrective(0, 1000, 2, 0, 3000, 1500), 0LL);
}

void TestGuidedRules::correctivesOfTypedValuesBeyondTheSpinnersDoNotOverflow()
{
    QCOMPARE(temperatureCorrective(65535, 0, 65535, 1), 65535LL * 65535LL);
    QCOMPARE(pressureCorrective(0, 65535, 65535, 3, 0, 0), 65535LL * 65535LL / 3);
    QCOMPARE(temperatureCorrective(0, 65535, 65535, 1), -65535LL * 65535LL);
}

void TestGuidedRules::selectorWrapsAndInjectorsAreSummed()
{
    QCOMPARE(wrapGuidedPosition(6), 1);
    QCOMPARE(wrapGuidedPosition(0), 5);
    QCOMPARE(wrapGuidedPosition(3), 3);
    QCOMPARE(injectorCountOf({{1, 1, 1, 1, 0, 0, 0, 0}}), 4);
    // the ECU may read it as a mask of the injectors fitted
    QCOMPARE(injectorCountOf({{1, 2, 4, 8, 0, 0, 0, 0}}), 15);
}

void TestGuidedRules::coilCountIsWrittenBeforeTheInjectors()
{
    SharedState s;
    s.parameterValues[param::coilCount] = s.pendingParameterValues[param::coilCount] = 4;
    GuidedCalibration guided(s);
    guided.start(GuidedCalibration::Kind::Coils);
    QCOMPARE(s.trialCoilCount, 1);
    s.trialCoilCount = 6;
    s.calibrationExtra = {{1, 1, 1, 1, 1, 1, 0, 0}};
    s.calibrationExtraReceived = 1;
    guided.confirmCoils();
    QCOMPARE(guided.coilTick(), GuidedCalibration::CoilStep::InjectorsIn);
    QVERIFY(guided.injectorsShown());

    // the write session's order: the coil count, then the injectors the ECU reported
    const std::vector<WriteValue> values = guided.storeCoils();
    QCOMPARE(values.size(), size_t(2));
    QCOMPARE(values[0].item, (WriteItem{false, param::coilCount}));
    QCOMPARE(values[0].value, 6);
    QCOMPARE(values[1].item, (WriteItem{false, param::injectorCount}));
    QCOMPARE(values[1].value, 6);
    // storing wants nothing by itself: the session sets what it writes
    QCOMPARE(s.pendingParameterValues[param::coilCount], 4);

    QCOMPARE(guided.finishWrite(), GuidedCalibration::Kind::Coils);
    QCOMPARE(s.coilCalibrationMode, 0);
    QCOMPARE(s.calibrationExtraReceived, 0);
    QCOMPARE(guided.finishWrite(), GuidedCalibration::Kind::None);
}

void TestGuidedRules::abandonedCalibrationLeavesNothingWanted()
{
    SharedState s;
    s.parameterValues[param::changeoverRpm] = s.pendingParameterValues[param::changeoverRpm] = 1800;
    GuidedCalibration guided(s);
    guided.start(GuidedCalibration::Kind::SwitchingRpm);
    const std::vector<WriteValue> values = guided.store(2450);
    QCOMPARE(values.size(), size_t(1));
    QCOMPARE(values[0].item, (WriteItem{false, param::changeoverRpm}));
    QCOMPARE(guided.abandon(), GuidedCalibration::Kind::SwitchingRpm);
    QCOMPARE(s.switchingRpmMode, 0);
    QCOMPARE(s.pendingParameterValues[param::changeoverRpm], 1800);
    QVERIFY(guided.store(2450).empty()); // nothing runs: nothing to store

    // the coils wait for the injector bytes before they end, whatever the order of events
    guided.start(GuidedCalibration::Kind::Coils);
    guided.abandon();
    QVERIFY(guided.abandoning());
    QVERIFY(!guided.tryingCoils());
    QCOMPARE(guided.coilTick(), GuidedCalibration::CoilStep::AskInjectors);
    s.calibrationExtraReceived = 1;
    QCOMPARE(guided.coilTick(), GuidedCalibration::CoilStep::Abandoned);
    QCOMPARE(guided.running(), GuidedCalibration::Kind::None);

    // asked again while the ECU stays silent, or the port gone: they end at once
    guided.start(GuidedCalibration::Kind::Coils);
    guided.abandon();
    guided.stopWaiting();
    QCOMPARE(guided.running(), GuidedCalibration::Kind::None);
    guided.start(GuidedCalibration::Kind::Pressure);
    guided.drop();
    QCOMPARE(guided.running(), GuidedCalibration::Kind::None);
}

void TestGuidedRules::valueIsSteadyAfterFivePollsWithinTolerance()
{
    SteadyValue value;
    for (int v : {1000, 1010, 1005, 1000})
        value.add(v, 10);
    QVERIFY(!value.steady());
    value.add(1002, 10);
    QVERIFY(value.steady());
    // the spread counts, not the step: a slow drift is not steady
    value.add(1011, 10);
    QVERIFY(!value.steady());
    for (int v : {1012, 1013, 1014, 1015})
        value.add(v, 10);
    QVERIFY(value.steady());
}

void TestGuidedRules::turkishPromptsAreTheOneTurkishText()
{
    const QString turkish("Yakit degisimi icin arabayi istenilen devire getirin TAMAM's basin");
    for (const GuidedModes& modes :
         {GuidedModes{true, false, false, false}, GuidedModes{false, true, false, false},
          GuidedModes{false, false, true, false}, GuidedModes{false, false, false, true}})
        QCOMPARE(calibrationStatusLine(0, 3, 35, 1800, modes), turkish);
}

QTEST_GUILESS_MAIN(TestGuidedRules)
#include "test_guided_rules.moc"
