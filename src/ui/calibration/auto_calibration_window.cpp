#include "ui/calibration/auto_calibration_window.h"

#include "link/frames.h"
#include "link/input_rule.h"
#include "ui/calibration/calibration_rules.h"
#include "ui/common/colours.h"
#include "ui/common/datalog_recorder.h"
#include "ui/common/navigator.h"
#include "ui/common/segment_bar.h"
#include "ui/common/widgets.h"
#include "ui/common/write_report.h"

#include <QButtonGroup>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QVBoxLayout>

using namespace auto_calibration;

namespace {

constexpr LocalText kTitleText{"ORVANE - Taratura automatica", "ORVANE - Automatic calibration",
                               "ORVANE - Automatic calibration"};
constexpr LocalText kStorePrompt{"Premere OK per memorizzare il valore in tabella",
                                 "Press OK to store the value in the table",
                                 "Press OK to store the value in the table"};

constexpr LocalText kLpg{"GPL", "LPG", "LPG"};
constexpr LocalText kCng{"METANO", "CNG", "CNG"};

const Caption kCaptions[] = {
    {kTitle, kTitleText},
    {"Label1",
     {"Portare la vettura nella posizione di taratura", "Lead the vehicle into the adjustment position",
      "Araci 2000 RPM devire getir ve TAMAM'i bas"}},
    {"Label7", {"GIRI STABILI", "STABLE RPM", "RPM STABLE"}},
    {"Label9", {"TINJ STABILI", "STABLE INJECTION TIME", "INJECTION TIME STABLE"}},
    {"Label10", {"VARIAZIONE TINJ G/B", "MODIFICATION OF TINJ G/P", "VARIAZIONE TINJ "}},
    {"Label11", {"SAFETY"}},
    {"Option1_0", kLpg},
    {"Option1_1", kCng},
    {"Label16", {"Intervallo TINJ stabili", "Range of stable TINJ", "INTERVALLO TINJ STABILI "}},
    {"Command1", {"EXIT", "EXIT", "CIKIS"}},
    {"Command2", {"OK"}},
    {"Frame1", {"Tinj Benzina", "Tinj Petrol", "Tinj Petrol"}},
    {"Frame2", {"Tinj Gas", "Tinj Gas", "Tinj Gas"}},
    {"Frame3", {"LAMBDA1", "Oxygen sensor1", "Oxygen sensor1"}},
    {"Frame4", {"MEDIA LAMBDA1", "Avg Oxygen sens1", "Avg Oxygen sens1"}},
    {"Frame5", {"LAMBDA2", "Oxygen sensor2", "Oxygen sensor2"}},
    {"Frame6", {"MEDIA LAMBDA2", "Avg Oxygen sens2", "Avg Oxygen sens2"}},
    {"Frame7", {"KGB TARATURA", "KGB calibration", "KGB calibration"}},
    {"Frame8", {"RPM", "RPM", "RPM"}},
    {"Frame9", {"TInj", "TInj", "TInj"}},
};

// where the procedure stands
constexpr LocalText kPetrolPhase{"Fase %1: benzina", "Phase %1: petrol", "Faz %1: benzin"};
constexpr LocalText kGasPhase{"Fase %1: gas", "Phase %1: gas", "Faz %1: gaz"};
constexpr LocalText kChangingFuel{"Fase %1: cambio carburante in corso",
                                  "Phase %1: fuel changeover under way", "Faz %1: yakit degisimi suruyor"};
constexpr LocalText kUnsteady{" - in attesa di regime stabile", " - waiting for steady running",
                              " - kararli calisma bekleniyor"};
constexpr LocalText kStableFor{" - stabile da %1 s", " - stable for %1 s", " - %1 sn kararli"};
constexpr LocalText kSamples{" - campioni %1 di %2", " - samples %1 of %2", " - ornek %1 / %2"};
constexpr LocalText kChangeoverDue{" - cambio carburante fra 1 s", " - fuel changeover in 1 s",
                                   " - 1 sn sonra yakit degisimi"};
constexpr LocalText kSilent{"La centralina non risponde: valori fermi da %1 s",
                            "The ECU does not answer: values unchanged for %1 s",
                            "Beyin cevap vermiyor: degerler %1 sn degismedi"};

// the last decision
constexpr LocalText kNoDecision{"Ultima decisione: nessuna finora, KGB in prova %1",
                                "Last decision: none yet, KGB under test %1",
                                "Son karar: henuz yok, denenen KGB %1"};
constexpr LocalText kReference{"Ultima decisione: riferimento benzina preso, KGB in prova %1",
                               "Last decision: petrol reference taken, KGB under test %1",
                               "Son karar: benzin referansi alindi, denenen KGB %1"};
constexpr LocalText kRaised{"Ultima decisione: Tinj gas piu' lungo, KGB +%2 -> %1",
                            "Last decision: gas Tinj longer, KGB +%2 -> %1",
                            "Son karar: gaz Tinj daha uzun, KGB +%2 -> %1"};
constexpr LocalText kLowered{"Ultima decisione: Tinj gas piu' corto, KGB -%2 -> %1",
                             "Last decision: gas Tinj shorter, KGB -%2 -> %1",
                             "Son karar: gaz Tinj daha kisa, KGB -%2 -> %1"};
constexpr LocalText kUnchanged{"Ultima decisione: scostamento incerto, KGB invariato %1",
                               "Last decision: unclear deviation, KGB unchanged at %1",
                               "Son karar: belirsiz sapma, KGB %1 degismedi"};
constexpr LocalText kFound{"Ultima decisione: nessuno scostamento, valore trovato KGB %1",
                           "Last decision: no deviation, value found KGB %1",
                           "Son karar: sapma yok, deger bulundu KGB %1"};
constexpr LocalText kGasNotMeasured{
    "Ultima decisione: nessuno scostamento, ma il gas non e' ancora stato misurato con KGB %1: un altro giro",
    "Last decision: no deviation, but gas was not measured with KGB %1 yet: one more round",
    "Son karar: sapma yok, ancak gaz henuz KGB %1 ile olculmedi: bir tur daha"};
constexpr LocalText kChangeoverUnacknowledged{
    "Fase %1: cambio carburante richiesto, la centralina non lo ha confermato (inviato %2 volte)",
    "Phase %1: fuel changeover requested, the ECU has not acknowledged it (sent %2 times)",
    "Faz %1: yakit degisimi istendi, beyin onaylamadi (%2 kez gonderildi)"};
constexpr LocalText kChangeoverNotDone{"Fase %1: cambio carburante confermato, la vettura va ancora a %2",
                                       "Phase %1: fuel changeover acknowledged, the car still runs on %2",
                                       "Faz %1: yakit degisimi onaylandi, arac hala %2 ile calisiyor"};
constexpr LocalText kPetrolName{"benzina", "petrol", "benzin"};
constexpr LocalText kGasName{"gas", "gas", "gaz"};
constexpr LocalText kLimited{" (limite 0..255)", " (limit 0..255)", " (sinir 0..255)"};

// each decision as a datalog marker
constexpr LocalText kMarkTried{
    "Taratura automatica, KGB provato %1: ", "Automatic calibration, KGB tried %1: ",
    "Otomatik kalibrasyon, denenen KGB %1: "};
constexpr LocalText kMarkReference{"riferimento benzina preso", "petrol reference taken",
                                   "benzin referansi alindi"};
constexpr LocalText kMarkRaised{"Tinj gas piu' lungo, non trovato, KGB +%1 -> %2",
                                "gas Tinj longer, not found, KGB +%1 -> %2",
                                "gaz Tinj daha uzun, bulunamadi, KGB +%1 -> %2"};
constexpr LocalText kMarkLowered{"Tinj gas piu' corto, non trovato, KGB -%1 -> %2",
                                 "gas Tinj shorter, not found, KGB -%1 -> %2",
                                 "gaz Tinj daha kisa, bulunamadi, KGB -%1 -> %2"};
constexpr LocalText kMarkUnchanged{"scostamento incerto, non trovato, KGB invariato",
                                   "unclear deviation, not found, KGB unchanged",
                                   "belirsiz sapma, bulunamadi, KGB degismedi"};
constexpr LocalText kMarkGasNotMeasured{"nessuno scostamento, gas non ancora misurato: un altro giro",
                                        "no deviation, gas not measured yet: one more round",
                                        "sapma yok, gaz henuz olculmedi: bir tur daha"};
constexpr LocalText kMarkFound{"nessuno scostamento, valore trovato", "no deviation, value found",
                               "sapma yok, deger bulundu"};

// the table and leaving
constexpr LocalText kTableProgress{"Scrittura tabella: %1", "Writing the table: %1", "Tablo yaziliyor: %1"};
constexpr LocalText kTableWriter{"Taratura automatica: tabella", "Automatic calibration: table",
                                 "Otomatik kalibrasyon: tablo"};
constexpr LocalText kCalibrationWriter{"Taratura vettura: tabella della taratura automatica",
                                       "Calibration: table of the automatic calibration",
                                       "Taratura vettura: otomatik kalibrasyon tablosu"};
constexpr LocalText kLeaving{"Uscita: attendo la conferma della centralina",
                             "Leaving: waiting for the ECU to confirm", "Cikiliyor: beyin onayi bekleniyor"};
constexpr LocalText kRefused{
    "Tabella non memorizzata: con KGB %1 (%2) queste celle supererebbero 255, il massimo che una cella della "
    "centralina puo' contenere: %3. Nessun valore e' stato scritto.",
    "Table not stored: with KGB %1 (%2) these cells would exceed 255, the most an ECU cell can hold: %3. "
    "Nothing was written.",
    "Tablo kaydedilmedi: KGB %1 (%2) ile bu hucreler 255'i asar, bir beyin hucresinin alabilecegi en buyuk "
    "deger: %3. Hicbir deger yazilmadi."};
constexpr LocalText kAllCells{"tutte le 64 celle", "all 64 cells", "64 hucrenin tamami"};
constexpr LocalText kMoreCells{" e altre %1", " and %1 more", " ve %1 tane daha"};
constexpr LocalText kKgbField{"KGB TARATURA", "KGB calibration", "KGB calibration"};
constexpr LocalText kWriteGoesOn{"La scrittura della tabella continua nella finestra di taratura vettura.",
                                 "The table goes on being written in the vehicle calibration window.",
                                 "Tablo yazimi arac kalibrasyon penceresinde devam ediyor."};

constexpr int kSilentTicks = 10; // 3 s without a calibration frame
constexpr int kTickMs = 300;
constexpr int kChangeoverRepeatTicks = 4; // an unacknowledged changeover goes again after 1.2 s
const QColor kBarRed{250, 0, 0};
const QColor kBarYellow{250, 250, 0};

// Shape1 from the left: 10 .. 1, the centre 0, then 11 .. 20.
constexpr int kBarOrder[21] = {10, 9, 8, 7, 6, 5, 4, 3, 2, 1, 0, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20};

// The live values carry their unit beside the box.
QGroupBox* framedValue(QWidget* parent, const char* frameName, QLineEdit* box, const QString& unit)
{
    return framedBox(parent, frameName, box, unit.isEmpty() ? nullptr : new QLabel(unit, parent));
}

} // namespace

