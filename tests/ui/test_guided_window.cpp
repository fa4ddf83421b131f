// The correctives and the guided calibrations of the calibration window on a link that records
// what it sends; the test plays the ECU and drives the ticks.
#include "link/frames.h"
#include "link/parameter_catalogue.h"
#include "support/grab.h"
#include "support/quiet_offscreen.h"
#include "support/window_test.h"
#include "ui/calibration/calibration_window.h"
#include "ui/menu/main_menu.h"

#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>

namespace {

struct Reading {
    int rpm = 2000;
    int pressure = 1000;
    int temperature1 = 60;
};

QByteArray calibrationReply(const Reading& r, int code = 10)
{
    QByteArray p;
    const auto add16 = [&p](int v) { p += char(v / 256) + QByteArray(1, char(v % 256)); };
    for (int v : {450, 450, r.pressure, 0, r.temperature1, 90, 110, r.rpm, 600})
        add16(v);
    p += char(0);
    p += char(0);
    return frames::frame(code, p);
}

QByteArray extraReply(std::initializer_list<int> bytes)
{
    QByteArray p;
    for (int b : bytes)
        p += char(b);
    return frames::frame(16, p);
}

int code(const QByteArray& frame)
{
    return static_cast<unsigned char>(frame[4]);
}

} // namespace

class TestGuidedWindow : public FakeLinkWindowTest {
    Q_OBJECT
private slots:
    void initTestCase() { quietOffscreenWarnings(); }
    void init()
    {
        startOnFakeLink();
        link->open("/dev/ttyS0", "9600,n,8,1");
        SharedState& s = app->state;
        const std::pair<int, int> values[] = {
            {param::pressureVariation, 2},
            {param::pressureInterval, 100},
            {param::pressureCorrectionRpmThreshold, 1500},
            {param::lambdaMaxVariation, 12},
            {param::lambdaCorrectionRpmThreshold, 1200},
            {param::temperatureVariation, 3},
            {param::temperatureInterval, 10},
            {param::calibrationTemperature, 40},
            {param::calibrationPressure, 1000},
            {param::changeoverRpm, 1800},
            {param::coilCount, 4},
            {param::injectorCount, 2},
        };
        for (const auto& [id, value] : values)
            s.parameterValues[id] = s.pendingParameterValues[id] = value;
        for (int i = 0; i < 8; ++i) {
            s.parameterValues[param::mapRpmAxis + i] = s.pendingParameterValues[param::mapRpmAxis + i] =
                800 + 500 * i;
            s.parameterValues[param::mapTinjAxis + i] = s.pendingParameterValues[param::mapTinjAxis + i] =
                200 + 150 * i;
        }
        s.calibrationInactive = 1;
        s.trialCoilCount = 1;
    }
    void cleanup() { stopAll(); }

