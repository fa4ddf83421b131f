#pragma once

#include "link/language.h"
#include "link/shared_state.h"

#include <QString>

#include <optional>

// What the program keeps between runs: the language, the port and its settings, in a small file
// in the platform's configuration folder. Nothing else is kept.

// Reads the file into `state`. A file that is missing leaves `state` alone; one that cannot be
// read or holds values the program cannot use is ignored whole, and the message says so.
std::optional<QString> loadUserSettings(const QString& path, SharedState& state);

// Writes `state`'s choices; `keepPort` false leaves the port stored before (a virtual ECU's
// pseudo-terminal is not worth remembering). Written whole or not at all.
void saveUserSettings(const QString& path, const SharedState& state, bool keepPort = true);

// Where the program keeps the file on this machine.
QString defaultUserSettingsPath();
