#include "ui/common/trace_messages.h"

#include "link/serial_trace.h"

#include <cstdio>

namespace {
constexpr LocalText kTitle{"ORVANE - Traccia", "ORVANE - Trace", "ORVANE - Kayit"};
constexpr LocalText kText{
    "La traccia della linea seriale si e' fermata: il file non si puo' piu' scrivere. La comunicazione "
    "con la centralina continua.",
    "The serial line trace has stopped: its file can no longer be written. Communication with the ECU "
    "goes on.",
    "Seri hat kaydi durdu: dosyasina artik yazilamiyor. Beyin ile iletisim devam ediyor."};
constexpr LocalText kDiskFull{"disco pieno", "disk full", "disk dolu"};
} // namespace

LinkMessage traceStoppedMessage(Language language, const QString& path, const QString& reason)
{
    const QString shownPath = path.size() > 80 ? QStringLiteral("...") + path.right(77) : path;
    return {kTitle.in(language),
            kText.in(language) + QLatin1Char('\n') + shownPath + QStringLiteral(": ") +
                (reason == QLatin1String(SerialTrace::kDiskFull) ? kDiskFull.in(language) : reason)};
}

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