    void correctivesShownComputedAndStored();
    void correctiveBoxRefusedNamingItsField();
    void selectorWrapsAndStartsOnlyWithTheModeOff();
    void switchingRpmIsStoredAndTheWindowRestoredOnTheEcho();
    void storedPressureIsTheSmoothedOne();
    void coilsAndInjectors();
    void exitInEveryGuidedState();
    void exitWhileWritingTheCoilsStopsBeforeTheInjectors();
    void lostPortEndsTheGuidedCalibration();
    void coilsLeftWhileTheEcuStaysSilent();
    void exitDuringAWriteKeepsTheValueSentForItsEcho();
    void guidedWriteShowsItsProgress();
    void reopenedWindowForgetsTheLastVisit();
    void menuBringsTheOpenWindowForwardUntouched();
    void nothingMovesWhileAGuidedCalibrationRuns_data();
    void nothingMovesWhileAGuidedCalibrationRuns();

private:
    CalibrationWindow* openWindow()
    {
        emit link->received(calibrationReply({}));
        app->navigator.open(WindowId::Calibration);
        link->sent.clear();
        return window();
    }
    CalibrationWindow* window() { return app->navigator.window<CalibrationWindow>(WindowId::Calibration); }
    QLineEdit* box(const char* name) { return control<QLineEdit>("Form16", name); }
    QLabel* statusLine() { return control<QLabel>("Form16", "Text15"); }
    QString statusText() { return statusLine()->text(); }
    QScrollBar* bar(const char* name) { return control<QScrollBar>("Form16", name); }
    // Where the grid, the selector and every button stand in the window, once laid out.
    QMap<QString, QRect> placesOfControls()
    {
        QApplication::processEvents();
        QMap<QString, QRect> places;
        QList<QWidget*> controls{control<QWidget>("Form16", "TableGrid"), bar("VScroll5")};
        for (QPushButton* b : window()->findChildren<QPushButton*>())
            controls << b;
        for (QWidget* c : controls)
            places[c->objectName()] = QRect(c->mapTo(window(), QPoint(0, 0)), c->size());
        return places;
    }
    QTimer* timer(const char* name) { return window()->findChild<QTimer*>(QString::fromLatin1(name)); }
    bool shown(const char* name) { return control<QWidget>("Form16", name)->isVisibleTo(window()); }
    // Up arrow `steps` times (negative: down).
    void step(const char* name, int steps)
    {
        for (int i = 0; i < std::abs(steps); ++i)
            bar(name)->triggerAction(steps > 0 ? QAbstractSlider::SliderSingleStepSub
                                               : QAbstractSlider::SliderSingleStepAdd);
    }
    void startAt(int position)
    {
        step("VScroll5", position - 1);
        click("Form16", "Command4");
    }
    void poll(const Reading& r, int code = 10)
    {
        emit link->received(calibrationReply(r, code));
        window()->pollTick();
    }
    // Guided write ticks, each echoed at once, until the window polls again.
    QList<QByteArray> writeEchoing()
    {
        QList<QByteArray> writes;
        for (int i = 0; i < 20 && window()->phase() == CalibrationWindow::Phase::GuidedWriting; ++i) {
            link->sent.clear();
            window()->guidedTick();
            if (!link->sent.isEmpty()) {
                writes << link->sent.last();
                emit link->received(link->sent.last());
            }
        }
        return writes;
    }
    QString message() { return control<QLabel>("Form12", "Label1")->text(); }
};

void TestGuidedWindow::correctivesShownComputedAndStored()
{
    openWindow();
    QCOMPARE(box("Text23")->text(), QString("2"));
    QCOMPARE(bar("VScroll4")->value(), -2);
    // beyond the spinner's 0..8: the box as it is, the spinner at its end
    QCOMPARE(box("Text20")->text(), QString("12"));
    QCOMPARE(bar("VScroll2")->value(), -8);
    QCOMPARE(box("Text10")->text(), QString("100"));

    poll({1500, 950, 65});
    QCOMPARE(box("Text27")->text(), QString("7"));
    QCOMPARE(box("Text13")->text(), QString("1"));
    poll({1499, 950, 25});
    QCOMPARE(box("Text27")->text(), QString("-4"));
    QCOMPARE(box("Text13")->text(), QString("0"));
    grabIfAsked(window(), "form16_correctives_it");

    // the spinner writes its box; a number typed beyond it is stored as typed
    step("VScroll4", 1);
    QCOMPARE(box("Text23")->text(), QString("3"));
    box("Text20")->setText("9");
    emit box("Text20")->textEdited("9");
    // a message closed over the window activates it: what was typed stays
    app->navigator.open(WindowId::Calibration);
    QCOMPARE(box("Text20")->text(), QString("9"));

    click("Form16", "Command7");
    QCOMPARE(window()->phase(), CalibrationWindow::Phase::WritingBack);
    QList<QByteArray> writes;
    for (int i = 0; i < 10 && window()->phase() == CalibrationWindow::Phase::WritingBack; ++i) {
        link->sent.clear();
        window()->writeBackTick();
        if (!link->sent.isEmpty()) {
            writes << link->sent.last();
            emit link->received(link->sent.last());
        }
    }
    QCOMPARE(writes, (QList<QByteArray>{*frames::writeParameter(param::pressureVariation, 3),
                                        *frames::writeParameter(param::lambdaMaxVariation, 9)}));
    QCOMPARE(app->state.parameterValues[param::lambdaMaxVariation], 9);
    QCOMPARE(box("Text20")->text(), QString("9"));
    QCOMPARE(bar("VScroll2")->value(), -8);
}

