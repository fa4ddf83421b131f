// A whole end-of-line run against the virtual ECU, key-off included, to "RESET OK".
#include "app/application.h"
#include "link/serial_link.h"
#include "sim/simulator_thread.h"
#include "support/quiet_offscreen.h"
#include "ui/common/segment_bar.h"
#include "ui/menu/main_menu.h"

#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

class TestEolRun : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { quietOffscreenWarnings(); }
    void wholeRun();
};

void TestEolRun::wholeRun()
{
    SimulatorThread sim;
    QVERIFY(sim.start());
    // a quicker bench: results at 0.4 s, key off 1.5..3.5 s, reset 3.5..4.5 s, done at 5.5 s
    sim.withEcu([](VirtualEcu& ecu) { ecu.eolTimeline = {400, 1500, 3500, 4500, 5500}; });
    SerialLink link;
    Application app(link);
    app.navigator.endProgram = [] {};
    app.state.serialPortName = sim.devicePath();
    app.start();
    app.navigator.window("Form1")->findChild<QPushButton*>("Command1")->click();
    auto* menu = app.navigator.window<MainMenu>("Form2");
    for (int* flag : {&app.state.versionReceived, &app.state.parametersReceived, &app.state.tableReceived}) {
        menu->handshakeTick();
        QTRY_COMPARE_WITH_TIMEOUT(*flag, 1, 3000);
    }
    menu->handshakeTick();
    menu->findChild<QPushButton*>("Command2")->click();
    QWidget* eol = app.navigator.window("Form9");
    eol->findChild<QRadioButton*>("Option1")->click();
    eol->findChild<QPushButton*>("Command2")->click();

    auto* instruction = eol->findChild<QLabel*>("Label12");
    QStringList seen;
    QVERIFY(QTest::qWaitFor(
        [&] {
            if (seen.isEmpty() || seen.last() != instruction->text()) seen << instruction->text();
            return instruction->text() == "RESET OK";
        },
        15000));
    QVERIFY2(seen.contains("CHIAVE OFF - PORTARLA SU ON"), qPrintable(seen.join(" | ")));
    QVERIFY(seen.contains("RESET PARAMETRI EEPROM"));
    QVERIFY(std::any_of(seen.begin(), seen.end(),
                        [](const QString& s) { return s.startsWith("ATTENDERE RESET ECU"); }));
    // cylinder 3's emulation failed on the bench; cylinder 1 passed
    QCOMPARE(eol->findChild<Lamp*>("Shape1_9")->colour(), QColor(255, 0, 0));
    QCOMPARE(eol->findChild<Lamp*>("Shape1_1")->colour(), QColor(0, 200, 0));
    QCOMPARE(eol->findChild<Lamp*>("Shape1_56")->colour(), QColor(0, 200, 0));
}

QTEST_MAIN(TestEolRun)
#include "test_eol_run.moc"
