#include "link/frames.h"
#include "support/fake_link.h"
#include "support/grab.h"
#include "support/quiet_offscreen.h"
#include "support/window_test.h"
#include "ui/menu/main_menu.h"

#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

class TestStartAndMenu : public FakeLinkWindowTest {
    Q_OBJECT
private slots:
    void initTestCase() { quietOffscreenWarnings(); }
    void init()
    {
        startOnFakeLink();
        app->start();
    }
    void cleanup() { stopAll(); }

    void startsItalianAndConnected();
    void notConnectedMenuNeedsNoPort();
    void languagesRelabelTheWindows();
    void silentEcuGetsFiveVersionRequests();
    void answeringEcuEnablesTheButtonsAfterTheTable();
    void serialSettingsTexts();
    void settingsCloseThePortAndMenuReopensIt();
    void portThatCannotBeOpenedIsNamedAndLeavesTheStartWindow();
    void pulledAdapterIsReportedOnce();
    void portClosedUnderTheMenuIsToldAtTheFirstSend();
    void menuAgainConnectsAnewAndReadsTheEcuBack();
    void exitRequestClosesMenuAndStartWindow();
    void statusAndCalibrationWaitForTheirFirstReply();
    void choicesComeBackNextRunAndADamagedFileIsIgnored();

private:
    // The replies a working ECU gives, straight into the dispatcher.
    void answer(int code, const QByteArray& payload)
    {
        app->dispatcher.onSerialEvent(frames::frame(code, payload));
    }
};

void TestStartAndMenu::startsItalianAndConnected()
{
    QCOMPARE(activeName(), QString("Form1"));
    QCOMPARE(form("Form1")->windowTitle(), QString("ORVANE"));
    QCOMPARE(control<QLineEdit>("Form1", "Text1")->text(), QString("1.4.3"));
    QCOMPARE(control<QPushButton>("Form1", "Command7")->text(), QString("Non connesso"));
    QVERIFY(control<QPushButton>("Form1", "Command6")->isEnabled());
    QVERIFY(control<QLabel>("Form1", "Label15")->text().contains("/dev/ttyS0"));
    QCOMPARE(link->openCalls, 0);
    grabIfAsked(form("Form1"), "form1_it");
    click("Form1", "About");
    const QString about = control<QLabel>("Form12", "Label1")->text();
    QVERIFY2(about.startsWith(
                 "ORVANE Service 1.4.3\nCentralina: non ancora letta\nPorta: /dev/ttyS0 (9600,n,8,1)"),
             qPrintable(about));
    QVERIFY(about.contains("/ArchivioVetture\n") && about.contains("/Datalog\n"));
    click("Form12", "Command1");
    QCOMPARE(activeName(), QString("Form1"));
}

void TestStartAndMenu::notConnectedMenuNeedsNoPort()
{
    click("Form1", "Command7");
    QCOMPARE(app->state.offlineMode, 1);
    QCOMPARE(form("Form1")->windowTitle(), QString("ORVANE - Non connesso"));
    QVERIFY(!control<QPushButton>("Form1", "Command6")->isEnabled());
    click("Form1", "Command1");
    QCOMPARE(link->openCalls, 0);
    QCOMPARE(activeName(), QString("Form2"));
    for (const char* b : {"Command2", "Command3", "Command4", "Command5", "Command6"})
        QVERIFY2(control<QPushButton>("Form2", b)->isEnabled(), b);
    QCOMPARE(control<QLineEdit>("Form2", "Text1")->text(), QString("**.**.**"));
    QCOMPARE(form("Form2")->windowTitle(), QString("ORVANE - Non Connesso"));
    grabIfAsked(form("Form2"), "form2_offline_it");

    // EXIT returns to the start window; toggling back restores the connected title
    click("Form2", "Command1");
    QCOMPARE(activeName(), QString("Form1"));
    click("Form1", "Command7");
    QCOMPARE(form("Form1")->windowTitle(), QString("ORVANE"));
    QVERIFY(control<QPushButton>("Form1", "Command6")->isEnabled());
    QVERIFY(!ended);
}