void TestGuidedWindow::correctiveBoxRefusedNamingItsField()
{
    openWindow();
    const std::pair<const char*, const char*> cases[] = {
        {"Text10", "abc"}, {"Text26", "2.5"}, {"Text25", "70000"}, {"Text19", ""}};
    const char* names[] = {"Correttivo Pressione: Intervallo pressione",
                           "Correttivo Temperatura: Intervallo temperatura",
                           "Correttivo Pressione: Soglia giri", "Correttivo Temperatura: Variazione"};
    for (size_t i = 0; i < std::size(cases); ++i) {
        const QString before = box(cases[i].first)->text();
        box(cases[i].first)->setText(QString::fromLatin1(cases[i].second));
        emit box(cases[i].first)->textEdited(box(cases[i].first)->text());
        click("Form16", "Command7");
        QVERIFY(link->sent.isEmpty());
        QCOMPARE(window()->phase(), CalibrationWindow::Phase::Polling);
        QVERIFY2(message().startsWith(QString::fromLatin1(names[i])), qPrintable(message()));
        click("Form12", "Command1");
        QCOMPARE(box(cases[i].first)->text(), QString::fromLatin1(cases[i].second));
        box(cases[i].first)->setText(before);
    }
}

void TestGuidedWindow::selectorWrapsAndStartsOnlyWithTheModeOff()
{
    openWindow();
    auto* start = control<QPushButton>("Form16", "Command4");
    QVERIFY(start->isEnabled());
    QVERIFY(!shown("Text9"));
    step("VScroll5", 1);
    QCOMPARE(start->text(), QString("TARATURA GIRI COMMUTAZIONE"));
    QVERIFY(shown("Text9"));
    QCOMPARE(box("Text9")->text(), QString("1800"));
    step("VScroll5", 3);
    QCOMPARE(start->text(), QString("TARATURA BOBINE E INIETTORI"));
    QVERIFY(!shown("Text9"));
    step("VScroll5", 1);
    QCOMPARE(start->text(), QString("VISUALIZZA CORRETTIVI"));
    step("VScroll5", -1);
    QCOMPARE(start->text(), QString("TARATURA BOBINE E INIETTORI"));
    step("VScroll5", -2);
    QCOMPARE(start->text(), QString("MEMORIZZA PRESSIONE DI TARATURA"));
    QCOMPARE(box("Text9")->text(), QString("1000"));

    // calibration mode on: not offered, and not started should something enable the button
    click("Form16", "Command9");
    emit link->received(frames::frame(11));
    window()->handshakeTick();
    QCOMPARE(window()->phase(), CalibrationWindow::Phase::Polling);
    QVERIFY(!start->isEnabled());
    QVERIFY(!bar("VScroll5")->isEnabled());
    start->setEnabled(true);
    start->click();
    QCOMPARE(app->state.calibrationPressureMode, 0);
    QCOMPARE(window()->phase(), CalibrationWindow::Phase::Polling);
}