AutoCalibrationWindow::AutoCalibrationWindow(AppContext& context) : Form(context, WindowId::AutoCalibration)
{
    const auto display = [this](const char* name, int width = 70) {
        QLineEdit* box = valueBox(this, QString::fromLatin1(name), width, QStringLiteral("0"));
        box->setFocusPolicy(Qt::NoFocus); // nothing here is typed: a focus frame would suggest it
        return box;
    };
    petrolTinjBox = display("Text1");
    gasTinjBox = display("Text2");
    lambda1Box = display("Text3");
    lambda1Average = display("Text4");
    lambda2Box = display("Text5");
    lambda2Average = display("Text6");
    kgbBox = display("Text7");
    rpmBox = display("Text8");
    tinjBox = display("Text9");
    rangeBox = display("Text10", 50);
    differenceBox = display("Text13");

    rangeSpinner = new QScrollBar(Qt::Horizontal, this);
    rangeSpinner->setObjectName(QStringLiteral("VScroll1"));
    rangeSpinner->setRange(0, 1000);
    rangeSpinner->setSingleStep(10);
    rangeSpinner->setPageStep(100);
    rangeSpinner->setFixedWidth(160);

    lpgOption = new QRadioButton(this);
    lpgOption->setObjectName(QStringLiteral("Option1_0"));
    cngOption = new QRadioButton(this);
    cngOption->setObjectName(QStringLiteral("Option1_1"));
    auto* fuelGroup = new QButtonGroup(this);
    fuelGroup->addButton(lpgOption);
    fuelGroup->addButton(cngOption);

    instruction = namedLabel(this, QStringLiteral("Label1"), QString());
    QFont bold = instruction->font();
    bold.setBold(true);
    bold.setPointSize(bold.pointSize() + 2);
    instruction->setFont(bold);
    instruction->setWordWrap(true);
    rpmStableLabel = namedLabel(this, QStringLiteral("Label7"), QString());
    tinjStableLabel = namedLabel(this, QStringLiteral("Label9"), QString());
    safetyLabel = namedLabel(this, QStringLiteral("Label11"), QString());
    for (QLabel* l : {rpmStableLabel, tinjStableLabel, safetyLabel}) {
        l->setFont(bold);
        // hidden labels keep their place: the row does not jump as they come and go
        QSizePolicy keep = l->sizePolicy();
        keep.setRetainSizeWhenHidden(true);
        l->setSizePolicy(keep);
    }
    safetyLabel->setStyleSheet(QStringLiteral("color: rgb(255,0,0);"));
    procedureLine = namedLabel(this, QStringLiteral("procedureState"), QString());
    decisionLine = namedLabel(this, QStringLiteral("lastDecision"), QString());
    petrolLamp = new Lamp(QStringLiteral("Shape2"), this);
    gasLamp = new Lamp(QStringLiteral("Shape3"), this);
    differenceBar = new SegmentBar(QStringLiteral("Shape1"), kBarOrder, this);

    exitButton = new QPushButton(this);
    exitButton->setObjectName(QStringLiteral("Command1"));
    okButton = new QPushButton(this);
    okButton->setObjectName(QStringLiteral("Command2"));

    const QString msec = QStringLiteral("msec");
    const QString mv = QStringLiteral("mV");
    auto* values = new QGridLayout;
    values->setSpacing(4);
    values->addWidget(framedValue(this, "Frame1", petrolTinjBox, msec), 0, 0);
    values->addWidget(framedValue(this, "Frame2", gasTinjBox, msec), 0, 1);
    values->addWidget(framedValue(this, "Frame9", tinjBox, msec), 0, 2);
    values->addWidget(framedValue(this, "Frame8", rpmBox, QStringLiteral("x min")), 0, 3);
    values->addWidget(framedValue(this, "Frame3", lambda1Box, mv), 1, 0);
    values->addWidget(framedValue(this, "Frame4", lambda1Average, mv), 1, 1);
    values->addWidget(framedValue(this, "Frame5", lambda2Box, mv), 1, 2);
    values->addWidget(framedValue(this, "Frame6", lambda2Average, mv), 1, 3);
    values->addWidget(framedValue(this, "Frame7", kgbBox, QString()), 2, 0);

    auto* lamps = new QHBoxLayout;
    lamps->addWidget(petrolLamp);
    lamps->addWidget(gasLamp);
    lamps->addSpacing(12);
    lamps->addWidget(rpmStableLabel);
    lamps->addSpacing(12);
    lamps->addWidget(tinjStableLabel);
    lamps->addSpacing(12);
    lamps->addWidget(safetyLabel);
    lamps->addStretch(1);
    values->addLayout(lamps, 2, 1, 1, 3);

    auto* difference = new QHBoxLayout;
    difference->addWidget(namedLabel(this, QStringLiteral("Label10"), QString()));
    difference->addWidget(differenceBox);
    difference->addSpacing(12);
    difference->addWidget(new QLabel(QStringLiteral("-"), this));
    difference->addWidget(differenceBar);
    difference->addWidget(new QLabel(QStringLiteral("+"), this));
    difference->addStretch(1);

    auto* settings = new QHBoxLayout;
    settings->addWidget(namedLabel(this, QStringLiteral("Label16"), QString()));
    settings->addWidget(rangeBox);
    settings->addWidget(rangeSpinner);
    settings->addSpacing(24);
    settings->addWidget(lpgOption);
    settings->addSpacing(12);
    settings->addWidget(cngOption);
    settings->addStretch(1);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(okButton);
    buttons->addWidget(exitButton);

    auto* page = new QVBoxLayout(this);
    page->addWidget(instruction);
    page->addLayout(values);
    page->addLayout(difference);
    page->addLayout(settings);
    page->addWidget(procedureLine);
    page->addWidget(decisionLine);
    page->addLayout(buttons);

    setUpTimer(phaseTimer, "Timer1", 1000, &AutoCalibrationWindow::phaseTick);
    setUpTimer(samplingTimer, "Timer2", kTickMs, &AutoCalibrationWindow::samplingTick);
    setUpTimer(tableTimer, "Timer3", 100, &AutoCalibrationWindow::tableTick);

    connect(exitButton, &QPushButton::clicked, this, &AutoCalibrationWindow::pressExit);
    connect(okButton, &QPushButton::clicked, this, &AutoCalibrationWindow::pressOk);
    connect(rangeSpinner, &QScrollBar::valueChanged, this, &AutoCalibrationWindow::changeRange);
    connect(&ctx.writes, &WriteSession::progressed, this, [this] {
        if (ctx.writes.ownedBy(this)) showTableProgress();
    });
    connect(&ctx.writes, &WriteSession::ended, this, &AutoCalibrationWindow::onWriteEnded);
}

