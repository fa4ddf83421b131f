#include "ui/common/link_messages.h"

#include "ui/common/app_context.h"

namespace {

struct Texts {
    const char* portTitle;
    const char* portText;
    const char* linkTitle;
    const char* linkText;
    const char* noAnswer;
    const char* portClosed;
};

const Texts kTexts[3] = {
    {"ORVANE - Comunicazione",
     "Problemi sulla porta di comunicazione. Chiudere tutte le applicazioni che stanno utilizzando la porta "
     "selezionata e riprovare",
     "ORVANE - Comunicazione",
     "Problemi sulla linea di comunicazione. Controllare i collegamenti e assicurarsi che la centralina sia "
     "alimentata.",
     "la centralina non risponde", "porta non aperta"},
    {"ORVANE - Communication",
     "Problems on communication port. Please close all the applications using the port selected and try "
     "again",
     "ORVANE - Communication",
     "Problems on communication line. Check connections and make sure the ECU is powered.",
     "no answer from the ECU", "port not open"},
    {"", "", "", "", "beyin cevap vermiyor", "port acik degil"},
};

QString withReason(const char* text, const QString& port, const QString& reason)
{
    const QString line = port + QStringLiteral(": ") + reason;
    const QString body = QString::fromUtf8(text);
    return body.isEmpty() ? line : body + QLatin1Char('\n') + line;
}

} // namespace

LinkMessage portProblemMessage(int languageIndex, const QString& port, const QString& reason)
{
    const Texts* t = textsFor(kTexts, languageIndex);
    if (!t) t = &kTexts[0];
    return {QString::fromUtf8(t->portTitle), withReason(t->portText, port, reason)};
}

LinkMessage linkProblemMessage(int languageIndex, const QString& port, const QString& reason)
{
    const Texts* t = textsFor(kTexts, languageIndex);
    if (!t) t = &kTexts[0];
    return {QString::fromUtf8(t->linkTitle), withReason(t->linkText, port, reason)};
}

QString noAnswerReason(int languageIndex)
{
    const Texts* t = textsFor(kTexts, languageIndex);
    return QString::fromUtf8((t ? t : &kTexts[0])->noAnswer);
}

QString portClosedReason(int languageIndex)
{
    const Texts* t = textsFor(kTexts, languageIndex);
    return QString::fromUtf8((t ? t : &kTexts[0])->portClosed);
}