void TestGuidedWindow::switchingRpmIsStoredAndTheWindowRestoredOnTheEcho()
{
    app->state.languageIndex = 2;
    openWindow();
    startAt(2);
    QCOMPARE(window()->phase(), CalibrationWindow::Phase::Guided);
    QCOMPARE(app->state.switchingRpmMode, 1);
    for (const char* name : {"Frame17", "Frame20", "Frame21"})
        QVERIFY(!shown(name));
    for (const char* name : {"Command2", "Command4", "Command8", "Command9", "Command11"})
        QVERIFY(!control<QWidget>("Form16", name)->isEnabled());
    QVERIFY(control<QWidget>("Form16", "Command7")->isEnabled());
    const QString prompt("Lead the vehicle to the RPM threshold required for switching and press MODIFY");
    poll({2300});
    poll({2450});
    QCOMPARE(box("Text9")->text(), QString("2450"));
    QCOMPARE(statusText(), prompt + " - wait for a steady value");
    for (int rpm : {2440, 2470, 2460, 2450})
        poll({rpm});
    QCOMPARE(statusText(), prompt + " - value steady");
    grabIfAsked(window(), "form16_guided_rpm_en");
    poll({0});
    QCOMPARE(statusText(), prompt + " - engine stopped: start the engine");
    poll({2450});

    link->sent.clear();
    click("Form16", "Command7");
    QCOMPARE(window()->phase(), CalibrationWindow::Phase::GuidedWriting);
    QVERIFY(!timer("Timer2")->isActive());
    window()->guidedTick();
    window()->guidedTick(); // no echo: the same write again
    QCOMPARE(link->sent, (QList<QByteArray>{*frames::writeParameter(param::changeoverRpm, 2450),
                                            *frames::writeParameter(param::changeoverRpm, 2450)}));
    emit link->received(link->sent.last());
    window()->guidedTick();
    QCOMPARE(app->state.parameterValues[param::changeoverRpm], 2450);
    QCOMPARE(window()->phase(), CalibrationWindow::Phase::Polling);
    QCOMPARE(app->state.switchingRpmMode, 0);
    QVERIFY(timer("Timer2")->isActive());
    QVERIFY(!timer("Timer5")->isActive());
    QVERIFY(shown("Frame17"));
    QVERIFY(!box("Text9")->isEnabled());
    for (const char* name : {"Command2", "Command4", "Command7", "Command9", "Command11"})
        QVERIFY(control<QWidget>("Form16", name)->isEnabled());
}

void TestGuidedWindow::storedPressureIsTheSmoothedOne()
{
    openWindow();
    startAt(3);
    // 0 -> 500 -> 750 -> 875 -> 988 (987.5, a half to the even neighbour); the last reading is 1100
    for (int p : {1000, 1000, 1000, 1100})
        poll({2000, p});
    QCOMPARE(box("Text9")->text(), QString("988"));
    QVERIFY(statusText().startsWith("Premere MODIFICA quando pronti"));
    click("Form16", "Command7");
    const QList<QByteArray> writes = writeEchoing();
    QCOMPARE(writes.first(), *frames::writeParameter(param::calibrationPressure, 988));
    QCOMPARE(app->state.parameterValues[param::calibrationPressure], 988);

    // the temperature is read from the live temperature box
    step("VScroll5", 1);
    click("Form16", "Command4");
    poll({2000, 1000, 71});
    click("Form16", "Command7");
    QCOMPARE(writeEchoing().first(), *frames::writeParameter(param::calibrationTemperature, 71));
    QCOMPARE(window()->phase(), CalibrationWindow::Phase::Polling);
}

