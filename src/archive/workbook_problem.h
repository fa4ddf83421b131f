#pragma once

#include "link/language.h"

#include <QString>

// Why a workbook could not be written or read. Nothing is half-done when one of these comes back.
struct WorkbookProblem {
    enum class Kind {
        FileMissing,         // no such file
        FileUnreadable,      // exists, cannot be opened or read
        NotAWorkbook,        // not a compound document holding a workbook stream
        Damaged,             // the workbook stream is cut short or inconsistent
        TextInCell,          // a cell of the block holds text (or a logical) that is not a number
        ErrorInCell,         // a cell of the block holds an error value (#DIV/0!, ...)
        ParameterOutOfRange, // a parameter outside 0..65535
        CellOutOfRange,      // a table cell outside 0..255
        NotAVehicle,         // no number anywhere in the parameter block (an empty sheet)
        WriteFailed,         // the file could not be written; the old one, if any, is untouched
    };
    Kind kind;
    QString cell;        // "A12", "C3": where, for the cell problems
    QString detail;      // the value found, or the system's reason
    int parameterId = 0; // the parameter the cell holds, for the cell problems of column A
};

// The message for the user, in their language.
QString workbookProblemText(const WorkbookProblem& problem, Language language);

// "A1" style address of a 0-based row and column.
QString cellAddress(int row, int column);
