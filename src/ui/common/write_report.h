#pragma once

#include "link/write_report.h"

#include <QString>

struct AppContext;

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
