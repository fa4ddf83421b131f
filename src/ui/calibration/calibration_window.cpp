#include "ui/calibration/calibration_window.h"

#include "archive/drive_analysis.h"
#include "link/frames.h"
#include "link/input_rule.h"
#include "link/parameter_catalogue.h"
#include "ui/calibration/calibration_live_view.h"
#include "ui/calibration/calibration_mode_texts.h"
#include "ui/calibration/calibration_table.h"
#include "ui/calibration/corrective_panel.h"
#include "ui/calibration/guided_texts.h"
#include "ui/calibration/table_editor.h"
#include "ui/calibration/table_grid.h"
#include "ui/calibration/table_overlay.h"
#include "ui/common/datalog_recorder.h"
#include "ui/common/file_dialogs.h"
#include "ui/common/widgets.h"
#include "ui/common/write_report.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

namespace {

const Caption kCaptions[] = {
    {kTitle,
     {"ORVANE - Taratura vettura", "ORVANE - Calibration Vehicle", "ORVANE - Taratura vettura Activ"}},
    {kOfflineTitle,
     {"ORVANE - Taratura vettura Non connesso", "ORVANE - Calibration Vehicle Not connected",
      "ORVANE - Taratura vettura NON CONNESSO"}},
    {"Command1", shared_texts::exit},
    {"Command2", {"COMMUTA", "SWITCH", "Calisma sekli degistir"}},
    {"Command7", {"MODIFICA", "MODIFY", "Kaydet"}},
    {"Command8", {"TARATURA AUTOMATICA", "AUTOMATIC CALIBRATION", "AUTOMATIC CALIBRATION"}},
    {"Command9", {"TARATURA NON ATTIVA", "CALIBRATION NOT ACTIVE", "CALIBRATION NOT ACTIVE"}},
    {"Command11", {"IMPOSTA TUTTA TABELLA", "SET VAL ALL TABLE", "SET VAL ALL TABLE"}},
    {"Command4", {"VISUALIZZA CORRETTIVI", "DISPLAY CORRECTIVE VALUES", "GIRI COMMUTAZIONE"}},
    {"Command3", {"OK"}},
    {"Label4", {"NUMERO BOBINE", "NUMBER OF COILS", "NUMERO BOBINE"}},
    {"Command5", {"Visualizzazione grafica", "Graphical visualization", "Graphical visualization"}},
};

constexpr LocalText kProgress{"Scrittura in centralina: %1", "Writing to the ECU: %1", "Beyne yaziliyor: %1"};
constexpr LocalText kStore{"Taratura vettura: MODIFICA", "Calibration: MODIFY", "Taratura vettura: MODIFICA"};
constexpr LocalText kFillQuestion{
    "Impostare tutte le 64 celle della tabella a %1? La tabella cambia solo sullo schermo: si puo' annullare "
    "e viene scritta nella centralina solo con MODIFICA.",
    "Set all 64 cells of the table to %1? The table changes on screen only: it can be undone and is written "
    "to the ECU only by MODIFY.",
    "Tablonun 64 hucresi %1 yapilsin mi? Tablo yalnizca ekranda degisir: geri alinabilir ve beyne yalnizca "
    "MODIFICA ile yazilir."};
constexpr LocalText kFill{"Imposta", "Set", "Ayarla"};
constexpr LocalText kCancel{"Annulla", "Cancel", "Iptal"};
constexpr LocalText kAxisQuestion{
    "Gli assi devono crescere da un punto al successivo, altrimenti la centralina non sa tra quali punti "
    "interpolare:\n%1\nScrivere comunque?",
    "Each axis must rise from one point to the next, otherwise the ECU cannot tell which points to "
    "interpolate between:\n%1\nWrite all the same?",
    "Her eksen bir noktadan digerine artmali, yoksa beyin hangi noktalar arasinda ara deger alacagini "
    "bilemez:\n%1\nYine de yazilsin mi?"};
constexpr LocalText kWrite{"Scrivi", "Write", "Yaz"};
constexpr LocalText kAutomaticStarts{"Taratura automatica: inizio", "Automatic calibration: start",
                                     "Otomatik kalibrasyon: baslangic"};
constexpr LocalText kAutomaticEnds{"Taratura automatica: fine", "Automatic calibration: end",
                                   "Otomatik kalibrasyon: bitis"};

// The store writes the correctives in this order, whatever order their boxes are read in.
constexpr int kCorrectiveOrder[] = {param::pressureVariation,
                                    param::lambdaMaxVariation,
                                    param::temperatureVariation,
                                    param::lambdaCorrectionRpmThreshold,
                                    param::pressureCorrectionRpmThreshold,
                                    param::pressureInterval,
                                    param::temperatureInterval};

// A button whose caption changes keeps the width of its longest caption in any language, so that
// nothing beside it moves.
QPushButton* button(QWidget* parent, const char* name, std::initializer_list<LocalText> captions = {})
{
    auto* b = new QPushButton(parent);
    b->setObjectName(QString::fromLatin1(name));
    int widest = 0;
    for (const LocalText& t : captions)
        for (const Language l : {Language::Italian, Language::English, Language::Turkish})
            widest = std::max(widest, b->fontMetrics().horizontalAdvance(t.in(l)));
    if (widest > 0) b->setFixedWidth(widest + 24);
    return b;
}

} // namespace

