#pragma once

#include "link/language.h"

// A control's caption in the three languages, keyed by the control's design name. Form applies a
// window's captions on load and when the language changes.
struct Caption {
    const char* control; // design name (objectName); kTitle / kOfflineTitle for the window's title
    LocalText text;
};

inline constexpr const char* kTitle = "#title";
// The title while not connected; without one the window keeps kTitle.
inline constexpr const char* kOfflineTitle = "#offline-title";

// Texts several windows show.
namespace shared_texts {
inline constexpr LocalText exit{"EXIT", "EXIT", "CIKIS"};
inline constexpr LocalText subtitle{"Sequential Injection System", "Sequential Injection System",
                                    "Sequential Injection System"};
} // namespace shared_texts