void TestGuidedWindow::coilsAndInjectors()
{
    openWindow();
    startAt(5);
    QCOMPARE(app->state.coilCalibrationMode, 1);
    QVERIFY(shown("Text8") && shown("VScroll6") && shown("Label4") && shown("Command3"));
    QVERIFY(!control<QWidget>("Form16", "Command7")->isEnabled());
    QCOMPARE(box("Text8")->text(), QString("1"));
    poll({8000}, 13);
    QCOMPARE(code(link->sent.last()), 13);
    QCOMPARE(int(static_cast<unsigned char>(link->sent.last()[5])), 1);
    step("VScroll6", 1);
    QCOMPARE(app->state.trialCoilCount, 2);
    QCOMPARE(box("Text8")->text(), QString("2"));
    QCOMPARE(statusText(), QString("Premere OK quando giri corretti"));
    poll({4000}, 13);
    QCOMPARE(link->sent.last(), *frames::calibrationPollCoils(2));

    click("Form16", "Command3");
    QVERIFY(!bar("VScroll6")->isEnabled());
    QVERIFY(timer("Timer1")->isActive());
    link->sent.clear();
    window()->handshakeTick();
    window()->handshakeTick(); // no answer yet: asked again
    QCOMPARE(link->sent, (QList<QByteArray>{frames::readCalibrationExtra(), frames::readCalibrationExtra()}));
    QVERIFY(!timer("Timer2")->isActive());
    emit link->received(extraReply({1, 1, 1, 1, 0, 0, 0, 0}));
    window()->handshakeTick();
    for (int i = 0; i < 8; ++i) {
        QCOMPARE(shown(qPrintable(QStringLiteral("Label5_%1").arg(i))), i < 4);
        QCOMPARE(shown(qPrintable(QStringLiteral("Label5_%1").arg(8 + i))), i >= 4);
    }
    QCOMPARE(control<QLabel>("Form16", "Label5_0")->text(), QString("INJ1     ON"));
    QCOMPARE(control<QLabel>("Form16", "Label5_15")->text(), QString("INJ8              OFF"));
    QVERIFY(control<QWidget>("Form16", "Command7")->isEnabled());
    QVERIFY(timer("Timer2")->isActive());
    link->sent.clear();
    poll({2000});
    QCOMPARE(code(link->sent.last()), 10);
    QCOMPARE(statusText(), QString("Premere MODIFICA per memorizzare Premere EXIT altrimenti"));
    grabIfAsked(window(), "form16_guided_coils_it");

    click("Form16", "Command7");
    QCOMPARE(writeEchoing(), (QList<QByteArray>{*frames::writeParameter(param::coilCount, 2),
                                                *frames::writeParameter(param::injectorCount, 4)}));
    QCOMPARE(window()->phase(), CalibrationWindow::Phase::Polling);
    QCOMPARE(app->state.coilCalibrationMode, 0);
    QVERIFY(!shown("Label5_0") && !shown("Command3") && !shown("Text8") && shown("Frame21"));

    // the coil count the ECU holds already: only the injectors, as the sum of their bytes
    click("Form16", "Command4"); // the selector stayed at 5
    step("VScroll6", 1);
    click("Form16", "Command3");
    emit link->received(extraReply({1, 2, 4, 8, 0, 0, 0, 0}));
    window()->handshakeTick();
    click("Form16", "Command7");
    QCOMPARE(writeEchoing(), (QList<QByteArray>{*frames::writeParameter(param::injectorCount, 15)}));
}