CalibrationWindow::CalibrationWindow(AppContext& context) : Form(context, WindowId::Calibration)
{
    const auto refuse = [this](const QString& title, const QString& message) {
        ctx.showMessage(title, message);
    };
    live = new CalibrationLiveView(state, this, refuse);
    table = new CalibrationTable(
        ctx, *this, [this] { return language(); }, refuse);
    correctives = new CorrectivePanel(this);
    setUpTimer(handshakeTimer, "Timer1", 500, &CalibrationWindow::handshakeTick);
    setUpTimer(pollTimer, "Timer2", 300, &CalibrationWindow::pollTick);
    setUpTimer(closingTimer, "Timer3", 500, &CalibrationWindow::closingTick);
    setUpTimer(writeBackTimer, "Timer4", 100, &CalibrationWindow::writeBackTick);
    setUpTimer(guidedTimer, "Timer5", 200, &CalibrationWindow::guidedTick);
    guided = new GuidedController(ctx, *this, *live, *correctives, handshakeTimer, guidedTimer, this);

    exitButton = button(this, "Command1");
    changeoverButton = button(this, "Command2");
    storeButton = button(this, "Command7");
    automaticButton = button(this, "Command8");
    modeButton =
        button(this, "Command9", {calibration_mode_texts::onCaption, calibration_mode_texts::offCaption});
    fillButton = button(this, "Command11");
    graphicalButton = button(this, "Command5");
    // a prompt, a progress line or a report is read whole, in every language: two lines kept for it
    statusLine = namedLabel(this, QStringLiteral("Text15"), QString());
    statusLine->setWordWrap(true);
    statusLine->setFrameShape(QFrame::StyledPanel);
    statusLine->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    statusLine->setFixedHeight(2 * statusLine->fontMetrics().lineSpacing() + 8);

    // a row per calibration reply, as the next poll tick shows it
    recorder = new DatalogRecorder(
        context, *this, DatalogSource::Calibration,
        {static_cast<int>(RequestKind::CalibrationPoll), static_cast<int>(RequestKind::CalibrationPollCoils)},
        [this](std::vector<int>& row) { recordRow(row); });
    // the automatic calibration polls with its own coefficient: the ECU tries what went out last
    connect(&ctx.link, &Link::sent, this, [this](const QByteArray& frame) {
        if (frame.size() >= 7 && frames::byteAt(frame, 5) == static_cast<int>(RequestKind::CalibrationPoll))
            polledKgb_ = frames::value16At(frame, 6);
    });

    // the injectors found by the coil calibration stand where the correctives are
    auto* belowTable = new QGridLayout;
    belowTable->addWidget(correctives, 0, 0, Qt::AlignLeft | Qt::AlignTop);
    belowTable->addWidget(guided->injectorColumn(), 0, 0, Qt::AlignLeft | Qt::AlignTop);

    auto* left = new QVBoxLayout;
    left->addWidget(live);
    left->addWidget(guided->selectorRows());
    left->addStretch(1);
    auto* gridRow = new QHBoxLayout;
    gridRow->addWidget(table->grid());
    gridRow->addWidget(table->overlay()->panel());
    gridRow->addStretch(1);
    auto* right = new QVBoxLayout;
    right->addLayout(gridRow);
    right->addWidget(table->editor()->controls());
    right->addLayout(belowTable);
    right->addWidget(live->oxygenBarRow());
    right->addStretch(1);
    auto* top = new QHBoxLayout;
    top->addLayout(left);
    top->addLayout(right);

    auto* buttons = new QHBoxLayout;
    for (QPushButton* b : {modeButton, changeoverButton, storeButton, fillButton, automaticButton,
                           graphicalButton, recorder->button(), recorder->markerButton()})
        buttons->addWidget(b);
    buttons->addStretch(1);
    buttons->addWidget(recorder->openButton());
    buttons->addWidget(exitButton);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(buttons);
    layout->addWidget(statusLine);

    connect(exitButton, &QPushButton::clicked, this, &CalibrationWindow::pressExit);
    connect(changeoverButton, &QPushButton::clicked, this, &CalibrationWindow::pressChangeover);
    connect(storeButton, &QPushButton::clicked, this, &CalibrationWindow::pressStore);
    connect(fillButton, &QPushButton::clicked, this, &CalibrationWindow::pressFill);
    connect(modeButton, &QPushButton::clicked, this, &CalibrationWindow::pressMode);
    connect(automaticButton, &QPushButton::clicked, this, &CalibrationWindow::pressAutomatic);
    connect(graphicalButton, &QPushButton::clicked, this, &CalibrationWindow::pressGraphical);
    connect(&ctx.dispatcher, &ReplyDispatcher::tableCellConfirmed, this, [this](int cell, int value) {
        // a table the automatic calibration writes replaces what was typed before it
        table->cellConfirmed(cell, value, ctx.writes.ownedBy(this) || state.autoCalibrationTableReady == 1);
    });
    connect(&ctx.dispatcher, &ReplyDispatcher::parameterConfirmed, this,
            &CalibrationWindow::onParameterConfirmed);
    connect(&ctx.dispatcher, &ReplyDispatcher::calibrationModeAcknowledged, this,
            &CalibrationWindow::onModeAcknowledged);
    connect(&ctx.writes, &WriteSession::progressed, this, [this] {
        if (phase_ == Phase::WritingBack && ctx.writes.ownedBy(this)) showProgress();
        if (phase_ == Phase::GuidedWriting && ctx.writes.ownedBy(guided))
            showStatus(ctx.writes.progressLine(language()));
    });
    connect(&ctx.writes, &WriteSession::ended, this, &CalibrationWindow::onWriteEnded);
    // the ECU read again after a write that did not complete: the boxes nobody typed in follow it
    connect(&ctx.writes, &WriteSession::ecuVerified, this, [this] {
        if (!isLoaded()) return;
        table->showEcu(state);
        correctives->showEcuValues(state);
    });
}

