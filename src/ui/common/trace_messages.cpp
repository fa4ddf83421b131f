#include "ui/common/trace_messages.h"

namespace {
constexpr LocalText kTitle{"ORVANE - Traccia", "ORVANE - Trace", "ORVANE - Kayit"};
constexpr LocalText kText{
    "La traccia della linea seriale si e' fermata: il file non si puo' piu' scrivere. La comunicazione "
    "con la centralina continua.",
    "The serial line trace has stopped: its file can no longer be written. Communication with the ECU "
    "goes on.",
    "Seri hat kaydi durdu: dosyasina artik yazilamiyor. Beyin ile iletisim devam ediyor."};
} // namespace

LinkMessage traceStoppedMessage(Language language, const QString& path, const QString& reason)
{
    const QString shownPath = path.size() > 80 ? QStringLiteral("...") + path.right(77) : path;
    return {kTitle.in(language),
            kText.in(language) + QLatin1Char('\n') + shownPath + QStringLiteral(": ") + reason};
}
