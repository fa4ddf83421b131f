#include "ui/calibration/table_edits.h"

#include "link/write_session.h"
#include "ui/calibration/calibration_rules.h"

#include <algorithm>
#include <cmath>
#include <functional>

int CellBlock::top() const
{
    return std::clamp(std::min(row0, row1), 0, kTableSide - 1);
}
int CellBlock::bottom() const
{
    return std::clamp(std::max(row0, row1), 0, kTableSide - 1);
}
int CellBlock::left() const
{
    return std::clamp(std::min(column0, column1), 0, kTableSide - 1);
}
int CellBlock::right() const
{
    return std::clamp(std::max(column0, column1), 0, kTableSide - 1);
}
bool CellBlock::contains(int row, int column) const
{
    return row >= top() && row <= bottom() && column >= left() && column <= right();
}

namespace {

size_t at(int i)
{
    return static_cast<size_t>(i);
}

// Nearest whole number of a / b for b > 0 and a of either sign, halves to even.
long long roundedQuotient(long long a, long long b)
{
    return a < 0 ? -divideHalfEven(-a, b) : divideHalfEven(a, b);
}

// Every result is computed from the grid as given, so a cell's new value never feeds another's.
BlockResult apply(const CellGrid& grid, const CellBlock& block,
                  const std::function<long long(int row, int column)>& result)
{
    BlockResult out{grid, std::nullopt};
    for (int r = block.top(); r <= block.bottom(); ++r)
        for (int c = block.left(); c <= block.right(); ++c) {
            const long long v = result(r, c);
            if (v < 0 || v > kCellMax) return {grid, BlockRefusal{r, c, v}};
            out.grid[at(r)][at(c)] = static_cast<int>(v);
        }
    return out;
}

} // namespace

BlockResult setBlock(const CellGrid& grid, const CellBlock& block, int value)
{
    return apply(grid, block, [value](int, int) { return value; });
}

BlockResult addToBlock(const CellGrid& grid, const CellBlock& block, int amount)
{
    return apply(grid, block,
                 [&](int r, int c) { return static_cast<long long>(grid[at(r)][at(c)]) + amount; });
}

BlockResult scaleBlock(const CellGrid& grid, const CellBlock& block, int percent)
{
    return apply(grid, block, [&](int r, int c) {
        return roundedQuotient(static_cast<long long>(grid[at(r)][at(c)]) * percent, 100);
    });
}

BlockResult interpolateBlock(const CellGrid& grid, const CellBlock& block, Interpolation how)
{
    const int top = block.top(), bottom = block.bottom(), left = block.left(), right = block.right();
    // a block one cell wide has nothing between its ends: its span counts as one step, its far end
    // weighs nothing
    const long long width = std::max(1, right - left), height = std::max(1, bottom - top);
    const auto cell = [&](int r, int c) { return static_cast<long long>(grid[at(r)][at(c)]); };
    return apply(grid, block, [&](int r, int c) -> long long {
        const long long x = c - left, y = r - top;
        switch (how) {
        case Interpolation::Rows:
            return roundedQuotient(cell(r, left) * (width - x) + cell(r, right) * x, width);
        case Interpolation::Columns:
            return roundedQuotient(cell(top, c) * (height - y) + cell(bottom, c) * y, height);
        case Interpolation::Both:
            break;
        }
        return roundedQuotient(cell(top, left) * (width - x) * (height - y) +
                                   cell(top, right) * x * (height - y) +
                                   cell(bottom, left) * (width - x) * y + cell(bottom, right) * x * y,
                               width * height);
    });
}

QString blockRefusalText(const BlockRefusal& refusal, Language language)
{
    static constexpr LocalText kRefusal{
        "%1: il risultato %2 e' fuori da 0..%3. La tabella non e' stata cambiata.",
        "%1: the result %2 is outside 0..%3. The table was not changed.",
        "%1: sonuc %2, 0..%3 disinda. Tablo degistirilmedi."};
    const QString cell = writeItemLabel({true, refusal.row * kTableSide + refusal.column + 1}, language);
    return kRefusal.in(language).arg(cell, QString::number(refusal.value), QString::number(kCellMax));
}

QColor heatColour(int value)
{
    const int v = std::clamp(value, 0, kCellMax);
    // four equal legs of the hue wheel, each moving one channel
    const int leg = v * 4 / (kCellMax + 1);
    const int step = (v * 4 * 255 / kCellMax) - leg * 255;
    const int up = std::clamp(step, 0, 255), down = 255 - up;
    switch (leg) {
    case 0:
        return {0, up, 255};
    case 1:
        return {0, 255, down};
    case 2:
        return {up, 255, 0};
    default:
        return {255, down, 0};
    }
}

namespace {
double luminance(const QColor& c)
{
    const auto channel = [](double v) {
        v /= 255.0;
        return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(c.red()) + 0.7152 * channel(c.green()) + 0.0722 * channel(c.blue());
}
} // namespace

QColor readableTextOn(const QColor& background)
{
    // contrast ratios against black (L + 0.05) / 0.05 and white 1.05 / (L + 0.05) cross here
    return luminance(background) > 0.179 ? QColor(0, 0, 0) : QColor(255, 255, 255);
}