std::span<const Caption> CalibrationWindow::captions() const
{
    static const std::vector<Caption> all = [] {
        std::vector<Caption> list(std::begin(kCaptions), std::end(kCaptions));
        for (const std::span<const Caption> part :
             {CalibrationLiveView::captions(), CorrectivePanel::captions()})
            list.insert(list.end(), part.begin(), part.end());
        return list;
    }();
    return all;
}

void CalibrationWindow::onLoad()
{
    // made once and kept: every control as a first load leaves it
    phase_ = state.offlineMode == 1 ? Phase::Offline : Phase::Polling;
    kgbTaken_ = false;
    polledKgb_ = -1;
    table->reset(language());
    live->reset();
    modeShown_.reset();
    statusLine->setText(QString());
    guided->reset();
    correctives->forgetEdits();
    correctives->clearComputed();
    correctives->setFramesVisible(true);
    paintFuelColour();
    updateControls();
}

void CalibrationWindow::paintFuelColour()
{
    const QColor colour = live->fuelColour();
    setDisplayColour(guided->valueBox(), colour);
    for (QLineEdit* box : correctives->valueBoxes())
        setDisplayColour(box, colour);
    table->setTextColour(colour);
}

void CalibrationWindow::onActivate()
{
    if (phase_ == Phase::Automatic) {
        // a click here must not start a second writer under the automatic calibration
        if (windowOpen(WindowId::AutoCalibration)) {
            openWindow(WindowId::AutoCalibration);
            return;
        }
        phase_ = Phase::Polling;
        recorder->addMarker(text(kAutomaticEnds));
        // it may have left without the ECU's acknowledgement: say what this window now assumes
        onModeAcknowledged(state.calibrationInactive == 0);
    }
    // a later activation (a message closed over this window) keeps the coefficient under test;
    // coming back from the automatic calibration takes the KGB in use again. The spinner stops at
    // 255; the box of the KGB in use shows the ECU's value as it is.
    if (!kgbTaken_) {
        kgbTaken_ = true;
        live->takeKgb(state.liveStatus.kgbInUse);
    }
    live->setPressure2Shown(state.parameterValues[param::pressureSensorType] != 0);
    table->showEcu(state);
    correctives->showEcuValues(state);
    if (state.offlineMode == 1) {
        stopTimers();
        phase_ = Phase::Offline;
        updateControls();
        return;
    }
    // coming back to the window must not drop a handshake, a write or the closing under way
    if (phase_ != Phase::Polling) return;
    if (state.autoCalibrationTableReady == 1 && ctx.writes.ownedBy(this)) {
        // the automatic calibration closed during its table write and handed the rest to this window
        startWriteBack();
        return;
    }
    writeBackTimer.stop();
    pollTimer.start();
    updateControls();
}

