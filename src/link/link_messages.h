#pragma once

#include "link/language.h"
#include "link/link.h"

#include <QString>

// The two messages about the line, shown by the start window, the main menu and the program when
// a port goes away, each with a line "port: reason" in the user's language. Turkish has no message
// text of its own; the reason line still tells what happened.
struct LinkMessage {
    QString title;
    QString text;
};

// The port could not be opened (missing, busy, not permitted, settings refused). `detail` is the
// settings text or the system's words, where the problem needs them.
LinkMessage portProblemMessage(Language language, const QString& port, LinkProblem problem,
                               const QString& detail = QString());

// The ECU does not answer, or the port went away while open.
LinkMessage linkProblemMessage(Language language, const QString& port, LinkProblem problem,
                               const QString& detail = QString());

// The reason line's reason: "no such port", "no answer from the ECU" ...
QString linkProblemReason(Language language, LinkProblem problem, const QString& detail = QString());

// The trace file of the serial line could not be written any more: the trace has stopped, the
// link goes on. `reason` is the system's words.
LinkMessage traceStoppedMessage(Language language, const QString& path, const QString& reason);
