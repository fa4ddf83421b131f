// The automatic calibration on the virtual engine, whose petrol ECU moves its injection time as
// far as the gas coefficient is off the engine's true need.
// On simulated time, in this process: from 30% below and 30% above the need it ends within the
// step it can resolve, and it never finds a value while the car has not run on gas.
// Over a pseudo-terminal with the windows' own timers: the value found is written as the derived
// table and the window leaves once the ECU acknowledges; a coefficient that would need a cell
// above 255 is refused and nothing is written; a change-over the ECU ignores finds nothing.
#include "link/serial_link.h"
#include "sim/in_process_link.h"
#include "sim/simulator_thread.h"
#include "support/grab.h"
#include "support/quiet_offscreen.h"
#include "support/window_test.h"
#include "ui/calibration/auto_calibration_rules.h"
#include "ui/calibration/auto_calibration_window.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <algorithm>
#include <cmath>

namespace {

// What the procedure can tell apart at the operating point: one deviation of injection time,
// as a coefficient.
int resolvableKgb(const EngineModel& engine)
{
    const double need = engine.trueKgbAt(engine.heldRpm, engine.heldTinj);
    return static_cast<int>(std::ceil(need * auto_calibration::kDeviation / engine.heldTinj));
}

int neededKgb(const EngineModel& engine)
{
    return static_cast<int>(std::lround(engine.trueKgbAt(engine.heldRpm, engine.heldTinj)));
}

} // namespace

class TestAutoCalibrationRun : public VirtualEcuWindowTest {
    Q_OBJECT
private slots:
    void initTestCase() { quietOffscreenWarnings(); }
    void cleanup()
    {
        stopAll();
        inProcess.reset();
        car.reset();
    }

    // on simulated time
    void convergesFromThirtyPerCentOff_data();
    void convergesFromThirtyPerCentOff();
    void coldReducerFindsNothingUntilGas();
    void cellAbove255IsRefusedAndNothingIsWritten();
    // over a pseudo-terminal
    void findsTheCoefficientAndWritesTheDerivedTable();
    void neverFoundWhileTheEcuStaysOnPetrol();

private:
    AutoCalibrationWindow* window()
    {
        return app->navigator.window<AutoCalibrationWindow>(WindowId::AutoCalibration);
    }

    // The calibration window, then "TARATURA AUTOMATICA" from the coefficient the warm engine needs.
    // The procedure counts samples, not seconds: its timers, the ECU's change-over and the
    // petrol ECU's correction run faster here so that a run takes seconds, not minutes. Returns
    // the coefficient the engine needs at the calibration point and how close the procedure can
    // tell it.
    std::pair<int, int> startAutomatic()
    {
        std::pair<int, int> need;
        [&] {
            QVERIFY(startOnVirtualEcu());
            app->start();
            sim->withEcu([&](VirtualEcu& ecu) {
                ecu.engine.changeoverStepMs = 100;
                ecu.engine.loopLagMs = 200;
                ecu.engine.noisePercent = 0.5;
                ecu.engine.startTemperature = 70;
                need = {neededKgb(ecu.engine), resolvableKgb(ecu.engine)};
            });
            const int startKgb = need.first;
            QVERIFY(connectToEcu());
            click("Form2", "Command5");
            QTRY_VERIFY_WITH_TIMEOUT(app->navigator.isOpen(WindowId::Calibration), 3000);
            QTRY_VERIFY_WITH_TIMEOUT(control<QLineEdit>("Form16", "Text5")->text().toInt() > 500, 3000);
            app->state.calibrationKgb = startKgb;
            click("Form16", "Command8");
            QTRY_VERIFY_WITH_TIMEOUT(app->navigator.isOpen(WindowId::AutoCalibration), 5000);
            QCOMPARE(window()->procedure().testKgb, startKgb);
            for (const auto& [name, ms] : {std::pair{"Timer1", 150}, {"Timer2", 60}, {"Timer3", 40}})
                window()->findChild<QTimer*>(QString::fromLatin1(name))->setInterval(ms);
        }();
        return need;
    }
    std::vector<int> requests()
    {
        std::vector<int> log;
        sim->withEcu([&log](VirtualEcu& ecu) { log = ecu.requestLog; });
        return log;
    }

