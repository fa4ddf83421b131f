#include "ui/calibration/guided_controller.h"

#include "link/frames.h"
#include "link/input_rule.h"
#include "ui/calibration/calibration_live_view.h"
#include "ui/calibration/corrective_panel.h"
#include "ui/calibration/guided_texts.h"
#include "ui/calibration/table_grid.h"
#include "ui/common/widgets.h"
#include "ui/common/write_report.h"

#include <QFontDatabase>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTimer>
#include <QVBoxLayout>

namespace {

using Kind = GuidedCalibration::Kind;

QScrollBar* spinner(QWidget* parent, const char* name, int min, int max)
{
    auto* s = new QScrollBar(Qt::Vertical, parent);
    s->setObjectName(QString::fromLatin1(name));
    s->setRange(min, max);
    s->setPageStep(1);
    s->setFixedSize(18, 44);
    return s;
}

// Hidden outside its calibration, its place kept so that nothing else moves when it shows.
template <typename W> W* keepsPlace(W* widget)
{
    QSizePolicy policy = widget->sizePolicy();
    policy.setRetainSizeWhenHidden(true);
    widget->setSizePolicy(policy);
    return widget;
}

} // namespace

GuidedController::GuidedController(AppContext& context, GuidedHost& host, CalibrationLiveView& live,
                                   CorrectivePanel& correctives, QTimer& coilTimer, QTimer& writeTimer,
                                   QWidget* parent)
    : QObject(parent), ctx_(context), state_(context.state), host_(host), live_(live),
      correctives_(correctives), coilTimer_(coilTimer), writeTimer_(writeTimer), guided_(context.state)
{
    selectorRows_ = new QWidget(parent);
    startButton_ = new QPushButton(selectorRows_);
    startButton_->setObjectName(QStringLiteral("Command4"));
    // its caption names the position: the longest of them in any language sets its width
    int widest = 0;
    for (const LocalText& t : guided_texts::kPositions)
        for (const Language l : {Language::Italian, Language::English, Language::Turkish})
            widest = std::max(widest, startButton_->fontMetrics().horizontalAdvance(t.in(l)));
    startButton_->setFixedWidth(widest + 24);
    // one step beyond each end, so that stepping past 5 or below 1 can wrap
    selector_ = spinner(selectorRows_, "VScroll5", -(kGuidedPositions + 1), 0);
    guidedValue_ = keepsPlace(::valueBox(selectorRows_, QStringLiteral("Text9"), 70, QStringLiteral("0")));
    paintAsDisplay(guidedValue_);
    okButton_ = keepsPlace(new QPushButton(selectorRows_));
    okButton_->setObjectName(QStringLiteral("Command3"));
    coilLabel_ = keepsPlace(namedLabel(selectorRows_, QStringLiteral("Label4"), QString()));
    coilBox_ = keepsPlace(::valueBox(selectorRows_, QStringLiteral("Text8"), 40, QStringLiteral("0")));
    paintAsDisplay(coilBox_);
    coilSpinner_ = keepsPlace(spinner(selectorRows_, "VScroll6", -8, -1));

    auto* first = new QHBoxLayout;
    first->addWidget(startButton_);
    first->addWidget(selector_);
    first->addWidget(guidedValue_);
    first->addStretch(1);
    auto* second = new QHBoxLayout;
    second->addWidget(okButton_);
    second->addWidget(coilLabel_);
    second->addWidget(coilBox_);
    second->addWidget(coilSpinner_);
    second->addStretch(1);
    auto* rows = new QVBoxLayout(selectorRows_);
    rows->setContentsMargins(0, 0, 0, 0);
    rows->addLayout(first);
    rows->addLayout(second);

    injectorColumn_ = new QWidget(parent);
    auto* injectors = new QGridLayout(injectorColumn_);
    injectors->setContentsMargins(0, 0, 0, 0);
    injectors->setVerticalSpacing(0);
    const QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    for (int i = 0; i < 8; ++i) {
        for (const bool on : {true, false}) {
            const int index = on ? i : 8 + i;
            const QString caption = on ? QStringLiteral("INJ%1     ON").arg(i + 1)
                                       : QStringLiteral("INJ%1              OFF").arg(i + 1);
            QLabel* label =
                keepsPlace(namedLabel(injectorColumn_, QStringLiteral("Label5_%1").arg(index), caption));
            label->setFont(fixed);
            QPalette palette = label->palette();
            palette.setColor(QPalette::WindowText, on ? QColor(0, 150, 0) : QColor(192, 0, 0));
            label->setPalette(palette);
            injectorLabels_[static_cast<size_t>(index)] = label;
            injectors->addWidget(label, i, 0);
        }
    }

    connect(selector_, &QScrollBar::valueChanged, this, &GuidedController::changePosition);
    connect(startButton_, &QPushButton::clicked, this, &GuidedController::start);
    connect(coilSpinner_, &QScrollBar::valueChanged, this, &GuidedController::changeCoilCount);
    connect(okButton_, &QPushButton::clicked, this, &GuidedController::pressOk);
}

