#pragma once

#include "ui/common/app_context.h"
#include "ui/common/captions.h"
#include "ui/common/window_id.h"

#include <QList>
#include <QTimer>
#include <QWidget>

#include <optional>
#include <span>

class QLineEdit;
struct FieldRule;

// A window of the program. It is loaded when it opens, activated each time it becomes the active
// window of this program, unloaded when it closes; the Navigator drives all three, so the order
// does not depend on a window manager. Stays on top while open. A window declares its captions
// and timers; this base applies the one and stops the other.
class Form : public QWidget {
    Q_OBJECT
public:
    Form(AppContext& context, WindowId id);

    WindowId id() const { return id_; }
    bool isLoaded() const { return loaded_; }

    // Called by the Navigator only.
    void load();
    void activate();
    void unload();

    // Closes this window as its EXIT button does; the window below becomes active.
    void closeForm();
    // Sets the title and every caption in the language now chosen.
    void applyCaptions();
    // The language changed while the window is open: captions, and what the window wrote itself.
    void applyLanguage();
    // The window's timers, for the tests that check none runs after the window closed.
    const QList<QTimer*>& timers() const { return timers_; }

signals:
    // The window has taken a new language: what it holds that words itself follows.
    void languageApplied();
    // After the window's own load, and after its own unload (before it hides): watchers of a
    // window's life use these, never its show and hide events.
    void loaded();
    void unloaded();

protected:
    virtual void onLoad() {}
    virtual void onActivate() {}
    virtual void onUnload() {}
    // After the captions, when the language changes while the window is open: the texts the
    // window sets itself (status lines, titles it words) in the new language.
    virtual void onLanguageChanged() {}
    // The window's captions: control design name (or kTitle, kOfflineTitle) -> three texts.
    virtual std::span<const Caption> captions() const { return {}; }
    // The title bar's close button: as EXIT, unless a window must first tell the ECU it leaves.
    virtual void requestClose() { closeForm(); }
    // The line to the ECU went away while the window is open: the port was lost, or a frame could
    // not go out on a connection. Called once per loss. The program itself shows why, in the
    // messages window; the default stops waiting for the ECU (no busy pointer). A window that
    // was doing something with the ECU extends it to end that.
    virtual void onLinkLost();

    // Sends a frame to the ECU; false when it could not go out, after onLinkLost() on a connection.
    bool sendFrame(const QByteArray& frame);
    // Connected, yet no port is open: nothing sent can reach the ECU.
    bool linkGone() const;

    Language language() const { return languageOf(state.languageIndex); }
    QString text(const LocalText& local) const { return local.in(language()); }

    // Opens another window of the program (programming error if it has none by that id).
    void openWindow(WindowId id);
    bool windowOpen(WindowId id) const;
    // open and the one in front
    bool windowInFront(WindowId id) const;
    // False, after telling the user, for a window this build does not have yet.
    bool windowBuilt(WindowId id) const;
    // Lets other programs' windows come over this one (it is top-most from its load on).
    void dropTopMost();
    // Hourglass over this window while it waits for the ECU.
    void setBusy(bool busy);
    // A window timer: named by its design name, single-shot (each tick restarts it when work
    // remains), precise, stopped when the window closes.
    template <typename Window>
    void setUpTimer(QTimer& timer, const char* designName, int periodMs, void (Window::*tick)())
    {
        registerTimer(timer, designName, periodMs);
        connect(&timer, &QTimer::timeout, static_cast<Window*>(this), tick);
    }
    void stopTimers();

    // The whole number a box holds within `rule`, or a message naming the field and nothing.
    std::optional<long long> readBox(const QLineEdit* box, const FieldRule& rule) const;

    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

    AppContext& ctx;
    SharedState& state;

private:
    void registerTimer(QTimer& timer, const char* designName, int periodMs);
    void linkLost();

    WindowId id_;
    QList<QTimer*> timers_;
    bool loaded_ = false;
    bool busy_ = false;
    bool linkLostTold_ = false; // onLinkLost() ran for this loss
};
