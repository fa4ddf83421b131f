#pragma once

#include "link/link.h"
#include "link/reply_dispatcher.h"
#include "link/shared_state.h"

#include <QString>

#include <functional>

class Navigator;

// What every window is given: the shared record, the link, the dispatcher's announcements, the
// way to other windows, and the one message box.
struct AppContext {
    SharedState& state;
    Link& link;
    ReplyDispatcher& dispatcher;
    Navigator& navigator;
    // Shows the messages window with this title and text.
    std::function<void(const QString& title, const QString& text)> showMessage;
    // Set when the program serves its own virtual ECU (--simulate), on this device.
    bool simulated = false;
    QString simulatedPort;
};

// The port "MENU" opens: a named device when one was chosen, otherwise port 1..4.
QString selectedPortName(const SharedState& state);

// Picks the texts of `languageIndex` (1..3) from a window's three columns; nullptr for any other
// value, so the window keeps its design (Italian) texts.
template <typename Texts> const Texts* textsFor(const Texts (&columns)[3], int languageIndex)
{
    if (languageIndex < 1 || languageIndex > 3) return nullptr;
    return &columns[languageIndex - 1];
}