QString GuidedController::text(const LocalText& local) const
{
    return local.in(languageOf(state_.languageIndex));
}

void GuidedController::reset()
{
    okButton_->setEnabled(false);
    okButton_->hide();
    showCoilControls(false);
    guided_.forget();
    writing_ = false;
    // a reply left from a coil calibration that has ended must not prompt to store
    state_.calibrationExtraReceived = 0;
    position_ = 1;
    {
        const QSignalBlocker quiet(selector_);
        selector_->setValue(-position_);
    }
    coilBox_->setText(QStringLiteral("0"));
    guidedValue_->setText(QStringLiteral("0"));
    guidedValue_->hide();
    guidedValue_->setEnabled(false);
}

void GuidedController::updateControls(bool idle, bool modeOn)
{
    const Kind kind = guided_.running();
    const bool running = kind != Kind::None && !writing_;
    const bool valueMode = kind != Kind::None && kind != Kind::Coils;
    // a guided calibration starts only with the calibration mode off and nothing else under way
    startButton_->setEnabled(idle && !modeOn);
    selector_->setEnabled(idle && !modeOn);
    coilSpinner_->setEnabled(running && guided_.tryingCoils());
    okButton_->setEnabled(running && guided_.tryingCoils());
    guidedValue_->setEnabled((running || writing_) && valueMode);
}

bool GuidedController::storeAllowed() const
{
    const Kind kind = guided_.running();
    if (kind == Kind::None || writing_) return false;
    return kind != Kind::Coils || guided_.injectorsShown();
}

void GuidedController::changePosition(int scrollValue)
{
    const int position = wrapGuidedPosition(-scrollValue);
    if (position != -scrollValue) {
        selector_->setValue(-position); // comes back here with the wrapped position
        return;
    }
    position_ = position;
    startButton_->setText(text(guided_texts::kPositions[position - 1]));
    const int id = GuidedCalibration::parameterOf(GuidedCalibration::atPosition(position));
    guidedValue_->setVisible(id != 0);
    if (id != 0) guidedValue_->setText(QString::number(state_.parameterValues[id]));
}

void GuidedController::start()
{
    // whatever enabled the button: never with the calibration mode on or other work under way
    if (!host_.readyForGuided() || state_.calibrationInactive != 1) return;
    const Kind kind = GuidedCalibration::atPosition(position_);
    if (kind == Kind::None) {
        correctives_.setFramesVisible(true);
        return;
    }
    // what it finds is written at its end: not while another writer has the ECU
    if (!ecuFreeForWriting(ctx_)) return;
    guided_.start(kind);
    steady_.reset();
    writing_ = false;
    correctives_.setFramesVisible(false);
    if (kind == Kind::Coils) {
        {
            const QSignalBlocker quiet(coilSpinner_);
            coilSpinner_->setValue(-state_.trialCoilCount);
        }
        coilBox_->setText(QString::number(state_.trialCoilCount));
        showCoilControls(true);
        okButton_->show();
    } else {
        guidedValue_->show();
    }
    host_.guidedRunning();
}

void GuidedController::changeCoilCount(int scrollValue)
{
    state_.trialCoilCount = -scrollValue;
    coilBox_->setText(QString::number(state_.trialCoilCount));
    host_.showStatus(text(guided_texts::kPressOkWhenRpmCorrect));
}

void GuidedController::pressOk()
{
    if (!guided_.tryingCoils()) return;
    guided_.confirmCoils();
    host_.refreshControls();
    coilTimer_.start();
}

void GuidedController::coilHandshakeTick()
{
    coilTimer_.stop();
    switch (guided_.coilTick()) {
    case GuidedCalibration::CoilStep::AskInjectors:
        if (!ctx_.link.send(frames::readCalibrationExtra())) {
            // the port is gone: no answer can come; the link message says why
            guided_.drop();
            finish(Kind::Coils);
            return;
        }
        coilTimer_.start();
        return;
    case GuidedCalibration::CoilStep::Abandoned:
        finish(Kind::Coils);
        return;
    case GuidedCalibration::CoilStep::InjectorsIn:
        for (int j = 1; j <= 8; ++j) {
            const bool on = state_.calibrationExtra[j] != 0;
            injectorLabels_[static_cast<size_t>(j - 1)]->setVisible(on);
            injectorLabels_[static_cast<size_t>(j + 7)]->setVisible(!on);
        }
        host_.refreshControls();
        host_.resumePolling();
        return;
    }
}

void GuidedController::store()
{
    const Kind kind = guided_.running();
    std::vector<WriteValue> values;
    if (kind == Kind::Coils) {
        if (!guided_.injectorsShown()) return;
        values = guided_.storeCoils();
    } else {
        // read before anything stops: a refused value leaves the calibration running
        FieldRule rule;
        QLineEdit* box = guidedValue_;
        if (kind == Kind::Temperature) {
            box = live_.temperature1Box();
            rule.shownName = live_.temperature1Caption();
        } else {
            rule.shownName = text(guided_texts::kPositions[position_ - 1]);
        }
        const BoxReading reading = readWholeNumber(box->text(), rule, languageOf(state_.languageIndex));
        if (!reading.value) {
            ctx_.showMessage(reading.refusalTitle, reading.refusal);
            return;
        }
        values = guided_.store(static_cast<int>(*reading.value));
    }
    if (!beginWrite(ctx_, {this, guided_texts::kPositions[position_ - 1]}, values)) return;
    writing_ = true;
    host_.guidedWriting();
    showProgress();
    writeTimer_.start();
}

