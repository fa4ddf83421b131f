// "MENU" against the virtual ECU over a pseudo-terminal: the real port, the real timers.
#include "link/serial_link.h"
#include "sim/simulator_thread.h"
#include "support/grab.h"
#include "support/quiet_offscreen.h"
#include "support/window_test.h"
#include "ui/menu/main_menu.h"
#include "ui/start/serial_settings_dialog.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

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
    void searchFindsTheEcuAmongOtherDevices();

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
void TestConnectHandshake::searchFindsTheEcuAmongOtherDevices()
{
    // a pseudo-terminal nobody answers on, a port that is not there, and the virtual ECU
    const int silent = ::posix_openpt(O_RDWR | O_NOCTTY);
    QVERIFY(silent >= 0 && ::grantpt(silent) == 0 && ::unlockpt(silent) == 0);
    const QString silentPort = QString::fromLocal8Bit(::ptsname(silent));
    button("Form1", "Command6")->click();
    auto* dialog = app->navigator.window<SerialSettingsDialog>(WindowId::SerialSettings);
    dialog->searchWaitMs = 600;
    dialog->searchCandidates = [&] { return QStringList{silentPort, "/dev/ttyNOTHERE", sim->devicePath()}; };
    dialog->findChild<QPushButton*>("SearchEcu")->click();
    auto* result = dialog->findChild<QLabel*>("SearchResult");
    QTRY_VERIFY_WITH_TIMEOUT(result->text().contains("trovata"), 5000);
    QCOMPARE(result->text(), QString("Centralina 2.1.7 trovata su %1: porta scelta.").arg(sim->devicePath()));
    grabIfAsked(dialog, "serial_settings_search_it");
    dialog->findChild<QPushButton*>("Command1")->click();
    QCOMPARE(app->state.serialPortName, sim->devicePath());
    ::close(silent);
    // the port found is the one MENU opens
    button("Form1", "Command1")->click();
    QTRY_VERIFY_WITH_TIMEOUT(button("Form2", "Command3")->isEnabled(), 8000);
}

#include "test_connect_handshake.moc"
