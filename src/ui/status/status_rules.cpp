#include "ui/status/status_rules.h"

#include <cmath>

std::array<bool, kOxygenSegments> oxygenMarkers(int mv, int sensorType, int fullScale, int step)
{
    std::array<bool, kOxygenSegments> marks{};
    const bool inverted = sensorType == 1 || sensorType == 3;
    if (mv >= fullScale) {
        marks[inverted ? 19 : 0] = true;
        return marks;
    }
    for (int d = 0; d < kOxygenSegments; ++d) {
        marks[static_cast<size_t>(d)] =
            inverted ? (d * step <= mv && mv <= (d + 1) * step)
                     : (fullScale - (d + 1) * step <= mv && mv <= fullScale - d * step);
    }
    return marks;
}

QColor oxygenBaseColour(int segment)
{
    static const QColor base[10] = {{150, 0, 0},   {150, 10, 0},  {160, 30, 0}, {180, 70, 0}, {200, 110, 0},
                                    {220, 150, 0}, {100, 130, 0}, {50, 150, 0}, {0, 170, 0},  {0, 190, 0}};
    // symmetric: 10..19 mirror 9..0
    return base[segment < 10 ? segment : 19 - segment];
}

std::array<QColor, kOxygenSegments> oxygenBarColours(int mv, int sensorType, int fullScale, int step)
{
    const auto marks = oxygenMarkers(mv, sensorType, fullScale, step);
    std::array<QColor, kOxygenSegments> colours;
    for (int i = 0; i < kOxygenSegments; ++i)
        colours[static_cast<size_t>(i)] =
            marks[static_cast<size_t>(i)] ? colours::yellow : oxygenBaseColour(i);
    return colours;
}

std::array<bool, kPressureSegments> pressureSegments(int mbar)
{
    std::array<bool, kPressureSegments> lit{};
    for (int i = 0; i < kPressureSegments; ++i)
        lit[static_cast<size_t>(i)] = mbar >= 150 * i;
    return lit;
}

std::array<bool, kLevelSegments> levelSegments(int level, int minMv, int maxMv, double step)
{
    std::array<bool, kLevelSegments> lit{};
    for (int i = 0; i < kLevelSegments; ++i) {
        lit[static_cast<size_t>(i)] =
            minMv >= maxMv ? !(level >= minMv - i * step) : level >= minMv + i * step;
    }
    return lit;
}

QColor levelColour(int segment, bool lit)
{
    if (segment < 4) return lit ? colours::brightRed : colours::darkRed;
    return lit ? colours::brightGreen : colours::darkGreen;
}

void FuelLamps::update(int ecuState, int onPetrol)
{
    if (ecuState >= 1 && ecuState <= 5) {
        ++blink_;
        petrol_ = colours::darkRed;
        if (blink_ >= 3 && blink_ <= 5) gas_ = colours::darkGreen;
        if (blink_ >= 6) {
            gas_ = colours::brightGreen;
            blink_ = 0;
        }
        return;
    }
    blink_ = 0;
    if (onPetrol == 1 || ecuState == 7) {
        petrol_ = colours::brightRed;
        gas_ = colours::darkGreen;
    } else {
        petrol_ = colours::darkRed;
        gas_ = colours::brightGreen;
    }
}
