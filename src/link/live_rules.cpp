#include "link/live_rules.h"

BoxView MissingSignalCounter::apply(bool missing, const QString& valueText)
{
    if (!missing) {
        count_ = 0;
        return {valueText, true};
    }
    if (showsNc(missing)) return {QStringLiteral("NC"), false};
    ++count_;
    return {valueText, true};
}

BoxView StaleValueWatch::apply(int value, bool enabledBefore)
{
    BoxView view{QString::number(value), enabledBefore};
    if (value != previous_) {
        count_ = 0;
        view.enabled = true;
    } else if (count_ < 10) {
        ++count_;
    } else {
        view.enabled = false;
        if (showsNc(value)) view.text = QStringLiteral("NC");
    }
    previous_ = value;
    return view;
}

void LambdaAverage::add(int mv)
{
    ++ticks_;
    // in whole millivolts: tenths summed in binary fractions lose one mV on most values
    sum_ += mv;
    if (ticks_ >= samples_) {
        ticks_ = 0;
        shown_ = QString::number(sum_ / samples_);
        sum_ = 0;
    }
}

void LevelAverage::add(int mv)
{
    ++ticks_;
    sum_ += mv / 10; // non-negative: division floors
    if (ticks_ >= 50) {
        ticks_ = 0;
        shown_ = sum_ / 5;
        hasValue_ = true;
        sum_ = 0;
    }
}

int gasInjectionTime(int petrolTinj, int kgbCor)
{
    // (petrol / 10) x (kgb / 10), floored; in integers so no binary fraction rounds it down
    return static_cast<int>(static_cast<long long>(petrolTinj) * kgbCor / 100);
}

std::optional<QString> stateText(std::span<const StateText> rows, int code, int languageIndex,
                                 int changeoverTemperature, int changeoverRpm)
{
    for (const StateText& row : rows) {
        if (row.code != code) continue;
        QString text = row.text.in(languageOf(languageIndex));
        const QString gap = QStringLiteral("  ");
        if (row.suffix == StateText::Temperature) text += gap + QString::number(changeoverTemperature);
        if (row.suffix == StateText::Rpm) text += gap + QString::number(changeoverRpm);
        if (row.suffix == StateText::RpmLess200) text += gap + QString::number(changeoverRpm - 200);
        return text;
    }
    return std::nullopt;
}

QString ecuStateMessage(int ecuState, int languageIndex, int changeoverTemperature, int changeoverRpm)
{
    static constexpr StateText rows[] = {
        {1, {"G->B ATTESA TEMPO SOVRAPPOSIZIONE", "G->P WAITING OVERLAP TIME", "G->P WAITING OVERLAP TIME"}},
        {2,
         {"B->G ATTESA TEMPERATURA", "P->G WAITING TEMPERATURE ABOVE THRESHOLD", "P->G WAITING TEMPERATURE"},
         StateText::Temperature},
        {3,
         {"B->G ATTESA GIRI MAGGIORI DI SOGLIA", "P->G WAITING RPM ABOVE THRESHOLD",
          "P->G WAITING RPM ABOVE THRESHOLD"},
         StateText::Rpm},
        {4,
         {"B->G ATTESA GIRI MINORI DI SOGLIA", "P->G WAITING RPM BELOW THRESHOLD",
          "P->G WAITING RPM BELOW THRESHOLD"},
         StateText::RpmLess200},
        {5, {"B->G ATTESA TEMPO SOVRAPPOSIZIONE", "P->G WAITING OVERLAP TIME", "P->G WAITING OVERLAP TIME"}},
        {6, {"PARTENZA FORZATO GAS - EMERGENZA", "EMERGENCY GAS STARTING", "EMERGENCY GAS STARTING"}},
        {7, {"SAFETY - NO GIRI", "SAFETY - NO RPM", "SAFETY - NO RPM"}},
        {8, {"TINJ = 0 : CUTOFF", "CUTOFF BY TINJ = 0", "CUTOFF BY TINJ = 0"}},
        {9, {"TINJ < SOGLIA : CUTOFF ", "CUTOFF BY TINJ UNDER THRESHOLD", "CUTOFF BY TINJ < THRESHOLD"}},
        {10, {"INIETTORI APERTI", "INJECTORS OPEN", "INJECTORS OPEN"}},
        {12, {"ATTESA TEMPO INIZIALE", "WAITING INITIAL RPM FILTER", "WAITING INITIAL TIME FILTER"}},
        {13,
         {"COMMUTAZIONE A BENZINA PER FINE GAS", "EMPTY TANK - SWITCHING TO PETROL",
          "GAS FINISHING - SWITCH TO PETROL"}},
        {20, {"ASSENZA SEGNALE GIRI", "RPM SIGNAL NOT PRESENT", " "}},
    };
    return stateText(rows, ecuState, languageIndex, changeoverTemperature, changeoverRpm)
        .value_or(QStringLiteral(" "));
}
