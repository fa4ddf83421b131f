#pragma once

#include "link/shared_state.h"

#include <QString>

#include <utility>
#include <vector>

// Reading the end-of-line results: which indicator (0..60) turns red (true) or green (false).

constexpr int kEolIndicatorCount = 61;

// The ECU's bit rows are read as a chain from the highest listed bit down: a bit is red when the
// remainder still reaches its weight (which is then taken off); the last bit (weight 1) is red
// only when exactly 1 remains. `indicators` lists them from the highest bit down.
std::vector<std::pair<int, bool>> decodeBitChain(int value, int highestBit,
                                                 const std::vector<int>& indicators);

// Every indicator the phase-2 results paint, and the per-cylinder marks (bit 2) they leave.
std::vector<std::pair<int, bool>> eolResultIndicators(const EolResults& results,
                                                      OneBased<int, kCylinderCount>& cylinderMarks);

// First indicator of cylinder i's row (1..8): STAT, EMUL, OUT, IN follow.
constexpr int cylinderIndicator(int cylinder)
{
    return 4 * (cylinder - 1);
}
// Indicator of a cylinder pair (1-2 .. 7-8), "RELE EMUL INJ".
constexpr int pairIndicator(int firstCylinder)
{
    return 57 + (firstCylinder - 1) / 2;
}

// Caption beside an indicator outside the cylinder grid; empty where it has none.
QString eolIndicatorCaption(int indicator);

// Green once the ECU resets its parameters, and once it reports the reset done.
constexpr int kEolPowerLatch = 55;
constexpr int kEolWatchDog = 56;

// The indicators a test of `cylinders` shows: each row up to the count, its pair's, every check.
std::vector<int> eolShownIndicators(int cylinders);
// What an indicator checks, as the window labels it: "EMUL 3", "RELE EMUL INJ 1-2", "TPS_ANALOGICO".
QString eolCheckName(int indicator);
