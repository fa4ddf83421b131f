// The automatic calibration on the virtual ECU over a pseudo-terminal: the procedure finds the
// coefficient the ECU needs, OK writes the derived table and the window leaves once the ECU
// acknowledges; a coefficient that would need a cell above 255 is refused and nothing is written.
#include "link/serial_link.h"
#include "sim/simulator_thread.h"
#include "support/grab.h"
#include "support/quiet_offscreen.h"
#include "support/window_test.h"
#include "ui/calibration/auto_calibration_rules.h"
#include "ui/calibration/auto_calibration_window.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <algorithm>

class TestAutoCalibrationRun : public VirtualEcuWindowTest {
    Q_OBJECT
private slots:
    void initTestCase() { quietOffscreenWarnings(); }
    void init()
    {
        QVERIFY(startOnVirtualEcu());
        app->start();
    }
    void cleanup() { stopAll(); }

    void findsTheCoefficientAndWritesTheDerivedTable();
    void cellAbove255IsRefusedAndNothingIsWritten();
    void neverFoundWhileTheEcuStaysOnPetrol();

private:
    AutoCalibrationWindow* window()
    {
        return app->navigator.window<AutoCalibrationWindow>(WindowId::AutoCalibration);
    }

    // The calibration window, then "TARATURA AUTOMATICA" from `startKgb` on an ECU that needs
    // `idealKgb`. The procedure counts samples, not seconds: its timers and the ECU's change-over
    // run faster here so that a run takes seconds, not minutes.
    void startAutomatic(int idealKgb, int startKgb)
    {
        sim->withEcu([idealKgb](VirtualEcu& ecu) {
            ecu.idealKgb = idealKgb;
            ecu.engine.changeoverStepMs = 100;
        });
        QVERIFY(connectToEcu());
        click("Form2", "Command5");
        QTRY_VERIFY_WITH_TIMEOUT(app->navigator.isOpen(WindowId::Calibration), 3000);
        QTRY_VERIFY_WITH_TIMEOUT(control<QLineEdit>("Form16", "Text5")->text().toInt() > 500, 3000);
        app->state.calibrationKgb = startKgb;
        click("Form16", "Command8");
        QTRY_VERIFY_WITH_TIMEOUT(app->navigator.isOpen(WindowId::AutoCalibration), 5000);
        QCOMPARE(window()->procedure().testKgb, startKgb);
        for (const auto& [name, ms] : {std::pair{"Timer1", 200}, {"Timer2", 80}, {"Timer3", 40}})
            window()->findChild<QTimer*>(QString::fromLatin1(name))->setInterval(ms);
    }
    std::vector<int> requests()
    {
        std::vector<int> log;
        sim->withEcu([&log](VirtualEcu& ecu) { log = ecu.requestLog; });
        return log;
    }
};

void TestAutoCalibrationRun::findsTheCoefficientAndWritesTheDerivedTable()
{
    startAutomatic(118, 116);
    auto* ok = control<QPushButton>("Form8", "Command2");
    QTRY_VERIFY_WITH_TIMEOUT(ok->isEnabled(), 90000);
    QCOMPARE(control<QLabel>("Form8", "Label1")->text(),
             QString("Premere OK per memorizzare il valore in tabella"));
    QCOMPARE(window()->procedure().testKgb, 118);
    QTRY_COMPARE_WITH_TIMEOUT(control<QLineEdit>("Form8", "Text7")->text(), QString("118"), 3000);
    grabIfAsked(window(), "form8_virtual_ecu_found");

    click("Form8", "Command2");
    QTRY_VERIFY_WITH_TIMEOUT(!app->navigator.isOpen(WindowId::AutoCalibration), 30000);
    QCOMPARE(activeName(), QString("Form16"));
    const auto derived = auto_calibration::deriveTable(118, auto_calibration::Fuel::Lpg);
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
    startAutomatic(240, 240);
    auto* ok = control<QPushButton>("Form8", "Command2");
    QTRY_VERIFY_WITH_TIMEOUT(ok->isEnabled(), 60000);
    click("Form8", "Command2");
    QCOMPARE(activeName(), QString("Form12"));
    QVERIFY(control<QLabel>("Form12", "Label1")->text().contains("supererebbero 255"));
    click("Form12", "Command1");
    QTest::qWait(300);
    const std::vector<int> log = requests();
    QVERIFY(std::find(log.begin(), log.end(), 9) == log.end());
    QCOMPARE(window()->phase(), AutoCalibrationWindow::Phase::Sampling);

    click("Form8", "Command1");
    QTRY_VERIFY_WITH_TIMEOUT(!app->navigator.isOpen(WindowId::AutoCalibration), 5000);
    bool calibrating = true;
    sim->withEcu([&calibrating](VirtualEcu& ecu) { calibrating = ecu.calibrationMode(); });
    QVERIFY(!calibrating);
}

void TestAutoCalibrationRun::neverFoundWhileTheEcuStaysOnPetrol()
{
    // the right coefficient from the start: petrol compared with petrol would find it at once
    startAutomatic(118, 118);
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
    QTRY_VERIFY_WITH_TIMEOUT(control<QPushButton>("Form8", "Command2")->isEnabled(), 90000);
    QVERIFY(window()->procedure().phaseCount >= 2);
    click("Form8", "Command1");
    QTRY_VERIFY_WITH_TIMEOUT(!app->navigator.isOpen(WindowId::AutoCalibration), 5000);
}

QTEST_MAIN(TestAutoCalibrationRun)
#include "test_auto_calibration_run.moc"
