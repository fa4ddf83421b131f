#pragma once

// The arithmetic of the correctives and the guided calibrations, without any widget.

#include "link/shared_state.h"

// How far a reading lies from its calibration point, scaled by variation / interval and truncated
// toward zero; 0 for an interval of 0. In 64 bits: a typed value may go beyond its spinner up to
// 65535, and two such 16-bit factors overflow 32 bits.
long long temperatureCorrective(long long temperature1, long long calibrationTemperature, long long variation,
                                long long interval);
// Grows as the pressure falls below the calibration pressure; 0 below its engine-speed threshold.
long long pressureCorrective(long long pressure1, long long calibrationPressure, long long variation,
                             long long interval, long long rpm, long long rpmThreshold);

// The guided calibration selector runs 1..5 and wraps at both ends.
constexpr int kGuidedPositions = 5;
int wrapGuidedPosition(int position);

// `injectorCount` as stored: the sum of the eight bytes the ECU reports, one per injector.
int injectorCountOf(const OneBased<int, 8>& calibrationExtra);

// Whether the value a guided calibration would store has settled: the last few polls stayed
// within `tolerance` of each other.
class SteadyValue {
public:
    explicit SteadyValue(int polls = 5) : polls_(polls) {}
    void add(int value, int tolerance);
    void reset() { count_ = 0; }
    bool steady() const { return count_ >= polls_; }

private:
    int polls_;
    int count_ = 0;
    int low_ = 0, high_ = 0;
};
