#include "link/eol_rules.h"
#include "link/frames.h"
#include "support/fake_link.h"
#include "support/grab.h"
#include "support/quiet_offscreen.h"
#include "support/window_test.h"
#include "ui/common/colours.h"
#include "ui/common/segment_bar.h"
#include "ui/download/download_window.h"
#include "ui/eol/eol_window.h"
#include "ui/menu/main_menu.h"

#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

class TestEolAndDownload : public FakeLinkWindowTest {
    Q_OBJECT
private slots:
    void initTestCase() { quietOffscreenWarnings(); }
    void init()
    {
        startOnFakeLink();
        app->start();
    }
    void cleanup() { stopAll(); }

    void eolCylinderChoice();
    void eolStartRepeatsUntilAcknowledged();
    void eolKeyOffCountdownAndReset();
    void downloadStepsThenTheProgramCloses();
    void downloadExitBeforeStartKeepsTheProgram();
    void downloadWithoutAPortSaysSo();

private:
    QColor indicator(int i)
    {
        return control<Lamp>("Form9", qPrintable(QStringLiteral("Shape1_%1").arg(i)))->colour();
    }
    bool shown(int i)
    {
        return !control<Lamp>("Form9", qPrintable(QStringLiteral("Shape1_%1").arg(i)))->isHidden();
    }
    QString instruction() { return control<QLabel>("Form9", "Label12")->text(); }
    EolWindow* eol() { return app->navigator.window<EolWindow>(WindowId::EndOfLine); }
    DownloadWindow* download() { return app->navigator.window<DownloadWindow>(WindowId::Download); }
    // "MENU" with a working ECU, handshake done.
    void connectedMenu()
    {
        click("Form1", "Command1");
        app->state.versionReceived = app->state.parametersReceived = app->state.tableReceived = 1;
        app->navigator.window<MainMenu>(WindowId::MainMenu)->handshakeTick();
    }
    void results(int phase, int cylinderByte = 0)
    {
        QByteArray p(18, '\0');
        p[0] = static_cast<char>(phase);
        p[1] = static_cast<char>(cylinderByte);
        app->dispatcher.onSerialEvent(frames::frame(15, p));
    }
};

void TestEolAndDownload::eolCylinderChoice()
{
    click("Form1", "Command7");
    click("Form1", "Command1");
    click("Form2", "Command2");
    QCOMPARE(form("Form9")->windowTitle(), QString("ORVANE - EndOfLine Non Connesso"));
    QVERIFY(!control<QPushButton>("Form9", "Command2")->isEnabled());
    QCOMPARE(instruction(), QString("SELEZIONARE IL NUMERO DI CILINDRI PRIMA DI INIZIARE IL TEST"));
    QVERIFY(shown(15) && !shown(16) && shown(58) && !shown(59));
    // nothing tested yet: neither red nor green
    QCOMPARE(indicator(40), QColor(160, 160, 160));
    control<QRadioButton>("Form9", "Option2")->click();
    QVERIFY(shown(23) && !shown(24) && shown(59) && !shown(60));
    QVERIFY(!control<QLabel>("Form9", "Label10")->isVisibleTo(form("Form9")));
    QVERIFY(control<QLabel>("Form9", "Label9")->isVisibleTo(form("Form9")));
    control<QRadioButton>("Form9", "Option3")->click();
    QVERIFY(shown(31) && shown(60));
    grabIfAsked(form("Form9"), "form9_offline");
}

void TestEolAndDownload::eolStartRepeatsUntilAcknowledged()
{
    connectedMenu();
    click("Form2", "Command2");
    QCOMPARE(form("Form9")->windowTitle(), QString("ORVANE - EndOfLine"));
    control<QRadioButton>("Form9", "Option2")->click();
    click("Form9", "Command2");
    QCOMPARE(link->sent.last(), QByteArray("PC\x00\x06\x0e\x06", 6));
    eol()->testTick();
    eol()->testTick();
    QCOMPARE(link->count(14), 3);
    QCOMPARE(instruction(), QString("TEST IN CORSO"));
    app->dispatcher.onSerialEvent(frames::frame(14));
    eol()->testTick();
    QCOMPARE(link->sent.last(), frames::readEolResults());
    QCOMPARE(app->state.eolResultsPending, 1);
}