void GuidedController::writeTick()
{
    writeTimer_.stop();
    if (!writing_ || !ctx_.writes.ownedBy(this)) return; // a tick left over from EXIT: polling goes on
    // no calibration runs any more to take what is written: stop, say what went out, poll again
    if (guided_.running() == Kind::None) {
        ctx_.writes.abandon();
        return;
    }
    // the end, confirmed or not, comes from the session
    if (ctx_.writes.tick()) writeTimer_.start();
}

void GuidedController::writeEnded(const WriteReport& report)
{
    if (!writing_) return;
    writing_ = false;
    if (report.complete()) {
        finish(guided_.finishWrite());
        return;
    }
    const Kind kind = guided_.running();
    guided_.drop();
    finish(kind);
    if (const int id = GuidedCalibration::parameterOf(kind))
        guidedValue_->setText(QString::number(state_.parameterValues[id]));
}

void GuidedController::abandon(bool waitForInjectors)
{
    // the writes stop here: a coil count must not go out without its injectors
    writeTimer_.stop();
    if (guided_.abandoning()) {
        // asked again while the ECU stays silent: nothing is written anyway
        guided_.stopWaiting();
        finish(Kind::Coils);
        return;
    }
    // the write stops first; its report says what may not have reached the ECU
    const bool wasWriting = writing_;
    writing_ = false;
    host_.guidedRunning();
    if (wasWriting && ctx_.writes.ownedBy(this)) ctx_.writes.abandon();
    const Kind kind = guided_.abandon();
    if (kind != Kind::Coils) {
        finish(kind);
        guidedValue_->setText(QString::number(state_.parameterValues[GuidedCalibration::parameterOf(kind)]));
    } else if (!waitForInjectors) {
        guided_.stopWaiting();
        finish(kind);
    } else if (!ctx_.link.send(frames::readCalibrationExtra())) {
        guided_.drop();
        finish(kind);
    } else {
        // the coils end once the ECU has answered the injector request (or had already)
        host_.refreshControls();
        host_.showStatus(text(guided_texts::kWaitingForEcu));
        coilTimer_.start();
    }
}

void GuidedController::onParameterConfirmed(int id, int value)
{
    // a guided value confirmed late, after EXIT: the box shows what the ECU now holds
    if (guided_.running() != Kind::None && !writing_) return;
    if (id == GuidedCalibration::parameterOf(GuidedCalibration::atPosition(position_)))
        guidedValue_->setText(QString::number(value));
}

void GuidedController::showProgress()
{
    host_.showStatus(ctx_.writes.progressLine(languageOf(state_.languageIndex)));
}

void GuidedController::finish(Kind kind)
{
    writeTimer_.stop();
    coilTimer_.stop();
    writing_ = false;
    if (kind == Kind::Coils) {
        okButton_->setEnabled(false);
        okButton_->hide();
        showCoilControls(false);
    }
    correctives_.setFramesVisible(true);
    host_.guidedOver();
}

void GuidedController::showCoilControls(bool shown)
{
    coilBox_->setVisible(shown);
    coilSpinner_->setVisible(shown);
    coilLabel_->setVisible(shown);
    for (QLabel* label : injectorLabels_)
        label->hide(); // shown only once the ECU has said which injectors it has
}

void GuidedController::showLive(int smoothedPressure)
{
    const LiveStatus& live = state_.liveStatus;
    if (state_.switchingRpmMode == 1) guidedValue_->setText(QString::number(live.rpm));
    if (state_.calibrationPressureMode == 1) guidedValue_->setText(QString::number(smoothedPressure));
    if (state_.calibrationTemperatureMode == 1) guidedValue_->setText(QString::number(live.temperature1));
    const Kind kind = guided_.running();
    if (kind == Kind::None || kind == Kind::Coils) return;
    // what counts as settled: engine speed within 50 rpm, pressure 10 mbar, temperature 1 degree
    const int tolerance = kind == Kind::SwitchingRpm ? 50 : kind == Kind::Pressure ? 10 : 1;
    steady_.add(guidedValue_->text().toInt(), tolerance);
}

QString GuidedController::hint() const
{
    const Kind kind = guided_.running();
    if (writing_ || kind == Kind::None) return {};
    // past the trial counts the coils wait for the ECU, not the engine
    if (kind == Kind::Coils && !guided_.tryingCoils()) return {};
    if (state_.liveStatus.rpm == 0) return text(guided_texts::kEngineStopped);
    if (kind == Kind::Coils) return {};
    return text(steady_.steady() ? guided_texts::kSteady : guided_texts::kNotSteady);
}
