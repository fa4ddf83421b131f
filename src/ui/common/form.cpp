#include "ui/common/form.h"

#include "ui/common/navigator.h"

#include <QCloseEvent>
#include <QTimer>

Form::Form(AppContext& context, const QString& designName)
    : QWidget(nullptr), ctx(context), state(context.state)
{
    setObjectName(designName);
    setAttribute(Qt::WA_DeleteOnClose, false);
}

void Form::load()
{
    if (loaded_) return;
    loaded_ = true;
    setWindowFlag(Qt::WindowStaysOnTopHint, true);
    onLoad();
}

void Form::activate()
{
    if (loaded_) onActivate();
}

void Form::unload()
{
    if (!loaded_) return;
    loaded_ = false;
    onUnload();
    setBusy(false);
    setWindowFlag(Qt::WindowStaysOnTopHint, false);
    hide();
}

void Form::closeForm()
{
    ctx.navigator.close(this);
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
        closeForm();
        return;
    }
    QWidget::closeEvent(event);
}

void Form::setUpTimer(QTimer& timer, const char* designName, int periodMs)
{
    timer.setParent(this); // a member: it leaves the children before the window deletes them
    timer.setObjectName(QString::fromLatin1(designName));
    timer.setInterval(periodMs);
    timer.setSingleShot(true);
}
