#include "ui/calibration/calibration_window.h"

#include "link/frames.h"
#include "link/input_rule.h"
#include "link/parameter_catalogue.h"
#include "ui/calibration/calibration_mode_texts.h"
#include "ui/calibration/corrective_panel.h"
#include "ui/calibration/corrective_rules.h"
#include "ui/calibration/guided_texts.h"
#include "ui/calibration/table_editor.h"
#include "ui/calibration/table_grid.h"
#include "ui/common/datalog_recorder.h"
#include "ui/common/file_dialogs.h"
#include "ui/common/segment_bar.h"
#include "ui/common/widgets.h"
#include "ui/common/write_report.h"

#include <QFontDatabase>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QVBoxLayout>

#include <algorithm>

namespace {

constexpr LocalText kMagra{"MAGRA", "LEAN", "LEAN"};
constexpr LocalText kRicca{"RICCA", "RICH", "RICH"};
constexpr LocalText kSensor1{"Lambda1", "Ox Sens1", "Lambda1"};
constexpr LocalText kSensor2{"Lambda2", "Ox Sens2", "Lambda2"};

const Caption kCaptions[] = {
    {kTitle,
     {"ORVANE - Taratura vettura", "ORVANE - Calibration Vehicle", "ORVANE - Taratura vettura Activ"}},
    {kOfflineTitle,
     {"ORVANE - Taratura vettura Non connesso", "ORVANE - Calibration Vehicle Not connected",
      "ORVANE - Taratura vettura NON CONNESSO"}},
    {"Frame1", {"Lambda1 mV", "Oxygen sensor1 mV", "Lambda1"}},
    {"Frame2", {"Media L1 mV", "Avg OS1 mV", "Ortalama l1"}},
    {"Frame14", {"Lambda2 mV", "Oxygen sensor2 mV", "Lambda2"}},
    {"Frame15", {"Media L2 mV", "Avg OS2 mV", "Ortalama l2"}},
    {"Frame3", {"Tinj msec", "Tinj msec", "Inj Time"}},
    {"Frame4", {"Tinj Gas msec", "Tinj Gas msec", "Inj Time Gaz"}},
    {"Frame11", {"Tinj Benzina msec", "Tinj Petrol msec", "Inj Time Benzin"}},
    {"Frame5", {"RPM xmin", "RPM xmin", "RPM"}},
    {"Label22", {"x min"}},
    {"Frame6", {"Temperatura1 °C", "Temperature1 °C", "Derece1"}},
    {"Frame18", {"Temperatura2 °C", "Temperature2 °C", "Derece2"}},
    {"Frame7", {"Pressione1 mbar", "Pressure1 mbar", "Basinc1"}},
    {"Frame19", {"Pressione2 mbar", "Pressure2 mbar", "Basinc2"}},
    {"Frame10", {"KGB TARATURA", "KGB calibration", "KGB calibration"}},
    {"Frame12", {"KGB IN USO", "KGB being used", "KGB"}},
    {"Label6", kMagra},
    {"Label29", kRicca},
    {"Command1", shared_texts::exit},
    {"Command2", {"COMMUTA", "SWITCH", "Calisma sekli degistir"}},
    {"Command6", kSensor1},
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

constexpr int kMaxKgb = 255;

QPushButton* button(QWidget* parent, const char* name)
{
    auto* b = new QPushButton(parent);
    b->setObjectName(QString::fromLatin1(name));
    return b;
}

} // namespace

CalibrationWindow::CalibrationWindow(AppContext& context)
    : Form(context, WindowId::Calibration), guided_(context.state)
{
    const auto display = [this](const char* name, int width = 70) {
        QLineEdit* box = valueBox(this, QString::fromLatin1(name), width, QStringLiteral("0"));
        paintAsDisplay(box);
        return box;
    };
    lambda1Box = display("Text1");
    lambda1Average = display("Text2");
    tinjBox = display("Text3");
    gasTinjBox = display("Text4");
    rpmBox = display("Text5");
    pressureBox = display("Text7");
    guidedBox = display("Text8");
    guidedValue = display("Text9");
    kgbBox = display("Text11", 50);
    petrolTinjBox = display("Text12");
    kgbInUseBox = display("Text14");
    statusLine = valueBox(this, QStringLiteral("Text15"), 560);
    statusLine->setAlignment(Qt::AlignLeft);
    pressure2Box = display("Text16");
    lambda2Average = display("Text17");
    lambda2Box = display("Text18");
    temperature2Box = display("Text21");
    temperature1Box = display("Text22");
    colouredBoxes = {lambda1Box,  lambda1Average,  tinjBox,        rpmBox,       pressureBox,
                     guidedValue, kgbBox,          kgbInUseBox,    pressure2Box, lambda2Average,
                     lambda2Box,  temperature2Box, temperature1Box};

    grid = new TableGrid(this);
    editor = new TableEditor(
        grid, this, [this] { return language(); },
        [this](const QString& title, const QString& message) { ctx.showMessage(title, message); });

    kgbSpinner = new QScrollBar(Qt::Vertical, this);
    kgbSpinner->setObjectName(QStringLiteral("VScroll1"));
    // the up arrow raises the coefficient: the bar runs from -255 at the top to 0 at the bottom
    kgbSpinner->setRange(-kMaxKgb, 0);
    kgbSpinner->setPageStep(1); // a click on the track is one step too: the ECU runs what it shows
    kgbSpinner->setFixedSize(18, 44);
    guidedSpinner = new QScrollBar(Qt::Vertical, this);
    guidedSpinner->setObjectName(QStringLiteral("VScroll5"));
    // one step beyond each end, so that stepping past 5 or below 1 can wrap
    guidedSpinner->setRange(-(kGuidedPositions + 1), 0);
    guidedSpinner->setPageStep(1);
    guidedSpinner->setFixedSize(18, 44);
    coilSpinner = new QScrollBar(Qt::Vertical, this);
    coilSpinner->setObjectName(QStringLiteral("VScroll6"));
    coilSpinner->setRange(-8, -1);
    coilSpinner->setPageStep(1);
    coilSpinner->setFixedSize(18, 44);

    oxygenBar = new SegmentBar(QStringLiteral("Shape5"), kOxygenSegments, SegmentBar::Origin::Right, this);
    exitButton = button(this, "Command1");
    changeoverButton = button(this, "Command2");
    okButton = button(this, "Command3");
    correctivesButton = button(this, "Command4");
    graphicalButton = button(this, "Command5");
    sensorButton = button(this, "Command6");
    storeButton = button(this, "Command7");
    automaticButton = button(this, "Command8");
    modeButton = button(this, "Command9");
    fillButton = button(this, "Command11");
    coilLabel = namedLabel(this, QStringLiteral("Label4"), QString());

    // live values: two columns of small frames beside the grid
    auto* live = new QGridLayout;
    live->setSpacing(4);
    QWidget* rpmUnit = namedLabel(this, QStringLiteral("Label22"), QString());
    auto* kgbFrame = namedFrame(this, "Frame10");
    auto* kgbLayout = new QHBoxLayout(kgbFrame);
    kgbLayout->setContentsMargins(6, 2, 6, 4);
    kgbLayout->addWidget(kgbBox);
    kgbLayout->addWidget(kgbSpinner);
    kgbLayout->addStretch(1);
    pressure2Frame = framedBox(this, "Frame19", pressure2Box);
    const QList<QWidget*> liveFrames = {
        framedBox(this, "Frame1", lambda1Box),
        framedBox(this, "Frame2", lambda1Average),
        framedBox(this, "Frame14", lambda2Box),
        framedBox(this, "Frame15", lambda2Average),
        framedBox(this, "Frame3", tinjBox),
        framedBox(this, "Frame5", rpmBox, rpmUnit),
        framedBox(this, "Frame4", gasTinjBox),
        framedBox(this, "Frame11", petrolTinjBox),
        framedBox(this, "Frame6", temperature1Box),
        framedBox(this, "Frame18", temperature2Box),
        framedBox(this, "Frame7", pressureBox),
        pressure2Frame,
        kgbFrame,
        framedBox(this, "Frame12", kgbInUseBox),
    };
    for (int i = 0; i < liveFrames.size(); ++i)
        live->addWidget(liveFrames[i], i / 2, i % 2);

    correctives = new CorrectivePanel(this);
    const char* correctiveNames[3] = {"Frame17", "Frame20", "Frame21"};
    for (size_t i = 0; i < correctiveFrames.size(); ++i)
        correctiveFrames[i] = correctives->findChild<QGroupBox*>(QString::fromLatin1(correctiveNames[i]));
    for (QLineEdit* box : correctives->valueBoxes())
        colouredBoxes.push_back(box);
    // the injectors found by the coil calibration stand where the correctives are, hidden then
    auto* injectors = new QGridLayout;
    injectors->setVerticalSpacing(0);
    const QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    for (int i = 0; i < 8; ++i) {
        for (const bool on : {true, false}) {
            const int index = on ? i : 8 + i;
            const QString caption = on ? QStringLiteral("INJ%1     ON").arg(i + 1)
                                       : QStringLiteral("INJ%1              OFF").arg(i + 1);
            QLabel* label = namedLabel(this, QStringLiteral("Label5_%1").arg(index), caption);
            label->setFont(fixed);
            QPalette palette = label->palette();
            palette.setColor(QPalette::WindowText, on ? QColor(0, 150, 0) : QColor(192, 0, 0));
            label->setPalette(palette);
            injectorLabels[static_cast<size_t>(index)] = label;
            injectors->addWidget(label, i, 0);
        }
    }
    auto* correctiveRow = new QHBoxLayout;
    correctiveRow->addWidget(correctives);
    correctiveRow->addLayout(injectors);
    correctiveRow->addStretch(1);

    auto* bar = new QHBoxLayout;
    bar->addWidget(namedLabel(this, QStringLiteral("Label6"), QString()));
    bar->addWidget(oxygenBar);
    bar->addWidget(namedLabel(this, QStringLiteral("Label29"), QString()));
    bar->addWidget(sensorButton);
    bar->addStretch(1);

    auto* guided = new QHBoxLayout;
    guided->addWidget(correctivesButton);
    guided->addWidget(guidedSpinner);
    guided->addWidget(guidedValue);
    guided->addWidget(okButton);
    guided->addWidget(coilLabel);
    guided->addWidget(guidedBox);
    guided->addWidget(coilSpinner);
    guided->addStretch(1);

    auto* right = new QVBoxLayout;
    right->addWidget(grid);
    right->addWidget(editor->controls());
    right->addLayout(correctiveRow);
    right->addLayout(bar);
    right->addStretch(1);
    auto* top = new QHBoxLayout;
    top->addLayout(live);
    top->addLayout(right);

    // a row per calibration reply, as the next poll tick shows it
    recorder = new DatalogRecorder(
        context, *this, DatalogSource::Calibration,
        {static_cast<int>(RequestKind::CalibrationPoll), static_cast<int>(RequestKind::CalibrationPollCoils)},
        [this](std::vector<int>& row) {
            const LiveStatus& live = state.liveStatus;
            row = {live.lambda1Mv,
                   live.lambda2Mv,
                   lambdaAverage1.shown().toInt(),
                   lambdaAverage2.shown().toInt(),
                   live.rpm,
                   live.calibrationTinj,
                   gasTinjBox->text().toInt(),
                   petrolTinjBox->text().toInt(),
                   live.pressureMbar,
                   live.pressure2Mbar,
                   live.temperature1,
                   temperature2Celsius(live.temperature2Raw),
                   state.calibrationKgb,
                   live.kgbInUse,
                   live.calibrationState};
        });
    auto* buttons = new QHBoxLayout;
    for (QPushButton* b : {modeButton, changeoverButton, storeButton, fillButton, automaticButton})
        buttons->addWidget(b);
    buttons->addWidget(graphicalButton);
    buttons->addWidget(recorder->button());
    buttons->addStretch(1);
    buttons->addWidget(exitButton);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(guided);
    layout->addLayout(buttons);
    layout->addWidget(statusLine);

    setUpTimer(handshakeTimer, "Timer1", 500, &CalibrationWindow::handshakeTick);
    setUpTimer(pollTimer, "Timer2", 300, &CalibrationWindow::pollTick);
    setUpTimer(closingTimer, "Timer3", 500, &CalibrationWindow::closingTick);
    setUpTimer(writeBackTimer, "Timer4", 100, &CalibrationWindow::writeBackTick);
    setUpTimer(guidedTimer, "Timer5", 200, &CalibrationWindow::guidedTick);

    connect(exitButton, &QPushButton::clicked, this, &CalibrationWindow::pressExit);
    connect(changeoverButton, &QPushButton::clicked, this, &CalibrationWindow::pressChangeover);
    connect(sensorButton, &QPushButton::clicked, this, &CalibrationWindow::pressSensorChoice);
    connect(storeButton, &QPushButton::clicked, this, &CalibrationWindow::pressStore);
    connect(fillButton, &QPushButton::clicked, this, &CalibrationWindow::pressFill);
    connect(modeButton, &QPushButton::clicked, this, &CalibrationWindow::pressMode);
    connect(automaticButton, &QPushButton::clicked, this, &CalibrationWindow::pressAutomatic);
    connect(graphicalButton, &QPushButton::clicked, this, &CalibrationWindow::pressGraphical);
    connect(kgbSpinner, &QScrollBar::valueChanged, this, &CalibrationWindow::changeKgb);
    connect(guidedSpinner, &QScrollBar::valueChanged, this, &CalibrationWindow::changeGuidedPosition);
    connect(correctivesButton, &QPushButton::clicked, this, &CalibrationWindow::pressGuidedStart);
    connect(coilSpinner, &QScrollBar::valueChanged, this, &CalibrationWindow::changeCoilCount);
    connect(okButton, &QPushButton::clicked, this, &CalibrationWindow::pressOk);
    connect(&ctx.dispatcher, &ReplyDispatcher::tableCellConfirmed, this, &CalibrationWindow::onCellConfirmed);
    connect(&ctx.dispatcher, &ReplyDispatcher::parameterConfirmed, this,
            &CalibrationWindow::onParameterConfirmed);
    connect(&ctx.dispatcher, &ReplyDispatcher::calibrationModeAcknowledged, this,
            &CalibrationWindow::onModeAcknowledged);
    connect(&ctx.writes, &WriteSession::progressed, this, [this] {
        if (!ctx.writes.ownedBy(this)) return;
        if (phase_ == Phase::WritingBack) showProgress();
        if (phase_ == Phase::GuidedWriting) showGuidedProgress();
    });
    connect(&ctx.writes, &WriteSession::ended, this, &CalibrationWindow::onWriteEnded);
    // the ECU read again after a write that did not complete: the boxes nobody typed in follow it
    connect(&ctx.writes, &WriteSession::ecuVerified, this, [this] {
        if (!isLoaded()) return;
        showTable();
        correctives->showEcuValues(state);
    });
}

std::span<const Caption> CalibrationWindow::captions() const
{
    static const std::vector<Caption> all = [] {
        std::vector<Caption> list(std::begin(kCaptions), std::end(kCaptions));
        const std::span<const Caption> panel = CorrectivePanel::captions();
        list.insert(list.end(), panel.begin(), panel.end());
        return list;
    }();
    return all;
}

void CalibrationWindow::onLoad()
{
    // made once and kept: every control as a first load leaves it
    phase_ = state.offlineMode == 1 ? Phase::Offline : Phase::Polling;
    kgbTaken_ = false;
    grid->clearEdited();
    editor->select(std::nullopt);
    editor->forgetHistory();
    editor->applyCaptions(language());
    fuelColours = FuelColours();
    smoothedPressure = 0;
    selectedOxygenSensor = 1;
    const LiveStatus& liveStatus = state.liveStatus;
    lambdaAverage1.reset();
    lambdaAverage2.reset();
    lambdaAverage1.seed(liveStatus.lambda1Mv);
    lambdaAverage2.seed(liveStatus.lambda2Mv);
    for (QLineEdit* box :
         {lambda1Box, tinjBox, gasTinjBox, rpmBox, pressureBox, guidedBox, guidedValue, kgbBox, petrolTinjBox,
          kgbInUseBox, pressure2Box, lambda2Box, temperature2Box, temperature1Box})
        box->setText(QStringLiteral("0"));
    lambda1Average->setText(lambdaAverage1.shown());
    lambda2Average->setText(lambdaAverage2.shown());
    statusLine->setText(QString());
    for (QLineEdit* box : colouredBoxes)
        setDisplayColour(box, fuelColours.colour());
    grid->setTextColour(fuelColours.colour());
    okButton->setEnabled(false);
    okButton->hide();
    showGuidedControls(false);
    guided_.forget();
    // a reply left from a coil calibration that has ended must not prompt to store
    state.calibrationExtraReceived = 0;
    correctives->forgetEdits();
    correctives->clearComputed();
    guidedPosition_ = 1;
    {
        const QSignalBlocker quiet(guidedSpinner);
        guidedSpinner->setValue(-guidedPosition_);
    }
    guidedValue->hide();
    guidedValue->setEnabled(false);
    for (QGroupBox* f : correctiveFrames)
        f->show();
    for (int i = 0; i < kOxygenSegments; ++i)
        oxygenBar->setColour(i, oxygenBaseColour(i));
    grid->moveMarker(kMarkerColumns.before, kMarkerRows.before);
    grid->setOperatingCell(0);
    updateControls();
}

void CalibrationWindow::showGuidedControls(bool shown)
{
    guidedBox->setVisible(shown);
    coilSpinner->setVisible(shown);
    coilLabel->setVisible(shown);
    for (QLabel* label : injectorLabels)
        label->hide(); // shown only once the ECU has said which injectors it has
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
        // it may have left without the ECU's acknowledgement: say what this window now assumes
        onModeAcknowledged(state.calibrationInactive == 0);
    }
    const LiveStatus& liveStatus = state.liveStatus;
    // a later activation (a message closed over this window) keeps the coefficient under test;
    // coming back from the automatic calibration takes the KGB in use again
    if (!kgbTaken_) {
        kgbTaken_ = true;
        // the spinner stops at 255; the box of the KGB in use shows the ECU's value as it is
        state.calibrationKgb = std::clamp(liveStatus.kgbInUse, 0, kMaxKgb);
        kgbSpinner->setValue(-state.calibrationKgb);
        kgbBox->setText(QString::number(state.calibrationKgb));
    }
    pressure2Frame->setVisible(state.parameterValues[param::pressureSensorType] != 0);
    showTable();
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

void CalibrationWindow::showTable()
{
    const auto show = [this](int box, int value) {
        // what the user typed and has not stored yet stays
        if (!grid->isEdited(box)) grid->box(box)->setText(QString::number(value));
    };
    for (int i = 0; i < 8; ++i) {
        show(i, state.parameterValues[param::mapRpmAxis + i]);
        show(8 + i, state.parameterValues[param::mapTinjAxis + i]);
    }
    for (int k = 1; k <= kTableCellCount; ++k) {
        grid->setEcuCell(k, state.tableCells[k]);
        show(TableGrid::kFirstCellBox - 1 + k, state.tableCells[k]);
    }
}

void CalibrationWindow::updateControls()
{
    const bool connected = phase_ != Phase::Offline;
    const bool idle = phase_ == Phase::Polling;
    const bool modeOn = state.calibrationInactive == 0;
    const bool guided = phase_ == Phase::Guided;
    const bool guidedWriting = phase_ == Phase::GuidedWriting;
    const GuidedCalibration::Kind running = guided_.running();
    const bool valueMode =
        running != GuidedCalibration::Kind::None && running != GuidedCalibration::Kind::Coils;
    for (QPushButton* b : {changeoverButton, automaticButton, modeButton, fillButton})
        b->setEnabled(idle);
    storeButton->setEnabled(idle || (guided && (valueMode || guided_.injectorsShown())));
    sensorButton->setEnabled(connected && !guided && !guidedWriting && phase_ != Phase::WritingBack);
    // the view shows the table as last read: not while a write or a handshake changes it
    graphicalButton->setEnabled(idle || !connected);
    kgbSpinner->setEnabled(connected && modeOn);
    kgbBox->setEnabled(connected && modeOn);
    // a guided calibration starts only with the calibration mode off and nothing else under way
    correctivesButton->setEnabled(idle && !modeOn);
    guidedSpinner->setEnabled(idle && !modeOn);
    coilSpinner->setEnabled(guided && guided_.tryingCoils());
    okButton->setEnabled(guided && guided_.tryingCoils());
    guidedValue->setEnabled((guided || guidedWriting) && valueMode);
    correctives->setEditable(idle);
    for (int i = 0; i < TableGrid::kBoxes; ++i)
        grid->box(i)->setReadOnly(!idle);
    editor->setEditable(idle);
}

void CalibrationWindow::pollTick()
{
    pollTimer.stop();
    state.calibrationFrameReceived = 0;
    if (ctx.link.isOpen() && state.autoCalibrationRequested == 0) {
        const bool coils = state.coilCalibrationMode == 1 && state.calibrationExtraReceived == 0 &&
                           state.switchingRpmMode == 0 && state.calibrationPressureMode == 0 &&
                           state.calibrationTemperatureMode == 0;
        const auto frame = coils ? frames::calibrationPollCoils(state.trialCoilCount)
                                 : frames::calibrationPoll(state.calibrationKgb);
        if (frame) ctx.link.send(*frame);
    }
    showLiveView();
    if (state.autoCalibrationRequested == 0) pollTimer.start();
}

void CalibrationWindow::showLiveView()
{
    const LiveStatus& live = state.liveStatus;
    lambda1Box->setText(QString::number(live.lambda1Mv));
    tinjBox->setText(QString::number(live.calibrationTinj));
    rpmBox->setText(QString::number(live.rpm));
    pressureBox->setText(QString::number(live.pressureMbar));
    kgbInUseBox->setText(QString::number(live.kgbInUse));
    lambda2Box->setText(QString::number(live.lambda2Mv));
    temperature2Box->setText(QString::number(temperature2Celsius(live.temperature2Raw)));
    pressure2Box->setText(QString::number(live.pressure2Mbar));
    temperature1Box->setText(QString::number(live.temperature1));

    smoothedPressure = smoothPressure(live.pressureMbar, smoothedPressure);
    if (state.switchingRpmMode == 1) guidedValue->setText(QString::number(live.rpm));
    if (state.calibrationPressureMode == 1) guidedValue->setText(QString::number(smoothedPressure));
    if (state.calibrationTemperatureMode == 1) guidedValue->setText(QString::number(live.temperature1));
    noteGuidedValue();
    correctives->showComputed(state);

    tinjAverage.add(live.calibrationTinj);
    lambdaAverage1.add(live.lambda1Mv);
    lambdaAverage2.add(live.lambda2Mv);
    lambda1Average->setText(lambdaAverage1.shown());
    lambda2Average->setText(lambdaAverage2.shown());

    Axis rpmAxis{}, tinjAxis{};
    for (int i = 0; i < 8; ++i) {
        rpmAxis[static_cast<size_t>(i)] = state.parameterValues[param::mapRpmAxis + i];
        tinjAxis[static_cast<size_t>(i)] = state.parameterValues[param::mapTinjAxis + i];
    }
    grid->moveMarker(markerOffset(rpmAxis, live.rpm, kMarkerColumns),
                     markerOffset(tinjAxis, live.calibrationTinj, kMarkerRows));
    grid->setOperatingCell(1 + 8 * nearestBreakpoint(tinjAxis, live.calibrationTinj, kMarkerRows) +
                           nearestBreakpoint(rpmAxis, live.rpm, kMarkerColumns));

    fuelColours.update(live.calibrationState, live.onPetrol);
    for (QLineEdit* box : colouredBoxes)
        setDisplayColour(box, fuelColours.colour());
    grid->setTextColour(fuelColours.colour());
    if (fuelColours.updatesAverage())
        (fuelColours.onPetrol() ? petrolTinjBox : gasTinjBox)
            ->setText(QString::number(tinjAverage.averagedTinj));

    const GuidedModes modes{state.switchingRpmMode == 1,
                            state.calibrationPressureMode == 1 || state.calibrationTemperatureMode == 1,
                            state.coilCalibrationMode == 1 && state.calibrationExtraReceived == 0,
                            state.coilCalibrationMode == 1 && state.calibrationExtraReceived == 1};
    const auto line = [&](const GuidedModes& shown) {
        return calibrationStatusLine(live.calibrationState, state.languageIndex,
                                     state.parameterValues[param::changeoverTemperature],
                                     state.parameterValues[param::changeoverRpm], shown);
    };
    // the ECU's change-over messages go first; otherwise the prompt says what is still awaited
    if (line({}) != QLatin1String(" "))
        statusLine->setText(line(modes));
    else if (guided_.abandoning())
        statusLine->setText(text(guided_texts::kWaitingForEcu));
    else
        statusLine->setText(line(modes) + guidedHint());

    const bool first = selectedOxygenSensor == 1;
    oxygenBar->setColours(
        oxygenBarColours(first ? live.lambda1Mv : live.lambda2Mv,
                         state.parameterValues[first ? param::lambda1SensorType : param::lambda2SensorType],
                         first ? state.lambda1FullScale : state.lambda2FullScale,
                         first ? state.lambda1Step : state.lambda2Step));
}

void CalibrationWindow::pressSensorChoice()
{
    selectedOxygenSensor = selectedOxygenSensor == 1 ? 2 : 1;
    sensorButton->setText(text(selectedOxygenSensor == 1 ? kSensor1 : kSensor2));
}

void CalibrationWindow::pressChangeover()
{
    ctx.link.send(frames::fuelChangeover());
    state.changeoverAcknowledged = 0;
}

void CalibrationWindow::changeKgb(int scrollValue)
{
    state.calibrationKgb = -scrollValue;
    kgbBox->setText(QString::number(state.calibrationKgb));
}

void CalibrationWindow::pressMode()
{
    showGuidedControls(false);
    for (QGroupBox* f : correctiveFrames)
        f->show();
    if (state.calibrationInactive == 1) {
        ctx.link.send(frames::calibrationOn());
        state.calibrationInactive = 0;
        state.calibrationOnAcknowledged = 0;
        state.autoCalibrationRequested = 0;
    } else {
        ctx.link.send(frames::calibrationOff());
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
        coilHandshakeTick();
        return;
    }
    handshakeTimer.stop();
    pollTimer.stop();
    if (state.calibrationInactive == 0 && state.calibrationOnAcknowledged == 0) {
        ctx.link.send(frames::calibrationOn());
        handshakeTimer.start();
        return;
    }
    if (state.calibrationInactive == 1 && state.calibrationOffAcknowledged == 0) {
        ctx.link.send(frames::calibrationOff());
        handshakeTimer.start();
        return;
    }
    if (state.calibrationOnAcknowledged == 1 && state.autoCalibrationRequested == 1) {
        state.calibrationFrameReceived = 0;
        ctx.link.send(frames::calibrationOn());
        stopTimers();
        phase_ = Phase::Automatic;
        kgbTaken_ = false; // the coefficient it finds is the one to try next
        recorder->stop();  // the automatic calibration's replies are not this window's rows
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
    showGuidedControls(false);
    for (QGroupBox* f : correctiveFrames)
        f->show();
    if (state.offlineMode == 1) {
        stopTimers();
        dropTopMost();
        kgbTaken_ = false;
        recorder->stop();
        openWindow(WindowId::AutoCalibration);
        return;
    }
    // its table is written at its end: not while another writer has the ECU
    if (!ecuFreeForWriting(ctx)) return;
    if (state.liveStatus.onPetrol == 1) {
        ctx.link.send(frames::calibrationOn());
    } else {
        ctx.link.send(frames::fuelChangeover());
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
        storeGuided();
        return;
    }
    // every box is read first: one refused box writes nothing at all
    const auto correctiveValues = correctives->read(
        [this](const QLineEdit* box, const FieldRule& rule) { return readBox(box, rule); }, language());
    if (!correctiveValues) return;
    std::array<int, TableGrid::kBoxes> values{};
    for (int i = 0; i < TableGrid::kBoxes; ++i) {
        FieldRule rule;
        rule.roundsFractions = true;
        if (i < 16) {
            rule.shownName = i < 8 ? writeItemName({false, param::mapRpmAxis + i}, language())
                                   : writeItemName({false, param::mapTinjAxis + i - 8}, language());
        } else {
            rule.max = 255;
            rule.shownName = writeItemName({true, i - TableGrid::kFirstCellBox + 1}, language());
        }
        const std::optional<long long> value = readBox(grid->box(i), rule);
        if (!value) {
            grid->box(i)->setFocus();
            return;
        }
        values[static_cast<size_t>(i)] = static_cast<int>(*value);
    }
    // the boxes are read in one order and written in another: 25 goes before 23
    static constexpr int kCorrectiveOrder[] = {param::pressureVariation,
                                               param::lambdaMaxVariation,
                                               param::temperatureVariation,
                                               param::lambdaCorrectionRpmThreshold,
                                               param::pressureCorrectionRpmThreshold,
                                               param::pressureInterval,
                                               param::temperatureInterval};
    std::vector<WriteValue> write;
    for (const int id : kCorrectiveOrder)
        for (const auto& [boxId, value] : *correctiveValues)
            if (boxId == id) write.push_back({{false, id}, value});
    for (int i = 0; i < 8; ++i)
        write.push_back({{false, param::mapRpmAxis + i}, values[static_cast<size_t>(i)]});
    for (int i = 0; i < 8; ++i)
        write.push_back({{false, param::mapTinjAxis + i}, values[static_cast<size_t>(8 + i)]});
    for (int k = 1; k <= kTableCellCount; ++k)
        write.push_back({{true, k}, values[static_cast<size_t>(TableGrid::kFirstCellBox - 1 + k)]});
    if (!beginWrite(ctx, {this, kStore}, write)) return;
    correctives->forgetEdits();
    editor->forgetHistory();
    startWriteBack();
}

void CalibrationWindow::pressFill()
{
    // an edit like any other: undoable, and written only by MODIFICA
    if (!ctx.fileDialogs->confirm(this, text(kStore), text(kFillQuestion).arg(state.calibrationKgb), {},
                                  text(kFill), text(kCancel)))
        return;
    editor->fillAll(state.calibrationKgb);
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
    if (report.writer.owner != this) return;
    if (phase_ == Phase::WritingBack) {
        finishWriteBack();
    } else if (phase_ == Phase::GuidedWriting) {
        if (report.complete()) {
            finishGuided(guided_.finishWrite());
        } else {
            const GuidedCalibration::Kind kind = guided_.running();
            guided_.drop();
            finishGuided(kind);
            if (const int id = GuidedCalibration::parameterOf(kind))
                guidedValue->setText(QString::number(state.parameterValues[id]));
        }
    }
    state.autoCalibrationTableReady = 0;
    tellWriteEnded(ctx, report);
}

void CalibrationWindow::finishWriteBack()
{
    writeBackTimer.stop();
    setBusy(false);
    // a box typed back to the ECU's own value was never written, so no echo cleared its mark
    for (int i = 0; i < TableGrid::kBoxes; ++i) {
        const int ecu = i < 8    ? state.parameterValues[param::mapRpmAxis + i]
                        : i < 16 ? state.parameterValues[param::mapTinjAxis + i - 8]
                                 : state.tableCells[i - TableGrid::kFirstCellBox + 1];
        if (grid->box(i)->text().trimmed() == QString::number(ecu)) grid->setEdited(i, false);
    }
    phase_ = Phase::Polling;
    updateControls();
    pollTimer.start();
}

void CalibrationWindow::showProgress()
{
    statusLine->setText(text(kProgress).arg(ctx.writes.progressLine(language())));
    statusLine->setCursorPosition(0); // longer than the line: its start says how far it has come
}

void CalibrationWindow::onCellConfirmed(int cell, int value)
{
    const int box = TableGrid::kFirstCellBox - 1 + cell;
    grid->setEcuCell(cell, value);
    // a late, repeated echo after the write must not undo what the user has typed since; a table
    // the automatic calibration writes replaces what was typed before it
    if (ctx.writes.ownedBy(this) || state.autoCalibrationTableReady == 1) {
        grid->box(box)->setText(QString::number(value));
        grid->setEdited(box, false);
    } else if (!grid->isEdited(box)) {
        // another writer's value: a box nobody typed in shows it, so a later store cannot put the old one
        // back
        grid->box(box)->setText(QString::number(value));
    }
}

void CalibrationWindow::onParameterConfirmed(int id, int value)
{
    int box = -1;
    if (id >= param::mapRpmAxis && id < param::mapRpmAxis + 8) box = id - param::mapRpmAxis;
    if (id >= param::mapTinjAxis && id < param::mapTinjAxis + 8) box = 8 + id - param::mapTinjAxis;
    const bool storing = ctx.writes.ownedBy(this) && phase_ == Phase::WritingBack;
    if (box >= 0 && storing) {
        grid->box(box)->setText(QString::number(value));
        grid->setEdited(box, false);
    } else if (box >= 0 && !grid->isEdited(box)) {
        grid->box(box)->setText(QString::number(value));
    }
    if (storing)
        correctives->showConfirmed(id, value);
    else
        correctives->showEcuValues(state); // the boxes nobody changed follow another writer
    // a guided value confirmed late, after EXIT: the box shows what the ECU now holds
    if (phase_ != Phase::Guided &&
        id == GuidedCalibration::parameterOf(GuidedCalibration::atPosition(guidedPosition_)))
        guidedValue->setText(QString::number(value));
}

void CalibrationWindow::onModeAcknowledged(bool on)
{
    if (on && phase_ == Phase::Closing) return; // a late "on" while the window turns the mode off
    const Language lang = language();
    setWindowTitle((on ? calibration_mode_texts::onTitle : calibration_mode_texts::offTitle).in(lang));
    modeButton->setText(
        (on ? calibration_mode_texts::onCaption : calibration_mode_texts::offCaption).in(lang));
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
    if (guided_.running() != GuidedCalibration::Kind::None) {
        abandonGuided(); // only the guided calibration ends; the window stays
        return;
    }
    state.calibrationOffAcknowledged = 0;
    state.calibrationInactive = 1; // being switched off: the next visit starts from mode off
    stopTimers();
    phase_ = Phase::Closing;
    // what the store had not written yet is told, the frame on the wire still counts if it arrives
    if (ctx.writes.ownedBy(this)) ctx.writes.abandon();
    if (!ctx.link.send(frames::calibrationOff())) {
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
    if (state.offlineMode == 0 && guided_.running() == GuidedCalibration::Kind::Coils) abandonGuided(false);
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
    if (!ctx.link.send(frames::calibrationOff())) {
        stopTimers();
        closeForm();
        return;
    }
    closingTimer.start();
}
