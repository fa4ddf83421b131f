// The calibration window on a link that records what it sends: the mode handshake, the
// write-back of the table and its axes, the closing handshake and the boxes it refuses.
#include "link/frames.h"
#include "link/parameter_catalogue.h"
#include "support/grab.h"
#include "support/quiet_offscreen.h"
#include "support/window_test.h"
#include "ui/calibration/calibration_window.h"
#include "ui/calibration/table_editor.h"
#include "ui/calibration/table_edits.h"
#include "ui/calibration/table_grid.h"
#include "ui/common/colours.h"
#include "ui/common/segment_bar.h"
#include "ui/status/status_rules.h"

#include <QApplication>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QScrollBar>
#include <QTest>

namespace {

constexpr int kRpmAxis[8] = {800, 1200, 1600, 2000, 2500, 3000, 4000, 5000};
constexpr int kTinjAxis[8] = {200, 300, 400, 500, 650, 800, 1000, 1300};

QByteArray calibrationReply(int rpm, int tinj, int kgbInUse, int state = 0, int onPetrol = 0)
{
    QByteArray p;
    const auto add16 = [&p](int v) { p += char(v / 256) + QByteArray(1, char(v % 256)); };
    for (int v : {700, 300, 1100, 0, 45, 80, kgbInUse, rpm, tinj})
        add16(v);
    p += char(state);
    p += char(onPetrol);
    return frames::frame(10, p);
}

int code(const QByteArray& frame)
{
    return static_cast<unsigned char>(frame[4]);
}

} // namespace

class TestCalibrationWindow : public FakeLinkWindowTest {
    Q_OBJECT
private slots:
    void initTestCase() { quietOffscreenWarnings(); }
    void init()
    {
        startOnFakeLink();
        link->open("/dev/ttyS0", "9600,n,8,1");
        SharedState& s = app->state;
        for (int i = 0; i < 8; ++i) {
            s.parameterValues[param::mapRpmAxis + i] = s.pendingParameterValues[param::mapRpmAxis + i] =
                kRpmAxis[i];
            s.parameterValues[param::mapTinjAxis + i] = s.pendingParameterValues[param::mapTinjAxis + i] =
                kTinjAxis[i];
        }
        for (int k = 1; k <= kTableCellCount; ++k)
            s.tableCells[k] = s.pendingTableCells[k] = 90 + k % 20;
        s.calibrationInactive = 1;
        s.trialCoilCount = 1;
    }
    void cleanup() { stopAll(); }

    void liveViewAndMarker();
    void modeHandshakeResendsUntilAcknowledged();
    void storeWritesOnlyWhatChangedAxesFirst();
    void fillIsAnEditThatStoreWrites();
    void aBoxTypedBackToTheEcuValueIsNoEditAfterStore();
    void wholeTableTakesOneTickACell();
    void unconfirmedValueIsNamedAndExitCountsWhatStays();
    void exitResendsCalibrationOffUntilAcknowledged();
    void refusedBoxIsNamedAndNothingIsWritten();
    void leavingMidHandshakeOrWithoutAPort();
    void activationLeavesWorkUnderWayAlone();
    void kgbInUseAbove255();
    void notConnectedOffersOnlyExit();
    void cellsShowHeatUnwrittenAndOperatingPoint();
    void interpolatedBlockIsUndoneWholeAndSentOnlyOnStore();
    void blockEditsRefuseNamingTheCellAndChangeNothing();

private:
    CalibrationWindow* openWindow()
    {
        emit link->received(calibrationReply(kRpmAxis[0], kTinjAxis[0], 120));
        app->navigator.open(WindowId::Calibration);
        link->sent.clear();
        return window();
    }
    CalibrationWindow* window() { return app->navigator.window<CalibrationWindow>(WindowId::Calibration); }
    QLineEdit* box(const char* name) { return control<QLineEdit>("Form16", name); }
    QLabel* statusLine() { return control<QLabel>("Form16", "Text15"); }
    QString statusText() { return statusLine()->text(); }
    QLineEdit* gridBox(int index) { return box(qPrintable(QStringLiteral("Text6_%1").arg(index))); }
    // As the user types: the box knows it was edited.
    void type(int index, const QString& text)
    {
        gridBox(index)->setText(text);
        emit gridBox(index)->textEdited(text);
    }
    // Each tick: the frame it sent, echoed at once as the ECU does. Ticks until the write is over.
    int writeEchoingEverything(int limit = 200)
    {
        int ticks = 0;
        while (window()->phase() == CalibrationWindow::Phase::WritingBack && ticks < limit) {
            const int before = link->sent.size();
            window()->writeBackTick();
            ++ticks;
            if (link->sent.size() > before) emit link->received(link->sent.last());
        }
        return ticks;
    }
    // As the user types, keystroke by keystroke.
    void keyIn(int index, const QString& text)
    {
        gridBox(index)->selectAll();
        QTest::keyClicks(gridBox(index), text);
    }
    QStringList cellTexts()
    {
        QStringList texts;
        for (int k = 1; k <= kTableCellCount; ++k)
            texts << gridBox(15 + k)->text();
        return texts;
    }
    QTimer* timer(const char* name) { return window()->findChild<QTimer*>(QString::fromLatin1(name)); }
};

