#include "ui/params/parameter_page.h"

#include "link/frames.h"
#include "ui/common/colours.h"
#include "ui/common/widgets.h"
#include "ui/common/write_report.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

ParameterPage::ParameterPage(AppContext& context, WindowId id, int writePeriodMs) : Form(context, id)
{
    setUpTimer(writeTimer, "Timer1", writePeriodMs, &ParameterPage::writeTick);
    connect(&ctx.dispatcher, &ReplyDispatcher::parameterConfirmed, this,
            &ParameterPage::onParameterConfirmed);
    connect(&ctx.writes, &WriteSession::progressed, this, [this] {
        if (writing_) writeLine_->setText(ctx.writes.progressLine(language()));
    });
    connect(&ctx.writes, &WriteSession::ended, this, &ParameterPage::onWriteEnded);
    // the ECU's values read again after a write that did not complete
    connect(&ctx.writes, &WriteSession::ecuVerified, this, [this] {
        if (isLoaded() && !writing_) onActivate();
    });
}

void ParameterPage::bindFields(std::span<const PageField> fields, const PageControls& controls)
{
    const auto find = [this](const char* name) {
        auto* widget = findChild<QWidget*>(QString::fromLatin1(name));
        if (!widget) qFatal("%s has no control %s", qPrintable(objectName()), name);
        return widget;
    };
    for (const PageField& field : fields) {
        Bound bound{&field, {}};
        if (field.kind == PageField::Kind::Box) {
            auto* box = qobject_cast<QLineEdit*>(find(field.controls[0]));
            connect(box, &QLineEdit::textEdited, this, [this, id = field.parameterId] { markEdited(id); });
        }
        for (const char* name : field.controls) {
            if (!name) break;
            if (field.kind == PageField::Kind::Box) continue;
            auto* button = qobject_cast<QAbstractButton*>(find(name));
            bound.controls.push_back(button);
            connect(button, &QAbstractButton::clicked, this, [this, id = field.parameterId] {
                markEdited(id);
                for (Bound& b : bound_)
                    if (b.field->parameterId == id) colourOptions(b);
            });
        }
        bound_.push_back(std::move(bound));
        order_.push_back(field.parameterId);
    }
    readMode_ = qobject_cast<QRadioButton*>(find(controls.readMode));
    writeMode_ = qobject_cast<QRadioButton*>(find(controls.writeMode));
    writeButton_ = qobject_cast<QPushButton*>(find(controls.writeButton));
    writeLine_ = qobject_cast<QLabel*>(find("WriteLine"));
    connect(readMode_, &QRadioButton::clicked, this, [this] {
        dropEdits();
        setWriteMode(false);
    });
    connect(writeMode_, &QRadioButton::clicked, this, [this] { setWriteMode(true); });
    connect(writeButton_, &QPushButton::clicked, this, &ParameterPage::pressWrite);
    connect(qobject_cast<QPushButton*>(find(controls.exitButton)), &QPushButton::clicked, this,
            &Form::closeForm);
}

void ParameterPage::onLoad()
{
    writing_ = false;
    writeLine_->clear();
    const bool connected = state.offlineMode == 0;
    readMode_->setEnabled(connected);
    writeMode_->setEnabled(connected);
    readMode_->setChecked(true);
    setWriteMode(false);
}

void ParameterPage::onActivate()
{
    // Coming back from the message that refused one box must not wipe the others the user typed:
    // in write mode, what was changed stays.
    for (Bound& bound : bound_) {
        if (bound.touched && writeButton_->isEnabled()) continue;
        show(bound, state.parameterValues[bound.field->parameterId]);
        bound.touched = false;
    }
}

void ParameterPage::dropEdits()
{
    // read mode shows what the ECU holds, not what was typed and never sent
    for (Bound& bound : bound_) {
        bound.touched = false;
        show(bound, state.parameterValues[bound.field->parameterId]);
    }
}

void ParameterPage::markEdited(int parameterId)
{
    for (Bound& bound : bound_)
        if (bound.field->parameterId == parameterId) bound.touched = true;
}

bool ParameterPage::isEdited(int parameterId) const
{
    for (const Bound& bound : bound_)
        if (bound.field->parameterId == parameterId) return bound.touched;
    return false;
}

void ParameterPage::show(Bound& bound, int value)
{
    switch (bound.field->kind) {
    case PageField::Kind::Box:
        findChild<QLineEdit*>(QString::fromLatin1(bound.field->controls[0]))->setText(QString::number(value));
        break;
    case PageField::Kind::Options: {
        // a value with no option selects none: exclusive groups cannot show that, so drop it a moment
        for (size_t i = 0; i < bound.controls.size(); ++i) {
            QAbstractButton* option = bound.controls[i];
            const bool exclusive = option->autoExclusive();
            option->setAutoExclusive(false);
            option->setChecked(static_cast<int>(i) == value);
            option->setAutoExclusive(exclusive);
        }
        colourOptions(bound);
        break;
    }
    case PageField::Kind::Check:
        bound.controls[0]->setChecked(value == 1);
        break;
    }
}

