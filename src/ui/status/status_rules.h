#pragma once

// What the status window shows for each value of the live status, without any widget: the bars
// and the lamps; the values themselves follow link/live_rules.h.

#include "link/language.h"
#include "link/live_rules.h"
#include "ui/common/colours.h"

#include <QColor>
#include <QString>

#include <array>
#include <optional>
#include <span>

constexpr int kOxygenSegments = 20;
constexpr int kPressureSegments = 20;
constexpr int kLevelSegments = 16;

// Segments carrying the yellow marker of an oxygen sensor; segment 0 is the rich end.
std::array<bool, kOxygenSegments> oxygenMarkers(int mv, int sensorType, int fullScale, int step);
// Base colour of oxygen bar segment i.
QColor oxygenBaseColour(int segment);
// The whole oxygen bar: base colours, the marker segments yellow.
std::array<QColor, kOxygenSegments> oxygenBarColours(int mv, int sensorType, int fullScale, int step);
// Lit (yellow) pressure segments, 150 mbar each; segment 0 is always lit.
std::array<bool, kPressureSegments> pressureSegments(int mbar);
// Lit level segments for the averaged level; a falling sensor (min >= max) counts down from min.
std::array<bool, kLevelSegments> levelSegments(int level, int minMv, int maxMv, double step);
QColor levelColour(int segment, bool lit);

// The two fuel lamps; blinks the gas lamp through a change-over (states 1..5).
class FuelLamps {
public:
    void update(int ecuState, int onPetrol);
    QColor petrol() const { return petrol_; }
    QColor gas() const { return gas_; }

private:
    int blink_ = 0;
    QColor petrol_{150, 0, 0};
    QColor gas_{0, 150, 0};
};
