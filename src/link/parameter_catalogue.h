#pragma once

#include <array>

// The ECU's parameters by id, as they travel in the dump (code 1) and the writes (code 2).
namespace param {
enum Id : int {
    injectorCount = 1,
    coilCount = 2,
    lambda1SensorType = 3,
    lambda1LeanThreshold = 4,
    lambda1RichThreshold = 5,
    lambda1EmulationPeriod = 6,
    lambda1EmulationDutyRich = 7,
    lambda1EmulationDutyLean = 8,
    lambda1EmulationDutyCutoff = 9,
    minTemperature = 10,
    maxTemperature = 11,
    changeoverRpm = 12,
    changeoverTemperature = 13,
    overlapGasToPetrol = 14,
    overlapPetrolToGas = 15,
    levelThresholdReserve = 16,
    levelThresholdOneThird = 17,
    levelThresholdTwoThirds = 18,
    levelMinMv = 19,
    levelMaxMv = 20,
    pressureVariation = 21,
    pressureInterval = 22,
    pressureCorrectionRpmThreshold = 23,
    lambdaMaxVariation = 24,
    lambdaCorrectionRpmThreshold = 25,
    temperatureVariation = 26,
    temperatureInterval = 27,
    calibrationTemperature = 28,
    calibrationPressure = 29,
    endOfGasPressure = 30,
    cutoffRpmThreshold = 31,
    cutoffTinjThreshold = 32,
    cutoffKgb = 33,
    mapRpmAxis = 34,  // breakpoints 1..8 at ids 34..41
    mapTinjAxis = 42, // breakpoints 1..8 at ids 42..49
    lambda2SensorType = 50,
    lambda2LeanThreshold = 51,
    lambda2RichThreshold = 52,
    lambda2EmulationPeriod = 53,
    lambda2EmulationDutyRich = 54,
    lambda2EmulationDutyLean = 55,
    lambda2EmulationDutyCutoff = 56,
    pressureSensorType = 57,
    changeoverSwitchType = 58,
    changeoverMode = 59,
    startFilterTime = 60,
    warmSwitching = 61,
};
} // namespace param

struct ParameterInfo {
    int id;
    const char* name; // the identifier, "mapRpmAxis[3]" for an axis breakpoint
    const char* unit; // as printed beside the value; empty when none
};

const std::array<ParameterInfo, 61>& parameterCatalogue();

// nullptr outside 1..61
const ParameterInfo* parameterInfo(int id);

// The workbook keeps ids 1..60 in column A, one per row, except that rows 28 and 29 hold
// parameters 29 and 28. Id 61 is not archived.
constexpr int kArchivedParameterCount = 60;
constexpr int workbookRowOfParameter(int id)
{
    if (id == param::calibrationTemperature) return 29;
    if (id == param::calibrationPressure) return 28;
    return id;
}
constexpr int parameterAtWorkbookRow(int row)
{
    return workbookRowOfParameter(row);
}