void ParameterPage::colourOptions(Bound& bound)
{
    if (bound.field->kind != PageField::Kind::Options) return;
    // every colour group: a locked option keeps the colour that says which one the ECU holds
    for (QAbstractButton* option : bound.controls) {
        QPalette palette = option->palette();
        palette.setColor(QPalette::WindowText,
                         option->isChecked() ? colours::selectedOption : colours::otherOption);
        option->setPalette(palette);
    }
}

void ParameterPage::setWriteMode(bool on)
{
    for (Bound& bound : bound_) {
        if (bound.field->kind == PageField::Kind::Box)
            showLocked(findChild<QLineEdit*>(QString::fromLatin1(bound.field->controls[0])), !on);
        for (QAbstractButton* control : bound.controls)
            control->setEnabled(on);
    }
    writeButton_->setEnabled(on && !writing_);
}

int ParameterPage::requestedValue(const Bound& bound, const std::optional<long long>& typed) const
{
    const int id = bound.field->parameterId;
    // what the user did not change asks for what the ECU holds, never for a value the control
    // could not show
    if (!bound.touched) return state.parameterValues[id];
    switch (bound.field->kind) {
    case PageField::Kind::Box:
        return static_cast<int>(*typed);
    case PageField::Kind::Options:
        for (size_t i = 0; i < bound.controls.size(); ++i)
            if (bound.controls[i]->isChecked()) return static_cast<int>(i);
        return state.parameterValues[id];
    case PageField::Kind::Check:
        return bound.controls[0]->isChecked() ? 1 : 0;
    }
    return state.parameterValues[id];
}

void ParameterPage::pressWrite()
{
    // every typed value is read first: one refused box sends nothing at all
    std::vector<std::optional<long long>> typed(bound_.size());
    for (size_t i = 0; i < bound_.size(); ++i) {
        const Bound& bound = bound_[i];
        if (bound.field->kind != PageField::Kind::Box || !bound.touched) continue;
        typed[i] =
            readBox(findChild<QLineEdit*>(QString::fromLatin1(bound.field->controls[0])), bound.field->rule);
        if (!typed[i]) return;
    }
    std::vector<WriteValue> values;
    for (size_t i = 0; i < bound_.size(); ++i)
        values.push_back({{false, bound_[i].field->parameterId}, requestedValue(bound_[i], typed[i])});
    startWalk(values);
}

void ParameterPage::writeOnly(int parameterId, int value)
{
    std::vector<WriteValue> values;
    for (const Bound& bound : bound_) {
        const int id = bound.field->parameterId;
        values.push_back({{false, id}, id == parameterId ? value : state.parameterValues[id]});
    }
    startWalk(values);
}

Writer ParameterPage::writer() const
{
    for (const Caption& caption : captions())
        if (qstrcmp(caption.control, kTitle) == 0) return {this, caption.text};
    return {this, LocalText{"ORVANE"}};
}

void ParameterPage::startWalk(const std::vector<WriteValue>& values)
{
    if (!beginWrite(ctx, writer(), values)) return;
    // locked while the walk runs: nothing typed now could go out, so nothing may be typed
    setWriteMode(false);
    readMode_->setEnabled(false);
    writeMode_->setEnabled(false);
    setBusy(true);
    writing_ = true;
    writeLine_->setText(ctx.writes.progressLine(language()));
    onWriteStarted();
    writeTimer.start();
}

void ParameterPage::writeTick()
{
    writeTimer.stop();
    // a tick left over from before EXIT has nothing to finish; the end comes from the session
    if (writing_ && ctx.writes.ownedBy(this) && ctx.writes.tick()) writeTimer.start();
}

void ParameterPage::onWriteEnded(const WriteReport& report)
{
    if (report.writer.owner != this) return;
    writeTimer.stop();
    writing_ = false;
    writeLine_->clear();
    setBusy(false);
    if (!isLoaded()) {
        tellWriteEnded(ctx, report);
        return;
    }
    setWriteMode(false);
    // a port that went away comes back with "MENU": write mode stays on offer, a write is refused until then
    const bool connected = state.offlineMode == 0;
    readMode_->setEnabled(connected);
    writeMode_->setEnabled(connected);
    readMode_->setChecked(true);
    dropEdits();
    tellWriteEnded(ctx, report);
    if (report.complete()) onWriteComplete();
}

void ParameterPage::onLanguageChanged()
{
    if (writing_) writeLine_->setText(ctx.writes.progressLine(language()));
}

void ParameterPage::onUnload()
{
    // leaving mid-write: nothing more goes out, and the user is told what the ECU did not take
    if (writing_ && ctx.writes.ownedBy(this)) ctx.writes.abandon();
    writing_ = false;
}

void ParameterPage::onParameterConfirmed(int id, int value)
{
    if (!isLoaded()) return;
    for (Bound& bound : bound_) {
        if (bound.field->parameterId != id) continue;
        show(bound, value);
        bound.touched = false;
    }
}
