#include "link/parameter_rules.h"

#include "link/parameter_catalogue.h"
#include "link/shared_state.h"
#include "link/value_limits.h"

#include <array>

namespace {

// the pages whose boxes convert to 16-bit signed numbers
constexpr long long k16 = kPageValueMax;
constexpr long long k32 = kParameterMax;

struct Rule {
    int id;
    LocalText name;
    long long max;
    bool box = true;
};

const Rule kRules[] = {
    // oxygen sensors
    {param::lambda1SensorType, {""}, 3, false},
    {param::lambda1LeanThreshold,
     {"LAMBDA1 - Soglia magro", "OXYGEN SENSOR1 - Lean threshold", "LAMBDA1 - SOGLIA MAGRO"},
     k32},
    {param::lambda1RichThreshold,
     {"LAMBDA1 - Soglia ricco", "OXYGEN SENSOR1 - Rich threshold", "LAMBDA1 - SOGLIA RICCO"},
     k32},
    {param::lambdaCorrectionRpmThreshold,
     {"Soglia giri inserimento correzione", "RPM threshold activation corrective function", "Dusuk deger"},
     k32},
    {param::lambda2SensorType, {""}, 3, false},
    {param::lambda2LeanThreshold,
     {"LAMBDA2 - Soglia magro", "OXYGEN SENSOR2 - Lean threshold", "LAMBDA2 - SOGLIA MAGRO"},
     k32},
    {param::lambda2RichThreshold,
     {"LAMBDA2 - Soglia ricco", "OXYGEN SENSOR2 - Rich threshold", "LAMBDA2 - SOGLIA RICCO"},
     k32},
    // cutoff
    {param::cutoffRpmThreshold,
     {"Soglia giri inserimento cutoff", "RPM threshold for entering CUTOFF",
      "Enjektorlerin calismaya basladigi devir"},
     k16},
    {param::cutoffTinjThreshold,
     {"Soglia TINJ ingresso in cutoff", "Injection time threshold for entering CUTOFF",
      "Injection time threshold for entering cutoff"},
     k16},
    {param::cutoffKgb, {"KGB in CUTOFF", "KGB in CUTOFF", "Gaz kesmede KGB"}, k16},
    // change-over
    {param::changeoverRpm, {"Giri commutazione", "Switching RPM", "Yakit degisim devri"}, k16},
    // the two overlap boxes share a caption; the name says which direction it means
    {param::overlapGasToPetrol,
     {"Tempo sovrapposizione G->B", "Overlap time G->P", "Overlap time G->B"},
     k16},
    {param::overlapPetrolToGas,
     {"Tempo sovrapposizione B->G", "Overlap time P->G", "Overlap time B->G"},
     k16},
    {param::changeoverTemperature,
     {"Temperatura commutazione", "Switching temperature", "Yakit degisim derecesi"},
     k16},
    {param::endOfGasPressure,
     {"Pressione fine gas", "Pressure indicating end of gas", "Gaz bittiginde basinc degeri"},
     k16},
    {param::changeoverMode, {""}, 1, false},
    {param::startFilterTime, {"Filtro partenza", "START filter", "Degis zamani"}, k16},
    {param::changeoverSwitchType, {""}, 2, false},
    {param::warmSwitching, {""}, 1, false},
    // installation
    {param::coilCount, {"Numero di bobine", "Number of coils", "Bobin Sayisi"}, k32},
    {param::injectorCount, {"Numero di iniettori", "Number of injectors", "Enjektor Sayisi"}, k32},
    {param::calibrationTemperature,
     {"Temperatura di taratura", "Calibration temperature", "Temperatura di taratura"},
     k32},
    {param::calibrationPressure, {"Pressione di taratura", "Calibration pressure", "Basinc Ayari"}, k32},
    {param::minTemperature, {"Temperatura minima", "Minimum temperature", "En Dusuck Derece"}, k32},
    {param::maxTemperature, {"Temperatura massima", "Maximum temperature", "En Yuksek Derece"}, k32},
    {param::pressureCorrectionRpmThreshold,
     {"Soglia giri inserimento correttivo pressione", "RPM threshold to activate pressure corrective values",
      "Soglia giri inserimento correttivo pressione"},
     k32},
    {param::pressureSensorType, {""}, 1, false},
    // fuel level indicator, the thresholds as the switch's own gauge names them
    {param::levelMinMv, {"Livello minimo", "Minimum level", "En dusuk seviye"}, k16},
    {param::levelMaxMv, {"Livello massimo", "Maximum level", "En yuksek seviye"}, k16},
    {param::levelThresholdReserve, {"SOGLIA Ris -> 1/3"}, k16},
    {param::levelThresholdOneThird, {"SOGLIA 1/3 -> 2/3"}, k16},
    {param::levelThresholdTwoThirds, {"SOGLIA 2/3 -> 3/3"}, k16},
};

} // namespace

const FieldRule& parameterRule(int id)
{
    static const std::array<FieldRule, kParameterCount + 1> rules = [] {
        std::array<FieldRule, kParameterCount + 1> all;
        for (FieldRule& rule : all)
            rule = {{""}, 0, k32, true};
        for (const Rule& r : kRules)
            all[static_cast<size_t>(r.id)] = {r.name, 0, r.max, r.box};
        return all;
    }();
    return rules[static_cast<size_t>(OneBased<int, kParameterCount>::contains(id) ? id : 0)];
}