std::span<const Caption> AutoCalibrationWindow::captions() const
{
    return kCaptions;
}

void AutoCalibrationWindow::onLoad()
{
    phase_ = state.offlineMode == 1 ? Phase::Offline : Phase::Sampling;
    procedure_.reset(state.calibrationKgb);
    state.petrolTinjRef = 0;
    state.gasTinjRef = 0;
    silentTicks_ = 0;
    changeoverSends_ = 0;
    changeoverWait_ = 0;
    lambdaAverage1.reset();
    lambdaAverage2.reset();
    lambdaAverage1.seed(0);
    lambdaAverage2.seed(0);
    for (QLineEdit* box : {petrolTinjBox, gasTinjBox, lambda1Box, lambda1Average, lambda2Box, lambda2Average,
                           kgbBox, rpmBox, tinjBox, differenceBox})
        box->setText(QStringLiteral("0"));
    {
        const QSignalBlocker quiet(rangeSpinner);
        rangeSpinner->setValue(state.stableTinjRange);
    }
    rangeBox->setText(QString::number(state.stableTinjRange));
    lpgOption->setChecked(true);
    differenceBar->setColour(0, kBarRed);
    for (int i = 1; i < differenceBar->count(); ++i)
        differenceBar->setColour(i, kBarYellow);
    petrolLamp->setColour(colours::darkRed);
    gasLamp->setColour(colours::darkGreen);
    rpmStableLabel->hide();
    tinjStableLabel->hide();
    safetyLabel->hide();
    procedureLine->setText(QString());
    lastDecision_.reset();
    decisionLine->setText(phase_ == Phase::Offline ? QString() : text(kNoDecision).arg(procedure_.testKgb));
    updateControls();
}