void TestStartAndMenu::languagesRelabelTheWindows()
{
    click("Form1", "Command7");
    click("Form1", "Command4");
    QCOMPARE(app->state.languageIndex, 2);
    QCOMPARE(form("Form1")->windowTitle(), QString("ORVANE - Not connected"));
    QCOMPARE(control<QPushButton>("Form1", "Command7")->text(), QString("OFF line"));
    QCOMPARE(control<QPushButton>("Form1", "Command6")->text(), QString("Serial parameters"));
    QCOMPARE(control<QLabel>("Form1", "Label16")->text(), QString("SW VERSION"));
    grabIfAsked(form("Form1"), "form1_en_offline");
    click("Form1", "Command1");
    QCOMPARE(form("Form2")->windowTitle(), QString("ORVANE - Not Connected"));
    QCOMPARE(control<QPushButton>("Form2", "Command3")->text(), QString("Display vehicle status"));
    QCOMPARE(control<QPushButton>("Form2", "Command2")->text(), QString("TEST EOL"));
    grabIfAsked(form("Form2"), "form2_offline_en");
    click("Form2", "Command1");

    click("Form1", "Command5");
    QCOMPARE(form("Form1")->windowTitle(), QString("ORVANE - PC'e Bagli Degil"));
    QCOMPARE(control<QPushButton>("Form1", "Command2")->text(), QString("CIKIS"));
    grabIfAsked(form("Form1"), "form1_tr_offline");
    click("Form1", "Command1");
    QCOMPARE(form("Form2")->windowTitle(), QString("ORVANE - Bagli Degil"));
    QCOMPARE(control<QPushButton>("Form2", "Command4")->text(), QString("Beyin degerini goster"));
    QCOMPARE(control<QPushButton>("Form2", "Command1")->text(), QString("CIKIS"));
    grabIfAsked(form("Form2"), "form2_offline_tr");
    click("Form2", "Command1");

    click("Form1", "Command3");
    click("Form1", "Command7");
    QCOMPARE(form("Form1")->windowTitle(), QString("ORVANE"));
    QCOMPARE(control<QPushButton>("Form1", "Command7")->text(), QString("Non connesso"));
}

void TestStartAndMenu::silentEcuGetsFiveVersionRequests()
{
    click("Form1", "Command1");
    QCOMPARE(link->openCalls, 1);
    QCOMPARE(link->lastPort, QString("/dev/ttyS0"));
    QCOMPARE(link->lastSettings, QString("9600,n,8,1"));
    QCOMPARE(activeName(), QString("Form2"));
    QVERIFY(!control<QPushButton>("Form2", "Command3")->isEnabled());
    QCOMPARE(form("Form2")->cursor().shape(), Qt::WaitCursor);
    for (int tick = 0; tick < 5; ++tick)
        menu()->handshakeTick();
    QCOMPARE(link->count(7), 5);
    QCOMPARE(activeName(), QString("Form2"));
    menu()->handshakeTick();
    QCOMPARE(link->count(7), 5);
    QCOMPARE(link->sent.size(), 5);
    QVERIFY(!app->navigator.isOpen(WindowId::MainMenu));
    QCOMPARE(activeName(), QString("Form12"));
    QCOMPARE(form("Form12")->windowTitle(), QString("ORVANE - Comunicazione"));
    const QString text = control<QLabel>("Form12", "Label1")->text();
    QVERIFY(text.startsWith("/dev/ttyS0: "));
    QVERIFY(
        text.contains("\nProblemi sulla linea di comunicazione. Controllare i collegamenti e assicurarsi che "
                      "la centralina sia alimentata."));
    grabIfAsked(form("Form12"), "form12_link_problem_it");
    QCOMPARE(app->state.quitOnMessageClose, 0);
    click("Form12", "Command1");
    QCOMPARE(activeName(), QString("Form1"));
    QVERIFY(!ended);
}

void TestStartAndMenu::answeringEcuEnablesTheButtonsAfterTheTable()
{
    click("Form1", "Command1");
    menu()->handshakeTick();
    answer(7, QByteArray("\x01\x04\x03", 3));
    QCOMPARE(control<QLineEdit>("Form2", "Text1")->text(), QString("1.4.3"));
    menu()->handshakeTick();
    QVERIFY(!control<QPushButton>("Form2", "Command3")->isEnabled());
    answer(1, QByteArray(122, '\0'));
    menu()->handshakeTick();
    QVERIFY(!control<QPushButton>("Form2", "Command3")->isEnabled());
    answer(8, QByteArray(64, '\x64'));
    menu()->handshakeTick();
    QCOMPARE(link->count(7), 1);
    QCOMPARE(link->count(1), 1);
    QCOMPARE(link->count(8), 1);
    for (const char* b : {"Command2", "Command3", "Command4", "Command5"})
        QVERIFY2(control<QPushButton>("Form2", b)->isEnabled(), b);
    QVERIFY(!control<QPushButton>("Form2", "Command6")->isEnabled());
    QCOMPARE(form("Form2")->cursor().shape(), Qt::ArrowCursor);
    const int sent = static_cast<int>(link->sent.size());
    menu()->handshakeTick(); // nothing left to ask
    QCOMPARE(link->sent.size(), sent);
    grabIfAsked(form("Form2"), "form2_connected_it");
}

