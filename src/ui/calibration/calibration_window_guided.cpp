// The calibration window's guided calibrations: the selector, start, the coil counts and their
// handshake, store and its write tick, EXIT. The state itself lives in GuidedCalibration.
#include "link/frames.h"
#include "link/input_rule.h"
#include "ui/calibration/calibration_window.h"
#include "ui/calibration/corrective_panel.h"
#include "ui/calibration/corrective_rules.h"
#include "ui/calibration/guided_texts.h"
#include "ui/common/write_report.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>

namespace {
using Kind = GuidedCalibration::Kind;
} // namespace

void CalibrationWindow::changeGuidedPosition(int scrollValue)
{
    const int position = wrapGuidedPosition(-scrollValue);
    if (position != -scrollValue) {
        guidedSpinner->setValue(-position); // comes back here with the wrapped position
        return;
    }
    guidedPosition_ = position;
    correctivesButton->setText(text(guided_texts::kPositions[position - 1]));
    const int id = GuidedCalibration::parameterOf(GuidedCalibration::atPosition(position));
    guidedValue->setVisible(id != 0);
    if (id != 0) guidedValue->setText(QString::number(state.parameterValues[id]));
}

void CalibrationWindow::pressGuidedStart()
{
    // whatever enabled the button: never with the calibration mode on or other work under way
    if (phase_ != Phase::Polling || state.calibrationInactive != 1) return;
    const Kind kind = GuidedCalibration::atPosition(guidedPosition_);
    if (kind == Kind::None) {
        correctives->setFramesVisible(true);
        return;
    }
    // what it finds is written at its end: not while another writer has the ECU
    if (!ecuFreeForWriting(ctx)) return;
    guided_.start(kind);
    guidedSteady_.reset();
    phase_ = Phase::Guided;
    correctives->setFramesVisible(false);
    if (kind == Kind::Coils) {
        {
            const QSignalBlocker quiet(coilSpinner);
            coilSpinner->setValue(-state.trialCoilCount);
        }
        guidedBox->setText(QString::number(state.trialCoilCount));
        showGuidedControls(true);
        okButton->show();
    } else {
        guidedValue->show();
    }
    updateControls();
}

void CalibrationWindow::changeCoilCount(int scrollValue)
{
    state.trialCoilCount = -scrollValue;
    guidedBox->setText(QString::number(state.trialCoilCount));
    statusLine->setText(text(guided_texts::kPressOkWhenRpmCorrect));
}

void CalibrationWindow::pressOk()
{
    if (!guided_.tryingCoils()) return;
    guided_.confirmCoils();
    updateControls();
    handshakeTimer.start();
}

void CalibrationWindow::coilHandshakeTick()
{
    handshakeTimer.stop();
    pollTimer.stop();
    switch (guided_.coilTick()) {
    case GuidedCalibration::CoilStep::AskInjectors:
        if (!ctx.link.send(frames::readCalibrationExtra())) {
            // the port is gone: no answer can come; the link message says why
            guided_.drop();
            finishGuided(Kind::Coils);
            return;
        }
        handshakeTimer.start();
        return;
    case GuidedCalibration::CoilStep::Abandoned:
        finishGuided(Kind::Coils);
        return;
    case GuidedCalibration::CoilStep::InjectorsIn:
        for (int j = 1; j <= 8; ++j) {
            const bool on = state.calibrationExtra[j] != 0;
            injectorLabels[static_cast<size_t>(j - 1)]->setVisible(on);
            injectorLabels[static_cast<size_t>(j + 7)]->setVisible(!on);
        }
        updateControls();
        pollTimer.start();
        return;
    }
}

