#pragma once

#include <QString>

// The two messages about the line, shown by the start window, the main menu and the program when
// a port goes away. Turkish has no text of its own; the reason line still tells what happened.
struct LinkMessage {
    QString title;
    QString text;
};

// The port could not be opened (missing, busy, not permitted, settings refused).
LinkMessage portProblemMessage(int languageIndex, const QString& port, const QString& reason);

// The ECU does not answer, or the port went away while open.
LinkMessage linkProblemMessage(int languageIndex, const QString& port, const QString& reason);

// "no answer from the ECU" in the language, for the reason line of a silent ECU.
QString noAnswerReason(int languageIndex);

// "port not open" in the language: a request while no port was ever opened (not connected).
QString portClosedReason(int languageIndex);
