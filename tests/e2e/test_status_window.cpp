// The status window on the virtual ECU: live values, change-over, unplugged sensor, lost link.
#include "link/serial_link.h"
#include "sim/simulator_thread.h"
#include "support/grab.h"
#include "support/quiet_offscreen.h"
#include "support/window_test.h"
#include "ui/common/segment_bar.h"
#include "ui/menu/main_menu.h"
#include "ui/status/status_rules.h"
#include "ui/status/status_window.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

class TestStatusWindow : public VirtualEcuWindowTest {
    Q_OBJECT
private slots:
    void initTestCase() { quietOffscreenWarnings(); }
    void init()
    {
        QVERIFY(startOnVirtualEcu());
        app->start();
    }
    void cleanup() { stopAll(); }

    void liveValuesAndChangeover();
    void unpluggedSensorShowsNC();
    void silentEcuClosesTheWindowThenTheMenu();
    void notConnectedAppearance();

private:
    StatusWindow* status() { return app->navigator.window<StatusWindow>(WindowId::Status); }
    int requestsOf(int code)
    {
        int n = 0;
        sim->withEcu([&n, code](VirtualEcu& ecu) {
            for (int c : ecu.requestLog)
                n += c == code;
        });
        return n;
    }
    // "MENU", the handshake, then "Visualizza stato vettura" until the window opens.
    bool openStatus()
    {
        if (!connectToEcu()) return false;
        click("Form2", "Command3");
        return QTest::qWaitFor([this] { return app->navigator.isOpen(WindowId::Status); }, 3000);
    }
};

void TestStatusWindow::liveValuesAndChangeover()
{
    QVERIFY(openStatus());
    QCOMPARE(form("Form3")->windowTitle(), QString("ORVANE - Visualizza stato vettura"));
    auto* rpm = control<QLineEdit>("Form3", "Text6");
    QTRY_VERIFY_WITH_TIMEOUT(rpm->text().toInt() > 500, 3000);
    QTRY_VERIFY_WITH_TIMEOUT(control<QLineEdit>("Form3", "Text5_8")->text().toInt() > 100, 3000);
    QVERIFY(control<QLineEdit>("Form3", "Text10")->text().toInt() > 500);
    QTRY_COMPARE_WITH_TIMEOUT(control<SegmentBar>("Form3", "Shape3")->colour(0), colours::yellow, 2000);
    grabIfAsked(form("Form3"), "form3_connected_it");

    // slow acknowledgements: the change-over request goes out again on every tick until answered
    sim->withEcu([](VirtualEcu& ecu) {
        ecu.faults.slowReplies = true;
        ecu.engine.changeoverStepMs = 1500; // room for a busy machine to see every state
        // warm and above the change-over speed, so that it does not wait for either
        ecu.engine.startTemperature = 70;
        ecu.engine.setHeldSteady(true);
    });
    const int before = requestsOf(4);
    control<QPushButton>("Form3", "Command2")->click();
    QCOMPARE(app->state.changeoverAcknowledged, 0);
    QTRY_COMPARE_WITH_TIMEOUT(app->state.changeoverAcknowledged, 1, 3000);
    QVERIFY(requestsOf(4) - before >= 2);
    sim->withEcu([](VirtualEcu& ecu) { ecu.faults.slowReplies = false; });

    // the gas lamp blinks while the ECU goes through states 2..5, then stays bright on gas
    auto* gasLamp = control<Lamp>("Form3", "Shape7");
    QSet<QRgb> seen;
    QSet<int> states;
    QVERIFY(QTest::qWaitFor(
        [&] {
            const int s = app->state.liveStatus.ecuState;
            if (s >= 1 && s <= 5) {
                states << s;
                seen << gasLamp->colour().rgb();
            }
            return states.size() >= 2 && s == 0 && app->state.liveStatus.onPetrol == 0;
        },
        12000));
    QVERIFY(seen.contains(colours::brightGreen.rgb()));
    QVERIFY(seen.contains(colours::darkGreen.rgb()));
    QTRY_COMPARE_WITH_TIMEOUT(gasLamp->colour(), colours::brightGreen, 2000);
    QCOMPARE(control<Lamp>("Form3", "Shape6")->colour(), colours::darkRed);

    control<QPushButton>("Form3", "Command1")->click();
    QCOMPARE(app->navigator.active()->objectName(), QString("Form2"));
}

