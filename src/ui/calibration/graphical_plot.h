#pragma once

// The graphical view of the KGB table without any widget: six curves, one per RPM breakpoint
// 1..6, over the Tinj breakpoints 1..7, placed in window pixels; which points a click hits; the
// demonstration values shown without an ECU; the blinking of the selected curve.

#include <QColor>
#include <QPoint>

#include <array>
#include <vector>

namespace graphical_plot {

constexpr int kCurves = 6;
constexpr int kPositions = 7;
constexpr int kPoints = kCurves * kPositions; // point k = 1..42
constexpr int kHitReach = 2;                  // pixels either way that still hit a point

// Window pixels of position p (1..7) on any curve: 88, 152 .. 472.
int pointX(int position);
// Window pixels of a KGB value: 100 at 368, 32 pixels per 10, upwards; halves to even.
int pointY(int value);

// Point k (1..42): its curve (1..6) and position on it (1..7).
int curveOf(int point);
int positionOf(int point);
// The table cell (1..64) of a curve's position: Tinj row p - 1, RPM column c - 1.
int cellOf(int curve, int position);

// A curve's colour (red, green, yellow, black, blue, magenta, curve 1 first).
QColor curveColour(int curve);

// Shown and stored without an ECU.
int demonstrationValue(int curve, int position);
constexpr std::array<int, kPositions> kDemonstrationTinj{3000, 5000, 7000, 9000, 11000, 13000, 15000};
constexpr std::array<int, kCurves> kDemonstrationRpm{1000, 2000, 3000, 4000, 5000, 6000};

// The 42 points in window pixels, index 1..42 (0 is unused and lies off the plot).
struct PlotPoints {
    std::array<QPoint, kPoints + 1> at{};
    std::array<int, kPoints + 1> value{};
};
// `cellValue(k)` is table cell k (1..64).
template <typename Cells> PlotPoints placePoints(const Cells& cellValue)
{
    PlotPoints points;
    points.at[0] = QPoint(0, 400);
    for (int k = 1; k <= kPoints; ++k) {
        const int v = cellValue(cellOf(curveOf(k), positionOf(k)));
        points.value[static_cast<size_t>(k)] = v;
        points.at[static_cast<size_t>(k)] = QPoint(pointX(positionOf(k)), pointY(v));
    }
    return points;
}

// Every point within reach of `click`, in point order: coinciding points are all hit.
std::vector<int> pointsHit(const PlotPoints& points, QPoint click);

// The selected curve and its blink. A selection hides the curve on the next tick and shows it on
// the one after, and so on; a deselection shows every curve again at once.
class Blink {
public:
    int selectedCurve() const { return selected_; }
    bool running() const { return selected_ > 0; }

    void select(int curve);
    // The curve to show again now, or 0 when none is hidden.
    int deselect();
    // One tick: the curves to draw, hidden ones (white) first. Afterwards running() says
    // whether another tick is due.
    struct Draw {
        int curve;
        bool hidden;
    };
    std::array<Draw, kCurves> tick();

private:
    int selected_ = 0;
    int phase_ = 0;
    int hiddenCurve_ = 0; // hidden by the last tick, 0 when every curve shows
};

} // namespace graphical_plot
