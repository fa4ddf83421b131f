#pragma once

#include "link/language.h"
#include "link/link_messages.h"
#include "ui/common/app_context.h"

#include <QString>

class SerialTrace;

// Tells the user, in the messages window and on stderr, when `trace` (writing `path`) stops.
void reportTraceStop(SerialTrace& trace, AppContext& context, const QString& path);