void TestGuidedWindow::exitInEveryGuidedState()
{
    app->state.languageIndex = 2;
    openWindow();
    // a value calibration running: it ends, the ECU's value comes back, the window stays
    startAt(2);
    poll({2450});
    click("Form16", "Command1");
    QCOMPARE(window()->phase(), CalibrationWindow::Phase::Polling);
    QVERIFY(app->navigator.isOpen(WindowId::Calibration));
    QCOMPARE(box("Text9")->text(), QString("1800"));
    QCOMPARE(link->count(2), 0);

    // writing, the ECU silent: EXIT stops the writes and polling comes back
    click("Form16", "Command4");
    poll({2450});
    click("Form16", "Command7");
    window()->guidedTick();
    click("Form16", "Command1");
    QVERIFY(message().contains("may have received it): Switching RPM (parameter 12)"));
    click("Form12", "Command1");
    QVERIFY(!timer("Timer5")->isActive());
    QVERIFY(timer("Timer2")->isActive());
    link->sent.clear();
    window()->guidedTick(); // one left over goes nowhere, and polling goes on
    QVERIFY(link->sent.isEmpty());
    QVERIFY(timer("Timer2")->isActive());
    QCOMPARE(app->state.pendingParameterValues[param::changeoverRpm], 2450); // sent: its echo may come
    // nothing more is written until the ECU has been read again
    answerReadBack();

    // a write tick that finds no calibration any more brings polling back
    click("Form16", "Command4");
    poll({2450});
    click("Form16", "Command7");
    app->state.switchingRpmMode = 0;
    window()->guidedTick();
    QCOMPARE(window()->phase(), CalibrationWindow::Phase::Polling);
    QVERIFY(timer("Timer2")->isActive());
    QVERIFY(message().contains("writing stopped"));
    answerReadBack();

    // the coils before OK: the injector bytes are asked for and waited for, nothing written
    step("VScroll5", 3);
    click("Form16", "Command4");
    link->sent.clear();
    click("Form16", "Command1");
    QCOMPARE(link->sent, QList<QByteArray>{frames::readCalibrationExtra()});
    QVERIFY(timer("Timer1")->isActive());
    window()->handshakeTick();
    QCOMPARE(window()->phase(), CalibrationWindow::Phase::Guided);
    QCOMPARE(link->count(16), 2);
    emit link->received(extraReply({1, 1, 1, 1, 0, 0, 0, 0}));
    window()->handshakeTick();
    QCOMPARE(window()->phase(), CalibrationWindow::Phase::Polling);
    QCOMPARE(app->state.coilCalibrationMode, 0);
    QVERIFY(!shown("Label5_0") && !shown("Label5_8") && !shown("Command3"));
    QVERIFY(timer("Timer2")->isActive());
    QCOMPARE(link->count(2), 0);
    grabIfAsked(window(), "form16_after_exit_en");
}

void TestGuidedWindow::exitWhileWritingTheCoilsStopsBeforeTheInjectors()
{
    openWindow();
    startAt(5);
    step("VScroll6", 2);
    click("Form16", "Command3");
    emit link->received(extraReply({1, 1, 1, 1, 1, 1, 0, 0}));
    window()->handshakeTick();
    click("Form16", "Command7");
    link->sent.clear();
    window()->guidedTick();
    QCOMPARE(link->sent.last(), *frames::writeParameter(param::coilCount, 3));
    click("Form16", "Command1");
    QVERIFY(message().contains("ricevuto): NUMERO BOBINE (parametro 2)\nNON inviati alla centralina "
                               "(1):\nNUMERO INIETTORI (parametro 1)"));
    QVERIFY(!timer("Timer5")->isActive());
    window()->handshakeTick(); // the bytes had come: it ends at once
    QCOMPARE(window()->phase(), CalibrationWindow::Phase::Polling);
    window()->guidedTick();
    QCOMPARE(link->count(2), 1);
    QCOMPARE(app->state.pendingParameterValues[param::injectorCount], 2);
}

void TestGuidedWindow::lostPortEndsTheGuidedCalibration()
{
    openWindow();
    startAt(2);
    poll({2450});
    click("Form16", "Command7");
    link->pull();
    window()->guidedTick();
    QCOMPARE(window()->phase(), CalibrationWindow::Phase::Polling);
    QCOMPARE(app->state.switchingRpmMode, 0);
    QCOMPARE(app->state.pendingParameterValues[param::changeoverRpm], 1800);
    QCOMPARE(box("Text9")->text(), QString("1800"));
    QVERIFY2(message().startsWith(
                 "TARATURA GIRI COMMUTAZIONE: scrittura interrotta (/dev/ttyS0: dispositivo scollegato)"),
             qPrintable(message()));

    // nothing that writes starts again until a new connection has read the ECU
    click("Form12", "Command1");
    step("VScroll5", 3);
    click("Form16", "Command4");
    QVERIFY(message().contains("premere MENU"));
    QCOMPARE(window()->phase(), CalibrationWindow::Phase::Polling);
    QCOMPARE(app->state.coilCalibrationMode, 0);
}

