#pragma once

#include "link/language.h"
#include "link/write_session.h"

#include <QString>

struct AppContext;

// What the user is told of a write that did not end confirmed: why it stopped (the reason stays
// with the list, as the one message window shows one text), what the ECU confirmed, what went out
// without an answer and may have arrived, and what was not sent, each value by its name.
QString writeReportText(const WriteReport& report, Language language, const QString& portName);

// Why a write cannot begin now: the writer holding the ECU, or the read-back under way.
QString writeRefusalText(const WriteSession& session, Language language);

// Begins a write for a window, or tells the user why not (false). A write that confirms nothing
// still begins: its first tick ends it.
bool beginWrite(AppContext& ctx, const Writer& writer, const std::vector<WriteValue>& values);
// True when nothing holds the ECU and its values are known; otherwise tells the user why not. For
// actions that will write later (a guided or automatic calibration).
bool ecuFreeForWriting(AppContext& ctx);
// Takes the ECU for a command sequence, or tells the user why not (false).
bool claimEcu(AppContext& ctx, const Writer& writer);
// Tells the user of a write that did not end confirmed; nothing for one that did.
void tellWriteEnded(AppContext& ctx, const WriteReport& report);