void TestStatusWindow::unpluggedSensorShowsNC()
{
    QVERIFY(openStatus());
    sim->withEcu([](VirtualEcu& ecu) { ecu.engine.lambda1Unplugged = true; });
    QTRY_VERIFY_WITH_TIMEOUT(app->state.liveStatus.lambda1Mv <= 5, 3000);
    auto* lambda = control<QLineEdit>("Form3", "Text3");
    for (int tick = 0; tick < 21; ++tick)
        status()->pollTick();
    QCOMPARE(lambda->text(), QString("NC"));
    QVERIFY(!lambda->isEnabled());
    grabIfAsked(form("Form3"), "form3_lambda_nc_it");
    sim->withEcu([](VirtualEcu& ecu) { ecu.engine.lambda1Unplugged = false; });
    QTRY_VERIFY_WITH_TIMEOUT(lambda->text() != "NC", 3000);
    QVERIFY(lambda->isEnabled());
}

void TestStatusWindow::silentEcuClosesTheWindowThenTheMenu()
{
    app->state.languageIndex = 2;
    QVERIFY(openStatus());
    grabIfAsked(form("Form3"), "form3_connected_en");
    sim->withEcu([](VirtualEcu& ecu) { ecu.faults.silent = true; });
    QTest::qWait(200); // let a reply already on the line arrive
    app->state.statusReplySeen = 0;
    status()->supervisionTick();
    QCOMPARE(app->state.lostLinkCount, 1);
    QCOMPARE(control<QLineEdit>("Form3", "Text1")->text(),
             QString("COMMUNICATION LOST - WINDOW OF VISUALIZATION WILL BE CLOSED"));
    QVERIFY(app->navigator.isOpen(WindowId::Status));
    status()->supervisionTick();
    QVERIFY(!app->navigator.isOpen(WindowId::Status));
    QVERIFY(!app->navigator.isOpen(WindowId::MainMenu));
    // the reason stays on screen after the two windows have gone, in the user's language
    QCOMPARE(app->navigator.active()->objectName(), QString("Form12"));
    QVERIFY(control<QLabel>("Form12", "Label1")->text().contains("\nProblems on communication line."));
    QVERIFY(control<QLabel>("Form12", "Label1")->text().contains(": no answer from the ECU\n"));
    click("Form12", "Command1");
    QCOMPARE(app->navigator.active()->objectName(), QString("Form1"));
    QCOMPARE(app->state.quitOnMessageClose, 0);

    // the ECU answers again: "MENU" starts a new connection instead of a menu that closes itself
    sim->withEcu([](VirtualEcu& ecu) { ecu.faults.silent = false; });
    QVERIFY(connectToEcu());
    QVERIFY(app->navigator.isOpen(WindowId::MainMenu));
    QCOMPARE(app->state.lostLinkCount, 0);
}

void TestStatusWindow::notConnectedAppearance()
{
    app->state.languageIndex = 3;
    control<QPushButton>("Form1", "Command7")->click();
    control<QPushButton>("Form1", "Command1")->click();
    control<QPushButton>("Form2", "Command3")->click();
    QVERIFY(app->navigator.isOpen(WindowId::Status));
    QCOMPARE(form("Form3")->windowTitle(), QString("ORVANE - Arabanin genel durumu Beyne bagli degil"));
    QVERIFY(!control<QPushButton>("Form3", "Command2")->isEnabled());
    QCOMPARE(control<SegmentBar>("Form3", "Shape1")->colour(19), colours::yellow);
    QCOMPARE(control<SegmentBar>("Form3", "Shape1")->colour(17), oxygenBaseColour(17));
    QCOMPARE(control<SegmentBar>("Form3", "Shape2")->colour(0), colours::yellow);
    QCOMPARE(control<SegmentBar>("Form3", "Shape3")->colour(1), colours::yellow);
    QCOMPARE(control<SegmentBar>("Form3", "Shape3")->colour(2), colours::darkRed);
    QCOMPARE(control<Lamp>("Form3", "Shape6")->colour(), colours::yellow);
    QCOMPARE(requestsOf(3), 0);
    grabIfAsked(form("Form3"), "form3_offline_tr");
}

QTEST_MAIN(TestStatusWindow)
#include "test_status_window.moc"
