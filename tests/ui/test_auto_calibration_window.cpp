// The automatic calibration window on a link that records what it sends; the test plays the ECU
// with calibration frames before each sampling tick.
#include "link/frames.h"
#include "link/parameter_catalogue.h"
#include "support/grab.h"
#include "support/quiet_offscreen.h"
#include "support/window_test.h"
#include "ui/calibration/auto_calibration_window.h"
#include "ui/calibration/calibration_window.h"
#include "ui/common/segment_bar.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

namespace {

QByteArray calibrationReply(int rpm, int tinj, int kgbInUse, int state, int onPetrol)
{
    QByteArray p;
    const auto add16 = [&p](int v) { p += char(v / 256) + QByteArray(1, char(v % 256)); };
    for (int v : {450, 520, 1100, 0, 45, 80, kgbInUse, rpm, tinj})
        add16(v);
    p += char(state);
    p += char(onPetrol);
    return frames::frame(10, p);
}

} // namespace

class TestAutoCalibrationWindow : public FakeLinkWindowTest {
    Q_OBJECT
private slots:
    void initTestCase() { quietOffscreenWarnings(); }
    void init()
    {
        startOnFakeLink();
        link->open("/dev/ttyS0", "9600,n,8,1");
        SharedState& s = app->state;
        for (int k = 1; k <= kTableCellCount; ++k)
            s.tableCells[k] = s.pendingTableCells[k] = 90 + k % 20;
        s.calibrationInactive = 1;
    }
    void cleanup() { stopAll(); }

    void opensFromTheCalibrationWindowAndSamples();
    void phaseDeadlineIsNotPushedBack();
    void exitStopsThePhaseTimerAndLeavesOnAcknowledgement();
    void okWritesTheDerivedTableThenLeaves();
    void cellAbove255RefusesOkAndWritesNothing();
    void closingDuringTheTableWriteFinishesItInTheCalibrationWindow();
    void calibrationWindowWaitsUnderTheProcedure();
    void lostPortOrSilentEcuLeaveTheWayOut();
    void notConnectedOffersOnlyExit();

private:
    AutoCalibrationWindow* window()
    {
        return app->navigator.window<AutoCalibrationWindow>(WindowId::AutoCalibration);
    }
    CalibrationWindow* calibration()
    {
        return app->navigator.window<CalibrationWindow>(WindowId::Calibration);
    }
    QTimer* timer(const char* name) { return window()->findChild<QTimer*>(QString::fromLatin1(name)); }
    QString label(const char* name) { return control<QLabel>("Form8", name)->text(); }

    // The calibration window, "TARATURA AUTOMATICA", the ECU's acknowledgement, the handshake tick.
    void openFromCalibration(int kgbInUse = 100)
    {
        emit link->received(calibrationReply(2500, 600, kgbInUse, 0, 1));
        app->navigator.open(WindowId::Calibration);
        click("Form16", "Command8");
        emit link->received(frames::frame(11));
        calibration()->handshakeTick();
        link->sent.clear();
    }
    // One sampling tick on a fresh frame; the ECU reports the coefficient under test in use.
    void tick(int tinj, bool onPetrol, int state = 0)
    {
        emit link->received(
            calibrationReply(2500, tinj, window()->procedure().testKgb, state, onPetrol ? 1 : 0));
        window()->samplingTick();
    }
    // Ticks until the phase deadline is armed, then lets it pass; the ticks it took.
    int runPhase(int tinj, bool onPetrol)
    {
        for (int n = 1; n <= 200; ++n) {
            tick(tinj, onPetrol);
            if (timer("Timer1")->isActive()) {
                window()->phaseTick();
                return n;
            }
        }
        return -1;
    }
    // Reference on petrol, a gas phase at `gasTinj`, a petrol window; then, if gas ran off,
    // a gas phase that matches and a petrol window without deviation.
    void reachFound(int gasTinj = 600)
    {
        runPhase(600, true);
        runPhase(gasTinj, false);
        runPhase(600, true);
        if (gasTinj == 600) return;
        runPhase(600, false);
        runPhase(600, true);
    }
    // Each table tick's frame echoed at once, as the ECU does.
    void writeEchoing()
    {
        for (int i = 0; i < 200 && window()->phase() == AutoCalibrationWindow::Phase::WritingTable; ++i) {
            const qsizetype before = link->sent.size();
            window()->tableTick();
            if (link->sent.size() > before && frames::byteAt(link->sent.last(), 5) == 9)
                emit link->received(link->sent.last());
        }
    }
};