    // The window open on a car of this seed, calibration mode on, coefficient under test `startKgb`.
    void open(quint32 seed, int startKgb, int startTemperature = 70)
    {
        car = std::make_unique<VirtualEcu>(seed);
        car->engine.startTemperature = startTemperature;
        now = 0;
        inProcess = std::make_unique<InProcessLink>(*car, now);
        startApp(*inProcess);
        app->state.calibrationKgb = startKgb;
        inProcess->send(frames::calibrationOn());
        app->navigator.open(WindowId::AutoCalibration);
        okButton = control<QPushButton>("Form8", "Command2");
        nextSample = 300;
        phaseDue = -1;
        lastChangeMs = 0;
        gasSinceChange = false;
    }
    // The window's ticks at their periods until OK is offered or `untilMs`; false if not offered.
    // Every offer must follow a stretch on gas at the coefficient offered.
    bool runUntilFound(qint64 untilMs)
    {
        auto* phaseTimer = window()->findChild<QTimer*>(QStringLiteral("Timer1"));
        int kgb = window()->procedure().testKgb;
        while (now < untilMs && !okButton->isEnabled()) {
            if (phaseDue >= 0 && phaseDue <= nextSample) {
                now = phaseDue;
                phaseDue = -1;
                window()->phaseTick();
            } else {
                now = nextSample;
                window()->samplingTick();
                if (phaseTimer->isActive() && phaseDue < 0) phaseDue = now + 1000;
            }
            nextSample = now + 300;
            if (window()->procedure().testKgb != kgb) {
                kgb = window()->procedure().testKgb;
                lastChangeMs = now;
                gasSinceChange = false;
            }
            gasSinceChange |= !car->engine.onPetrol(now) && now - lastChangeMs > 3000;
            if (okButton->isEnabled() && !gasSinceChange) {
                QTest::qFail("found without running on gas at the coefficient found", __FILE__, __LINE__);
                return false;
            }
        }
        return okButton->isEnabled();
    }

    std::unique_ptr<VirtualEcu> car;
    std::unique_ptr<InProcessLink> inProcess;
    qint64 now = 0;
    QPushButton* okButton = nullptr;
    qint64 nextSample = 0;
    qint64 phaseDue = -1;
    qint64 lastChangeMs = 0;
    bool gasSinceChange = false;
};

void TestAutoCalibrationRun::convergesFromThirtyPerCentOff_data()
{
    QTest::addColumn<quint32>("seed");
    QTest::addColumn<double>("start"); // times the need
    QTest::newRow("30% low") << 1u << 0.7;
    QTest::newRow("30% high") << 1u << 1.3;
    QTest::newRow("30% low, another car") << 2u << 0.7;
    QTest::newRow("30% high, another car") << 2u << 1.3;
}

void TestAutoCalibrationRun::convergesFromThirtyPerCentOff()
{
    QFETCH(quint32, seed);
    QFETCH(double, start);
    const EngineModel engine(seed);
    const int need = neededKgb(engine);
    open(seed, static_cast<int>(std::lround(need * start)));
    QVERIFY(runUntilFound(3600 * 1000));
    const int found = window()->procedure().testKgb;
    qInfo("need %d, start %d: found %d after %.0f s, %d change-overs", need,
          static_cast<int>(std::lround(need * start)), found, now / 1000.0, window()->procedure().phaseCount);
    QVERIFY2(std::abs(found - need) <= resolvableKgb(engine),
             qPrintable(QStringLiteral("found %1, need %2, resolves %3")
                            .arg(found)
                            .arg(need)
                            .arg(resolvableKgb(engine))));
}

void TestAutoCalibrationRun::coldReducerFindsNothingUntilGas()
{
    // the right value from the start: a petrol phase compared with another petrol phase would
    // "find" it at once
    const EngineModel engine(1);
    open(1, neededKgb(engine), 18);
    QVERIFY(!runUntilFound(30000));
    QVERIFY(car->engine.onPetrol(now));
    QCOMPARE(app->state.liveStatus.calibrationState, 2); // waiting for the temperature
    QCOMPARE(window()->procedure().phaseCount, 0);
    QVERIFY(window()->procedure().changeoverPending());
    // warm, it changes over and the procedure goes on
    QVERIFY(runUntilFound(600 * 1000));
    QVERIFY(std::abs(window()->procedure().testKgb - neededKgb(engine)) <= resolvableKgb(engine));
}

