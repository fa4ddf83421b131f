#pragma once

#include "ui/common/window_id.h"

#include <QHash>
#include <QList>
#include <QObject>

#include <functional>

class Form;

// Opens and closes the program's windows and decides which one is active: the one opened last,
// or the one below when that closes, or the one the user clicks. Each window is made once, on
// first use, by the factory registered under its id.
class Navigator : public QObject {
    Q_OBJECT
public:
    using Factory = std::function<Form*()>;

    Navigator();
    ~Navigator() override;

    void registerWindow(WindowId id, Factory factory);
    bool has(WindowId id) const { return factories_.contains(id); }
    // The window, made if needed. Asking for one the program does not have is a programming error:
    // `missingWindow` is told, and the answer is nullptr.
    Form* window(WindowId id);
    template <typename T> T* window(WindowId id) { return static_cast<T*>(window(id)); }

    // Loads (if needed), shows and activates; false when there is no such window.
    bool open(WindowId id);
    void open(Form* form);
    void close(Form* form);

    Form* active() const { return stack_.isEmpty() ? nullptr : stack_.last(); }
    // Every open window takes the language now chosen, at once.
    void applyLanguage();
    bool isOpen(WindowId id) const;

    // The user clicked a window of ours that was not the active one.
    void activatedByUser(Form* form);

    // Ends the program, once. Closing the start window does this; tests replace `endProgram`.
    void endTheProgram();
    // The program is going: every window still open is unloaded, front-most first, as its EXIT
    // would, without activating the ones below; from then on nothing opens (a message box shown
    // then would wait for nobody). Done once, before the windows or their context are deleted.
    void unloadAll();
    bool closingDown() const { return closingDown_; }
    std::function<void()> endProgram;
    bool programEnded() const { return ended_; }

    // Stops a debug build at once; tests replace it to see the error.
    std::function<void(WindowId)> missingWindow;

protected:
    // Clicks decide activation, not window-manager focus: focus coming back from another
    // application is not an activation, and the order stays the same without a window manager.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void makeActive(Form* form);

    QHash<WindowId, Factory> factories_;
    QHash<WindowId, Form*> windows_;
    QList<Form*> stack_; // open windows, bottom first
    bool ended_ = false;
    bool closingDown_ = false;
};