void TestStartAndMenu::serialSettingsTexts()
{
    app->state.serialPortNumber = 2;
    app->state.serialSettings = "1200,o,7,2";
    click("Form1", "Command6");
    QCOMPARE(activeName(), QString("Form4"));
    QCOMPARE(form("Form4")->windowTitle(), QString("PARAMETRI PORTA SERIALE"));
    QCOMPARE(control<QComboBox>("Form4", "Combo4")->currentText(), QString("None"));
    QCOMPARE(control<QComboBox>("Form4", "Combo4")->currentIndex(), -1);
    grabIfAsked(form("Form4"), "form4_it");
    click("Form4", "Command1");
    QCOMPARE(app->state.serialPortNumber, 1);
    QCOMPARE(app->state.serialSettings, QString("9600,n,8,1"));
    QCOMPARE(activeName(), QString("Form1"));

    click("Form1", "Command6");
    control<QComboBox>("Form4", "Combo1")->setCurrentIndex(2);
    control<QComboBox>("Form4", "Combo2")->setCurrentIndex(8);
    control<QComboBox>("Form4", "Combo4")->setCurrentIndex(2);
    control<QComboBox>("Form4", "Combo3")->setCurrentIndex(3);
    control<QComboBox>("Form4", "Combo5")->setCurrentIndex(2);
    click("Form4", "Command1");
    QCOMPARE(app->state.serialPortNumber, 3);
    QCOMPARE(app->state.serialSettings, QString("38400,e,7,2"));

    click("Form1", "Command6");
    control<QComboBox>("Form4", "Combo4")->setCurrentIndex(1);
    control<QComboBox>("Form4", "Combo1")->setCurrentIndex(0);
    click("Form4", "Command2");
    QCOMPARE(app->state.serialPortNumber, 3);
    QCOMPARE(app->state.serialSettings, QString("38400,e,7,2"));

    click("Form1", "Command6");
    control<QComboBox>("Form4", "Combo4")->setCurrentIndex(1);
    click("Form4", "Command1");
    QCOMPARE(app->state.serialSettings, QString("9600,o,8,1"));

    click("Form1", "Command4");
    click("Form1", "Command6");
    QCOMPARE(form("Form4")->windowTitle(), QString("SERIAL PORT PARAMETERS"));
    click("Form4", "Command2");
    click("Form1", "Command5");
    click("Form1", "Command6");
    QCOMPARE(form("Form4")->windowTitle(), QString("ORVANE - Bagli Degil"));
    QCOMPARE(control<QPushButton>("Form4", "Command2")->text(), QString("Cancel"));
}

void TestStartAndMenu::settingsCloseThePortAndMenuReopensIt()
{
    click("Form1", "Command1");
    QVERIFY(link->isOpen());
    click("Form2", "Command1");
    click("Form1", "Command6");
    QVERIFY(!link->isOpen());
    QCOMPARE(link->closeCalls, 1);
    control<QComboBox>("Form4", "Combo2")->setCurrentIndex(7);
    click("Form4", "Command1");
    click("Form1", "Command1");
    QCOMPARE(link->openCalls, 2);
    QCOMPARE(link->lastSettings, QString("19200,n,8,1"));
    QVERIFY(link->isOpen());
    // a second MENU with the port open does not reopen it, and restarts the handshake
    app->state.versionReceived = 1;
    click("Form2", "Command1");
    click("Form1", "Command1");
    QCOMPARE(link->openCalls, 2);
    QCOMPARE(app->state.versionReceived, 0);
}

