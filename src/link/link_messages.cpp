#include "link/link_messages.h"

#include "link/serial_trace.h"

namespace {

constexpr LocalText kTitle{"ORVANE - Comunicazione", "ORVANE - Communication", ""};
constexpr LocalText kPortText{
    "Problemi sulla porta di comunicazione. Chiudere tutte le applicazioni che stanno utilizzando la porta "
    "selezionata e riprovare",
    "Problems on communication port. Please close all the applications using the port selected and try again",
    ""};
constexpr LocalText kSettingsText{
    "La porta selezionata non accetta queste impostazioni. Sceglierne altre con \"Parametri seriale\".",
    "The selected port does not accept these settings. Choose others with \"Serial parameters\".",
    "Secilen port bu ayarlari kabul etmiyor. \"PC'e Baglanma Sekli\" ile baska ayarlar secin."};
constexpr LocalText kNoSuchPortText{"Scegliere la porta della centralina con \"Parametri seriale\".",
                                    "Choose the ECU's port with \"Serial parameters\".",
                                    "Beynin portunu \"PC'e Baglanma Sekli\" ile secin."};
// the commonest reason on Linux: serial devices belong to the dialout group
constexpr LocalText kDialoutHint{
    "Su Linux, se nessun altro programma usa la porta: aggiungere l'utente al gruppo dialout "
    "(sudo adduser $USER dialout) e accedere di nuovo.",
    "On Linux, if no other program uses the port: add the user to the dialout group "
    "(sudo adduser $USER dialout) and log in again.",
    "Linux'ta, portu baska bir program kullanmiyorsa: kullaniciyi dialout grubuna ekleyin "
    "(sudo adduser $USER dialout) ve yeniden oturum acin."};
constexpr LocalText kLinkText{
    "Problemi sulla linea di comunicazione. Controllare i collegamenti e assicurarsi che la centralina sia "
    "alimentata.",
    "Problems on communication line. Check connections and make sure the ECU is powered.", ""};

LocalText reasonText(LinkProblem problem)
{
    switch (problem) {
    case LinkProblem::PortMissing:
        return {"porta inesistente", "no such port", "boyle bir port yok"};
    case LinkProblem::PortBusy:
        return {"porta gia' aperta", "port already open", "port zaten acik"};
    case LinkProblem::NoPermission:
        return {"accesso negato o porta usata da un altro programma",
                "access denied or port used by another program",
                "erisim reddedildi veya port baska bir program tarafindan kullaniliyor"};
    case LinkProblem::SettingsRefused:
        return {"impostazioni non accettate: %1", "settings not accepted: %1", "ayarlar kabul edilmedi: %1"};
    case LinkProblem::NameTooLong:
        return {"nome della porta troppo lungo", "port name too long", "port adi cok uzun"};
    case LinkProblem::DeviceRemoved:
        return {"dispositivo scollegato", "device removed", "cihaz cikarildi"};
    case LinkProblem::ReadFailed:
        return {"errore di lettura", "read error", "okuma hatasi"};
    case LinkProblem::WriteFailed:
        return {"errore di scrittura", "write error", "yazma hatasi"};
    case LinkProblem::NoAnswer:
        return {"la centralina non risponde", "no answer from the ECU", "beyin cevap vermiyor"};
    case LinkProblem::PortNotOpen:
        return {"porta non aperta", "port not open", "port acik degil"};
    case LinkProblem::None:
    case LinkProblem::Other:
        break;
    }
    return {"errore della porta: %1", "port error: %1", "port hatasi: %1"};
}

LinkMessage compose(Language language, const LocalText& text, const QString& port, LinkProblem problem,
                    const QString& detail)
{
    // a name no device has (a mistyped 4000-character --port) must not fill the window
    const QString shownPort = port.size() > 80 ? port.left(77) + QStringLiteral("...") : port;
    const QString line = shownPort + QStringLiteral(": ") + linkProblemReason(language, problem, detail);
    const QString body = text.in(language);
    // the reason first: what to do about it follows
    return {kTitle.in(language), body.isEmpty() ? line : line + QLatin1Char('\n') + body};
}

namespace trace_texts {
constexpr LocalText kTitle{"ORVANE - Traccia", "ORVANE - Trace", "ORVANE - Kayit"};
constexpr LocalText kText{
    "La traccia della linea seriale si e' fermata: il file non si puo' piu' scrivere. La comunicazione "
    "con la centralina continua.",
    "The serial line trace has stopped: its file can no longer be written. Communication with the ECU "
    "goes on.",
    "Seri hat kaydi durdu: dosyasina artik yazilamiyor. Beyin ile iletisim devam ediyor."};
constexpr LocalText kDiskFull{"disco pieno", "disk full", "disk dolu"};
} // namespace trace_texts

} // namespace

QString linkProblemReason(Language language, LinkProblem problem, const QString& detail)
{
    QString reason = reasonText(problem).in(language);
    if (reason.contains(QLatin1String("%1"))) reason = reason.arg(detail);
    return reason;
}

LinkMessage portProblemMessage(Language language, const QString& port, LinkProblem problem,
                               const QString& detail)
{
    const bool noSuchPort = problem == LinkProblem::PortMissing || problem == LinkProblem::NameTooLong;
    LinkMessage m = compose(language,
                            problem == LinkProblem::SettingsRefused ? kSettingsText
                            : noSuchPort                            ? kNoSuchPortText
                                                                    : kPortText,
                            port, problem, detail);
#ifdef Q_OS_LINUX
    if (problem == LinkProblem::NoPermission) m.text += QLatin1Char('\n') + kDialoutHint.in(language);
#endif
    return m;
}

LinkMessage linkProblemMessage(Language language, const QString& port, LinkProblem problem,
                               const QString& detail)
{
    return compose(language, kLinkText, port, problem, detail);
}

LinkMessage traceStoppedMessage(Language language, const QString& path, const QString& reason)
{
    const QString shownPath = path.size() > 80 ? QStringLiteral("...") + path.right(77) : path;
    return {
        trace_texts::kTitle.in(language),
        trace_texts::kText.in(language) + QLatin1Char('\n') + shownPath + QStringLiteral(": ") +
            (reason == QLatin1String(SerialTrace::kDiskFull) ? trace_texts::kDiskFull.in(language) : reason)};
}
