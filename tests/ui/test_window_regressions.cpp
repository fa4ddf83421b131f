// Faults found in the first windows by review and by a first use: each case keeps one from coming back.
#include "link/eol_rules.h"
#include "link/frames.h"
#include "link/link_messages.h"
#include "support/contrast.h"
#include "support/fake_link.h"
#include "support/quiet_offscreen.h"
#include "support/window_test.h"
#include "ui/common/colours.h"
#include "ui/common/segment_bar.h"
#include "ui/download/download_window.h"
#include "ui/eol/eol_window.h"
#include "ui/menu/main_menu.h"
#include "ui/status/status_window.h"

#include <QComboBox>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

class TestWindowRegressions : public FakeLinkWindowTest {
    Q_OBJECT
private slots:
    void initTestCase() { quietOffscreenWarnings(); }
    void init()
    {
        startOnFakeLink();
        app->start();
    }
    void cleanup() { stopAll(); }

    void menuAfterAnOfflineDownloadStartsANewConnection();
    void pulledAdapterMidHandshakeKeepsItsMessage();
    void anyReplyKeepsTheStatusWindowOpen();
    void serialSettingsKeepTheChosenDevice();
    void refusedSettingsAreNotCalledABusyPort();
    void keptWindowsComeBackAsFresh();
    void endOfLineKeepsTheCountItWasStartedWith();
    void missingSignalStaysReadable();
    void reasonLinesSpeakTheUsersLanguage();
    void handshakeSaysWhatItReads();
    void everyWindowTimerIsPrecise();
    void controlsStayWhereTheUserAims();
    void chosenLanguageShowsAndMenuHasFocus();
    void startWindowGivesUpTopMostForTheMenu();
    void escapeLeavesAsExitDoes();

private:
    void answer(int code, const QByteArray& payload = {})
    {
        app->dispatcher.onSerialEvent(frames::frame(code, payload));
    }
    void connectedMenu()
    {
        click("Form1", "Command1");
        app->state.versionReceived = app->state.parametersReceived = app->state.tableReceived = 1;
        menu()->handshakeTick();
    }
    QByteArray statusPayload() const { return QByteArray(38, '\0'); }
    // where a control stands once its window's layout has taken the last change in
    QRect placeOf(const char* formName, const char* name)
    {
        form(formName)->layout()->activate();
        return form(formName)->findChild<QWidget*>(name)->geometry();
    }
};

void TestWindowRegressions::pulledAdapterMidHandshakeKeepsItsMessage()
{
    click("Form1", "Command1");
    menu()->handshakeTick();
    link->pull();
    menu()->handshakeTick();
    QVERIFY(!app->navigator.isOpen(WindowId::MainMenu));
    QVERIFY(control<QLabel>("Form12", "Label1")->text().contains(": dispositivo scollegato\n"));
}

void TestWindowRegressions::menuAfterAnOfflineDownloadStartsANewConnection()
{
    app->state.exitRequested = 1; // left by a download prepared off-line
    app->state.lostLinkCount = 2; // left by a lost link
    click("Form1", "Command1");
    QVERIFY(app->navigator.isOpen(WindowId::MainMenu));
    QCOMPARE(app->state.exitRequested, 0);
    QCOMPARE(app->state.lostLinkCount, 0);
    menu()->handshakeTick();
    QCOMPARE(link->count(7), 1); // it asks the ECU again
}

void TestWindowRegressions::anyReplyKeepsTheStatusWindowOpen()
{
    connectedMenu();
    click("Form2", "Command3");
    answer(3, statusPayload());
    menu()->statusStartTick();
    QVERIFY(app->navigator.isOpen(WindowId::Status));
    auto* status = app->navigator.window<StatusWindow>(WindowId::Status);
    click("Form3", "Command2"); // "Commuta": status replies stop until the acknowledgement
    for (int period = 0; period < 3; ++period) {
        app->state.statusReplySeen = 0;
        answer(4); // the acknowledgement, taken or repeated
        status->supervisionTick();
        QCOMPARE(app->state.lostLinkCount, 0);
    }
    QVERIFY(app->navigator.isOpen(WindowId::Status));
}

void TestWindowRegressions::serialSettingsKeepTheChosenDevice()
{
    app->state.serialPortName = "/dev/pts/7"; // --port or --simulate
    click("Form1", "Command6");
    QCOMPARE(control<QComboBox>("Form4", "Combo1")->currentText(), QString("/dev/pts/7"));
    click("Form4", "Command1");
    QCOMPARE(app->state.serialPortName, QString("/dev/pts/7"));
    click("Form1", "Command6");
    control<QComboBox>("Form4", "Combo1")->setCurrentIndex(2);
    click("Form4", "Command1");
    QVERIFY(app->state.serialPortName.isEmpty());
    QCOMPARE(app->state.serialPortNumber, 3);
    click("Form1", "Command6");
    QCOMPARE(control<QComboBox>("Form4", "Combo1")->currentText(), QString("COM1"));
}

