#pragma once

#include "archive/workbook_problem.h"
#include "link/shared_state.h"

#include <QByteArray>

#include <optional>
#include <variant>

// One vehicle as a workbook holds it: parameters 1..60 in column A (rows 28 and 29 exchanged)
// and the 8 x 8 table in C1:J8. Parameter 61 is not archived and stays 0 here.
struct VehicleSet {
    OneBased<int, kParameterCount> parameters;
    OneBased<int, kTableCellCount> cells;
    bool operator==(const VehicleSet&) const = default;
};

// The BIFF8 "Workbook" stream holding the set as plain numbers on its first sheet. With
// `rowNames`, a second sheet names each row of the first in that language (label, unit, parameter
// id) for whoever opens the file in a spreadsheet program; the first sheet is the same either way
// and the only one read back.
QByteArray buildWorkbookStream(const VehicleSet& set, std::optional<Language> rowNames = std::nullopt);

// Reads the set from the first worksheet of a BIFF8 "Workbook" stream, as spreadsheet programs
// write it; a problem instead when the stream is damaged or a cell of the block cannot be taken.
std::variant<VehicleSet, WorkbookProblem> parseWorkbookStream(const QByteArray& stream);
