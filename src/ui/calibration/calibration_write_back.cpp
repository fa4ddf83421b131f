#include "ui/calibration/calibration_write_back.h"

#include "link/frames.h"
#include "link/parameter_catalogue.h"
#include "link/write_walk.h"

#include <numeric>

namespace {

constexpr std::array<int, 23> kParameterOrder = {param::pressureVariation,
                                                 param::lambdaMaxVariation,
                                                 param::temperatureVariation,
                                                 param::lambdaCorrectionRpmThreshold,
                                                 param::pressureCorrectionRpmThreshold,
                                                 param::pressureInterval,
                                                 param::temperatureInterval,
                                                 34,
                                                 35,
                                                 36,
                                                 37,
                                                 38,
                                                 39,
                                                 40,
                                                 41,
                                                 42,
                                                 43,
                                                 44,
                                                 45,
                                                 46,
                                                 47,
                                                 48,
                                                 49};

const std::array<int, kTableCellCount>& cellOrder()
{
    static const std::array<int, kTableCellCount> order = [] {
        std::array<int, kTableCellCount> cells{};
        std::iota(cells.begin(), cells.end(), 1);
        return cells;
    }();
    return order;
}

} // namespace

void CalibrationWriteBack::start(bool cellsOnly)
{
    cellsOnly_ = cellsOnly;
    last_.reset();
    progress_.begin(remaining());
}

int CalibrationWriteBack::remaining() const
{
    int count = 0;
    if (!cellsOnly_) {
        for (int id : kParameterOrder)
            count += state_.pendingParameterValues[id] != state_.parameterValues[id];
    }
    for (int k : cellOrder())
        count += state_.pendingTableCells[k] != state_.tableCells[k];
    return count;
}

std::optional<WriteItem> CalibrationWriteBack::next() const
{
    if (!cellsOnly_) {
        if (const auto id = nextParameterToWrite(state_, kParameterOrder)) return WriteItem{false, *id};
    }
    if (const auto cell = nextTableCellToWrite(state_, cellOrder())) return WriteItem{true, *cell};
    return std::nullopt;
}

std::optional<QByteArray> CalibrationWriteBack::nextFrame()
{
    const std::optional<WriteItem> item = next();
    if (!item) return std::nullopt;
    progress_.sent(item->cell ? 100 + item->index : item->index);
    last_ = item;
    // the boxes are checked on store, so a value the frame cannot carry is not expected; should one
    // come (a table from elsewhere), it waits here and is named to the user after ten ticks
    const std::optional<QByteArray> frame =
        item->cell ? frames::writeTableCell(item->index, state_.pendingTableCells[item->index])
                   : frames::writeParameter(item->index, state_.pendingParameterValues[item->index]);
    return frame ? *frame : QByteArray();
}

std::optional<WriteItem> CalibrationWriteBack::waiting() const
{
    if (!last_ || !progress_.waitingForEcu() || next() != last_) return std::nullopt;
    return last_;
}