void TestCalibrationWindow::liveViewAndMarker()
{
    CalibrationWindow* w = openWindow();
    QCOMPARE(w->windowTitle(), QString("ORVANE - Taratura vettura"));
    QVERIFY(timer("Timer2")->isActive());
    QCOMPARE(gridBox(3)->text(), QString::number(kRpmAxis[3]));
    QCOMPARE(gridBox(8 + 7)->text(), QString::number(kTinjAxis[7]));
    QCOMPARE(gridBox(16)->text(), QString::number(app->state.tableCells[1]));
    QCOMPARE(gridBox(79)->text(), QString::number(app->state.tableCells[64]));

    auto* grid = w->findChild<TableGrid*>();
    auto* marker = control<QFrame>("Form16", "Shape1");
    // engine speed between r1 and r2, injection time exactly t0
    emit link->received(calibrationReply(1400, kTinjAxis[0], 120));
    w->pollTick();
    QCOMPARE(link->sent.last(), *frames::calibrationPoll(120));
    QCOMPARE(marker->pos(), QPoint(grid->pixels(1320 + 840 + 420), grid->pixels(840)));
    QCOMPARE(box("Text5")->text(), QString("1400"));
    QCOMPARE(box("Text21")->text(), QString("40"));
    QCOMPARE(box("Text14")->text(), QString("120"));
    // the straight 0-1 V sensor at 700 mV: on the boundary of segments 5 and 6, both marked
    app->state.parameterValues[param::lambda1SensorType] = 2;
    app->state.lambda1FullScale = 1000;
    app->state.lambda1Step = 50;
    w->pollTick();
    auto* bar = control<SegmentBar>("Form16", "Shape5");
    QCOMPARE(bar->colour(6), colours::yellow);
    QCOMPARE(bar->colour(5), colours::yellow);
    QCOMPARE(bar->colour(7), oxygenBaseColour(7));
    // on gas the values are green and the gas box takes the average
    QCOMPARE(box("Text1")->palette().color(QPalette::Text), colours::brightGreen);
    grabIfAsked(w, "form16");
}

void TestCalibrationWindow::modeHandshakeResendsUntilAcknowledged()
{
    CalibrationWindow* w = openWindow();
    auto* spinner = control<QScrollBar>("Form16", "VScroll1");
    QVERIFY(!spinner->isEnabled());
    click("Form16", "Command9");
    QCOMPARE(link->sent.last(), frames::calibrationOn());
    QCOMPARE(w->phase(), CalibrationWindow::Phase::Handshaking);
    QVERIFY(!timer("Timer2")->isActive());
    QVERIFY(spinner->isEnabled());
    w->handshakeTick();
    w->handshakeTick();
    QCOMPARE(link->count(11), 3);
    emit link->received(frames::frame(11));
    QCOMPARE(w->windowTitle(), QString("ORVANE - Taratura vettura Attivata"));
    QCOMPARE(control<QPushButton>("Form16", "Command9")->text(), QString("TARATURA ATTIVA"));
    w->handshakeTick();
    QCOMPARE(link->count(11), 3);
    QCOMPARE(w->phase(), CalibrationWindow::Phase::Polling);
    QVERIFY(timer("Timer2")->isActive());

    // the up arrow raises the coefficient the next poll carries
    spinner->triggerAction(QAbstractSlider::SliderSingleStepSub);
    QCOMPARE(app->state.calibrationKgb, 121);
    QCOMPARE(box("Text11")->text(), QString("121"));
    w->pollTick();
    QCOMPARE(link->sent.last(), *frames::calibrationPoll(121));
    // typed, or stepped from the keyboard, never beyond what the frame carries
    QLineEdit* kgb = box("Text11");
    kgb->selectAll();
    QTest::keyClicks(kgb, "97");
    QTest::keyClick(kgb, Qt::Key_Return);
    QCOMPARE(app->state.calibrationKgb, 97);
    QCOMPARE(spinner->value(), -97);
    QTest::keyClick(kgb, Qt::Key_Up);
    QTest::keyClick(kgb, Qt::Key_PageDown);
    QCOMPARE(app->state.calibrationKgb, 88);
    kgb->selectAll();
    QTest::keyClicks(kgb, "300");
    expectMessage("KGB TARATURA");
    QTest::keyClick(kgb, Qt::Key_Return);
    QCOMPARE(app->state.calibrationKgb, 88);
    QCOMPARE(kgb->text(), QString("88"));
    spinner->setValue(-121);

    // and off again, with the English texts
    app->state.languageIndex = 2;
    click("Form16", "Command9");
    QCOMPARE(link->sent.last(), frames::calibrationOff());
    emit link->received(frames::frame(12));
    QCOMPARE(w->windowTitle(), QString("ORVANE - Calibration Not Active"));
    QCOMPARE(control<QPushButton>("Form16", "Command9")->text(), QString("CALIBRATION NOT ACTIVE"));
    QVERIFY(!spinner->isEnabled());
}