void CalibrationWindow::recordRow(std::vector<int>& row) const
{
    row = live->recordRow();
    const LiveStatus& l = state.liveStatus;
    const bool petrol = l.onPetrol == 1;
    const bool changing = l.calibrationState >= 1 && l.calibrationState <= 5;
    // each average only on its own fuel; none while the automatic calibration polls in this window's
    // stead, when they stand still
    const bool averaging = phase_ != Phase::Automatic;
    for (const int averaged : {2, 3})
        if (!averaging) row[averaged] = kDatalogNoValue;
    if (!averaging || petrol || changing) row[6] = kDatalogNoValue;
    if (!averaging || !petrol || changing) row[7] = kDatalogNoValue;
    const auto [rpmAxis, tinjAxis] = tableAxes(state);
    const bool modeOn = state.calibrationInactive == 0 && state.calibrationOnAcknowledged == 1;
    row.insert(row.end(),
               {kDatalogNoValue, // the state's name, worded by the recorder
                petrol ? 0 : 1, modeOn ? 1 : 0,
                modeOn ? (polledKgb_ >= 0 ? polledKgb_ : state.calibrationKgb) : kDatalogNoValue,
                1 + nearestBreakpoint(tinjAxis, l.calibrationTinj), 1 + nearestBreakpoint(rpmAxis, l.rpm),
                kDatalogNoValue /* marker */});
}

void CalibrationWindow::updateControls()
{
    const bool connected = phase_ != Phase::Offline;
    const bool idle = phase_ == Phase::Polling;
    const bool modeOn = state.calibrationInactive == 0;
    for (QPushButton* b : {changeoverButton, automaticButton, modeButton, fillButton})
        b->setEnabled(idle);
    storeButton->setEnabled(idle || (phase_ == Phase::Guided && guided->storeAllowed()));
    live->setSensorChoiceEnabled(connected && phase_ != Phase::Guided && phase_ != Phase::GuidedWriting &&
                                 phase_ != Phase::WritingBack);
    // the view shows the table as last read: not while a write or a handshake changes it
    graphicalButton->setEnabled(idle || !connected);
    live->setKgbEditable(connected && modeOn);
    guided->updateControls(idle, modeOn);
    correctives->setEditable(idle);
    table->setEditable(idle);
}

