#include "ui/calibration/calibration_rules.h"

#include "link/parameter_catalogue.h"
#include "link/rounding.h"
#include "ui/common/colours.h"
#include "ui/status/status_rules.h"

#include <algorithm>

int markerOffset(const Axis& axis, int value, const MarkerAxis& geometry)
{
    if (value > axis[7]) return geometry.after;
    if (value < axis[0]) return geometry.before;
    if (value == axis[0]) return geometry.start;
    for (int k = 0; k < 7; ++k) {
        const long long low = axis[static_cast<size_t>(k)];
        const long long high = axis[static_cast<size_t>(k + 1)];
        if (!(low < value && value <= high)) continue;
        const int segmentStart = geometry.start + geometry.pitch * k;
        return segmentStart + static_cast<int>(geometry.pitch * (value - low) / (high - low));
    }
    // r0 < value <= r7 always finds a segment; an axis the ECU holds out of order still must not
    // move the marker off the grid
    return geometry.start;
}

void TinjAverage::add(int tinj)
{
    // the whole sum is rounded: halves go to even by the sum's parity, not the tenth's
    tinjAccumulator = static_cast<int>(divideHalfEven(tinj + 10LL * tinjAccumulator, 10));
    if (++tinjSampleCount > 9) {
        averagedTinj = tinjAccumulator / 10 * 10;
        tinjAccumulator = 0;
        tinjSampleCount = 0;
    }
}

int smoothPressure(int pressure, int smoothedPressure)
{
    return static_cast<int>(divideHalfEven(static_cast<long long>(pressure) + smoothedPressure, 2));
}

void FuelColours::update(int calibrationState, int onPetrol)
{
    if (calibrationState >= 1 && calibrationState <= 5) {
        updatesAverage_ = false;
        if (++fuelBlinkCounter > 5) {
            fuelBlinkCounter = 0;
            colour_ = colours::brightGreen;
        } else if (fuelBlinkCounter > 2) {
            colour_ = colours::brightRed;
        }
        return;
    }
    fuelBlinkCounter = 0;
    updatesAverage_ = true;
    onPetrol_ = onPetrol == 1;
    colour_ = onPetrol_ ? colours::brightRed : colours::brightGreen;
}

QString calibrationStatusLine(int calibrationState, int languageIndex, int changeoverTemperature,
                              int changeoverRpm, const GuidedModes& modes)
{
    static constexpr const char* kFinishFirst = "END THE SWITCHING BEFORE CALIBRATION";
    static constexpr StateText rows[] = {
        {1, {"G->B ATTESA TEMPO SOVRAPPOSIZIONE", "G->P WAITING OVERLAP TIME", kFinishFirst}},
        {2,
         {"B->G ATTESA TEMPERATURA", "P->G WAITING TEMPERATURE ABOVE THRESHOLD", kFinishFirst},
         StateText::Temperature},
        {3,
         {"B->G ATTESA GIRI MAGGIORI DI SOGLIA", "P->G WAITING RPM ABOVE THRESHOLD", kFinishFirst},
         StateText::Rpm},
        {4,
         {"B->G ATTESA GIRI MINORI DI SOGLIA", "P->G WAITING RPM BELOW THRESHOLD", kFinishFirst},
         StateText::RpmLess200},
        {5, {"B->G ATTESA TEMPO SOVRAPPOSIZIONE", "P->G WAITING OVERLAP TIME", kFinishFirst}},
        {6, {"PARTENZA FORZATO GAS - EMERGENZA", "START WITH GAS FORCED - EMERGENCY", kFinishFirst}},
        {7, {"SAFETY - NO GIRI", "SAFETY - NO RPM", "SAFETY - NO GIRI"}},
        {8, {"TINJ = 0 : CUTOFF", "CUTOFF BY TINJ = 0", "CUTOFF BY TINJ = 0"}},
        {9, {"TINJ < SOGLIA : CUTOFF ", "CUTOFF BY TINJ < THRESHOLD", "CUTOFF BY TINJ < THRESHOLD"}},
        {10, {"INIETTORI APERTI", "INJECTORS OPEN", "INJECTORS OPEN"}},
        {12,
         {"B->G ATTESA FILTRO GIRI INIZIALE", "P->G WAITING INITIAL RPM FILTER",
          "P->G WAITING INITIAL RPM FILTER"}},
        {13,
         {"COMMUTAZIONE A BENZINA PER FINE GAS", "EMPTY TANK - SWITCHING TO PETROL",
          "EMPTY TANK - SWITCHING TO PETROL"}},
    };
    // code 20 has no English text: English shows the prompt instead
    static constexpr StateText noRpmSignal[] = {
        {20, {"ASSENZA SEGNALE GIRI", nullptr, "RPM SIGNAL NOT PRESENT"}}};
    // in Turkish every change-over state asks to let it finish, with no value after it
    if (languageOf(languageIndex) == Language::Turkish && calibrationState >= 1 && calibrationState <= 6)
        return QString::fromLatin1(kFinishFirst);
    if (auto line = stateText(rows, calibrationState, languageIndex, changeoverTemperature, changeoverRpm))
        return *line;
    if (languageOf(languageIndex) != Language::English) {
        if (auto line = stateText(noRpmSignal, calibrationState, languageIndex, 0, 0)) return *line;
    }

    // every guided prompt has the one Turkish text
    static constexpr const char* kTurkishPrompt =
        "Yakit degisimi icin arabayi istenilen devire getirin TAMAM's basin";
    static constexpr LocalText kSwitchingRpm{
        "Portare la vettura alla soglia giri desiderata per la commutazione e premere MODIFICA",
        "Lead the vehicle to the RPM threshold required for switching and press MODIFY", kTurkishPrompt};
    static constexpr LocalText kWhenReady{"Premere MODIFICA quando pronti", "Press MODIFY when ready",
                                          kTurkishPrompt};
    static constexpr LocalText kRpmCorrect{"Premere OK quando giri corretti", "Press OK when RPM correct",
                                           kTurkishPrompt};
    static constexpr LocalText kStoreOrExit{"Premere MODIFICA per memorizzare Premere EXIT altrimenti",
                                            "Press MODIFY to store otherwise press EXIT", kTurkishPrompt};
    const Language language = languageOf(languageIndex);
    if (modes.switchingRpm) return kSwitchingRpm.in(language);
    if (modes.pressureOrTemperature) return kWhenReady.in(language);
    if (modes.coilsWaitingRpm) return kRpmCorrect.in(language);
    if (modes.coilsReady) return kStoreOrExit.in(language);
    return QStringLiteral(" ");
}
