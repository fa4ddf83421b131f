#pragma once

#include "archive/biff_workbook.h"
#include "archive/workbook_problem.h"

#include <QString>

#include <optional>
#include <variant>

// A vehicle's workbook on disk (.xls, BIFF8 in a compound document).

// Writes a temporary file beside the target, flushed to the disk before it is renamed over the
// target, so an existing workbook stays whole until the new one is complete; it keeps its
// permissions. Temporary files a killed save left in that folder go. Nothing on success; a
// problem names `path`. `rowNames`: see buildWorkbookStream.
std::optional<WorkbookProblem> writeWorkbookFile(const QString& path, const VehicleSet& set,
                                                 std::optional<Language> rowNames = std::nullopt);

// The same for any stream bytes under the name "Workbook" (tests build their own).
std::optional<WorkbookProblem> writeWorkbookStreamFile(const QString& path, const QByteArray& stream);

// Reads without changing the file.
std::variant<VehicleSet, WorkbookProblem> readWorkbookFile(const QString& path);

// The set the ECU holds (parameters 1..60, table) and, on success, the wanted values taken from a
// file: the pending values change all together or not at all.
VehicleSet vehicleSetOf(const SharedState& state);
std::optional<WorkbookProblem> loadWorkbookIntoPending(const QString& path, SharedState& state);