void TestAutoCalibrationWindow::opensFromTheCalibrationWindowAndSamples()
{
    openFromCalibration(100);
    QCOMPARE(activeName(), QString("Form8"));
    AutoCalibrationWindow* w = window();
    QCOMPARE(w->windowTitle(), QString("ORVANE - Taratura automatica"));
    QCOMPARE(label("Label1"), QString("Portare la vettura nella posizione di taratura"));
    QVERIFY(timer("Timer2")->isActive());
    QCOMPARE(w->procedure().testKgb, 100);
    QVERIFY(!control<QPushButton>("Form8", "Command2")->isEnabled());

    tick(612, true);
    // each tick carries the coefficient under test
    QCOMPARE(link->sent.last(), *frames::calibrationPoll(100));
    QCOMPARE(control<QLineEdit>("Form8", "Text9")->text(), QString("612"));
    QCOMPARE(control<QLineEdit>("Form8", "Text7")->text(), QString("100"));
    QVERIFY(label("procedureState").startsWith("Fase 1: benzina"));
    QVERIFY(label("lastDecision").contains("100"));
    // the first average is the difference from a reference of 0: 612 lights the whole petrol side
    auto* bar = w->findChild<SegmentBar*>("Shape1");
    QCOMPARE(bar->colour(0), QColor(250, 0, 0));
    QCOMPARE(bar->colour(1), QColor(250, 250, 0));
    QCOMPARE(bar->colour(11), QColor(250, 0, 0));
    QCOMPARE(bar->colour(20), QColor(250, 0, 0));

    // the first petrol phase closes without a decision and changes fuel a second later
    runPhase(600, true);
    QCOMPARE(link->count(4), 1);
    QCOMPARE(control<QLineEdit>("Form8", "Text1")->text(), QString("600"));
    QCOMPARE(control<QLineEdit>("Form8", "Text2")->text(), QString("600"));
    QVERIFY(label("lastDecision").contains("riferimento benzina"));
    grabIfAsked(w, "form8_sampling_it");
    app->state.languageIndex = 2;
    w->applyLanguage();
    QVERIFY(label("lastDecision").contains("petrol reference"));
    tick(600, false);
    QVERIFY(label("procedureState").startsWith("Phase 2: gas"));
    grabIfAsked(w, "form8_sampling_en");
}

void TestAutoCalibrationWindow::phaseDeadlineIsNotPushedBack()
{
    openFromCalibration();
    runPhase(600, true);
    for (int i = 0; i < 200 && !timer("Timer1")->isActive(); ++i)
        tick(700, false);
    QVERIFY(timer("Timer1")->isActive());
    QTest::qWait(150);
    for (int i = 0; i < 5; ++i)
        tick(700, false); // still stable on gas
    QVERIFY(timer("Timer1")->isActive());
    QVERIFY2(timer("Timer1")->remainingTime() <= 870,
             qPrintable(QString::number(timer("Timer1")->remainingTime())));
}