void TestCalibrationWindow::storeWritesOnlyWhatChangedAxesFirst()
{
    CalibrationWindow* w = openWindow();
    // nothing changed: the first tick ends the write and polling resumes
    click("Form16", "Command7");
    QCOMPARE(w->phase(), CalibrationWindow::Phase::WritingBack);
    QVERIFY(!control<QPushButton>("Form16", "Command11")->isEnabled());
    QVERIFY(control<QPushButton>("Form16", "Command1")->isEnabled());
    w->writeBackTick();
    QVERIFY(link->sent.isEmpty());
    QCOMPARE(w->phase(), CalibrationWindow::Phase::Polling);
    QVERIFY(timer("Timer2")->isActive());
    QVERIFY(control<QPushButton>("Form16", "Command7")->isEnabled());

    // one cell: exactly one frame
    gridBox(16 + 9)->setText("77");
    click("Form16", "Command7");
    QCOMPARE(writeEchoingEverything(), 1);
    QCOMPARE(link->sent, QList<QByteArray>{*frames::writeTableCell(10, 77)});
    QCOMPARE(app->state.tableCells[10], 77);

    // a breakpoint and a cell: the breakpoint first, whatever the order of typing
    link->sent.clear();
    gridBox(16)->setText("101");
    gridBox(3)->setText("2100");
    click("Form16", "Command7");
    writeEchoingEverything();
    QCOMPARE(link->sent, (QList<QByteArray>{*frames::writeParameter(param::mapRpmAxis + 3, 2100),
                                            *frames::writeTableCell(1, 101)}));
    QCOMPARE(gridBox(3)->text(), QString("2100"));
    QCOMPARE(w->phase(), CalibrationWindow::Phase::Polling);

    // correctives go first, in their own order, not the order the boxes are read in: 25 before 23
    link->sent.clear();
    control<QLineEdit>("Form16", "Text25")->setText("1400"); // 23
    control<QLineEdit>("Form16", "Text24")->setText("1300"); // 25
    gridBox(16)->setText("102");
    click("Form16", "Command7");
    writeEchoingEverything();
    QCOMPARE(link->sent,
             (QList<QByteArray>{*frames::writeParameter(param::lambdaCorrectionRpmThreshold, 1300),
                                *frames::writeParameter(param::pressureCorrectionRpmThreshold, 1400),
                                *frames::writeTableCell(1, 102)}));

    // a breakpoint out of order is written only when the installer means it
    link->sent.clear();
    gridBox(9)->setText("150");
    dialogs.confirmAnswer = false;
    click("Form16", "Command7");
    QCOMPARE(dialogs.confirmations, 1);
    QVERIFY2(
        dialogs.confirmText.contains("Asse TINJ punto 2 (150) non e' maggiore di Asse TINJ punto 1 (200)"),
        qPrintable(dialogs.confirmText));
    QCOMPARE(w->phase(), CalibrationWindow::Phase::Polling);
    QVERIFY(link->sent.isEmpty());
    dialogs.confirmAnswer = true;
    click("Form16", "Command7");
    writeEchoingEverything();
    QCOMPARE(link->sent, QList<QByteArray>{*frames::writeParameter(param::mapTinjAxis + 1, 150)});
}