void TestWindowRegressions::refusedSettingsAreNotCalledABusyPort()
{
    const LinkMessage m =
        portProblemMessage(Language::English, "/dev/ttyS0", LinkProblem::SettingsRefused, "9600,n,4,1");
    QVERIFY(!m.text.contains("close all the applications"));
    QVERIFY(m.text.contains("does not accept these settings"));
    QVERIFY(m.text.startsWith("/dev/ttyS0: settings not accepted: 9600,n,4,1\n"));

    // the message sends the user to the settings: closing it must leave them the start window
    link->openSucceeds = false;
    link->refusal = LinkProblem::SettingsRefused;
    click("Form1", "Command1");
    QVERIFY(control<QLabel>("Form12", "Label1")->text().contains("non accetta queste impostazioni"));
    click("Form12", "Command1");
    QVERIFY(!ended);
    QCOMPARE(activeName(), QString("Form1"));
}

void TestWindowRegressions::keptWindowsComeBackAsFresh()
{
    // a connection shows a version and live values ...
    connectedMenu();
    app->state.versionReceived = 0;
    answer(7, QByteArray("\x02\x01\x07", 3));
    QCOMPARE(control<QLineEdit>("Form2", "Text1")->text(), QString("2.1.7"));
    click("Form2", "Command3");
    QByteArray live = statusPayload();
    live[16] = 0x0F; // rpm, high byte first
    live[17] = static_cast<char>(0xA0);
    answer(3, live);
    menu()->statusStartTick();
    auto* status = app->navigator.window<StatusWindow>(WindowId::Status);
    status->pollTick();
    QCOMPARE(control<QLineEdit>("Form3", "Text6")->text(), QString("4000"));
    click("Form3", "Command1");
    click("Form2", "Command1");

    // ... that the next visit must not show as if they were live
    click("Form1", "Command1");
    QVERIFY(control<QLineEdit>("Form2", "Text1")->text().isEmpty());
    click("Form2", "Command1");
    click("Form1", "Command7");
    click("Form1", "Command1");
    QCOMPARE(control<QLineEdit>("Form2", "Text1")->text(), QString("**.**.**"));
    click("Form2", "Command3");
    QCOMPARE(control<QLineEdit>("Form3", "Text6")->text(), QString("0"));
    QCOMPARE(control<QLineEdit>("Form3", "Text5_0")->text(), QString(" 0"));
}

void TestWindowRegressions::endOfLineKeepsTheCountItWasStartedWith()
{
    connectedMenu();
    click("Form2", "Command2");
    auto* eol = app->navigator.window<EolWindow>(WindowId::EndOfLine);
    control<QRadioButton>("Form9", "Option2")->click();
    click("Form9", "Command2");
    QCOMPARE(link->sent.last(), *frames::eolCommand(6));
    control<QRadioButton>("Form9", "Option3")->click(); // before the acknowledgement
    eol->testTick();
    QCOMPARE(link->sent.last(), *frames::eolCommand(6));

    // a finished result, then another count: no green of the old result stays among the rows
    answer(14);
    QByteArray results(18, '\0');
    results[0] = 2;
    answer(15, results);
    eol->testTick();
    QCOMPARE(form("Form9")->findChild<Lamp*>("Shape1_0")->colour(), colours::brightGreen);
    control<QRadioButton>("Form9", "Option1")->click();
    // back to untested, neither passed nor failed
    for (int i = 0; i < kEolIndicatorCount; ++i)
        QCOMPARE(form("Form9")->findChild<Lamp*>(QString("Shape1_%1").arg(i))->colour(),
                 QColor(160, 160, 160));
}

void TestWindowRegressions::missingSignalStaysReadable()
{
    click("Form1", "Command7");
    click("Form1", "Command1");
    click("Form2", "Command3");
    auto* box = control<QLineEdit>("Form3", "Text3");
    box->setEnabled(false);
    const QPalette p = box->palette();
    QVERIFY(contrastRatio(p.color(QPalette::Disabled, QPalette::Text),
                          p.color(QPalette::Disabled, QPalette::Base)) >= 4.5);
}

void TestWindowRegressions::reasonLinesSpeakTheUsersLanguage()
{
    for (const LinkProblem problem :
         {LinkProblem::PortMissing, LinkProblem::PortBusy, LinkProblem::NoPermission,
          LinkProblem::DeviceRemoved, LinkProblem::NoAnswer, LinkProblem::NameTooLong}) {
        const QString it = linkProblemReason(Language::Italian, problem);
        const QString en = linkProblemReason(Language::English, problem);
        const QString tr = linkProblemReason(Language::Turkish, problem);
        QVERIFY(!it.isEmpty() && it != en && tr != en);
    }
    // Turkish has no message text, yet the user still reads why
    const LinkMessage m = linkProblemMessage(Language::Turkish, "/dev/ttyUSB0", LinkProblem::DeviceRemoved);
    QCOMPARE(m.text, QString("/dev/ttyUSB0: cihaz cikarildi"));
    // a name no device has does not fill the screen
    QVERIFY(
        portProblemMessage(Language::Italian, QString(100000, 'x'), LinkProblem::NameTooLong).text.size() <
        400);
}

