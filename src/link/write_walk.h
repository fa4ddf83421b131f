#pragma once

#include "link/shared_state.h"

#include <optional>
#include <span>

// Every writer sends, tick by tick, the first entry of its own fixed order whose wanted value
// differs from the ECU's; an unconfirmed value is sent again and holds back the rest. The
// transfer is over when this returns nothing.
template <std::size_t N>
std::optional<int> nextToWrite(std::span<const int> order, const OneBased<int, N>& pending,
                               const OneBased<int, N>& confirmed)
{
    for (const int index : order) {
        if (pending[index] != confirmed[index]) return index;
    }
    return std::nullopt;
}

inline std::optional<int> nextParameterToWrite(const SharedState& state, std::span<const int> ids)
{
    return nextToWrite(ids, state.pendingParameterValues, state.parameterValues);
}

inline std::optional<int> nextTableCellToWrite(const SharedState& state, std::span<const int> cells)
{
    return nextToWrite(cells, state.pendingTableCells, state.tableCells);
}