void CalibrationWindow::pollTick()
{
    pollTimer.stop();
    state.calibrationFrameReceived = 0;
    if (!linkGone() && state.autoCalibrationRequested == 0) {
        const bool coils = state.coilCalibrationMode == 1 && state.calibrationExtraReceived == 0 &&
                           state.switchingRpmMode == 0 && state.calibrationPressureMode == 0 &&
                           state.calibrationTemperatureMode == 0;
        const auto frame = coils ? frames::calibrationPollCoils(state.trialCoilCount)
                                 : frames::calibrationPoll(state.calibrationKgb);
        if (frame) sendFrame(*frame);
    }
    live->show();
    guided->showLive(live->smoothedPressure());
    correctives->showComputed(state);
    table->showOperatingPoint(state);
    paintFuelColour();
    showStatusLine();
    if (state.autoCalibrationRequested == 0) pollTimer.start();
}

void CalibrationWindow::showStatusLine()
{
    const LiveStatus& liveStatus = state.liveStatus;
    const GuidedModes modes{state.switchingRpmMode == 1,
                            state.calibrationPressureMode == 1 || state.calibrationTemperatureMode == 1,
                            state.coilCalibrationMode == 1 && state.calibrationExtraReceived == 0,
                            state.coilCalibrationMode == 1 && state.calibrationExtraReceived == 1};
    const auto line = [&](const GuidedModes& shown) {
        return calibrationStatusLine(liveStatus.calibrationState, state.languageIndex,
                                     state.parameterValues[param::changeoverTemperature],
                                     state.parameterValues[param::changeoverRpm], shown);
    };
    // the ECU's change-over messages go first; otherwise the prompt says what is still awaited
    if (line({}) != QLatin1String(" "))
        statusLine->setText(line(modes));
    else if (guided->abandoning())
        statusLine->setText(text(guided_texts::kWaitingForEcu));
    else
        statusLine->setText(line(modes) + guided->hint());
}

void CalibrationWindow::showStatus(const QString& line)
{
    statusLine->setText(line);
}

void CalibrationWindow::guidedRunning()
{
    phase_ = Phase::Guided;
    setBusy(false);
    updateControls();
}

void CalibrationWindow::guidedWriting()
{
    stopTimers();
    phase_ = Phase::GuidedWriting;
    updateControls();
    setBusy(true);
}

void CalibrationWindow::guidedOver()
{
    setBusy(false);
    phase_ = Phase::Polling;
    statusLine->setText(QString());
    updateControls();
    pollTimer.start();
}

void CalibrationWindow::guidedTick()
{
    guidedTimer.stop();
    if (phase_ != Phase::GuidedWriting) return; // a tick left over from EXIT: polling goes on
    pollTimer.stop();
    guided->writeTick();
}

void CalibrationWindow::pressChangeover()
{
    sendFrame(frames::fuelChangeover());
    state.changeoverAcknowledged = 0;
}

void CalibrationWindow::pressMode()
{
    guided->hideCoilControls();
    correctives->setFramesVisible(true);
    if (state.calibrationInactive == 1) {
        sendFrame(frames::calibrationOn());
        state.calibrationInactive = 0;
        state.calibrationOnAcknowledged = 0;
        state.autoCalibrationRequested = 0;
    } else {
        sendFrame(frames::calibrationOff());
        state.calibrationInactive = 1;
        state.calibrationOffAcknowledged = 0;
    }
    startHandshake();
}

void CalibrationWindow::startHandshake()
{
    stopTimers();
    handshakeTimer.start();
    phase_ = Phase::Handshaking;
    updateControls();
}

void CalibrationWindow::handshakeTick()
{
    if (state.coilCalibrationMode == 1) {
        pollTimer.stop();
        guided->coilHandshakeTick();
        return;
    }
    handshakeTimer.stop();
    pollTimer.stop();
    if (state.calibrationInactive == 0 && state.calibrationOnAcknowledged == 0) {
        sendFrame(frames::calibrationOn());
        handshakeTimer.start();
        return;
    }
    if (state.calibrationInactive == 1 && state.calibrationOffAcknowledged == 0) {
        sendFrame(frames::calibrationOff());
        handshakeTimer.start();
        return;
    }
    if (state.calibrationOnAcknowledged == 1 && state.autoCalibrationRequested == 1) {
        state.calibrationFrameReceived = 0;
        sendFrame(frames::calibrationOn());
        stopTimers();
        phase_ = Phase::Automatic;
        kgbTaken_ = false;                           // the coefficient it finds is the one to try next
        recorder->addMarker(text(kAutomaticStarts)); // the recording goes on under it
        updateControls();
        openWindow(WindowId::AutoCalibration);
        return;
    }
    phase_ = Phase::Polling;
    updateControls();
    pollTimer.start();
}

