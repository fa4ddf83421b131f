#include "ui/common/form.h"

#include "link/input_rule.h"
#include "ui/common/navigator.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QCloseEvent>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

Form::Form(AppContext& context, WindowId id) : QWidget(nullptr), ctx(context), state(context.state), id_(id)
{
    setObjectName(designName(id));
    setAttribute(Qt::WA_DeleteOnClose, false);
    // each loss of the port is a new one, however the last ended
    connect(&ctx.link, &Link::lost, this, [this] {
        linkLostTold_ = false;
        linkLost();
    });
}

void Form::load()
{
    if (loaded_) return;
    loaded_ = true;
    linkLostTold_ = false;
    setWindowFlag(Qt::WindowStaysOnTopHint, true);
    applyCaptions();
    onLoad();
    emit loaded();
}

void Form::activate()
{
    if (loaded_) onActivate();
}

void Form::unload()
{
    if (!loaded_) return;
    loaded_ = false;
    stopTimers();
    onUnload();
    emit unloaded();
    setBusy(false);
    setWindowFlag(Qt::WindowStaysOnTopHint, false);
    hide();
}

void Form::onLinkLost()
{
    setBusy(false);
}

bool Form::sendFrame(const QByteArray& frame)
{
    if (ctx.link.send(frame)) {
        linkLostTold_ = false;
        return true;
    }
    if (state.offlineMode == 0) linkLost();
    return false;
}

bool Form::linkGone() const
{
    return state.offlineMode == 0 && !ctx.link.isOpen();
}

void Form::linkLost()
{
    if (!loaded_ || linkLostTold_) return;
    linkLostTold_ = true;
    onLinkLost();
}

void Form::applyCaptions()
{
    const Language lang = language();
    const Caption* title = nullptr;
    const Caption* offlineTitle = nullptr;
    for (const Caption& caption : captions()) {
        const QLatin1String control(caption.control);
        if (control == QLatin1String(kTitle)) {
            title = &caption;
            continue;
        }
        if (control == QLatin1String(kOfflineTitle)) {
            offlineTitle = &caption;
            continue;
        }
        const QString text = caption.text.in(lang);
        QWidget* widget = findChild<QWidget*>(QString::fromLatin1(caption.control));
        if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
            button->setText(text);
            // a screen reader, or a test, finds an option by what it says
            if (qobject_cast<QRadioButton*>(button) || qobject_cast<QCheckBox*>(button))
                button->setAccessibleName(text);
        } else if (auto* label = qobject_cast<QLabel*>(widget)) {
            label->setText(text);
        } else if (auto* group = qobject_cast<QGroupBox*>(widget)) {
            group->setTitle(text);
        } else if (auto* box = qobject_cast<QLineEdit*>(widget)) {
            box->setText(text);
        } else {
            qFatal("%s has no captioned control %s", qPrintable(objectName()), caption.control);
        }
    }
    if (state.offlineMode == 1 && offlineTitle)
        setWindowTitle(offlineTitle->text.in(lang));
    else if (title)
        setWindowTitle(title->text.in(lang));
}

void Form::applyLanguage()
{
    if (!loaded_) return;
    applyCaptions();
    onLanguageChanged();
    emit languageApplied();
}

void Form::closeForm()
{
    ctx.navigator.close(this);
}

void Form::openWindow(WindowId id)
{
    ctx.navigator.open(id);
}

bool Form::windowOpen(WindowId id) const
{
    return ctx.navigator.isOpen(id);
}

bool Form::windowInFront(WindowId id) const
{
    const Form* front = ctx.navigator.active();
    return front && front->id() == id;
}

void Form::dropTopMost()
{
    if (!(windowFlags() & Qt::WindowStaysOnTopHint)) return;
    // changing the flag hides a shown window: show it again where it was
    const bool shown = isVisible();
    setWindowFlag(Qt::WindowStaysOnTopHint, false);
    if (shown) show();
}

bool Form::windowBuilt(WindowId id) const
{
    static constexpr LocalText notYet{
        "Questa finestra non e' ancora disponibile in questa versione del programma.",
        "This window is not available yet in this version of the program.",
        "Bu pencere programin bu surumunde henuz yok."};
    if (ctx.navigator.has(id)) return true;
    ctx.showMessage(QStringLiteral("ORVANE"), text(notYet));
    return false;
}

void Form::setBusy(bool busy)
{
    if (busy == busy_) return;
    busy_ = busy;
    if (busy)
        setCursor(Qt::WaitCursor);
    else
        unsetCursor();
}

void Form::closeEvent(QCloseEvent* event)
{
    // the title bar's close button closes the window the same way as its EXIT
    if (loaded_) {
        event->ignore();
        requestClose();
        return;
    }
    QWidget::closeEvent(event);
}

void Form::keyPressEvent(QKeyEvent* event)
{
    // Escape leaves as the window's EXIT does, and only while EXIT may be pressed; never the start
    // window, whose EXIT ends the program
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier && id_ != WindowId::Start) {
        const QString exitText = text(shared_texts::exit);
        for (QPushButton* b : findChildren<QPushButton*>()) {
            if (b->text() == exitText && b->isVisible() && b->isEnabled()) {
                b->click();
                return;
            }
        }
    }
    QWidget::keyPressEvent(event);
}

void Form::registerTimer(QTimer& timer, const char* designName, int periodMs)
{
    timer.setParent(this); // a member: it leaves the children before the window deletes them
    timer.setObjectName(QString::fromLatin1(designName));
    timer.setInterval(periodMs);
    timer.setSingleShot(true);
    // coarse timers fire up to 5% early; the ECU's pace and the user's countdowns need the period
    timer.setTimerType(Qt::PreciseTimer);
    timers_.append(&timer);
}

void Form::stopTimers()
{
    for (QTimer* timer : std::as_const(timers_))
        timer->stop();
}

std::optional<long long> Form::readBox(const QLineEdit* box, const FieldRule& rule) const
{
    const BoxReading reading = readWholeNumber(box->text(), rule, language());
    if (!reading.value) ctx.showMessage(reading.refusalTitle, reading.refusal);
    return reading.value;
}
