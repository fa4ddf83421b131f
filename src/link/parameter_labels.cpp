#include "link/parameter_labels.h"

#include "link/parameter_catalogue.h"
#include "link/shared_state.h"

#include <array>

namespace {

struct Entry {
    int id;
    LocalText frame; // empty when the label says it alone
    LocalText label;
};

constexpr LocalText kAlone{""};
constexpr LocalText kLambda1{"LAMBDA1", "OXYGEN SENSOR1", "LAMBDA1"};
constexpr LocalText kLambda2{"LAMBDA2", "OXYGEN SENSOR2", "LAMBDA2"};
constexpr LocalText kGasToPetrol{"COMMUTAZIONE GAS -> BENZINA", "SWITCHING G->P", "YAKIT DEGISIM G->B"};
constexpr LocalText kPetrolToGas{"COMMUTAZIONE BENZINA -> GAS", "SWITCHING P->G", "YAKIT DEGISIM B->G"};
constexpr LocalText kPressureCorrective{"Correttivo Pressione", "Pressure Corrective Value", "Basinc"};
constexpr LocalText kTemperatureCorrective{"Correttivo Temperatura", "Temperature Corrective Value",
                                           "Derece"};
constexpr LocalText kLambdaCorrective{"Correttivo Lambda", "Oxygen sensor Corrective Value", "Lambda"};

// The emulation of a sensor is kept on the lambda page but never shown: no window gives these an
// English or Turkish caption.
constexpr LocalText kPeriod{"PERIODO", "PERIOD", "PERIOD"};
constexpr LocalText kDutyRich{"DUTY CYCLE RICCO", "RICH DUTY CYCLE", "RICH DUTY CYCLE"};
constexpr LocalText kDutyLean{"DUTY CYCLE MAGRO", "LEAN DUTY CYCLE", "LEAN DUTY CYCLE"};
constexpr LocalText kDutyCutoff{"DUTY CYCLE CUT OFF", "CUT OFF DUTY CYCLE", "CUT OFF DUTY CYCLE"};
constexpr LocalText kLean{"SOGLIA MAGRO", "Lean threshold", "SOGLIA MAGRO"};
constexpr LocalText kRich{"SOGLIA RICCO", "Rich threshold", "SOGLIA RICCO"};
constexpr LocalText kOverlap{"TEMPO SOVRAPPOSIZIONE ", "Overlap time", "Overlap time"};

// Italian as the design labels each value in its window; English and Turkish as the window
// captions it (the English where a window has no Turkish). The axis points, 34..49, are named by
// their place.
constexpr Entry kEntries[] = {
    {1, kAlone, {"NUMERO INIETTORI", "Number of injectors", "Enjektor Sayisi"}},
    {2, kAlone, {"NUMERO BOBINE", "Number of coils", "Bobin Sayisi"}},
    {3, kAlone, {"TIPO LAMBDA1", "OXYGEN SENSOR1 type", "LAMBDA1 tipi"}},
    {4, kLambda1, kLean},
    {5, kLambda1, kRich},
    {6, kLambda1, kPeriod},
    {7, kLambda1, kDutyRich},
    {8, kLambda1, kDutyLean},
    {9, kLambda1, kDutyCutoff},
    {10, kAlone, {"TEMPERATURA MINIMA", "Minimum temperature", "En Dusuck Derece"}},
    {11, kAlone, {"TEMPERATURA MASSIMA", "Maximum temperature", "En Yuksek Derece"}},
    {12, kAlone, {"GIRI COMMUTAZIONE", "Switching RPM", "Yakit degisim devri"}},
    {13, kAlone, {"TEMPERATURA COMMUTAZIONE", "Switching temperature", "Yakit degisim derecesi"}},
    {14, kGasToPetrol, kOverlap},
    {15, kPetrolToGas, kOverlap},
    {16, kAlone, {"SOGLIA Ris -> 1/3", "Threshold Res->1/3", "Dolluhik Orani->1/3"}},
    {17, kAlone, {"SOGLIA 1/3 -> 2/3", "Threshold 1/3->2/3", "Dolluhik 1/3->2/3"}},
    {18, kAlone, {"SOGLIA 2/3 -> 3/3", "Threshold 2/3->3/3", "Dolluhik 2/3->3/3"}},
    {19, kAlone, {"MIN LIVELLO", "Minimum level", "En dusuk seviye"}},
    {20, kAlone, {"MAX LIVELLO", "Maximum level", "En yuksek seviye"}},
    {21, kPressureCorrective, {"Variazione", "Variation", "Damping factor"}},
    {22, kAlone, {"Intervallo pressione", "Pressure range", "Intervallo pressione"}},
    {23,
     kAlone,
     {"SOGLIA GIRI INSERIMENTO CORRETTIVO PRESSIONE", "RPM threshold to activate pressure corrective values",
      "Soglia giri inserimento correttivo pressione"}},
    {24, kLambdaCorrective, {"Massima variazione", "Maximum variation", "Maximum variation"}},
    {25,
     kAlone,
     {"SOGLIA GIRI INSERIMENTO CORREZIONE LAMBDA", "RPM threshold activation corrective function",
      "Dusuk deger"}},
    {26, kTemperatureCorrective, {"Variazione", "Variation", "Variation each 10°"}},
    {27, kAlone, {"Intervallo temperatura ", "Temperature range", "Intervallo temperatura "}},
    {28, kAlone, {"TEMPERATURA DI TARATURA", "Calibration temperature", "Temperatura di taratura"}},
    {29, kAlone, {"PRESSIONE DI TARATURA", "Calibration pressure", "Basinc Ayari"}},
    {30, kAlone, {"PRESSIONE FINE GAS", "Pressure indicating end of gas", "Gaz bittiginde basinc degeri"}},
    {31,
     kAlone,
     {"Soglia giri inserimento CUTOFF", "RPM threshold for entering CUTOFF",
      "Enjektorlerin calismaya basladigi devir"}},
    {32,
     kAlone,
     {"Soglia TINJ ingresso CUTOFF", "Injection time threshold for entering CUTOFF",
      "Injection time threshold for entering cutoff"}},
    {33, kAlone, {"KGB in CUTOFF", "KGB in CUTOFF", "Gaz kesmede KGB"}},
    {50, kAlone, {"TIPO LAMBDA2", "OXYGEN SENSOR2 type", "TIPO LAMBDA2"}},
    {51, kLambda2, kLean},
    {52, kLambda2, kRich},
    {53, kLambda2, kPeriod},
    {54, kLambda2, kDutyRich},
    {55, kLambda2, kDutyLean},
    {56, kLambda2, kDutyCutoff},
    {57, kAlone, {"SENSORE PRESSIONE", "PRESSURE SENSOR", "SENSORE PRESSIONE"}},
    {58, kAlone, {"TIPO COMMUTATORE", "SWITCHING", "COMMUTATORE"}},
    {59, kAlone, {"COMMUTAZIONE", "CHANGING", "YAKIT DEGISIMI"}},
    {60, kAlone, {"FILTRO PARTENZA", "START filter", "Degis zamani"}},
    {61, kAlone, {"Commutazione a caldo", "Warm switching", "Warm switching"}},
};

constexpr LocalText kRpmPoint{"Asse RPM punto %1", "RPM axis point %1", "RPM ekseni nokta %1"};
constexpr LocalText kTinjPoint{"Asse TINJ punto %1", "TINJ axis point %1", "TINJ ekseni nokta %1"};
constexpr int kAxisPoints = 8;

const Entry* entryOf(int id)
{
    static const std::array<const Entry*, kParameterCount + 1> byId = [] {
        std::array<const Entry*, kParameterCount + 1> all{};
        for (const Entry& e : kEntries)
            all[static_cast<size_t>(e.id)] = &e;
        return all;
    }();
    if (id < 1 || id > kParameterCount) return nullptr;
    return byId[static_cast<size_t>(id)];
}

// The point 1..8 of an axis id, 0 for any other id.
int axisPoint(int id, int firstId)
{
    return id >= firstId && id < firstId + kAxisPoints ? id - firstId + 1 : 0;
}

} // namespace