void TestCalibrationWindow::fillIsAnEditThatStoreWrites()
{
    app->state.tableCells[5] = app->state.pendingTableCells[5] = 100;
    openWindow();
    app->state.calibrationKgb = 100;
    // asked first; declined, nothing changes
    dialogs.confirmAnswer = false;
    click("Form16", "Command11");
    QCOMPARE(dialogs.confirmations, 1);
    QVERIFY(dialogs.confirmText.contains("64 celle") && dialogs.confirmText.contains("100"));
    QCOMPARE(gridBox(16)->text(), QString::number(app->state.tableCells[1]));

    // taken: the boxes change, nothing goes out, and it can be undone
    dialogs.confirmAnswer = true;
    click("Form16", "Command11");
    QVERIFY(link->sent.isEmpty());
    QCOMPARE(window()->phase(), CalibrationWindow::Phase::Polling);
    QCOMPARE(gridBox(79)->text(), QString("100"));
    click("Form16", "EditUndo");
    QCOMPARE(gridBox(79)->text(), QString::number(app->state.tableCells[64]));
    click("Form16", "EditRedo");
    QCOMPARE(gridBox(79)->text(), QString("100"));

    // a corrective waiting to be written by nobody: store writes the boxes, which show the ECU's
    app->state.pendingParameterValues[param::pressureVariation] =
        app->state.parameterValues[param::pressureVariation] + 3;
    int notYet = 0;
    for (int k = 1; k <= kTableCellCount; ++k)
        notYet += app->state.tableCells[k] != 100;
    QCOMPARE(notYet, 60);
    click("Form16", "Command7");
    writeEchoingEverything();
    QCOMPARE(link->sent.size(), notYet);
    int previous = 0;
    for (const QByteArray& f : link->sent) {
        QCOMPARE(code(f), 9);
        QCOMPARE(int(static_cast<unsigned char>(f[6])), 100);
        const int cell = static_cast<unsigned char>(f[5]);
        QVERIFY(cell > previous && app->state.tableCells[cell] == 100);
        previous = cell;
    }
    QCOMPARE(app->state.pendingParameterValues[param::pressureVariation],
             app->state.parameterValues[param::pressureVariation]);
    // stored: still in the history, to be undone and stored again
    QVERIFY(control<QPushButton>("Form16", "EditUndo")->isEnabled());
}

void TestCalibrationWindow::aBoxTypedBackToTheEcuValueIsNoEditAfterStore()
{
    openWindow();
    const QString ecu = QString::number(app->state.tableCells[10]);
    keyIn(25, "77");
    keyIn(25, ecu); // typed back: nothing to write, so no echo will clear its mark
    click("Form16", "Command7");
    writeEchoingEverything();
    QVERIFY(link->sent.isEmpty());
    // another writer's confirmed cell shows at once in a box nobody typed in
    app->state.pendingTableCells[11] = 140;
    emit link->received(*frames::writeTableCell(11, 140));
    QCOMPARE(gridBox(26)->text(), QString("140"));
    // another writer changes the cell; the window shows it, and the next store does not undo it
    app->state.tableCells[10] = app->state.pendingTableCells[10] = 150;
    app->context.showMessage("ORVANE", "over the window");
    click("Form12", "Command1");
    QCOMPARE(gridBox(25)->text(), QString("150"));
    click("Form16", "Command7");
    writeEchoingEverything();
    QVERIFY(link->sent.isEmpty());
}

void TestCalibrationWindow::wholeTableTakesOneTickACell()
{
    openWindow();
    for (int k = 1; k <= kTableCellCount; ++k)
        gridBox(15 + k)->setText(QString::number(200 - k));
    click("Form16", "Command7");
    // 64 ticks of 100 ms, one new frame each: the last echo ends the write without a 65th
    QCOMPARE(writeEchoingEverything(), 64);
    QCOMPARE(link->sent.size(), 64);
    for (int k = 1; k <= kTableCellCount; ++k)
        QCOMPARE(app->state.tableCells[k], 200 - k);
}