void TestEolAndDownload::eolKeyOffCountdownAndReset()
{
    connectedMenu();
    click("Form2", "Command2");
    click("Form9", "Command2");
    app->dispatcher.onSerialEvent(frames::frame(14));
    results(2, 0x05);
    eol()->testTick();
    QCOMPARE(indicator(1), QColor(255, 0, 0));
    QCOMPARE(indicator(0), colours::brightGreen);
    QCOMPARE(instruction(), QString("CHIAVE OFF ENTRO 10 SEC"));

    // answered ticks: one second down every five ticks, then the retry text and 10 again
    QStringList seen;
    for (int tick = 0; tick < 55; ++tick) {
        results(2);
        eol()->testTick();
        if (seen.isEmpty() || seen.last() != instruction()) seen << instruction();
    }
    QCOMPARE(seen.first(), QString("CHIAVE OFF ENTRO 10 SEC"));
    QVERIFY(seen.contains("CHIAVE OFF ENTRO 1 SEC"));
    QVERIFY(!seen.contains("CHIAVE OFF ENTRO 0 SEC"));
    QCOMPARE(seen.at(seen.indexOf("CHIAVE OFF ENTRO 1 SEC") + 1),
             QString("SEGNALE DI CHIAVE NON ABBASSATO. RIPROVARE"));
    QCOMPARE(seen.last(), QString("CHIAVE OFF ENTRO 9 SEC"));

    // the key goes off: ten ticks without an answer
    for (int tick = 0; tick < 9; ++tick)
        eol()->testTick();
    QVERIFY(instruction() != "CHIAVE OFF - PORTARLA SU ON");
    eol()->testTick();
    QCOMPARE(instruction(), QString("CHIAVE OFF - PORTARLA SU ON"));

    results(3);
    eol()->testTick();
    QCOMPARE(instruction(), QString("RESET PARAMETRI EEPROM"));
    QCOMPARE(indicator(55), colours::brightGreen);
    results(4);
    for (int tick = 0; tick < 5; ++tick)
        eol()->testTick();
    QCOMPARE(instruction(), QString("ATTENDERE RESET ECU 1"));
    results(0);
    eol()->testTick();
    QCOMPARE(instruction(), QString("RESET OK"));
    QCOMPARE(indicator(56), colours::brightGreen);
    QVERIFY(!form("Form9")->findChild<QTimer*>("Timer1")->isActive());
    QCOMPARE(control<QLabel>("Form9", "EolVerdict")->text(), QString("PASSED"));
    grabIfAsked(form("Form9"), "form9_reset_ok");
    // the verdict kept for the line's records, one row per check
    QTemporaryDir dir;
    dialogs.answer = dir.filePath("eol.csv");
    click("Form9", "SaveReport");
    QFile report(dialogs.answer);
    QVERIFY(report.open(QIODevice::ReadOnly));
    const QStringList rows = QString::fromUtf8(report.readAll()).split('\n', Qt::SkipEmptyParts);
    QCOMPARE(rows.first(), QString("date,program,ecuVersion,port,cylinders,verdict,check,result"));
    QCOMPARE(rows.size(), 1 + static_cast<int>(eolShownIndicators(4).size()));
    QVERIFY(rows.last().contains(",4,PASSED,") && rows.last().endsWith(",PASS"));

    // phase 0 that does not follow 4 is still a test in progress
    click("Form9", "Command2");
    results(0);
    eol()->testTick();
    QCOMPARE(instruction(), QString("TEST IN CORSO"));
}

void TestEolAndDownload::downloadStepsThenTheProgramCloses()
{
    connectedMenu(); // the port is open
    click("Form2", "Command1");
    click("Form1", "Command7");
    click("Form1", "Command1");
    click("Form2", "Command6");
    QCOMPARE(form("Form7")->windowTitle(), QString("ORVANE - Scarico applicativo"));
    click("Form7", "Command2");
    QCOMPARE(app->state.exitRequested, 1);
    QCOMPARE(link->count(6), 1);
    auto* timer = form("Form7")->findChild<QTimer*>("Timer1");
    QCOMPARE(timer->interval(), 500);
    download()->stepTick();
    QCOMPARE(link->count(6), 2);
    app->dispatcher.onSerialEvent(frames::frame(6));
    const char* labels[] = {"Label1", "Label2", "Label3"};
    for (int step = 0; step < 3; ++step) {
        download()->stepTick();
        QCOMPARE(timer->interval(), 1500);
        for (int l = 0; l < 3; ++l)
            QCOMPARE(control<QLabel>("Form7", labels[l])->isVisibleTo(form("Form7")), l <= step);
    }
    QVERIFY(!ended);
    // the steps stay, and the window says what comes next until the user leaves
    download()->stepTick();
    QVERIFY(!timer->isActive());
    QVERIFY(control<QLabel>("Form7", "DownloadNext")->isVisibleTo(form("Form7")));
    QVERIFY(control<QLabel>("Form7", "Label3")->isVisibleTo(form("Form7")));
    grabIfAsked(form("Form7"), "form7_steps_it");
    click("Form7", "Command1"); // the menu and then the start window follow
    QVERIFY(!app->navigator.isOpen(WindowId::Download));
    QVERIFY(!app->navigator.isOpen(WindowId::MainMenu));
    // not connected: the start window does not end the program on its own
    QVERIFY(app->navigator.isOpen(WindowId::Start));
    click("Form1", "Command7");
    app->navigator.active()->activate();
    QVERIFY(ended);
    QVERIFY(!link->isOpen());
}

void TestEolAndDownload::downloadExitBeforeStartKeepsTheProgram()
{
    app->state.languageIndex = 3;
    click("Form1", "Command7");
    click("Form1", "Command1");
    click("Form2", "Command6");
    QCOMPARE(control<QLabel>("Form7", "Label1")->text(), QString("Exit from this application"));
    QCOMPARE(control<QLabel>("Form7", "Label3")->text(), QString("Start downloading"));
    QCOMPARE(control<QPushButton>("Form7", "Command1")->text(), QString("CIKIS"));
    click("Form7", "Command1");
    QCOMPARE(app->navigator.active()->objectName(), QString("Form2"));
    QCOMPARE(app->state.exitRequested, 0);
    QVERIFY(!ended);
}

void TestEolAndDownload::downloadWithoutAPortSaysSo()
{
    click("Form1", "Command7");
    click("Form1", "Command1");
    click("Form2", "Command6");
    click("Form7", "Command2");
    QCOMPARE(app->state.exitRequested, 0);
    QCOMPARE(app->navigator.active()->objectName(), QString("Form12"));
    // not the port-busy advice: the ECU must be connected first
    QVERIFY(control<QLabel>("Form12", "Label1")->text().contains("la centralina deve essere collegata"));
    QVERIFY(!control<QLabel>("Form12", "Label1")->text().contains("Chiudere tutte le applicazioni"));
    click("Form12", "Command1");
    QCOMPARE(app->navigator.active()->objectName(), QString("Form7"));
    QVERIFY(!form("Form7")->findChild<QTimer*>("Timer1")->isActive());
}

QTEST_MAIN(TestEolAndDownload)
#include "test_eol_and_download.moc"
