#pragma once

// The indicator page's arithmetic without any widget: the sensor reading at each level threshold
// and the lamps of the change-over switch's fuel gauge.

#include <QColor>

#include <array>

// Gauge models, as parameter 58 (changeoverSwitchType) names them.
enum class GaugeModel { Switch = 0, ThreeStep = 1, FourStep = 2 };
GaugeModel gaugeModelOf(int changeoverSwitchType);

// The four-step gauge's reserve threshold, a fixed percentage the ECU is never asked for.
constexpr int kFourStepReservePercent = 8;

// The reading `percent` % of the way from the empty-tank reading to the full-tank one, in hundredths
// of a mV: exact, so a comparison with a reading never depends on a binary fraction. A falling sensor
// (min >= max) gives falling thresholds.
long long thresholdCentiMv(int percent, int minMv, int maxMv);
// The same in whole mV as the page shows it, an exact half to the even one.
long long thresholdMv(int percent, int minMv, int maxMv);

// The gauge: the reserve lamp (blinking while in reserve) and the green lamps, each gauge tick.
class GaugeLamps {
public:
    // `percents`: thresholds 1 to 3 (parameters 16, 17, 18).
    void update(int levelMv, GaugeModel model, int minMv, int maxMv, const std::array<int, 3>& percents);
    void restartBlink() { blink_ = 0; }

    bool reserveBright() const { return reserveBright_; }
    // Green lamp `shape` (2..5) lit: the three-step gauges light 2, 3, 4; the four-step one 5 first.
    bool greenLit(int shape) const;

    QColor reserveColour() const;
    QColor greenColour(int shape) const;

private:
    int blink_ = 0;
    bool reserveBright_ = false;
    int lit_ = 0; // green lamps lit, counted from the bottom of the staircase
    GaugeModel model_ = GaugeModel::Switch;
};
