#include "ui/params/level_rules.h"

#include "link/rounding.h"
#include "ui/common/colours.h"

#include <vector>

GaugeModel gaugeModelOf(int changeoverSwitchType)
{
    switch (changeoverSwitchType) {
    case 1:
        return GaugeModel::ThreeStep;
    case 2:
        return GaugeModel::FourStep;
    default:
        return GaugeModel::Switch;
    }
}

long long thresholdCentiMv(int percent, int minMv, int maxMv)
{
    // min + (max - min) / 100 x p, times 100; the falling form min - (min - max) / 100 x p is the same
    return 100LL * minMv + static_cast<long long>(maxMv - minMv) * percent;
}

long long thresholdMv(int percent, int minMv, int maxMv)
{
    return divideHalfEven(thresholdCentiMv(percent, minMv, maxMv), 100);
}

void GaugeLamps::update(int levelMv, GaugeModel model, int minMv, int maxMv,
                        const std::array<int, 3>& percents)
{
    model_ = model;
    // A falling sensor is the rising one mirrored: negate the reading and the thresholds.
    const bool falling = minMv >= maxMv;
    const long long sign = falling ? -1 : 1;
    std::vector<long long> t;
    if (model == GaugeModel::FourStep)
        t.push_back(sign * thresholdCentiMv(kFourStepReservePercent, minMv, maxMv));
    for (int p : percents)
        t.push_back(sign * thresholdCentiMv(p, minMv, maxMv));
    const long long level = sign * 100LL * levelMv;

    // The tests run in this order and a later match overrides an earlier one, so a reading exactly at
    // a threshold shows the higher state. Falling, the reserve test takes its threshold too (and so
    // advances the blink there).
    if (falling ? level <= t.front() : level < t.front()) {
        if (++blink_ >= 6) blink_ = 0;
        reserveBright_ = blink_ >= 3;
        lit_ = 0;
    }
    for (size_t k = 1; k < t.size(); ++k) {
        if (t[k - 1] <= level && level <= t[k]) {
            reserveBright_ = true;
            lit_ = static_cast<int>(k);
        }
    }
    if (level >= t.back()) {
        reserveBright_ = true;
        lit_ = static_cast<int>(t.size());
    }
}

bool GaugeLamps::greenLit(int shape) const
{
    static constexpr std::array<int, 3> threeStep{2, 3, 4};
    static constexpr std::array<int, 4> fourStep{5, 2, 3, 4};
    const auto litIn = [this, shape](const auto& order) {
        for (int i = 0; i < lit_ && i < static_cast<int>(order.size()); ++i)
            if (order[static_cast<size_t>(i)] == shape) return true;
        return false;
    };
    return model_ == GaugeModel::FourStep ? litIn(fourStep) : litIn(threeStep);
}

QColor GaugeLamps::reserveColour() const
{
    return reserveBright_ ? colours::brightRed : colours::dimRed;
}

QColor GaugeLamps::greenColour(int shape) const
{
    return greenLit(shape) ? colours::brightGreen : colours::dimGreen;
}
