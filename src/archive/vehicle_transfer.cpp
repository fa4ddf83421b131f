#include "archive/vehicle_transfer.h"

#include "link/parameter_labels.h"

#include <numeric>

namespace {

constexpr int kParameterOrder[] = {19, 20, 16, 17, 18, 2,  1,  29, 28, 10, 11, 12, 14, 15, 13,
                                   30, 59, 60, 31, 32, 33, 21, 22, 24, 26, 27, 3,  4,  5,  25,
                                   23, 50, 51, 52, 6,  7,  8,  9,  53, 54, 55, 56, 58, 57, 34,
                                   35, 36, 37, 38, 39, 40, 41, 42, 43, 44, 45, 46, 47, 48, 49};

const std::array<int, kTableCellCount> kCellOrder = [] {
    std::array<int, kTableCellCount> cells{};
    std::iota(cells.begin(), cells.end(), 1);
    return cells;
}();

constexpr LocalText kChange{"%1: centralina %2 -> file %3", "%1: ECU %2 -> file %3",
                            "%1: beyin %2 -> dosya %3"};

} // namespace

std::span<const int> transferParameterOrder()
{
    return kParameterOrder;
}

std::span<const int> transferCellOrder()
{
    return kCellOrder;
}

VehicleDifference vehicleDifference(const VehicleSet& ecu, const VehicleSet& file)
{
    VehicleDifference difference;
    const auto note = [&difference](const WriteItem& item, int ecuValue, int fileValue) {
        difference.values.push_back({item, fileValue});
        if (fileValue != ecuValue) difference.changes.push_back({item, ecuValue, fileValue});
    };
    for (int id : kParameterOrder)
        note({false, id}, ecu.parameters[id], file.parameters[id]);
    difference.parameterChanges = static_cast<int>(difference.changes.size());
    for (int cell : kCellOrder)
        note({true, cell}, ecu.cells[cell], file.cells[cell]);
    return difference;
}

QString vehicleChangeLine(const VehicleChange& change, Language language)
{
    // a parameter with its unit, as its window shows it; a cell is a plain number
    const auto shown = [&change](int value) {
        return change.item.cell ? QString::number(value) : valueWithUnit(change.item.index, value);
    };
    return kChange.in(language).arg(writeItemLabel(change.item, language), shown(change.ecu),
                                    shown(change.file));
}
