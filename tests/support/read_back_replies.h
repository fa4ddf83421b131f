#pragma once

#include "link/frames.h"
#include "link/shared_state.h"

#include <QByteArray>
#include <QList>

// The ECU's answers to a read-back (all parameters, then the table), holding what `state` believes
// it holds.
inline QList<QByteArray> readBackReplies(const SharedState& state)
{
    QByteArray values;
    for (int id = 1; id <= kParameterCount; ++id) {
        const int v = state.parameterValues[id];
        values.append(static_cast<char>(v >> 8)).append(static_cast<char>(v & 0xFF));
    }
    QByteArray cells;
    for (int k = 1; k <= kTableCellCount; ++k)
        cells.append(static_cast<char>(state.tableCells[k]));
    return {frames::frame(1, values), frames::frame(8, cells)};
}