void AutoCalibrationWindow::onLanguageChanged()
{
    // the captions put the first instruction back: the one in force now, in the new language
    if (phase_ == Phase::WritingTable)
        showTableProgress();
    else if (phase_ == Phase::Leaving)
        instruction->setText(text(kLeaving));
    else if (procedure_.found)
        instruction->setText(text(kStorePrompt));
    if (lastDecision_)
        decisionLine->setText(decisionText(*lastDecision_));
    else if (phase_ != Phase::Offline)
        decisionLine->setText(text(kNoDecision).arg(procedure_.testKgb));
}

void AutoCalibrationWindow::onActivate()
{
    // coming back over a message: sampling or leaving go on; the table write keeps its own timer
    if ((phase_ == Phase::Sampling || phase_ == Phase::Leaving) && !samplingTimer.isActive())
        samplingTimer.start();
}

void AutoCalibrationWindow::onUnload()
{
    if (ctx.writes.ownedBy(this)) ctx.writes.abandon();
    state.autoCalibrationRequested = 0;
    // the calibration window takes the ECU back, also when another window was clicked meanwhile
    if (windowOpen(WindowId::Calibration) && !windowInFront(WindowId::Calibration))
        openWindow(WindowId::Calibration);
}

void AutoCalibrationWindow::updateControls()
{
    const bool sampling = phase_ == Phase::Sampling;
    okButton->setEnabled(sampling && procedure_.found);
    exitButton->setEnabled(phase_ != Phase::WritingTable);
    rangeSpinner->setEnabled(sampling);
    lpgOption->setEnabled(sampling);
    cngOption->setEnabled(sampling);
}