void TestCalibrationWindow::unconfirmedValueIsNamedAndExitCountsWhatStays()
{
    CalibrationWindow* w = openWindow();
    gridBox(16 + 4)->setText("55");
    gridBox(16 + 20)->setText("66");
    click("Form16", "Command7");
    QCOMPARE(statusText(),
             QString("Scrittura in centralina: 0 di 2 valori confermati - invio: Cella riga 1 colonna 5"));
    // the ECU does not answer: the same frame every tick, nothing behind it
    for (int i = 0; i < 10; ++i)
        w->writeBackTick();
    QCOMPARE(link->count(9), 10);
    QVERIFY(!statusText().contains("in attesa"));
    w->writeBackTick();
    QCOMPARE(QSet<QByteArray>(link->sent.begin(), link->sent.end()).size(), 1);
    QCOMPARE(statusText(),
             QString("Scrittura in centralina: 0 di 2 valori confermati - in attesa della centralina per "
                     "Cella riga 1 colonna 5 (inviato 11 volte)"));
    emit link->received(link->sent.last());
    QCOMPARE(statusText(),
             QString("Scrittura in centralina: 1 di 2 valori confermati - invio: Cella riga 3 colonna 5"));

    click("Form16", "Command1");
    QVERIFY(app->navigator.isOpen(WindowId::Messages));
    QCOMPARE(control<QLabel>("Form12", "Label1")->text(),
             QString("Taratura vettura: MODIFICA: scrittura interrotta (fermata dall'utente).\n"
                     "Confermati dalla centralina: 1 di 2 valori.\n"
                     "NON inviati alla centralina (1):\n"
                     "Cella riga 3 colonna 5\n"
                     "I valori della centralina vengono riletti."));
    QCOMPARE(w->phase(), CalibrationWindow::Phase::Closing);
    QVERIFY(!timer("Timer4")->isActive());
}

void TestCalibrationWindow::exitResendsCalibrationOffUntilAcknowledged()
{
    CalibrationWindow* w = openWindow();
    click("Form16", "Command1");
    QCOMPARE(link->sent, QList<QByteArray>{frames::calibrationOff()});
    QCOMPARE(w->cursor().shape(), Qt::WaitCursor);
    QVERIFY(timer("Timer3")->isActive());
    QCOMPARE(timer("Timer3")->interval(), 500);
    QVERIFY(!timer("Timer2")->isActive());
    w->closingTick();
    w->closingTick();
    QCOMPARE(link->count(12), 3);
    QVERIFY(app->navigator.isOpen(WindowId::Calibration));
    emit link->received(frames::frame(12));
    w->closingTick();
    QCOMPARE(link->count(12), 3);
    QVERIFY(!app->navigator.isOpen(WindowId::Calibration));
    for (QTimer* t : w->timers())
        QVERIFY(!t->isActive());

    // the title bar's close turns calibration mode off as EXIT does; a second press is the way out
    // when the ECU never acknowledges
    link->sent.clear();
    w = openWindow();
    link->sent.clear();
    w->close();
    QCOMPARE(link->sent, QList<QByteArray>{frames::calibrationOff()});
    QVERIFY(app->navigator.isOpen(WindowId::Calibration));
    w->close();
    QVERIFY(!app->navigator.isOpen(WindowId::Calibration));
    QVERIFY(!timer("Timer3")->isActive());
    // and so is EXIT pressed again
    w = openWindow();
    click("Form16", "Command1");
    QVERIFY(control<QPushButton>("Form16", "Command1")->isEnabled());
    click("Form16", "Command1");
    QVERIFY(!app->navigator.isOpen(WindowId::Calibration));
}

void TestCalibrationWindow::leavingMidHandshakeOrWithoutAPort()
{
    // EXIT while "mode on" waits: the next visit starts from mode off, and a late "on" shows nothing
    CalibrationWindow* w = openWindow();
    click("Form16", "Command9");
    click("Form16", "Command1");
    QCOMPARE(app->state.calibrationInactive, 1);
    const QString closingTitle = w->windowTitle();
    emit link->received(frames::frame(11));
    QCOMPARE(w->windowTitle(), closingTitle);
    emit link->received(frames::frame(12));
    w->closingTick();
    QVERIFY(!app->navigator.isOpen(WindowId::Calibration));

    // the port pulled: EXIT cannot switch anything off, and does not wait for it
    w = openWindow();
    link->pull();
    click("Form12", "Command1");
    click("Form16", "Command1");
    QVERIFY(!app->navigator.isOpen(WindowId::Calibration));
    QCOMPARE(w->cursor().shape(), Qt::ArrowCursor);
}

