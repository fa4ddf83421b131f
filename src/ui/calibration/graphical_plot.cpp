#include "ui/calibration/graphical_plot.h"

#include "link/rounding.h"

#include <algorithm>
#include <cstdlib>

namespace graphical_plot {

namespace {

// 0xBBGGRR, as the colours were chosen
constexpr int kColours[kCurves] = {255, 65280, 65535, 0, 16711680, 16711935};

constexpr int kDemonstration[kCurves][kPositions] = {
    {100, 90, 120, 110, 140, 130, 160},  {100, 100, 120, 120, 140, 140, 160},
    {100, 110, 120, 130, 140, 150, 160}, {100, 120, 120, 140, 140, 160, 160},
    {100, 130, 120, 150, 140, 170, 160}, {100, 140, 120, 160, 140, 180, 160},
};

} // namespace

int pointX(int position)
{
    return 88 + 64 * (position - 1);
}

int pointY(int value)
{
    return static_cast<int>(divideHalfEven(3680 - 32LL * (static_cast<long long>(value) - 100), 10));
}

int curveOf(int point)
{
    return (point - 1) / kPositions + 1;
}

int positionOf(int point)
{
    return (point - 1) % kPositions + 1;
}

int cellOf(int curve, int position)
{
    return 1 + 8 * (position - 1) + (curve - 1);
}

QColor curveColour(int curve)
{
    const int bgr = kColours[curve - 1];
    return QColor(bgr & 0xFF, (bgr >> 8) & 0xFF, (bgr >> 16) & 0xFF);
}

int demonstrationValue(int curve, int position)
{
    return kDemonstration[curve - 1][position - 1];
}

std::vector<int> pointsHit(const PlotPoints& points, QPoint click)
{
    std::vector<int> hits;
    for (int k = 1; k <= kPoints; ++k) {
        const QPoint p = points.at[static_cast<size_t>(k)];
        if (std::abs(click.x() - p.x()) <= kHitReach && std::abs(click.y() - p.y()) <= kHitReach)
            hits.push_back(k);
    }
    return hits;
}

void Blink::select(int curve)
{
    phase_ = 0;
    selected_ = curve;
}

int Blink::deselect()
{
    selected_ = 0;
    const int hidden = hiddenCurve_;
    hiddenCurve_ = 0;
    return hidden;
}

std::array<Blink::Draw, kCurves> Blink::tick()
{
    std::array<Draw, kCurves> draws{};
    const int hide = phase_ == 0 ? selected_ : 0;
    // the hidden curve goes first: its white must not wipe a point another curve shares
    size_t next = 0;
    if (hide > 0) draws[next++] = {hide, true};
    for (int c = 1; c <= kCurves; ++c)
        if (c != hide) draws[next++] = {c, false};
    hiddenCurve_ = hide;
    phase_ = phase_ == 0 ? 1 : 0;
    return draws;
}

} // namespace graphical_plot
