#pragma once

#include "link/language.h"
#include "ui/common/app_context.h"
#include "ui/common/link_messages.h"

#include <QString>

class SerialTrace;

// The trace file of the serial line could not be written any more: the trace has stopped, the
// link goes on. `reason` is the system's words.
LinkMessage traceStoppedMessage(Language language, const QString& path, const QString& reason);

// Tells the user, in the messages window and on stderr, when `trace` (writing `path`) stops.
void reportTraceStop(SerialTrace& trace, AppContext& context, const QString& path);
