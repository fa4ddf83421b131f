#pragma once

#include "link/link.h"
#include "link/reply_dispatcher.h"
#include "link/shared_state.h"
#include "ui/common/app_context.h"
#include "ui/common/file_dialogs.h"
#include "ui/common/navigator.h"
#include "ui/common/qt_translations.h"

#include <QObject>

// The program's objects, wired: shared state, dispatcher, windows, on whatever Link it is given
// (a SerialLink in the program, the same or a fake in tests).
class Application : public QObject {
    Q_OBJECT
public:
    explicit Application(Link& link);
    // Unloads the windows still open while everything they use is still there.
    ~Application() override;

    // Shows the start window.
    void start();

    SharedState state;
    ReplyDispatcher dispatcher;
    WriteSession writeSession;
    Navigator navigator;
    SystemFileDialogs systemFileDialogs;
    QtTranslations qtTranslations;
    AppContext context;

private:
    void onLinkLost(LinkProblem problem);
};
