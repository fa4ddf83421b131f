#include "ui/common/trace_messages.h"

#include "link/serial_trace.h"

#include <cstdio>

void reportTraceStop(SerialTrace& trace, AppContext& context, const QString& path)
{
    // queued from the trace's writer thread to this one
    QObject::connect(
        &trace, &SerialTrace::failed, &context.dispatcher, [&context, path](const QString& reason) {
            std::fprintf(stderr, "orvane: trace stopped: %s\n", qPrintable(reason));
            const LinkMessage m = traceStoppedMessage(languageOf(context.state.languageIndex), path, reason);
            context.showMessage(m.title, m.text);
        });
}
