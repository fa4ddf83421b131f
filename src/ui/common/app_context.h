#pragma once

#include "link/link.h"
#include "link/reply_dispatcher.h"
#include "link/shared_state.h"
#include "link/write_session.h"

#include <QString>

#include <functional>

class Navigator;
class FileDialogs;

// What every window is given: the shared record, the link, the dispatcher's announcements, the
// one write session, the way to other windows, the one message box and the file dialogs.
struct AppContext {
    SharedState& state;
    Link& link;
    ReplyDispatcher& dispatcher;
    // every write to the ECU, one writer at a time
    WriteSession& writes;
    Navigator& navigator;
    FileDialogs* fileDialogs; // tests answer them without a dialog on screen
    // Shows the messages window with this title and text.
    std::function<void(const QString& title, const QString& text)> showMessage;
    // Set when the program serves its own virtual ECU (--simulate), on this device.
    bool simulated = false;
    QString simulatedPort;
    // Opens a recorded drive in the datalog viewer.
    std::function<void(const QString& path)> openDatalog{};
    // Where the language and the port are kept between runs; empty: nothing is kept (tests).
    QString settingsPath{};
    // Puts every text in the language `state.languageIndex` now holds: Qt's own dialogs and every
    // open window.
    std::function<void()> languageChanged;
};

// The port "MENU" opens: a named device when one was chosen, otherwise port 1..4.
QString selectedPortName(const SharedState& state);