void TestAutoCalibrationWindow::exitStopsThePhaseTimerAndLeavesOnAcknowledgement()
{
    openFromCalibration();
    for (int i = 0; i < 200 && !timer("Timer1")->isActive(); ++i)
        tick(600, true);
    QVERIFY(timer("Timer1")->isActive());
    const int polls = link->count(10);
    click("Form8", "Command1");
    QVERIFY(!timer("Timer1")->isActive());
    QCOMPARE(link->count(12), 1);
    QCOMPARE(app->state.calibrationInactive, 1);
    QCOMPARE(app->state.autoCalibrationRequested, 0);
    window()->phaseTick(); // a tick already queued changes nothing
    QCOMPARE(link->count(4), 0);

    window()->samplingTick();
    QCOMPARE(link->count(12), 2);
    QCOMPARE(link->count(10), polls); // no poll while leaving
    emit link->received(frames::frame(12));
    window()->samplingTick();
    QVERIFY(!app->navigator.isOpen(WindowId::AutoCalibration));
    QCOMPARE(activeName(), QString("Form16"));
    QCOMPARE(calibration()->windowTitle(), QString("ORVANE - Taratura vettura Non attiva"));

    // the title bar's close leaves the same way, and a second close does not wait for the ECU
    app->state.calibrationInactive = 1;
    click("Form16", "Command8");
    emit link->received(frames::frame(11));
    calibration()->handshakeTick();
    QCOMPARE(activeName(), QString("Form8"));
    window()->close();
    QCOMPARE(window()->phase(), AutoCalibrationWindow::Phase::Leaving);
    QVERIFY(app->navigator.isOpen(WindowId::AutoCalibration));
    window()->close();
    QVERIFY(!app->navigator.isOpen(WindowId::AutoCalibration));
    for (QTimer* t : window()->timers())
        QVERIFY(!t->isActive());
}

void TestAutoCalibrationWindow::okWritesTheDerivedTableThenLeaves()
{
    openFromCalibration(100);
    // gas runs 300 long: one step up, then no deviation
    runPhase(600, true);
    runPhase(900, false);
    runPhase(600, true);
    QCOMPARE(label("lastDecision"), QString("Ultima decisione: Tinj gas piu' lungo, KGB +1 -> 101"));
    QVERIFY(link->sent.contains(*frames::calibrationPoll(101)));
    runPhase(600, false);
    runPhase(600, true);
    auto* ok = control<QPushButton>("Form8", "Command2");
    QVERIFY(ok->isEnabled());
    QCOMPARE(label("Label1"), QString("Premere OK per memorizzare il valore in tabella"));
    QVERIFY(label("lastDecision").contains("valore trovato KGB 101"));
    // found: the deadline on gas no longer changes fuel
    const int changeovers = link->count(4);
    runPhase(600, false);
    QCOMPARE(link->count(4), changeovers);
    grabIfAsked(window(), "form8_found_it");

    link->sent.clear();
    click("Form8", "Command2");
    QCOMPARE(window()->phase(), AutoCalibrationWindow::Phase::WritingTable);
    QCOMPARE(app->state.autoCalibrationTableReady, 1);
    QVERIFY(!control<QPushButton>("Form8", "Command1")->isEnabled());
    QVERIFY(!timer("Timer2")->isActive());
    window()->activate(); // coming back over another window does not restart sampling
    QVERIFY(!timer("Timer2")->isActive());
    QCOMPARE(app->state.pendingTableCells[8], 113); // 101 x 1.12
    QCOMPARE(app->state.pendingTableCells[57], 113);
    QCOMPARE(app->state.pendingTableCells[30], 101);

    writeEchoing();
    QCOMPARE(window()->phase(), AutoCalibrationWindow::Phase::Leaving);
    QCOMPARE(app->state.tableCells, app->state.pendingTableCells);
    QCOMPARE(link->count(10), 0);
    QCOMPARE(link->count(12), 1);
    QCOMPARE(app->state.autoCalibrationTableReady, 0);
    emit link->received(frames::frame(12));
    window()->samplingTick();
    QVERIFY(!app->navigator.isOpen(WindowId::AutoCalibration));
    // the calibration window polls again, trying the coefficient the procedure left in use
    QCOMPARE(calibration()->phase(), CalibrationWindow::Phase::Polling);
    QCOMPARE(app->state.calibrationKgb, 101);
}