void CalibrationWindow::pressAutomatic()
{
    if (!windowBuilt(WindowId::AutoCalibration)) return;
    guided->hideCoilControls();
    correctives->setFramesVisible(true);
    if (state.offlineMode == 1) {
        stopTimers();
        dropTopMost();
        kgbTaken_ = false;
        openWindow(WindowId::AutoCalibration);
        return;
    }
    // its table is written at its end: not while another writer has the ECU
    if (!ecuFreeForWriting(ctx)) return;
    if (state.liveStatus.onPetrol == 1) {
        sendFrame(frames::calibrationOn());
    } else {
        sendFrame(frames::fuelChangeover());
        state.changeoverAcknowledged = 0;
    }
    state.autoCalibrationRequested = 1;
    state.calibrationOffAcknowledged = 0;
    state.calibrationOnAcknowledged = 0;
    state.calibrationInactive = 0;
    state.autoCalibrationTableReady = 0;
    startHandshake();
}

void CalibrationWindow::pressGraphical()
{
    if (!windowBuilt(WindowId::GraphicalCalibration)) return;
    stopTimers();
    openWindow(WindowId::GraphicalCalibration);
}

void CalibrationWindow::pressStore()
{
    if (phase_ == Phase::Guided) {
        guided->store();
        return;
    }
    // every box is read first: one refused box writes nothing at all
    const auto reader = [this](const QLineEdit* box, const FieldRule& rule) { return readBox(box, rule); };
    const auto correctiveValues = correctives->read(reader, language());
    if (!correctiveValues) return;
    const auto tableValues = table->read(reader, language());
    if (!tableValues) return;
    // the marker and the ECU interpolate between neighbouring breakpoints: an axis out of order is
    // written only when the installer means it
    if (const QString problem = CalibrationTable::axisOrderProblem(*tableValues, language());
        !problem.isEmpty())
        if (!ctx.fileDialogs->confirm(this, text(kStore), text(kAxisQuestion).arg(problem), {}, text(kWrite),
                                      text(kCancel)))
            return;
    std::vector<WriteValue> write;
    for (const int id : kCorrectiveOrder)
        for (const auto& [boxId, value] : *correctiveValues)
            if (boxId == id) write.push_back({{false, id}, value});
    write.insert(write.end(), tableValues->begin(), tableValues->end());
    if (!beginWrite(ctx, {this, kStore}, write)) return;
    correctives->forgetEdits();
    startWriteBack();
}

void CalibrationWindow::pressFill()
{
    // an edit like any other: undoable, and written only by MODIFICA
    if (!ctx.fileDialogs->confirm(this, text(kStore), text(kFillQuestion).arg(state.calibrationKgb), {},
                                  text(kFill), text(kCancel)))
        return;
    table->editor()->fillAll(state.calibrationKgb);
}

void CalibrationWindow::startWriteBack()
{
    stopTimers();
    phase_ = Phase::WritingBack;
    updateControls();
    setBusy(true);
    showProgress();
    writeBackTimer.start();
}

void CalibrationWindow::writeBackTick()
{
    pollTimer.stop();
    writeBackTimer.stop();
    // a tick left over from EXIT has nothing to finish; the end comes from the session
    if (phase_ == Phase::WritingBack && ctx.writes.ownedBy(this) && ctx.writes.tick()) writeBackTimer.start();
}

void CalibrationWindow::onWriteEnded(const WriteReport& report)
{
    if (report.writer.owner == guided) {
        if (phase_ == Phase::GuidedWriting) guided->writeEnded(report);
    } else if (report.writer.owner == this) {
        if (phase_ == Phase::WritingBack) finishWriteBack();
        state.autoCalibrationTableReady = 0;
    } else {
        return;
    }
    tellWriteEnded(ctx, report);
}

