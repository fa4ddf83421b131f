#include "ui/common/navigator.h"

#include "ui/common/form.h"

#include <QCoreApplication>
#include <QEvent>
#include <QWidget>

Navigator::Navigator()
{
    missingWindow = [](WindowId id) {
        qCritical("no window %s", qPrintable(designName(id)));
        Q_ASSERT_X(false, "Navigator", "a window the program does not have");
    };
    if (QCoreApplication::instance()) QCoreApplication::instance()->installEventFilter(this);
}

bool Navigator::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::NonClientAreaMouseButtonPress) {
        if (auto* widget = qobject_cast<QWidget*>(watched)) {
            if (auto* form = qobject_cast<Form*>(widget->window())) activatedByUser(form);
        }
    }
    return QObject::eventFilter(watched, event);
}

void Navigator::endTheProgram()
{
    if (ended_) return;
    ended_ = true;
    if (endProgram) endProgram();
}

void Navigator::registerWindow(WindowId id, Factory factory)
{
    factories_.insert(id, std::move(factory));
}

Navigator::~Navigator()
{
    unloadAll();
    for (Form* form : std::as_const(windows_))
        delete form;
}

Form* Navigator::window(WindowId id)
{
    if (Form* existing = windows_.value(id)) return existing;
    const auto factory = factories_.find(id);
    if (factory == factories_.end()) {
        if (missingWindow) missingWindow(id);
        return nullptr;
    }
    Form* form = (*factory)();
    windows_.insert(id, form);
    return form;
}

void Navigator::unloadAll()
{
    closingDown_ = true;
    // one at a time from the top: an unload may close another window itself
    while (!stack_.isEmpty())
        close(stack_.last());
}

bool Navigator::isOpen(WindowId id) const
{
    const Form* form = windows_.value(id);
    return form && stack_.contains(form);
}

bool Navigator::open(WindowId id)
{
    if (closingDown_) return false;
    Form* form = window(id);
    if (!form) return false;
    open(form);
    return true;
}

void Navigator::open(Form* form)
{
    if (closingDown_) return;
    stack_.removeAll(form);
    stack_.append(form);
    if (!form->isLoaded()) form->load();
    // load() may already have closed it again
    if (!stack_.contains(form)) return;
    form->show();
    form->raise();
    form->activateWindow();
    makeActive(form);
}

void Navigator::close(Form* form)
{
    const bool wasActive = active() == form;
    stack_.removeAll(form);
    form->unload();
    if (wasActive && active() && !closingDown_) {
        Form* below = active();
        below->raise();
        below->activateWindow();
        makeActive(below);
    }
    if (stack_.isEmpty()) endTheProgram();
}

void Navigator::applyLanguage()
{
    // a copy: a window may close itself while it changes
    const QList<Form*> open = stack_;
    for (Form* form : open)
        form->applyLanguage();
}

void Navigator::activatedByUser(Form* form)
{
    if (form == active() || !stack_.contains(form)) return;
    stack_.removeAll(form);
    stack_.append(form);
    makeActive(form);
}

void Navigator::makeActive(Form* form)
{
    form->activate();
}