void TestAutoCalibrationWindow::cellAbove255RefusesOkAndWritesNothing()
{
    openFromCalibration(240);
    reachFound();
    link->sent.clear();
    const auto pending = app->state.pendingTableCells;
    click("Form8", "Command2");
    QCOMPARE(activeName(), QString("Form12"));
    const QString message = control<QLabel>("Form12", "Label1")->text();
    // 240 x 1.08 and up: cells 4..8 of the lowest row, 25..57 of the lowest column
    QVERIFY2(message.contains("KGB 240 (GPL)") && message.contains("Cella riga 1 colonna 4 = 259") &&
                 message.contains("Cella riga 1 colonna 8 = 268") && message.contains("e altre 2") &&
                 message.contains("Nessun valore"),
             qPrintable(message));
    QVERIFY(!message.contains("Cella riga 1 colonna 3 ="));
    QCOMPARE(link->count(9), 0);
    QCOMPARE(app->state.pendingTableCells, pending);
    QCOMPARE(app->state.autoCalibrationTableReady, 0);
    click("Form12", "Command1");
    QCOMPARE(window()->phase(), AutoCalibrationWindow::Phase::Sampling);
    QVERIFY(control<QPushButton>("Form8", "Command2")->isEnabled());
    QVERIFY(timer("Timer2")->isActive());

    // CNG lowers the cells: the same coefficient goes through
    control<QWidget>("Form8", "Option1_1")->setProperty("checked", true);
    click("Form8", "Command2");
    QCOMPARE(window()->phase(), AutoCalibrationWindow::Phase::WritingTable);
    QCOMPARE(app->state.pendingTableCells[8], 211);
}

void TestAutoCalibrationWindow::closingDuringTheTableWriteFinishesItInTheCalibrationWindow()
{
    openFromCalibration(100);
    reachFound();
    click("Form8", "Command2");
    for (int i = 0; i < 3; ++i) {
        window()->tableTick();
        emit link->received(link->sent.last());
    }
    window()->close();
    QVERIFY(!app->navigator.isOpen(WindowId::AutoCalibration));
    QVERIFY(control<QLabel>("Form12", "Label1")->text().contains("continua nella finestra di taratura"));
    QCOMPARE(app->state.autoCalibrationRequested, 0);
    // the calibration window took over the write the moment it became active again
    QCOMPARE(calibration()->phase(), CalibrationWindow::Phase::WritingBack);
    const qsizetype before = link->sent.size();
    calibration()->writeBackTick();
    QCOMPARE(link->sent.size(), before + 1);
    QCOMPARE(frames::byteAt(link->sent.last(), 5), 9);
}

void TestAutoCalibrationWindow::lostPortOrSilentEcuLeaveTheWayOut()
{
    openFromCalibration();
    for (int i = 0; i < 40; ++i)
        tick(600, true);
    const int samples = window()->procedure().tinjStableCount;
    // the ECU goes silent: the last values are not counted again, and the technician is told
    for (int i = 0; i < 12; ++i)
        window()->samplingTick();
    QCOMPARE(window()->procedure().tinjStableCount, samples);
    QVERIFY(label("procedureState").startsWith("La centralina non risponde"));
    // the port goes away: nothing is sent, EXIT leaves at once
    link->pull();
    window()->samplingTick();
    click("Form8", "Command1");
    QVERIFY(!app->navigator.isOpen(WindowId::AutoCalibration));

    // during the table write: the write stops and says how much stayed unwritten
    click("Form12", "Command1");
    QCOMPARE(activeName(), QString("Form16"));
    link->open("/dev/ttyS0", "9600,n,8,1");
    app->state.calibrationInactive = 1;
    click("Form16", "Command8");
    emit link->received(frames::frame(11));
    calibration()->handshakeTick();
    reachFound();
    click("Form8", "Command2");
    link->pull();
    window()->tableTick();
    QVERIFY(!app->navigator.isOpen(WindowId::AutoCalibration));
    const QString report = control<QLabel>("Form12", "Label1")->text();
    QVERIFY2(report.startsWith("Taratura automatica: tabella: scrittura interrotta (/dev/ttyS0: dispositivo "
                               "scollegato)") &&
                 report.contains("NON inviati alla centralina"),
             qPrintable(report));
    QCOMPARE(app->state.autoCalibrationTableReady, 0);
}