void AutoCalibrationWindow::changeRange(int value)
{
    state.stableTinjRange = value;
    rangeBox->setText(QString::number(value));
}

void AutoCalibrationWindow::samplingTick()
{
    samplingTimer.stop();
    if (phase_ == Phase::Leaving) {
        if (state.calibrationOffAcknowledged == 1) {
            stopTimers();
            closeForm();
            return;
        }
        // without a port nothing can be acknowledged: the link's own message says why
        if (!sendFrame(frames::calibrationOff())) {
            stopTimers();
            closeForm();
            return;
        }
        samplingTimer.start();
        return;
    }
    if (phase_ != Phase::Sampling) return;

    // a frame that did not come is no evidence: the last values are shown but not counted again
    const bool fresh = state.calibrationFrameReceived == 1;
    state.calibrationFrameReceived = 0;
    const LiveStatus& live = state.liveStatus;
    lambda1Box->setText(QString::number(live.lambda1Mv));
    rpmBox->setText(QString::number(live.rpm));
    kgbBox->setText(QString::number(live.kgbInUse));
    lambda2Box->setText(QString::number(live.lambda2Mv));
    tinjBox->setText(QString::number(live.calibrationTinj));
    if (fresh) {
        silentTicks_ = 0;
        lambdaAverage1.add(live.lambda1Mv);
        lambdaAverage2.add(live.lambda2Mv);
        lambda1Average->setText(lambdaAverage1.shown());
        lambda2Average->setText(lambdaAverage2.shown());
        const int tried = procedure_.testKgb;
        const SampleOutcome outcome = procedure_.sample(
            {live.rpm, live.calibrationTinj, live.calibrationState, live.onPetrol}, state.stableTinjRange);
        showSample(outcome);
        if (outcome.decision) markDecision(*outcome.decision, tried);
        state.petrolTinjRef = procedure_.petrolTinjRef;
        state.gasTinjRef = procedure_.gasTinjRef;
    } else {
        ++silentTicks_;
    }
    if (procedure_.changeoverPending()) repeatChangeover();
    showProcedureState(fresh);
    if (!linkGone()) {
        if (const auto frame = frames::calibrationPoll(procedure_.testKgb)) sendFrame(*frame);
    }
    samplingTimer.start();
}

