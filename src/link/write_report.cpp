#include "link/write_report.h"

#include "link/link_messages.h"

#include <QStringList>

namespace {

constexpr LocalText kStopped{"%1: scrittura interrotta (%2).", "%1: writing stopped (%2).",
                             "%1: yazma durduruldu (%2)."};
constexpr LocalText kByUser{"fermata dall'utente", "stopped by the user", "kullanici tarafindan durduruldu"};
constexpr LocalText kSilent{"; la centralina non aveva confermato %1, inviato %2 volte",
                            "; the ECU had not confirmed %1, sent %2 times",
                            "; beyin %1 degerini onaylamamisti, %2 kez gonderildi"};
constexpr LocalText kConfirmed{"Confermati dalla centralina: %1 di %2 valori.",
                               "Confirmed by the ECU: %1 of %2 values.",
                               "Beyin tarafindan onaylanan: %2 degerden %1."};
constexpr LocalText kMaybe{"Inviato ma non confermato (la centralina potrebbe averlo ricevuto): %1",
                           "Sent but not confirmed (the ECU may have received it): %1",
                           "Gonderildi ama onaylanmadi (beyin almis olabilir): %1"};
constexpr LocalText kNotSent{
    "NON inviati alla centralina (%1):", "NOT sent to the ECU (%1):", "Beyne GONDERILMEDI (%1):"};
constexpr LocalText kMore{"... e altri %1", "... and %1 more", "... ve %1 tane daha"};
constexpr LocalText kReading{"I valori della centralina vengono riletti.",
                             "The ECU's values are being read again.", "Beyin degerleri yeniden okunuyor."};
constexpr LocalText kReadOnMenu{"I valori della centralina saranno riletti alla prossima connessione (MENU).",
                                "The ECU's values will be read again at the next connection (MENU).",
                                "Beyin degerleri bir sonraki baglantida (MENU) yeniden okunacak."};
constexpr LocalText kBusy{"Scrittura non avviata: e' in corso \"%1\". Attendere la fine o interromperla.",
                          "Writing not started: \"%1\" is under way. Wait for it to end or stop it.",
                          "Yazma baslatilmadi: \"%1\" devam ediyor. Bitmesini bekleyin veya durdurun."};
constexpr LocalText kUnverified{
    "Scrittura non avviata: i valori della centralina vengono riletti dopo una scrittura non completata. "
    "Riprovare tra qualche secondo (se la porta e' stata scollegata: ricollegarla e premere MENU).",
    "Writing not started: the ECU's values are being read again after a write that did not complete. "
    "Try again in a few seconds (if the port was unplugged: plug it back and press MENU).",
    "Yazma baslatilmadi: tamamlanmayan bir yazmadan sonra beyin degerleri yeniden okunuyor. Birkac saniye "
    "sonra tekrar deneyin (port cikarildiysa: takin ve MENU'ye basin)."};

QString listed(const std::vector<WriteItem>& items, Language language)
{
    constexpr size_t kListed = 20;
    QStringList lines;
    for (size_t i = 0; i < items.size() && i < kListed; ++i)
        lines << writeItemLabel(items[i], language);
    if (items.size() > kListed) lines << kMore.in(language).arg(items.size() - kListed);
    return lines.join(QLatin1Char('\n'));
}

} // namespace

QString writeReportText(const WriteReport& report, Language language, const QString& portName)
{
    QString reason;
    if (report.end == WriteReport::End::PortLost)
        reason = portName + QStringLiteral(": ") + linkProblemReason(language, report.problem);
    else if (report.end == WriteReport::End::Unanswered)
        reason = portName + QStringLiteral(": ") + linkProblemReason(language, LinkProblem::NoAnswer);
    else
        reason = kByUser.in(language);
    if (report.end != WriteReport::End::PortLost && report.ecuSilent && !report.maybeArrived.empty())
        reason += kSilent.in(language).arg(writeItemLabel(report.maybeArrived.front(), language),
                                           QString::number(report.sendsOfLast));
    QStringList parts;
    parts << kStopped.in(language).arg(report.writer.name.in(language), reason);
    parts << kConfirmed.in(language).arg(QString::number(report.confirmed.size()),
                                         QString::number(report.toWrite));
    if (!report.maybeArrived.empty()) parts << kMaybe.in(language).arg(listed(report.maybeArrived, language));
    if (!report.notSent.empty())
        parts << kNotSent.in(language).arg(report.notSent.size()) + QLatin1Char('\n') +
                     listed(report.notSent, language);
    parts << (report.end == WriteReport::End::PortLost ? kReadOnMenu : kReading).in(language);
    return parts.join(QLatin1Char('\n'));
}

QString writeRefusalText(const WriteSession& session, Language language)
{
    if (session.busy()) return kBusy.in(language).arg(session.holderName(language));
    return kUnverified.in(language);
}