void TestGuidedWindow::coilsLeftWhileTheEcuStaysSilent()
{
    const QString waiting("Attendere la risposta della centralina... (EXIT di nuovo per uscire subito)");
    openWindow();
    startAt(5);
    poll({0}, 13);
    QVERIFY2(statusText().contains("motore fermo"), qPrintable(statusText()));
    click("Form16", "Command1");
    QCOMPARE(statusText(), waiting);
    window()->handshakeTick();
    poll({0}, 13); // neither the coil prompt nor the engine is what is awaited now
    QCOMPARE(statusText(), waiting);
    grabIfAsked(window(), "form16_coils_abandon_waiting_it");
    link->sent.clear();
    click("Form16", "Command1"); // again: out without the reply
    QCOMPARE(window()->phase(), CalibrationWindow::Phase::Polling);
    QCOMPARE(app->state.coilCalibrationMode, 0);
    QVERIFY(!timer("Timer1")->isActive() && timer("Timer2")->isActive());
    QCOMPARE(link->count(16), 0);
    QVERIFY(app->navigator.isOpen(WindowId::Calibration));
    QCOMPARE(link->count(2), 0);

    // OK pressed, the injector bytes awaited: no engine hint; the title bar ends the coils and closes
    click("Form16", "Command4");
    click("Form16", "Command3");
    poll({0}, 13);
    QCOMPARE(statusText(), QString("Premere OK quando giri corretti"));
    link->sent.clear();
    window()->close();
    QCOMPARE(app->state.coilCalibrationMode, 0);
    QCOMPARE(window()->phase(), CalibrationWindow::Phase::Closing);
    QCOMPARE(link->sent, QList<QByteArray>{frames::calibrationOff()});
    window()->close(); // no acknowledgement either: the way out
    QVERIFY(!app->navigator.isOpen(WindowId::Calibration));
}

void TestGuidedWindow::exitDuringAWriteKeepsTheValueSentForItsEcho()
{
    openWindow();
    startAt(2);
    poll({2450});
    click("Form16", "Command7");
    window()->guidedTick();
    click("Form16", "Command1");
    QVERIFY2(message().contains("potrebbe averlo ricevuto): GIRI COMMUTAZIONE (parametro 12)"),
             qPrintable(message()));
    QCOMPARE(box("Text9")->text(), QString("1800"));
    click("Form12", "Command1");
    emit link->received(*frames::writeParameter(param::changeoverRpm, 2450)); // late
    QCOMPARE(app->state.parameterValues[param::changeoverRpm], 2450);
    QCOMPARE(box("Text9")->text(), QString("2450"));
    answerReadBack();

    // the coils written in part: the injectors never went out and are not wanted any more
    step("VScroll5", 3);
    click("Form16", "Command4");
    step("VScroll6", 2);
    click("Form16", "Command3");
    emit link->received(extraReply({1, 1, 1, 1, 1, 1, 0, 0}));
    window()->handshakeTick();
    click("Form16", "Command7");
    window()->guidedTick();
    emit link->received(link->sent.last());
    window()->guidedTick();
    QCOMPARE(link->sent.last(), *frames::writeParameter(param::injectorCount, 6));
    click("Form16", "Command1");
    QVERIFY2(message().contains("Confermati dalla centralina: 1 di 2 valori.\nInviato ma non confermato "
                                "(la centralina potrebbe averlo ricevuto): NUMERO INIETTORI (parametro 1)"),
             qPrintable(message()));
    QCOMPARE(app->state.parameterValues[param::coilCount], 3);
    QCOMPARE(app->state.pendingParameterValues[param::injectorCount], 6);
}