void TestStartAndMenu::portThatCannotBeOpenedIsNamedAndLeavesTheStartWindow()
{
    link->openSucceeds = false;
    app->state.serialPortName = "/dev/ttyUSB0";
    click("Form1", "Command1");
    QVERIFY(!app->navigator.isOpen(WindowId::MainMenu));
    QCOMPARE(activeName(), QString("Form12"));
    QCOMPARE(app->state.quitOnMessageClose, 0);
    QCOMPARE(form("Form12")->windowTitle(), QString("ORVANE - Comunicazione"));
    QCOMPARE(control<QLabel>("Form12", "Label1")->text(),
             QString("/dev/ttyUSB0: accesso negato o porta usata da un altro programma\n"
                     "Problemi sulla porta di comunicazione. Chiudere tutte le applicazioni che stanno "
                     "utilizzando la porta selezionata e riprovare\n"
                     "Su Linux, se nessun altro programma usa la porta: aggiungere l'utente al gruppo "
                     "dialout (sudo adduser $USER dialout) e accedere di nuovo."));
    grabIfAsked(form("Form12"), "form12_port_problem_it");
    // a port that is not there: the user is sent to choose another, and the program goes on
    click("Form12", "Command1");
    QVERIFY(!ended);
    QCOMPARE(activeName(), QString("Form1"));
    link->refusal = LinkProblem::PortMissing;
    click("Form1", "Command1");
    QCOMPARE(control<QLabel>("Form12", "Label1")->text(),
             QString("/dev/ttyUSB0: porta inesistente\nScegliere la porta della centralina con \"Parametri "
                     "seriale\"."));
    click("Form12", "Command1");
    QVERIFY(!ended);
    QCOMPARE(activeName(), QString("Form1"));
}

void TestStartAndMenu::pulledAdapterIsReportedOnce()
{
    click("Form1", "Command4");
    click("Form1", "Command1");
    link->pull();
    QCOMPARE(activeName(), QString("Form12"));
    QCOMPARE(form("Form12")->windowTitle(), QString("ORVANE - Communication"));
    QCOMPARE(control<QLabel>("Form12", "Label1")->text(),
             QString("/dev/ttyS0: device removed\n"
                     "Problems on communication line. Check connections and make sure the ECU is powered."));
    QCOMPARE(app->state.quitOnMessageClose, 0);
    // the handshake stops at its next tick: nothing sent, the menu closed, the message kept
    menu()->handshakeTick();
    QCOMPARE(link->sent.size(), 0);
    QVERIFY(!app->navigator.isOpen(WindowId::MainMenu));
    QVERIFY(control<QLabel>("Form12", "Label1")->text().startsWith("/dev/ttyS0: device removed"));
    click("Form12", "Command1");
    QCOMPARE(activeName(), QString("Form1"));
    click("Form1", "Command1");
    QCOMPARE(link->openCalls, 2);
    QVERIFY(link->isOpen());
    QVERIFY(!ended);
}

void TestStartAndMenu::portClosedUnderTheMenuIsToldAtTheFirstSend()
{
    click("Form1", "Command1");
    app->state.versionReceived = app->state.parametersReceived = app->state.tableReceived = 1;
    menu()->handshakeTick();
    // closed without a word from the link, as the serial settings dialog closes it
    link->close();
    click("Form2", "Command5");
    QCOMPARE(control<QLabel>("Form2", "HandshakeLine")->text(),
             QString("Collegamento perso: ricollegare la centralina e premere MENU"));
    QCOMPARE(menu()->cursor().shape(), Qt::ArrowCursor);
    QVERIFY(!menu()->findChild<QTimer*>("Timer3")->isActive()); // no reply to wait for
    QCOMPARE(activeName(), QString("Form2")); // no message of its own: nothing was lost on the line
    // told once, and told again for the next loss after the port came back
    control<QLabel>("Form2", "HandshakeLine")->clear();
    menu()->calibrationStartTick();
    QVERIFY(control<QLabel>("Form2", "HandshakeLine")->text().isEmpty());
    click("Form1", "Command1");
    menu()->handshakeTick();
    QVERIFY(control<QLabel>("Form2", "HandshakeLine")->text().startsWith("Lettura versione"));
    link->pull();
    QCOMPARE(control<QLabel>("Form2", "HandshakeLine")->text(),
             QString("Collegamento perso: ricollegare la centralina e premere MENU"));
    click("Form12", "Command1");
}