void TestCalibrationWindow::refusedBoxIsNamedAndNothingIsWritten()
{
    CalibrationWindow* w = openWindow();
    struct Case {
        int box;
        const char* typed;
        const char* named;
    };
    const Case cases[] = {
        {16 + 8 * 2 + 4, "abc", "Cella riga 3 colonna 5"},
        {79, "256", "Cella riga 8 colonna 8"},
        {16, "-1", "Cella riga 1 colonna 1"},
        {2, "70000", "Asse RPM punto 3"},
        {9, "", "Asse TINJ punto 2"},
    };
    for (const Case& c : cases) {
        gridBox(17)->clear();
        QTest::keyClicks(gridBox(17), "19");
        type(c.box, QString::fromUtf8(c.typed));
        click("Form16", "Command7");
        QVERIFY(link->sent.isEmpty());
        QCOMPARE(w->phase(), CalibrationWindow::Phase::Polling);
        QVERIFY2(control<QLabel>("Form12", "Label1")->text().startsWith(QString::fromUtf8(c.named)),
                 qPrintable(control<QLabel>("Form12", "Label1")->text()));
        // closing the message comes back to the window with what was typed still there
        click("Form12", "Command1");
        QCOMPARE(activeName(), QString("Form16"));
        QCOMPARE(gridBox(17)->text(), QString("19"));
        QVERIFY(timer("Timer2")->isActive());
        type(c.box, "1");
    }
    // a fraction rounds to the nearest whole number, a half to the even one
    gridBox(16)->setText("100.5");
    gridBox(18)->setText("7.5");
    click("Form16", "Command7");
    QCOMPARE(app->state.pendingTableCells[1], 100);
    QCOMPARE(app->state.pendingTableCells[3], 8);
    w->writeBackTick();
    QCOMPARE(link->sent.first(), *frames::writeParameter(param::mapRpmAxis + 2, 1));
}

void TestCalibrationWindow::activationLeavesWorkUnderWayAlone()
{
    CalibrationWindow* w = openWindow();
    gridBox(20)->setText("1");
    click("Form16", "Command7");
    w->writeBackTick();
    w->activate();
    QVERIFY(timer("Timer4")->isActive());
    QVERIFY(!timer("Timer2")->isActive());
    QCOMPARE(w->phase(), CalibrationWindow::Phase::WritingBack);
    writeEchoingEverything();

    click("Form16", "Command9");
    w->activate();
    QVERIFY(timer("Timer1")->isActive());
    emit link->received(frames::frame(11));
    w->handshakeTick();
    const int kgb = app->state.calibrationKgb;
    control<QScrollBar>("Form16", "VScroll1")->triggerAction(QAbstractSlider::SliderSingleStepSub);
    emit link->received(calibrationReply(1000, 300, 30));
    w->activate();
    QCOMPARE(app->state.calibrationKgb, kgb + 1); // not taken again from the KGB in use

    click("Form16", "Command1");
    w->activate();
    QVERIFY(timer("Timer3")->isActive());
    QVERIFY(!timer("Timer2")->isActive());
}

void TestCalibrationWindow::kgbInUseAbove255()
{
    // the automatic calibration closed during its table write and handed the rest to this window
    CalibrationWindow* w = window();
    app->state.autoCalibrationTableReady = 1;
    QVERIFY(app->writeSession.begin({w, {"Taratura automatica"}}, {{{true, 7}, 44}}));
    emit link->received(calibrationReply(1000, 300, 300));
    app->navigator.open(WindowId::Calibration);
    QCOMPARE(app->state.calibrationKgb, 255);
    QCOMPARE(box("Text11")->text(), QString("255"));
    QCOMPARE(control<QScrollBar>("Form16", "VScroll1")->value(), -255);
    // a table left by the automatic calibration is written first, with the buttons locked as a store
    QCOMPARE(w->phase(), CalibrationWindow::Phase::WritingBack);
    QVERIFY(!control<QPushButton>("Form16", "Command7")->isEnabled());
    QVERIFY(gridBox(22)->isReadOnly());
    writeEchoingEverything();
    QCOMPARE(app->state.tableCells[7], 44);
    QCOMPARE(app->state.autoCalibrationTableReady, 0);
    w->pollTick();
    QCOMPARE(box("Text14")->text(), QString("300"));
}