QString parameterLabel(int id, Language language)
{
    if (const int point = axisPoint(id, param::mapRpmAxis)) return kRpmPoint.in(language).arg(point);
    if (const int point = axisPoint(id, param::mapTinjAxis)) return kTinjPoint.in(language).arg(point);
    const Entry* entry = entryOf(id);
    if (!entry) return {};
    // some window labels end in a blank: it must not show inside a name
    const QString label = entry->label.in(language).trimmed();
    const QString frame = entry->frame.in(language);
    return frame.isEmpty() ? label : frame + QStringLiteral(" - ") + label;
}

QString parameterUnit(int id)
{
    const ParameterInfo* info = parameterInfo(id);
    return info ? QString::fromUtf8(info->unit) : QString();
}

QString parameterName(int id, Language language)
{
    static constexpr LocalText kNamed{"%1 (parametro %2)", "%1 (parameter %2)", "%1 (parametre %2)"};
    static constexpr LocalText kUnknown{"parametro %1", "parameter %1", "parametre %1"};
    if (axisPoint(id, param::mapRpmAxis) || axisPoint(id, param::mapTinjAxis))
        return parameterLabel(id, language);
    const QString label = parameterLabel(id, language);
    if (label.isEmpty()) return kUnknown.in(language).arg(id);
    return kNamed.in(language).arg(label, QString::number(id));
}

QString tableCellName(int cell, Language language)
{
    // cell k = 1 + 8 x Tinj row + RPM column
    static constexpr LocalText kCell{"Cella riga %1 colonna %2", "Cell row %1 column %2",
                                     "Hucre satir %1 sutun %2"};
    const int zeroBased = cell - 1;
    return kCell.in(language).arg(QString::number(zeroBased / 8 + 1), QString::number(zeroBased % 8 + 1));
}

QString valueWithUnit(int id, int value)
{
    const QString unit = parameterUnit(id);
    return unit.isEmpty() ? QString::number(value) : QString::number(value) + QLatin1Char(' ') + unit;
}
