#pragma once

#include "link/language.h"

// What the guided calibrations say: the start button's caption for each selector position, the
// prompt while coil counts are tried, and what a calibration still waits for.
namespace guided_texts {

inline constexpr LocalText kPositions[5] = {
    {"VISUALIZZA CORRETTIVI", "DISPLAY CORRECTIVE VALUES", "TARATURA GIRI COMMUTAZIONE"},
    {"TARATURA GIRI COMMUTAZIONE", "CALIBRATION SWITCHING RPM", "TARATURA GIRI COMMUTAZIONE"},
    {"MEMORIZZA PRESSIONE DI TARATURA", "STORE CALIBRATION PRESSURE", "MEMORIZZA PRESSIONE DI TARATURA"},
    {"MEMORIZZA TEMPERATURA DI TARATURA", "STORE CALIBRATION TEMPERATURE",
     "MEMORIZZA TEMPERATURA DI TARATURA"},
    {"TARATURA BOBINE E INIETTORI", "CALIBRATION OF COIL AND INJECTORS", "TARATURA BOBINE E INIETTORI"},
};

inline constexpr LocalText kPressOkWhenRpmCorrect{
    "Premere OK quando giri corretti", "Press OK when RPM correct",
    "Yakit degisimi icin arabayi istenilen devire getirin TAMAM's basin"};

// After the prompt: what the calibration still waits for.
inline constexpr LocalText kEngineStopped{" - motore fermo: avviare il motore",
                                          " - engine stopped: start the engine",
                                          " - motor durdu: motoru calistirin"};
inline constexpr LocalText kNotSteady{" - attendere un valore stabile", " - wait for a steady value",
                                      " - sabit bir deger bekleyin"};
inline constexpr LocalText kSteady{" - valore stabile", " - value steady", " - deger sabit"};

// EXIT on the coils: the injector reply still awaited before they end.
inline constexpr LocalText kWaitingForEcu{
    "Attendere la risposta della centralina... (EXIT di nuovo per uscire subito)",
    "Waiting for the ECU to answer... (EXIT again to leave at once)",
    "Beynin cevabi bekleniyor... (hemen cikmak icin tekrar EXIT)"};

} // namespace guided_texts