void TestCalibrationWindow::notConnectedOffersOnlyExit()
{
    app->state.offlineMode = 1;
    app->navigator.open(WindowId::Calibration);
    CalibrationWindow* w = window();
    QCOMPARE(w->windowTitle(), QString("ORVANE - Taratura vettura Non connesso"));
    for (const char* name :
         {"Command2", "Command4", "Command6", "Command7", "Command8", "Command9", "Command11"})
        QVERIFY2(!control<QPushButton>("Form16", name)->isEnabled(), name);
    QVERIFY(!control<QScrollBar>("Form16", "VScroll1")->isEnabled());
    for (QTimer* t : w->timers())
        QVERIFY(!t->isActive());
    grabIfAsked(w, "form16_offline");
    click("Form16", "Command1");
    QVERIFY(link->sent.isEmpty());
    QVERIFY(!app->navigator.isOpen(WindowId::Calibration));
}

QTEST_MAIN(TestCalibrationWindow)
#include "test_calibration_window.moc"

void TestCalibrationWindow::cellsShowHeatUnwrittenAndOperatingPoint()
{
    CalibrationWindow* w = openWindow();
    auto* grid = w->findChild<TableGrid*>();
    const QPalette cell = gridBox(16)->palette();
    // the colours spread over the table's own values
    const QColor first = heatColour(app->state.tableCells[1], grid->heatLow(), grid->heatHigh());
    QCOMPARE(cell.color(QPalette::Base), first);
    QCOMPARE(cell.color(QPalette::Text), readableTextOn(first));
    for (int k = 1; k <= kTableCellCount; ++k)
        QVERIFY(!grid->isPending(k));

    // typed: recoloured and marked at once, though nothing is pending in the ECU's sense yet
    type(16 + 9, "240");
    QCOMPARE(gridBox(16 + 9)->palette().color(QPalette::Base), heatColour(255));
    QVERIFY(grid->isPending(10));
    type(16 + 10, "x");
    QVERIFY(grid->isPending(11));
    type(16 + 10, QString::number(app->state.tableCells[11]));
    QVERIFY(!grid->isPending(11));
    QVERIFY(link->sent.isEmpty());
    // marked through the write until the ECU's echo
    click("Form16", "Command7");
    w->writeBackTick();
    QVERIFY(grid->isPending(10));
    emit link->received(link->sent.last());
    QVERIFY(!grid->isPending(10));

    // the operating point's cell: the breakpoint nearest on each axis, the edges beyond them
    struct Case {
        int rpm, tinj, cell;
    };
    const Case cases[] = {
        {1300, 200, 2}, {1400, 200, 3}, {100, 100, 1}, {9000, 5000, 64}, {4400, 760, 8 * 5 + 7}};
    for (const Case& c : cases) {
        emit link->received(calibrationReply(c.rpm, c.tinj, 120));
        w->pollTick();
        QCOMPARE(grid->operatingCell(), c.cell);
    }
    grabIfAsked(w, "form16-table");
}

void TestCalibrationWindow::interpolatedBlockIsUndoneWholeAndSentOnlyOnStore()
{
    openWindow();
    const QStringList ecu = cellTexts();
    // corners of the block rows 3..5, columns 4..6 (cells 20, 22, 36, 38)
    keyIn(15 + 20, "100");
    keyIn(15 + 22, "120");
    keyIn(15 + 36, "140");
    keyIn(15 + 38, "160");
    const QStringList typed = cellTexts();
    QTest::mouseClick(gridBox(15 + 20), Qt::LeftButton);
    QTest::mouseClick(gridBox(15 + 38), Qt::LeftButton, Qt::ShiftModifier);
    QVERIFY(control<QPushButton>("Form16", "EditBoth")->isEnabled());
    click("Form16", "EditBoth");
    const int bilinear[3][3] = {{100, 110, 120}, {120, 130, 140}, {140, 150, 160}};
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c)
            QCOMPARE(gridBox(15 + 20 + 8 * r + c)->text(), QString::number(bilinear[r][c]));
    QCOMPARE(gridBox(15 + 19)->text(), ecu[18]); // beside the block
    QVERIFY(link->sent.isEmpty());

    // one undo brings back every cell of the interpolation, the next the last typed corner
    QTest::keyClick(gridBox(15 + 29), Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(cellTexts(), typed);
    click("Form16", "EditUndo");
    QCOMPARE(gridBox(15 + 38)->text(), ecu[37]);
    QCOMPARE(gridBox(15 + 36)->text(), QString("140"));
    QTest::keyClick(gridBox(15 + 1), Qt::Key_Y, Qt::ControlModifier);
    click("Form16", "EditRedo");
    QCOMPARE(gridBox(15 + 29)->text(), QString("130"));
    QVERIFY(!control<QPushButton>("Form16", "EditRedo")->isEnabled());
    QVERIFY(link->sent.isEmpty());
    QCOMPARE(app->state.pendingTableCells[29], app->state.tableCells[29]);

    // store sends the block; it stays in the history
    click("Form16", "Command7");
    QVERIFY(!control<QPushButton>("Form16", "EditUndo")->isEnabled());
    QVERIFY(!control<QPushButton>("Form16", "EditBoth")->isEnabled());
    writeEchoingEverything();
    QCOMPARE(link->sent.first(), *frames::writeTableCell(20, 100));
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c)
            QCOMPARE(app->state.tableCells[20 + 8 * r + c], bilinear[r][c]);
    QVERIFY(control<QPushButton>("Form16", "EditUndo")->isEnabled());
    QVERIFY(control<QPushButton>("Form16", "EditBoth")->isEnabled());
}

