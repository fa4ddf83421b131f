#pragma once

#include "link/language.h"
#include "link/write_session.h"

#include <QString>

// What the user is told of a write that did not end confirmed: why it stopped (the reason stays
// with the list, as the one message shows one text), what the ECU confirmed, what went out without
// an answer and may have arrived, and what was not sent, each value by its name.
QString writeReportText(const WriteReport& report, Language language, const QString& portName);

// Why a write cannot begin now: the writer holding the ECU, or the read-back under way.
QString writeRefusalText(const WriteSession& session, Language language);