void AutoCalibrationWindow::repeatChangeover()
{
    // a request lost on the line, or one the ECU did not take; never while the car already runs on
    // the other fuel or is changing over, where another request would send it back
    const LiveStatus& live = state.liveStatus;
    if (state.changeoverAcknowledged == 1 || live.onPetrol != procedure_.changeoverFrom() ||
        changingOver(live.calibrationState) || linkGone())
        return;
    if (++changeoverWait_ < kChangeoverRepeatTicks) return;
    changeoverWait_ = 0;
    sendFrame(frames::fuelChangeover());
    ++changeoverSends_;
}

void AutoCalibrationWindow::showSample(const SampleOutcome& outcome)
{
    const AutoCalibration& p = procedure_;
    const LiveStatus& live = state.liveStatus;
    rpmStableLabel->setVisible(p.rpmStable);
    tinjStableLabel->setVisible(p.tinjStable);
    safetyLabel->setVisible(live.calibrationState == 7);

    const bool petrol = p.showsPetrol();
    petrolLamp->setColour(petrol ? colours::brightRed : colours::darkRed);
    gasLamp->setColour(petrol ? colours::darkGreen : colours::brightGreen);
    if (petrol) {
        petrolTinjBox->setText(QString::number(p.tinjAverage));
        if (p.phaseCount == 0) gasTinjBox->setText(QString::number(p.tinjAverage));
    } else {
        gasTinjBox->setText(QString::number(p.tinjAverage));
    }
    differenceBox->setText(QString::number(p.difference()));
    // the lit side is the fuel running: rightwards on petrol, leftwards on gas
    const int lit = p.barElementsLit();
    for (int i = 1; i <= kBarSide; ++i) {
        differenceBar->setColour(i, !petrol && i <= lit ? kBarRed : kBarYellow);
        differenceBar->setColour(kBarSide + i, petrol && i <= lit ? kBarRed : kBarYellow);
    }

    if (outcome.decision) showDecision(*outcome.decision);
    if (outcome.armPhaseDeadline) phaseTimer.start();
}