void TestGuidedWindow::guidedWriteShowsItsProgress()
{
    app->state.languageIndex = 2;
    openWindow();
    startAt(3);
    poll({2000, 1200});
    click("Form16", "Command7");
    QCOMPARE(statusText(), QString("0 of 1 values confirmed - sending: Calibration pressure (parameter 29)"));
    for (int i = 0; i <= WriteSession::kPatience; ++i)
        window()->guidedTick();
    QVERIFY2(statusText().contains("waiting for the ECU to confirm Calibration pressure (parameter 29)"),
             qPrintable(statusText()));
    grabIfAsked(window(), "form16_guided_write_waiting_en");
}

void TestGuidedWindow::reopenedWindowForgetsTheLastVisit()
{
    openWindow();
    poll({});
    QVERIFY(!box("Text13")->text().isEmpty() && !box("Text27")->text().isEmpty());
    app->navigator.close(window());
    app->state.calibrationExtraReceived = 1; // a late injector reply
    openWindow();
    QVERIFY(box("Text13")->text().isEmpty() && box("Text27")->text().isEmpty());
    QCOMPARE(app->state.calibrationExtraReceived, 0);

    // one more after the coils ended: no store prompt without a coil calibration
    startAt(5);
    click("Form16", "Command3");
    emit link->received(extraReply({1, 1, 1, 1, 0, 0, 0, 0}));
    window()->handshakeTick();
    click("Form16", "Command1");
    window()->handshakeTick();
    QCOMPARE(app->state.coilCalibrationMode, 0);
    emit link->received(extraReply({1, 1, 1, 1, 0, 0, 0, 0}));
    poll({2000});
    QCOMPARE(statusText(), QString(" "));
}

void TestGuidedWindow::menuBringsTheOpenWindowForwardUntouched()
{
    openWindow();
    startAt(2);
    app->navigator.open(WindowId::MainMenu);
    for (const char* name : {"Command3", "Command5"})
        control<QPushButton>("Form2", name)->setEnabled(true);
    link->sent.clear();
    click("Form2", "Command5");
    QCOMPARE(activeName(), QString("Form16"));
    QVERIFY(link->sent.isEmpty());
    QCOMPARE(app->state.switchingRpmMode, 1);
    QCOMPARE(app->state.calibrationInactive, 1);
    QCOMPARE(window()->phase(), CalibrationWindow::Phase::Guided);
    QVERIFY(!menu()->findChild<QTimer*>("Timer3")->isActive());

    app->navigator.open(WindowId::Status);
    app->navigator.open(WindowId::MainMenu);
    app->state.changeoverAcknowledged = 0;
    link->sent.clear();
    click("Form2", "Command3");
    QCOMPARE(app->navigator.active()->id(), WindowId::Status);
    QVERIFY(link->sent.isEmpty());
    QCOMPARE(app->state.changeoverAcknowledged, 0);
}

QTEST_MAIN(TestGuidedWindow)
void TestGuidedWindow::nothingMovesWhileAGuidedCalibrationRuns_data()
{
    QTest::addColumn<int>("language");
    QTest::newRow("it") << 1;
    QTest::newRow("tr") << 3;
    QTest::newRow("en") << 2;
}

void TestGuidedWindow::nothingMovesWhileAGuidedCalibrationRuns()
{
    QFETCH(int, language);
    app->state.languageIndex = language;
    openWindow();
    QVERIFY(window()->width() <= 1366 && window()->height() <= 720);
    const QMap<QString, QRect> before = placesOfControls();
    startAt(2);
    poll({2450});
    QCOMPARE(placesOfControls(), before);
    click("Form16", "Command1");
    startAt(5);
    step("VScroll6", 3);
    poll({2450});
    QCOMPARE(placesOfControls(), before);
}

#include "test_guided_window.moc"
