#pragma once

// What the calibration window computes on each poll, without any widget: the operating-point
// marker over the grid, the injection-time average, the smoothed pressure, the fuel colours of the
// value boxes and the status line.

#include "link/language.h"

#include <QColor>
#include <QString>

#include <array>

using Axis = std::array<int, 8>;

// The grid in twips: column headers at 1080 + 840 x c, row headers at 840 + 480 x r.
namespace grid_twips {
constexpr int kBoxWidth = 735, kBoxHeight = 330;
constexpr int kColumnLeft = 1080, kColumnPitch = 840;
constexpr int kRowTop = 840, kRowPitch = 480;
constexpr int kRowHeaderLeft = 120, kColumnHeaderTop = 240;
constexpr int kMarkerSide = 375;
} // namespace grid_twips

// Where one coordinate of the marker goes along an axis of breakpoints: `before` below the first,
// `after` above the last, otherwise `start` + `pitch` per segment, interpolated inside it. An axis
// that is not strictly increasing puts the marker at the start of a segment that has no length.
struct MarkerAxis {
    int before;
    int start;
    int pitch;
    int after;
};
inline constexpr MarkerAxis kMarkerColumns{960, 1320, 840, 7440};
inline constexpr MarkerAxis kMarkerRows{720, 840, 480, 4320};
int markerOffset(const Axis& axis, int value, const MarkerAxis& geometry);

// `averagedTinj`: the injection time over ten polls, floored to a multiple of ten.
class TinjAverage {
public:
    void add(int tinj);
    int averagedTinj = 0;
    int tinjAccumulator = 0;
    int tinjSampleCount = 0;
};

// `smoothedPressure`: each poll halves the way to the new reading.
int smoothPressure(int pressure, int smoothedPressure);

// Fore colour of the value boxes: red on petrol, green on gas; through a change-over (states 1..5)
// three polls each, starting from the colour they had.
class FuelColours {
public:
    void update(int calibrationState, int onPetrol);
    // Outside a change-over the averaged injection time is shown, in the petrol box on petrol and
    // in the gas box on gas; during one neither box changes.
    QColor colour() const { return colour_; }
    bool updatesAverage() const { return updatesAverage_; }
    bool onPetrol() const { return onPetrol_; }

private:
    int fuelBlinkCounter = 0;
    QColor colour_{0, 255, 0};
    bool updatesAverage_ = false;
    bool onPetrol_ = false;
};

// The guided calibration running, for the prompt of the status line.
struct GuidedModes {
    bool switchingRpm = false;
    bool pressureOrTemperature = false;
    bool coilsWaitingRpm = false; // coil calibration before the ECU's extra reply
    bool coilsReady = false;      // the ECU's extra reply is in
};

// `Text15`: the change-over message of the ECU's state, or the prompt of the guided calibration.
QString calibrationStatusLine(int calibrationState, int languageIndex, int changeoverTemperature,
                              int changeoverRpm, const GuidedModes& modes);
