// "MENU" against the virtual ECU over a pseudo-terminal: the real port, the real timers.
#include "link/serial_link.h"
#include "sim/simulator_thread.h"
#include "support/grab.h"
#include "support/quiet_offscreen.h"
#include "support/window_test.h"
#include "ui/menu/main_menu.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

class TestConnectHandshake : public VirtualEcuWindowTest {
    Q_OBJECT
private slots:
    void initTestCase() { quietOffscreenWarnings(); }
    void init()
    {
        QVERIFY(startOnVirtualEcu());
        app->context.simulated = true;
        app->context.simulatedPort = sim->devicePath();
        app->start();
    }
    void cleanup() { stopAll(); }

    void menuReadsVersionParametersAndTableInOrder();
    void silentEcuIsReportedAndMenuCanBeRetried();

private:
    QPushButton* button(const char* formName, const char* name)
    {
        return control<QPushButton>(formName, name);
    }
    std::vector<int> requests()
    {
        std::vector<int> log;
        sim->withEcu([&log](VirtualEcu& ecu) { log = ecu.requestLog; });
        return log;
    }
};

void TestConnectHandshake::menuReadsVersionParametersAndTableInOrder()
{
    QVERIFY(app->navigator.window(WindowId::Start)
                ->findChild<QLabel*>("Label15")
                ->text()
                .contains(sim->devicePath()));
    grabIfAsked(app->navigator.window(WindowId::Start), "form1_simulated");
    button("Form1", "Command1")->click();
    QVERIFY(link->isOpen());
    // the menu's own 1000 ms timer drives the handshake
    QTRY_VERIFY_WITH_TIMEOUT(button("Form2", "Command3")->isEnabled(), 8000);
    QCOMPARE(requests(), (std::vector<int>{7, 1, 8}));
    QCOMPARE(app->navigator.window(WindowId::MainMenu)->findChild<QLineEdit*>("Text1")->text(),
             QString("2.1.7"));
    QCOMPARE(app->state.parameterValues, VirtualEcu::defaultParameters());
    QCOMPARE(app->state.tableCells, VirtualEcu::defaultTable());
    QVERIFY(button("Form2", "Command5")->isEnabled());
    QVERIFY(!button("Form2", "Command6")->isEnabled());
    grabIfAsked(app->navigator.window(WindowId::MainMenu), "form2_simulated");
}

void TestConnectHandshake::silentEcuIsReportedAndMenuCanBeRetried()
{
    sim->withEcu([](VirtualEcu& ecu) { ecu.faults.silent = true; });
    button("Form1", "Command1")->click();
    auto* menu = app->navigator.window<MainMenu>(WindowId::MainMenu);
    for (int i = 0; i < MainMenu::kVersionTries + 1; ++i)
        menu->handshakeTick();
    QTRY_COMPARE_WITH_TIMEOUT(requests().size(), size_t(5), 2000);
    QCOMPARE(app->navigator.active()->objectName(), QString("Form12"));
    button("Form12", "Command1")->click();
    QCOMPARE(app->navigator.active()->objectName(), QString("Form1"));

    sim->withEcu([](VirtualEcu& ecu) { ecu.faults.silent = false; });
    button("Form1", "Command1")->click();
    QTRY_VERIFY_WITH_TIMEOUT(button("Form2", "Command3")->isEnabled(), 8000);
    QVERIFY(!ended);
}

QTEST_MAIN(TestConnectHandshake)
#include "test_connect_handshake.moc"