void CalibrationWindow::finishWriteBack()
{
    writeBackTimer.stop();
    setBusy(false);
    table->forgetWrittenEdits(state);
    phase_ = Phase::Polling;
    updateControls();
    pollTimer.start();
}

void CalibrationWindow::showProgress()
{
    statusLine->setText(text(kProgress).arg(ctx.writes.progressLine(language())));
}

void CalibrationWindow::onParameterConfirmed(int id, int value)
{
    const bool storing = ctx.writes.ownedBy(this) && phase_ == Phase::WritingBack;
    table->parameterConfirmed(id, value, storing);
    if (storing)
        correctives->showConfirmed(id, value);
    else
        correctives->showEcuValues(state); // the boxes nobody changed follow another writer
    guided->onParameterConfirmed(id, value);
}

void CalibrationWindow::onModeAcknowledged(bool on)
{
    if (on && phase_ == Phase::Closing) return; // a late "on" while the window turns the mode off
    showMode(on);
}

void CalibrationWindow::showMode(bool on)
{
    modeShown_ = on;
    const Language lang = language();
    setWindowTitle((on ? calibration_mode_texts::onTitle : calibration_mode_texts::offTitle).in(lang));
    modeButton->setText(
        (on ? calibration_mode_texts::onCaption : calibration_mode_texts::offCaption).in(lang));
}

void CalibrationWindow::onLanguageChanged()
{
    if (modeShown_) showMode(*modeShown_);
    live->applyCaptions();
    table->applyCaptions(language());
    // the status line in the new language now, not at the next event that words it
    if (phase_ == Phase::Polling && !statusLine->text().isEmpty())
        showStatusLine();
    else if (phase_ == Phase::WritingBack && ctx.writes.ownedBy(this))
        showProgress();
    else if (phase_ == Phase::GuidedWriting && ctx.writes.ownedBy(guided))
        showStatus(ctx.writes.progressLine(language()));
}

void CalibrationWindow::pressExit()
{
    // pressed again while the ECU does not acknowledge the mode off (silent, or answering a backlog
    // of echoes first): the way out, as the title bar's close already is
    if (phase_ == Phase::Closing) {
        stopTimers();
        closeForm();
        return;
    }
    if (phase_ == Phase::Automatic && windowOpen(WindowId::AutoCalibration)) {
        // the automatic calibration is left through its own EXIT, which turns the mode off
        openWindow(WindowId::AutoCalibration);
        return;
    }
    if (state.offlineMode == 1) {
        stopTimers();
        closeForm();
        return;
    }
    if (guided->running() != GuidedCalibration::Kind::None) {
        guided->abandon(); // only the guided calibration ends; the window stays
        return;
    }
    state.calibrationOffAcknowledged = 0;
    state.calibrationInactive = 1; // being switched off: the next visit starts from mode off
    stopTimers();
    phase_ = Phase::Closing;
    // what the store had not written yet is told, the frame on the wire still counts if it arrives
    if (ctx.writes.ownedBy(this)) ctx.writes.abandon();
    if (!sendFrame(frames::calibrationOff())) {
        // the port is gone: nothing can be switched off or acknowledged, the link message says why
        closeForm();
        return;
    }
    closingTimer.start();
    phase_ = Phase::Closing;
    updateControls();
    setBusy(true);
}

void CalibrationWindow::requestClose()
{
    // the title bar closes as EXIT does, calibration mode off first, and pressed again is the way out
    // the coils would wait for an injector reply that may never come
    if (state.offlineMode == 0 && guided->running() == GuidedCalibration::Kind::Coils) guided->abandon(false);
    pressExit();
}

void CalibrationWindow::closingTick()
{
    closingTimer.stop();
    if (state.calibrationOffAcknowledged == 1) {
        stopTimers();
        closeForm();
        return;
    }
    if (!sendFrame(frames::calibrationOff())) {
        stopTimers();
        closeForm();
        return;
    }
    closingTimer.start();
}