void TestStartAndMenu::menuAgainConnectsAnewAndReadsTheEcuBack()
{
    click("Form1", "Command1");
    app->state.versionReceived = app->state.parametersReceived = app->state.tableReceived = 1;
    menu()->handshakeTick();
    QCOMPARE(control<QLabel>("Form2", "HandshakeLine")->text(), QString("Centralina collegata"));
    link->pull();
    QVERIFY(control<QLabel>("Form12", "Label1")->text().contains(": dispositivo scollegato\n"));
    QCOMPARE(control<QLabel>("Form2", "HandshakeLine")->text(),
             QString("Collegamento perso: ricollegare la centralina e premere MENU"));
    click("Form12", "Command1");
    QVERIFY(app->navigator.isOpen(WindowId::MainMenu));

    // plugged back: MENU with the menu still open is a new connection, from the version on
    link->sent.clear();
    click("Form1", "Command1");
    QCOMPARE(link->openCalls, 2);
    QVERIFY(!control<QPushButton>("Form2", "Command4")->isEnabled());
    QCOMPARE(app->state.parametersReceived, 0);
    menu()->handshakeTick();
    QCOMPARE(link->sent, QList<QByteArray>{frames::readVersion()});
}

void TestStartAndMenu::exitRequestClosesMenuAndStartWindow()
{
    click("Form1", "Command1");
    app->state.exitRequested = 1;
    app->navigator.active()->activate();
    QVERIFY(!app->navigator.isOpen(WindowId::MainMenu));
    // the start window, activated with the exit request in connected mode, closes the port and ends
    QVERIFY(ended);
    QVERIFY(!link->isOpen());
}

void TestStartAndMenu::statusAndCalibrationWaitForTheirFirstReply()
{
    click("Form1", "Command1");
    app->state.versionReceived = app->state.parametersReceived = app->state.tableReceived = 1;
    menu()->handshakeTick();
    click("Form2", "Command3");
    QCOMPARE(link->count(3), 1);
    QCOMPARE(app->state.changeoverAcknowledged, 1);
    menu()->statusStartTick();
    menu()->statusStartTick();
    QCOMPARE(link->count(3), 3); // resent every tick while silent

    // a stand-in: this test is about the menu waiting for the first reply
    app->navigator.registerWindow(WindowId::Calibration,
                                  [this] { return new Form(app->context, WindowId::Calibration); });
    app->state.calibrationKgb = 7;
    app->state.coilCalibrationMode = 1;
    click("Form2", "Command5");
    QCOMPARE(link->sent.last(), *frames::calibrationPoll(0));
    QCOMPARE(app->state.calibrationInactive, 1);
    QCOMPARE(app->state.trialCoilCount, 1);
    QCOMPARE(app->state.coilCalibrationMode, 0);
    menu()->calibrationStartTick();
    QCOMPARE(link->count(10), 2);

    click("Form2", "Command2");
    QCOMPARE(app->state.eolResults.eolCylinderResults[8], 15);
    QCOMPARE(app->state.eolResults.eolChecks[9], 15);
    QCOMPARE(app->state.eolCylinderMarks[1], 1);
}

QTEST_MAIN(TestStartAndMenu)
void TestStartAndMenu::choicesComeBackNextRunAndADamagedFileIsIgnored()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("config/orvane.conf");
    const auto run = [&] {
        stopAll();
        startOnFakeLink();
        app->context.settingsPath = path;
        app->start();
    };
    // one run chooses English and a device ...
    run();
    click("Form1", "Command4");
    app->state.serialPortName = "/dev/ttyUSB3";
    click("Form1", "Command6");
    click(app->navigator.window(WindowId::SerialSettings)->objectName().toLatin1().constData(), "Command1");
    // ... the next starts with them
    run();
    QCOMPARE(app->state.languageIndex, 2);
    QCOMPARE(app->state.serialPortName, QString("/dev/ttyUSB3"));
    QCOMPARE(control<QPushButton>("Form1", "Command7")->text(), QString("OFF line"));

    // a file that cannot be used: the defaults, and a word about it
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("[port]\nsettings=fast please\nlanguage=\xff\xfe\n");
    file.close();
    run();
    QTRY_COMPARE(activeName(), QString("Form12"));
    QVERIFY(control<QLabel>("Form12", "Label1")->text().contains(path));
    QCOMPARE(app->state.languageIndex, 1);
    QCOMPARE(app->state.serialSettings, QString("9600,n,8,1"));
    click("Form12", "Command1");
    QCOMPARE(activeName(), QString("Form1"));
}

#include "test_start_and_menu.moc"
