#pragma once

#include "archive/workbook_problem.h"
#include "link/shared_state.h"

#include <QByteArray>

#include <variant>

// One vehicle as a workbook holds it: parameters 1..60 in column A (rows 28 and 29 exchanged)
// and the 8 x 8 table in C1:J8. Parameter 61 is not archived and stays 0 here.
struct VehicleSet {
    OneBased<int, kParameterCount> parameters;
    OneBased<int, kTableCellCount> cells;
    bool operator==(const VehicleSet&) const = default;
};

// The BIFF8 "Workbook" stream of a one-sheet workbook holding the set as plain numbers.
QByteArray buildWorkbookStream(const VehicleSet& set);

// Reads the set from the first worksheet of a BIFF8 "Workbook" stream, as spreadsheet programs
// write it; a problem instead when the stream is damaged or a cell of the block cannot be taken.
std::variant<VehicleSet, WorkbookProblem> parseWorkbookStream(const QByteArray& stream);
