#pragma once

#include <QHash>
#include <QList>
#include <QObject>
#include <QString>

#include <functional>

class Form;

// Opens and closes the program's windows and decides which one is active: the one opened last,
// or the one below when that closes, or the one the user clicks. Each window is made once, on
// first use, by the factory registered under its design name.
class Navigator : public QObject {
    Q_OBJECT
public:
    using Factory = std::function<Form*()>;

    void registerWindow(const QString& designName, Factory factory);
    // The window, made if needed; nullptr for a window the program does not have.
    Form* window(const QString& designName);
    template <typename T> T* window(const QString& designName) { return static_cast<T*>(window(designName)); }

    // Loads (if needed), shows and activates; false when there is no such window.
    bool open(const QString& designName);
    void open(Form* form);
    void close(Form* form);

    Form* active() const { return stack_.isEmpty() ? nullptr : stack_.last(); }
    bool isOpen(const QString& designName) const;

    // The user clicked a window of ours that was not the active one.
    void activatedByUser(Form* form);

    // Ends the program, once. Closing the start window does this; tests replace `endProgram`.
    void endTheProgram();
    std::function<void()> endProgram;
    bool programEnded() const { return ended_; }

    Navigator();
    ~Navigator() override;

protected:
    // Clicks decide activation, not window-manager focus: focus coming back from another
    // application is not an activation, and the order stays the same without a window manager.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void makeActive(Form* form);

    QHash<QString, Factory> factories_;
    QHash<QString, Form*> windows_;
    QList<Form*> stack_; // open windows, bottom first
    bool ended_ = false;
};