QString AutoCalibrationWindow::decisionText(const Decision& d) const
{
    QString line;
    switch (d.kind) {
    case Decision::Kind::Reference:
        line = text(kReference).arg(d.testKgb);
        break;
    case Decision::Kind::NoChange:
        line = text(d.gasNotMeasured ? kGasNotMeasured : kUnchanged).arg(d.testKgb);
        break;
    case Decision::Kind::Raise:
        line = text(kRaised).arg(d.testKgb).arg(d.step);
        break;
    case Decision::Kind::Lower:
        line = text(kLowered).arg(d.testKgb).arg(d.step);
        break;
    case Decision::Kind::Found:
        line = text(kFound).arg(d.testKgb);
        break;
    }
    if (d.limited) line += text(kLimited);
    return line;
}

void AutoCalibrationWindow::markDecision(const Decision& d, int tried)
{
    // the calibration window's recording goes on under this window: its rows carry the decisions
    if (!windowOpen(WindowId::Calibration)) return;
    DatalogRecorder* recorder = DatalogRecorder::of(ctx.navigator.window(WindowId::Calibration));
    if (!recorder || !recorder->isRecording()) return;
    QString outcome;
    switch (d.kind) {
    case Decision::Kind::Reference:
        outcome = text(kMarkReference);
        break;
    case Decision::Kind::NoChange:
        outcome = text(d.gasNotMeasured ? kMarkGasNotMeasured : kMarkUnchanged);
        break;
    case Decision::Kind::Raise:
        outcome = text(kMarkRaised).arg(d.step).arg(d.testKgb);
        break;
    case Decision::Kind::Lower:
        outcome = text(kMarkLowered).arg(d.step).arg(d.testKgb);
        break;
    case Decision::Kind::Found:
        outcome = text(kMarkFound);
        break;
    }
    if (d.limited) outcome += text(kLimited);
    recorder->addMarker(text(kMarkTried).arg(tried) + outcome);
}

void AutoCalibrationWindow::showDecision(const Decision& d)
{
    lastDecision_ = d;
    decisionLine->setText(decisionText(d));
    if (d.kind == Decision::Kind::Found) {
        instruction->setText(text(kStorePrompt));
        updateControls();
    }
}

void AutoCalibrationWindow::showProcedureState(bool fresh)
{
    if (!fresh && silentTicks_ >= kSilentTicks) {
        procedureLine->setText(text(kSilent).arg(silentTicks_ * kTickMs / 1000));
        return;
    }
    const AutoCalibration& p = procedure_;
    const LiveStatus& live = state.liveStatus;
    const int phaseNumber = p.phaseCount + 1;
    if (changingOver(live.calibrationState)) {
        procedureLine->setText(text(kChangingFuel).arg(phaseNumber));
        return;
    }
    if (p.changeoverPending()) {
        procedureLine->setText(state.changeoverAcknowledged == 0
                                   ? text(kChangeoverUnacknowledged).arg(phaseNumber).arg(changeoverSends_)
                                   : text(kChangeoverNotDone)
                                         .arg(phaseNumber)
                                         .arg(text(live.onPetrol == 1 ? kPetrolName : kGasName)));
        return;
    }
    const bool petrol = live.onPetrol == 1;
    QString line = text(petrol ? kPetrolPhase : kGasPhase).arg(phaseNumber);
    if (p.rpmStable && p.tinjStable)
        line += text(kStableFor).arg(QString::number(p.stableTicks() * kTickMs / 1000.0, 'f', 1));
    else
        line += text(kUnsteady);
    if (petrol && !p.windowDone && p.windowSamples > 0)
        line += text(kSamples).arg(p.windowSamples).arg(kWindowSamples);
    if (phaseTimer.isActive() && (!p.found || petrol)) line += text(kChangeoverDue);
    procedureLine->setText(line);
}

void AutoCalibrationWindow::phaseTick()
{
    phaseTimer.stop();
    if (phase_ != Phase::Sampling) return;
    samplingTimer.stop();
    if (procedure_.phaseDeadline(state.liveStatus.onPetrol == 1)) {
        sendFrame(frames::fuelChangeover());
        state.changeoverAcknowledged = 0;
        changeoverSends_ = 1;
        changeoverWait_ = 0;
        rpmStableLabel->hide();
        tinjStableLabel->hide();
        procedureLine->setText(text(kChangingFuel).arg(procedure_.phaseCount + 1));
    } else {
        instruction->setText(text(kStorePrompt));
    }
    samplingTimer.start();
}