void TestAutoCalibrationRun::findsTheCoefficientAndWritesTheDerivedTable()
{
    const auto [need, resolves] = startAutomatic();
    if (QTest::currentTestFailed()) return;
    auto* ok = control<QPushButton>("Form8", "Command2");
    QTRY_VERIFY_WITH_TIMEOUT(ok->isEnabled(), 60000);
    QCOMPARE(control<QLabel>("Form8", "Label1")->text(),
             QString("Premere OK per memorizzare il valore in tabella"));
    const int found = window()->procedure().testKgb;
    QVERIFY(std::abs(found - need) <= resolves);
    QTRY_COMPARE_WITH_TIMEOUT(control<QLineEdit>("Form8", "Text7")->text(), QString::number(found), 3000);
    grabIfAsked(window(), "form8_virtual_ecu_found");

    click("Form8", "Command2");
    QTRY_VERIFY_WITH_TIMEOUT(!app->navigator.isOpen(WindowId::AutoCalibration), 30000);
    QCOMPARE(activeName(), QString("Form16"));
    const auto derived = auto_calibration::deriveTable(found, auto_calibration::Fuel::Lpg);
    bool calibrating = true;
    OneBased<int, kTableCellCount> table;
    sim->withEcu([&](VirtualEcu& ecu) {
        calibrating = ecu.calibrationMode();
        table = ecu.table;
    });
    QCOMPARE(table, derived);
    QCOMPARE(app->state.tableCells, derived);
    QVERIFY(!calibrating);
    QCOMPARE(app->state.autoCalibrationTableReady, 0);
}

void TestAutoCalibrationRun::cellAbove255IsRefusedAndNothingIsWritten()
{
    // an engine that needs twice the stored coefficients: about 230 at the calibration point
    EngineModel engine(1);
    engine.setKgbError(*EngineModel::parseKgbError("flat:100"));
    open(1, neededKgb(engine));
    car->engine.setKgbError(engine.kgbError());
    QVERIFY(runUntilFound(600 * 1000));
    QVERIFY(window()->procedure().testKgb >= 229);
    click("Form8", "Command2");
    QCOMPARE(activeName(), QString("Form12"));
    QVERIFY(control<QLabel>("Form12", "Label1")->text().contains("supererebbero 255"));
    click("Form12", "Command1");
    for (int tick = 0; tick < 5; ++tick, now += 300)
        window()->samplingTick();
    QVERIFY(std::find(car->requestLog.begin(), car->requestLog.end(), 9) == car->requestLog.end());
    QCOMPARE(window()->phase(), AutoCalibrationWindow::Phase::Sampling);

    click("Form8", "Command1");
    for (int tick = 0; tick < 3 && app->navigator.isOpen(WindowId::AutoCalibration); ++tick, now += 300)
        window()->samplingTick();
    QVERIFY(!app->navigator.isOpen(WindowId::AutoCalibration));
    QVERIFY(!car->calibrationMode());
}

void TestAutoCalibrationRun::neverFoundWhileTheEcuStaysOnPetrol()
{
    // the right coefficient from the start: petrol compared with petrol would find it at once
    startAutomatic();
    if (QTest::currentTestFailed()) return;
    sim->withEcu([](VirtualEcu& ecu) { ecu.faults.refuseChangeover = true; });
    const auto changeovers = [this] {
        const std::vector<int> log = requests();
        return std::count(log.begin(), log.end(), 4);
    };
    // the first petrol window, then the change-over, asked again while nothing acknowledges it
    QTRY_VERIFY_WITH_TIMEOUT(changeovers() >= 3, 20000);
    QTest::qWait(2000);
    QVERIFY(!control<QPushButton>("Form8", "Command2")->isEnabled());
    QCOMPARE(window()->procedure().phaseCount, 0);
    QVERIFY(window()->procedure().changeoverPending());
    QVERIFY2(control<QLabel>("Form8", "procedureState")->text().contains("non lo ha confermato"),
             qPrintable(control<QLabel>("Form8", "procedureState")->text()));

    // the ECU takes it at last: the phases go on and the value is found
    sim->withEcu([](VirtualEcu& ecu) { ecu.faults.refuseChangeover = false; });
    QTRY_VERIFY_WITH_TIMEOUT(control<QPushButton>("Form8", "Command2")->isEnabled(), 60000);
    QVERIFY(window()->procedure().phaseCount >= 2);
    click("Form8", "Command1");
    QTRY_VERIFY_WITH_TIMEOUT(!app->navigator.isOpen(WindowId::AutoCalibration), 5000);
}

QTEST_MAIN(TestAutoCalibrationRun)
#include "test_auto_calibration_run.moc"
