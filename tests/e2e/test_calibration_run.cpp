// The calibration window on the virtual ECU over a pseudo-terminal: the mode switched on, the
// coefficient under test carried by the polls, three cells edited and stored.
#include "link/serial_link.h"
#include "sim/simulator_thread.h"
#include "support/grab.h"
#include "support/quiet_offscreen.h"
#include "support/window_test.h"
#include "ui/calibration/calibration_window.h"

#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>

class TestCalibrationRun : public VirtualEcuWindowTest {
    Q_OBJECT
private slots:
    void initTestCase() { quietOffscreenWarnings(); }
    void init()
    {
        QVERIFY(startOnVirtualEcu());
        app->start();
    }
    void cleanup() { stopAll(); }

    void storeThreeCellsInCalibrationMode();
};

void TestCalibrationRun::storeThreeCellsInCalibrationMode()
{
    QVERIFY(connectToEcu());
    click("Form2", "Command5");
    QTRY_VERIFY_WITH_TIMEOUT(app->navigator.isOpen(WindowId::Calibration), 3000);
    auto* window = app->navigator.window<CalibrationWindow>(WindowId::Calibration);
    QTRY_VERIFY_WITH_TIMEOUT(control<QLineEdit>("Form16", "Text5")->text().toInt() > 500, 3000);

    click("Form16", "Command9");
    QTRY_COMPARE_WITH_TIMEOUT(window->windowTitle(), QString("ORVANE - Taratura vettura Attivata"), 3000);
    QTRY_COMPARE_WITH_TIMEOUT(window->phase(), CalibrationWindow::Phase::Polling, 3000);
    bool on = false;
    sim->withEcu([&on](VirtualEcu& ecu) { on = ecu.calibrationMode(); });
    QVERIFY(on);

    auto* spinner = control<QScrollBar>("Form16", "VScroll1");
    const int kgb = app->state.calibrationKgb;
    spinner->triggerAction(QAbstractSlider::SliderSingleStepSub);
    spinner->triggerAction(QAbstractSlider::SliderSingleStepSub);
    QCOMPARE(app->state.calibrationKgb, kgb + 2);
    int underTest = -1;
    QTRY_VERIFY_WITH_TIMEOUT((sim->withEcu([&underTest](VirtualEcu& ecu) { underTest = ecu.kgbUnderTest(); }),
                              underTest == kgb + 2),
                             3000);
    QTRY_COMPARE_WITH_TIMEOUT(control<QLineEdit>("Form16", "Text14")->text().toInt(), kgb + 2, 3000);

    const std::pair<int, int> edits[] = {{1, 61}, {30, 142}, {64, 203}};
    for (const auto& [cell, value] : edits) {
        auto* box = control<QLineEdit>("Form16", qPrintable(QStringLiteral("Text6_%1").arg(15 + cell)));
        box->selectAll();
        QTest::keyClicks(box, QString::number(value));
    }
    grabIfAsked(window, "form16_connected");
    click("Form16", "Command7");
    QCOMPARE(window->phase(), CalibrationWindow::Phase::WritingBack);
    QTRY_COMPARE_WITH_TIMEOUT(window->phase(), CalibrationWindow::Phase::Polling, 5000);
    sim->withEcu([&edits](VirtualEcu& ecu) {
        for (const auto& [cell, value] : edits)
            QCOMPARE(ecu.table[cell], value);
    });
    for (const auto& [cell, value] : edits)
        QCOMPARE(app->state.tableCells[cell], value);

    click("Form16", "Command1");
    QTRY_VERIFY_WITH_TIMEOUT(!app->navigator.isOpen(WindowId::Calibration), 3000);
    sim->withEcu([&on](VirtualEcu& ecu) { on = ecu.calibrationMode(); });
    QVERIFY(!on);
}

QTEST_MAIN(TestCalibrationRun)
#include "test_calibration_run.moc"
