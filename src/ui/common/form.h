#pragma once

#include "ui/common/app_context.h"

#include <QWidget>

class QTimer;

// A window of the program. It is loaded when it opens, activated each time it becomes the active
// window of this program, unloaded when it closes; the Navigator drives all three, so the order
// does not depend on a window manager. Stays on top while open.
class Form : public QWidget {
    Q_OBJECT
public:
    Form(AppContext& context, const QString& designName);

    bool isLoaded() const { return loaded_; }

    // Called by the Navigator only.
    void load();
    void activate();
    void unload();

protected:
    virtual void onLoad() {}
    virtual void onActivate() {}
    virtual void onUnload() {}

    // Closes this window as its EXIT button does; the window below becomes active.
    void closeForm();
    // Hourglass over this window while it waits for the ECU.
    void setBusy(bool busy);
    // A window timer: named by its design name, single-shot (each tick restarts it when work
    // remains), owned by this window so tests find it by name.
    void setUpTimer(QTimer& timer, const char* designName, int periodMs);

    void closeEvent(QCloseEvent* event) override;

    AppContext& ctx;
    SharedState& state;

private:
    bool loaded_ = false;
    bool busy_ = false;
};