void TestWindowRegressions::handshakeSaysWhatItReads()
{
    click("Form1", "Command1");
    auto* line = control<QLabel>("Form2", "HandshakeLine");
    menu()->handshakeTick();
    menu()->handshakeTick();
    QCOMPARE(line->text(), QString("Lettura versione centralina (tentativo 2 di 5)..."));
    answer(7, QByteArray("\x02\x01\x07", 3));
    menu()->handshakeTick();
    menu()->handshakeTick();
    QCOMPARE(line->text(), QString("Lettura parametri (richiesta 2)..."));
    app->state.parametersReceived = 1;
    menu()->handshakeTick();
    QCOMPARE(line->text(), QString("Lettura tabella (richiesta 1)..."));
    app->state.tableReceived = 1;
    menu()->handshakeTick();
    QCOMPARE(line->text(), QString("Centralina collegata"));

    // the step that failed is named
    click("Form2", "Command1");
    click("Form1", "Command1");
    for (int i = 0; i <= MainMenu::kVersionTries; ++i)
        menu()->handshakeTick();
    QVERIFY(control<QLabel>("Form12", "Label1")
                ->text()
                .endsWith("Nessuna risposta alla richiesta della versione."));
}

void TestWindowRegressions::everyWindowTimerIsPrecise()
{
    for (const WindowId id : kAllWindows) {
        if (!app->navigator.has(id)) continue;
        for (const QTimer* timer : app->navigator.window(id)->timers())
            QVERIFY2(timer->timerType() == Qt::PreciseTimer,
                     qPrintable(designName(id) + timer->objectName()));
    }
}

void TestWindowRegressions::controlsStayWhereTheUserAims()
{
    const QRect menuButton = placeOf("Form1", "Command1");
    click("Form1", "Command7");
    QCOMPARE(placeOf("Form1", "Command1"), menuButton);
    click("Form1", "Command7");
    QCOMPARE(placeOf("Form1", "Command1"), menuButton);

    // off-line with a port that was never opened, the download steps can be shown by hand
    click("Form1", "Command7");
    click("Form1", "Command1");
    click("Form2", "Command6");
    auto* download = app->navigator.window<DownloadWindow>(WindowId::Download);
    const QRect exitButton = placeOf("Form7", "Command1");
    app->state.downloadAcknowledged = 1;
    for (int step = 0; step < 3; ++step) {
        download->stepTick();
        QCOMPARE(placeOf("Form7", "Command1"), exitButton);
    }
    click("Form7", "Command1");

    click("Form2", "Command2");
    const QRect eolExit = placeOf("Form9", "Command1");
    const QRect lastCheck = placeOf("Form9", "Shape1_56");
    for (const char* option : {"Option2", "Option3", "Option1"}) {
        control<QRadioButton>("Form9", option)->click();
        QCOMPARE(placeOf("Form9", "Command1"), eolExit);
        QCOMPARE(placeOf("Form9", "Shape1_56"), lastCheck);
    }
}

void TestWindowRegressions::chosenLanguageShowsAndMenuHasFocus()
{
    QVERIFY(control<QPushButton>("Form1", "Command3")->isChecked());
    QCOMPARE(form("Form1")->focusWidget(), control<QPushButton>("Form1", "Command1"));
    click("Form1", "Command5");
    QVERIFY(control<QPushButton>("Form1", "Command5")->isChecked());
    QVERIFY(!control<QPushButton>("Form1", "Command3")->isChecked());
}

void TestWindowRegressions::startWindowGivesUpTopMostForTheMenu()
{
    QVERIFY(form("Form1")->windowFlags() & Qt::WindowStaysOnTopHint);
    click("Form1", "Command1");
    QVERIFY(!(form("Form1")->windowFlags() & Qt::WindowStaysOnTopHint));
    QVERIFY(form("Form1")->isVisible());
    QVERIFY(form("Form2")->windowFlags() & Qt::WindowStaysOnTopHint);
}

QTEST_MAIN(TestWindowRegressions)
void TestWindowRegressions::escapeLeavesAsExitDoes()
{
    // not the start window: a stray Escape must not end the program
    QTest::keyClick(form("Form1"), Qt::Key_Escape);
    QVERIFY(app->navigator.isOpen(WindowId::Start));
    connectedMenu();
    QTest::keyClick(form("Form2"), Qt::Key_Escape);
    QVERIFY(!app->navigator.isOpen(WindowId::MainMenu));
    QCOMPARE(activeName(), QString("Form1"));
}

#include "test_window_regressions.moc"