void TestCalibrationWindow::blockEditsRefuseNamingTheCellAndChangeNothing()
{
    CalibrationWindow* w = openWindow();
    auto* value = control<QLineEdit>("Form16", "EditValue");
    keyIn(15 + 11, "250");
    // row 2, columns 2..4 by the keyboard
    QTest::mouseClick(gridBox(15 + 10), Qt::LeftButton);
    QTest::keyClick(gridBox(15 + 10), Qt::Key_Right, Qt::ShiftModifier);
    QTest::keyClick(gridBox(15 + 10), Qt::Key_Right, Qt::ShiftModifier);
    QCOMPARE(w->findChild<TableGrid*>()->isPending(11), true);
    const QStringList before = cellTexts();
    struct Case {
        const char* button;
        const char* typed;
        const char* message;
    };
    const Case cases[] = {
        {"EditScale", "110",
         "Cella riga 2 colonna 3: il risultato 275 e' fuori da 0..255. La tabella non e' stata cambiata."},
        {"EditAdd", "abc", "Valore per il blocco: \"abc\""},
        {"EditSubtract", "300", "Valore per il blocco: \"300\""},
        {"EditSubtract", "250", "Cella riga 2 colonna 2: il risultato "},
    };
    for (const Case& c : cases) {
        value->setText(QString::fromUtf8(c.typed));
        click("Form16", c.button);
        QVERIFY(app->navigator.isOpen(WindowId::Messages));
        const QString shown = control<QLabel>("Form12", "Label1")->text();
        QVERIFY2(shown.startsWith(QString::fromUtf8(c.message)), qPrintable(shown));
        click("Form12", "Command1");
        QCOMPARE(cellTexts(), before);
    }
    // dragged from a cell to another: the block between them, whichever way
    auto* grid = w->findChild<TableGrid*>();
    QTest::mousePress(gridBox(15 + 30), Qt::LeftButton);
    const QPoint over = gridBox(15 + 30)->mapFrom(grid, gridBox(15 + 12)->geometry().center());
    QMouseEvent drag(QEvent::MouseMove, over, gridBox(15 + 30)->mapToGlobal(over), Qt::NoButton,
                     Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(gridBox(15 + 30), &drag);
    QTest::mouseRelease(gridBox(15 + 30), Qt::LeftButton, Qt::NoModifier, over);
    const CellBlock dragged = *w->findChild<TableEditor*>()->selection();
    QCOMPARE(QList<int>({dragged.top(), dragged.left(), dragged.bottom(), dragged.right()}),
             QList<int>({1, 3, 3, 5}));
    QTest::mouseClick(gridBox(15 + 10), Qt::LeftButton);
    QTest::mouseClick(gridBox(15 + 12), Qt::LeftButton, Qt::ShiftModifier);

    // a cell store would refuse is refused here too, by its name
    keyIn(15 + 12, "x");
    value->setText("5");
    click("Form16", "EditSet");
    QVERIFY(control<QLabel>("Form12", "Label1")->text().startsWith("Cella riga 2 colonna 4"));
    click("Form12", "Command1");
    keyIn(15 + 12, "3");
    click("Form16", "EditSet");
    for (int k : {10, 11, 12})
        QCOMPARE(gridBox(15 + k)->text(), QString("5"));
    QVERIFY(link->sent.isEmpty());
    grabIfAsked(w, "form16-block");
}