void CalibrationWindow::storeGuided()
{
    const Kind kind = guided_.running();
    std::vector<WriteValue> values;
    if (kind == Kind::Coils) {
        if (!guided_.injectorsShown()) return;
        values = guided_.storeCoils();
    } else {
        // read before anything stops: a refused value leaves the calibration running
        FieldRule rule;
        QLineEdit* box = guidedValue;
        if (kind == Kind::Temperature) {
            box = temperature1Box;
            rule.shownName = findChild<QGroupBox*>(QStringLiteral("Frame6"))->title();
        } else {
            rule.shownName = text(guided_texts::kPositions[guidedPosition_ - 1]);
        }
        const std::optional<long long> value = readBox(box, rule);
        if (!value) return;
        values = guided_.store(static_cast<int>(*value));
    }
    if (!beginWrite(ctx, {this, guided_texts::kPositions[guidedPosition_ - 1]}, values)) return;
    stopTimers();
    phase_ = Phase::GuidedWriting;
    updateControls();
    showGuidedProgress();
    setBusy(true);
    guidedTimer.start();
}

void CalibrationWindow::guidedTick()
{
    guidedTimer.stop();
    if (phase_ != Phase::GuidedWriting) return; // a tick left over from EXIT: polling goes on
    pollTimer.stop();
    if (!ctx.writes.ownedBy(this)) return;
    // no calibration runs any more to take what is written: stop, say what went out, poll again
    if (guided_.running() == Kind::None) {
        ctx.writes.abandon();
        return;
    }
    // the end, confirmed or not, comes from the session
    if (ctx.writes.tick()) guidedTimer.start();
}

void CalibrationWindow::abandonGuided(bool waitForInjectors)
{
    // the writes stop here: a coil count must not go out without its injectors
    guidedTimer.stop();
    if (guided_.abandoning()) {
        // asked again while the ECU stays silent: nothing is written anyway
        guided_.stopWaiting();
        finishGuided(Kind::Coils);
        return;
    }
    // the write stops first; its report says what may not have reached the ECU
    const bool writing = phase_ == Phase::GuidedWriting;
    phase_ = Phase::Guided;
    if (writing && ctx.writes.ownedBy(this)) ctx.writes.abandon();
    const Kind kind = guided_.abandon();
    if (kind != Kind::Coils) {
        finishGuided(kind);
        guidedValue->setText(QString::number(state.parameterValues[GuidedCalibration::parameterOf(kind)]));
    } else if (!waitForInjectors) {
        guided_.stopWaiting();
        finishGuided(kind);
    } else if (!ctx.link.send(frames::readCalibrationExtra())) {
        guided_.drop();
        finishGuided(kind);
    } else {
        // the coils end once the ECU has answered the injector request (or had already)
        phase_ = Phase::Guided;
        setBusy(false);
        updateControls();
        statusLine->setText(text(guided_texts::kWaitingForEcu));
        handshakeTimer.start();
    }
}

void CalibrationWindow::showGuidedProgress()
{
    statusLine->setText(ctx.writes.progressLine(language()));
    statusLine->setCursorPosition(0); // longer than the line: its start says how far it has come
}

void CalibrationWindow::finishGuided(Kind kind)
{
    guidedTimer.stop();
    handshakeTimer.stop();
    setBusy(false);
    phase_ = Phase::Polling;
    statusLine->setText(QString());
    if (kind == Kind::Coils) {
        okButton->setEnabled(false);
        okButton->hide();
        showGuidedControls(false);
    }
    correctives->setFramesVisible(true);
    updateControls();
    pollTimer.start();
}

void CalibrationWindow::noteGuidedValue()
{
    const Kind kind = guided_.running();
    if (kind == Kind::None || kind == Kind::Coils) return;
    // what counts as settled: engine speed within 50 rpm, pressure 10 mbar, temperature 1 degree
    const int tolerance = kind == Kind::SwitchingRpm ? 50 : kind == Kind::Pressure ? 10 : 1;
    guidedSteady_.add(guidedValue->text().toInt(), tolerance);
}

QString CalibrationWindow::guidedHint() const
{
    const Kind kind = guided_.running();
    if (phase_ != Phase::Guided || kind == Kind::None) return {};
    // past the trial counts the coils wait for the ECU, not the engine
    if (kind == Kind::Coils && !guided_.tryingCoils()) return {};
    if (state.liveStatus.rpm == 0) return text(guided_texts::kEngineStopped);
    if (kind == Kind::Coils) return {};
    return text(guidedSteady_.steady() ? guided_texts::kSteady : guided_texts::kNotSteady);
}