void TestAutoCalibrationWindow::notConnectedOffersOnlyExit()
{
    app->state.offlineMode = 1;
    app->navigator.open(WindowId::AutoCalibration);
    QCOMPARE(activeName(), QString("Form8"));
    for (QTimer* t : window()->timers())
        QVERIFY(!t->isActive());
    QVERIFY(control<QPushButton>("Form8", "Command1")->isEnabled());
    for (const char* name : {"Command2", "VScroll1", "Option1_0", "Option1_1"})
        QVERIFY(!control<QWidget>("Form8", name)->isEnabled());
    app->state.languageIndex = 3;
    window()->applyCaptions();
    QCOMPARE(control<QPushButton>("Form8", "Command1")->text(), QString("CIKIS"));
    grabIfAsked(window(), "form8_offline_tr");
    click("Form8", "Command1");
    QVERIFY(!app->navigator.isOpen(WindowId::AutoCalibration));
    QVERIFY(link->sent.isEmpty());
}

QTEST_MAIN(TestAutoCalibrationWindow)
#include "test_auto_calibration_window.moc"

void TestAutoCalibrationWindow::calibrationWindowWaitsUnderTheProcedure()
{
    emit link->received(calibrationReply(2500, 600, 100, 0, 1));
    app->navigator.open(WindowId::Calibration);
    auto* cell1 = control<QLineEdit>("Form16", "Text6_16");
    cell1->selectAll();
    QTest::keyClicks(cell1, "77"); // typed, never stored
    click("Form16", "Command8");
    emit link->received(frames::frame(11));
    calibration()->handshakeTick();
    link->sent.clear();

    // clicked, the calibration window hands the front back and runs nothing of its own
    const auto clickCalibration = [this] {
        QTest::mouseClick(control<QLabel>("Form16", "Text15"), Qt::LeftButton);
        QCOMPARE(activeName(), QString("Form8"));
        for (const char* name : {"Command2", "Command5", "Command7", "Command8", "Command9", "Command11"})
            QVERIFY2(!control<QPushButton>("Form16", name)->isEnabled(), name);
        QVERIFY(!calibration()->findChild<QTimer*>("Timer2")->isActive());
        QVERIFY(!calibration()->findChild<QTimer*>("Timer4")->isActive());
    };
    clickCalibration();
    click("Form16", "Command1"); // its EXIT too
    QVERIFY(app->navigator.isOpen(WindowId::Calibration));
    QCOMPARE(link->sent.size(), 0);

    runPhase(600, true);
    runPhase(900, false);
    runPhase(600, true);
    runPhase(600, false);
    runPhase(600, true);
    click("Form8", "Command2");
    clickCalibration();
    const qsizetype before = link->sent.size();
    calibration()->writeBackTick(); // a tick it might have armed finds nothing to write
    QCOMPARE(link->sent.size(), before);

    // the procedure ends while another window is in front: the calibration window still takes over
    app->navigator.open(WindowId::Messages);
    writeEchoing();
    emit link->received(frames::frame(12));
    window()->samplingTick();
    QVERIFY(!app->navigator.isOpen(WindowId::AutoCalibration));
    QCOMPARE(activeName(), QString("Form16"));
    QCOMPARE(calibration()->phase(), CalibrationWindow::Phase::Polling);
    QVERIFY(calibration()->findChild<QTimer*>("Timer2")->isActive());
    QCOMPARE(app->state.calibrationKgb, 101);
    // the written table replaces what was typed before the procedure
    QCOMPARE(cell1->text(), QString::number(app->state.tableCells[1]));
    QCOMPARE(control<QPushButton>("Form16", "Command9")->text(), QString("TARATURA NON ATTIVA"));
}