void AutoCalibrationWindow::pressOk()
{
    if (phase_ != Phase::Sampling || !procedure_.found) return;
    FieldRule rule;
    rule.name = kKgbField;
    const std::optional<long long> v = readBox(kgbBox, rule);
    if (!v) return;
    const Fuel fuel = lpgOption->isChecked() ? Fuel::Lpg : Fuel::Cng;
    const OneBased<int, kTableCellCount> cells = deriveTable(static_cast<int>(*v), fuel);
    const QList<int> above = cellsAboveByte(cells);
    if (!above.isEmpty()) {
        // a byte cannot carry them: nothing goes out, and the procedure keeps running for another try
        QString which;
        if (above.size() == kTableCellCount) {
            which = text(kAllCells);
        } else {
            constexpr int kNamed = 8;
            QStringList named;
            for (int i = 0; i < above.size() && i < kNamed; ++i)
                named << QStringLiteral("%1 = %2").arg(writeItemLabel({true, above[i]}, language()),
                                                       QString::number(cells[above[i]]));
            which = named.join(QStringLiteral(", "));
            if (above.size() > kNamed) which += text(kMoreCells).arg(above.size() - kNamed);
        }
        ctx.showMessage(text(kTitleText), text(kRefused).arg(QString::number(*v),
                                                             text(fuel == Fuel::Lpg ? kLpg : kCng), which));
        return;
    }
    std::vector<WriteValue> values;
    for (int k = 1; k <= kTableCellCount; ++k)
        values.push_back({{true, k}, cells[k]});
    if (!beginWrite(ctx, {this, kTableWriter}, values)) return;
    stopTimers();
    state.autoCalibrationTableReady = 1;
    phase_ = Phase::WritingTable;
    setBusy(true);
    updateControls();
    showTableProgress();
    tableTimer.start();
}

void AutoCalibrationWindow::tableTick()
{
    tableTimer.stop();
    if (phase_ != Phase::WritingTable) return;
    phaseTimer.stop();
    samplingTimer.stop();
    // the end, confirmed or not, comes from the session
    if (ctx.writes.ownedBy(this) && ctx.writes.tick()) tableTimer.start();
}

void AutoCalibrationWindow::showTableProgress()
{
    instruction->setText(text(kTableProgress).arg(ctx.writes.progressLine(language())));
}

void AutoCalibrationWindow::onWriteEnded(const WriteReport& report)
{
    if (report.writer.owner != this) return;
    state.autoCalibrationTableReady = 0;
    if (report.complete() && phase_ == Phase::WritingTable) {
        leave();
        return;
    }
    // the port went away: nothing more can be written or switched off; the report says what is left
    stopTimers();
    if (isLoaded()) closeForm();
    tellWriteEnded(ctx, report);
}

void AutoCalibrationWindow::leave()
{
    phaseTimer.stop(); // a change-over armed before EXIT must not go out after it
    state.calibrationOffAcknowledged = 0;
    state.calibrationInactive = 1;
    state.autoCalibrationRequested = 0;
    if (!sendFrame(frames::calibrationOff())) {
        stopTimers();
        closeForm();
        return;
    }
    phase_ = Phase::Leaving;
    instruction->setText(text(kLeaving));
    procedureLine->setText(QString());
    setBusy(true);
    updateControls();
    samplingTimer.start();
}

void AutoCalibrationWindow::pressExit()
{
    switch (phase_) {
    case Phase::Offline:
    case Phase::Leaving: // pressed again while the ECU does not acknowledge: the way out
        stopTimers();
        closeForm();
        return;
    case Phase::WritingTable:
        return; // EXIT is disabled from OK on
    case Phase::Sampling:
        leave();
        return;
    }
}

void AutoCalibrationWindow::requestClose()
{
    if (phase_ != Phase::WritingTable) {
        pressExit();
        return;
    }
    // the derived table is not dropped half-written: the calibration window, which takes over the
    // moment this one closes, writes the rest and then turns the calibration mode off with its EXIT
    if (windowOpen(WindowId::Calibration))
        ctx.writes.handOver({ctx.navigator.window(WindowId::Calibration), kCalibrationWriter});
    stopTimers();
    closeForm();
    ctx.showMessage(text(kTitleText), text(kWriteGoesOn));
}
