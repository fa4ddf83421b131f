#pragma once

#include "link/language.h"

// What the calibration window shows once the ECU acknowledges calibration mode on or off: its
// title and the caption of its mode button.
namespace calibration_mode_texts {
inline constexpr LocalText onTitle{"ORVANE - Taratura vettura Attivata", "ORVANE - Calibration Active",
                                   "ORVANE - Taratura vettura Attivata"};
inline constexpr LocalText onCaption{"TARATURA ATTIVA", "CALIBRATION ACTIVE", "TARATURA ATTIVA"};
inline constexpr LocalText offTitle{"ORVANE - Taratura vettura Non attiva", "ORVANE - Calibration Not Active",
                                    "ORVANE - Taratura vettura Disattivata"};
inline constexpr LocalText offCaption{"TARATURA NON ATTIVA", "CALIBRATION NOT ACTIVE", "TARATURA NON ATTIVA"};
} // namespace calibration_mode_texts
