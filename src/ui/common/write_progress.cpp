#include "ui/common/write_progress.h"

#include "link/parameter_catalogue.h"

void WriteProgress::begin(int toWrite)
{
    toWrite_ = toWrite;
    current_ = -1;
    sends_ = 0;
    running_ = true;
}

void WriteProgress::sent(int key)
{
    if (key != current_) {
        current_ = key;
        sends_ = 0;
    }
    ++sends_;
}

QString WriteProgress::line(Language language, int stillDiffering, const QString& what) const
{
    static constexpr LocalText sending{"%1 di %2 valori confermati - invio: %3",
                                       "%1 of %2 values confirmed - sending: %3",
                                       "%2 degerden %1 onaylandi - gonderiliyor: %3"};
    static constexpr LocalText waiting{
        "%1 di %2 valori confermati - in attesa della centralina per %3 (inviato %4 volte)",
        "%1 of %2 values confirmed - waiting for the ECU to confirm %3 (sent %4 times)",
        "%2 degerden %1 onaylandi - beyin %3 icin bekleniyor (%4 kez gonderildi)"};
    const int confirmed = std::max(0, toWrite_ - stillDiffering);
    if (waitingForEcu())
        return waiting.in(language).arg(QString::number(confirmed), QString::number(toWrite_), what,
                                        QString::number(sends_));
    return sending.in(language).arg(QString::number(confirmed), QString::number(toWrite_), what);
}

QString parameterLabel(int id, Language language)
{
    static constexpr LocalText parameter{"parametro %1 (%2)", "parameter %1 (%2)", "parametre %1 (%2)"};
    const ParameterInfo* info = parameterInfo(id);
    return parameter.in(language).arg(QString::number(id), QString::fromLatin1(info ? info->name : "?"));
}

QString cellLabel(int cell, Language language)
{
    // cell k = 1 + 8 x Tinj row + rpm column
    static constexpr LocalText label{"cella %1 (riga %2, colonna %3)", "cell %1 (row %2, column %3)",
                                     "hucre %1 (satir %2, sutun %3)"};
    return label.in(language).arg(QString::number(cell), QString::number((cell - 1) / 8 + 1),
                                  QString::number((cell - 1) % 8 + 1));
}
