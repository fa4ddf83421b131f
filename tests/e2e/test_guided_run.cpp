// The guided calibrations on the virtual ECU over a pseudo-terminal: each one stores its value and
// the ECU holds it.
#include "link/parameter_catalogue.h"
#include "sim/simulator_thread.h"
#include "support/grab.h"
#include "support/quiet_offscreen.h"
#include "support/window_test.h"
#include "ui/calibration/calibration_window.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>

class TestGuidedRun : public VirtualEcuWindowTest {
    Q_OBJECT
private slots:
    void initTestCase() { quietOffscreenWarnings(); }
    void init()
    {
        QVERIFY(startOnVirtualEcu());
        app->start();
    }
    void cleanup() { stopAll(); }

    void eachGuidedCalibrationIsHeldByTheEcu();

private:
    CalibrationWindow* window() { return app->navigator.window<CalibrationWindow>(WindowId::Calibration); }
    void up(const char* name, int steps)
    {
        for (int i = 0; i < steps; ++i)
            control<QScrollBar>("Form16", name)->triggerAction(QAbstractSlider::SliderSingleStepSub);
    }
    int ecuParameter(int id)
    {
        int value = -1;
        sim->withEcu([&value, id](VirtualEcu& ecu) { value = ecu.parameters[id]; });
        return value;
    }
    // Store what the box shows now; true once the ECU holds it and the window polls again.
    bool storeAndWait(const char* boxName, int id)
    {
        const int shown = control<QLineEdit>("Form16", boxName)->text().toInt();
        click("Form16", "Command7");
        if (!QTest::qWaitFor([this] { return window()->phase() == CalibrationWindow::Phase::Polling; }, 5000))
            return false;
        return ecuParameter(id) == shown && app->state.parameterValues[id] == shown;
    }
};

void TestGuidedRun::eachGuidedCalibrationIsHeldByTheEcu()
{
    sim->withEcu([](VirtualEcu& ecu) {
        ecu.engine.heldRpm = 2450;
        ecu.engine.setHeldSteady(true);
        ecu.injectorBytes = {{1, 1, 1, 0, 0, 0, 0, 0}};
    });
    QVERIFY(connectToEcu());
    click("Form2", "Command5");
    QTRY_VERIFY_WITH_TIMEOUT(app->navigator.isOpen(WindowId::Calibration), 3000);
    auto* value = control<QLineEdit>("Form16", "Text9");

    up("VScroll5", 1);
    click("Form16", "Command4");
    QTRY_VERIFY_WITH_TIMEOUT(qAbs(value->text().toInt() - 2450) <= 15, 3000);
    QVERIFY(storeAndWait("Text9", param::changeoverRpm));

    up("VScroll5", 1);
    click("Form16", "Command4");
    // the window says when the smoothed pressure has settled
    QTRY_VERIFY_WITH_TIMEOUT(control<QLabel>("Form16", "Text15")->text().endsWith(" - valore stabile"), 5000);
    QVERIFY(storeAndWait("Text9", param::calibrationPressure));

    up("VScroll5", 1);
    click("Form16", "Command4");
    QTRY_VERIFY_WITH_TIMEOUT(value->text().toInt() > 0, 3000);
    QVERIFY(storeAndWait("Text22", param::calibrationTemperature));

    up("VScroll5", 1);
    click("Form16", "Command4");
    up("VScroll6", 2);
    // the ECU counts the engine speed with the coil count tried
    QTRY_VERIFY_WITH_TIMEOUT(qAbs(control<QLineEdit>("Form16", "Text5")->text().toInt() - 2450 * 4 / 3) <= 30,
                             3000);
    click("Form16", "Command3");
    QTRY_VERIFY_WITH_TIMEOUT(control<QPushButton>("Form16", "Command7")->isEnabled(), 3000);
    QVERIFY(control<QLabel>("Form16", "Label5_2")->isVisibleTo(window()));
    QVERIFY(control<QLabel>("Form16", "Label5_11")->isVisibleTo(window()));
    grabIfAsked(window(), "form16_guided_injectors");
    click("Form16", "Command7");
    QTRY_COMPARE_WITH_TIMEOUT(window()->phase(), CalibrationWindow::Phase::Polling, 5000);
    QCOMPARE(ecuParameter(param::coilCount), 3);
    QCOMPARE(ecuParameter(param::injectorCount), 3);

    click("Form16", "Command1");
    QTRY_VERIFY_WITH_TIMEOUT(!app->navigator.isOpen(WindowId::Calibration), 3000);
}

QTEST_MAIN(TestGuidedRun)
#include "test_guided_run.moc"
