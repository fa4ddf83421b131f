#include "ui/calibration/table_edits.h"

#include "link/input_rule.h"
#include "link/number_text.h"
#include "link/rounding.h"
#include "link/write_session.h"
#include "ui/calibration/calibration_rules.h"

#include <QStringTokenizer>

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
    return scaleBlock(grid, block, percent, 1);
}

BlockResult scaleBlock(const CellGrid& grid, const CellBlock& block, long long numerator,
                       long long denominator)
{
    return apply(grid, block, [&](int r, int c) {
        return divideHalfEven(static_cast<long long>(grid[at(r)][at(c)]) * numerator, 100 * denominator);
    });
}

Interpolation interpolationFor(const CellBlock& block)
{
    if (block.top() == block.bottom()) return Interpolation::Rows;
    if (block.left() == block.right()) return Interpolation::Columns;
    return Interpolation::Both;
}

BlockResult smoothBlock(const CellGrid& grid, const CellBlock& block)
{
    return apply(grid, block, [&](int r, int c) {
        long long sum = 0, count = 0;
        for (int nr = std::max(0, r - 1); nr <= std::min(kTableSide - 1, r + 1); ++nr)
            for (int nc = std::max(0, c - 1); nc <= std::min(kTableSide - 1, c + 1); ++nc)
                if (nr != r || nc != c) {
                    sum += grid[at(nr)][at(nc)];
                    ++count;
                }
        // (v + sum / count) / 2 as one quotient, so the rounding happens once
        return divideHalfEven(grid[at(r)][at(c)] * count + sum, 2 * count);
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
            return divideHalfEven(cell(r, left) * (width - x) + cell(r, right) * x, width);
        case Interpolation::Columns:
            return divideHalfEven(cell(top, c) * (height - y) + cell(bottom, c) * y, height);
        case Interpolation::Both:
            break;
        }
        return divideHalfEven(cell(top, left) * (width - x) * (height - y) +
                                  cell(top, right) * x * (height - y) + cell(bottom, left) * (width - x) * y +
                                  cell(bottom, right) * x * y,
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

QColor heatColour(int value, int low, int high)
{
    if (high <= low) return heatColour((kCellMax + 1) / 2);
    const long long spread = static_cast<long long>(std::clamp(value, low, high) - low) * kCellMax;
    return heatColour(static_cast<int>(divideHalfEven(spread, high - low)));
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

PercentReading readPercent(const QString& text, const QString& fieldName, Language language)
{
    FieldRule rule;
    rule.max = kMaxPercent;
    rule.roundsFractions = true;
    rule.shownName = fieldName;
    const BoxReading reading = readWholeNumber(text, rule, language);
    if (!reading.value) return {0, 1, reading.refusalTitle, reading.refusal};
    // the exact value, not the rounded one. Beyond six decimals a percentage cannot move a cell of
    // 0..255 across a half.
    const Decimal number = *readDecimal(text, number_syntax::kRounded);
    const QString fraction = number.fraction.left(6);
    PercentReading out;
    for (qsizetype i = 0; i < fraction.size(); ++i)
        out.denominator *= 10;
    out.numerator = number.whole * out.denominator + fraction.toLongLong();
    return out;
}

QString blockText(const TextGrid& texts, const CellBlock& block)
{
    QString out;
    for (int r = block.top(); r <= block.bottom(); ++r) {
        for (int c = block.left(); c <= block.right(); ++c) {
            if (c > block.left()) out += QLatin1Char('\t');
            out += texts[at(r)][at(c)].trimmed();
        }
        out += QLatin1Char('\n');
    }
    return out;
}

PasteResult pasteBlock(const CellGrid& grid, int top, int left, const QString& text)
{
    top = std::clamp(top, 0, kTableSide - 1);
    left = std::clamp(left, 0, kTableSide - 1);
    PasteResult out{grid, CellBlock{top, left, top, left}, std::nullopt};
    const auto refuse = [&](PasteRefusal::Kind kind, int row, int column, QStringView field) {
        QString shown = field.left(25).toString();
        if (shown.size() > 24) shown = shown.left(24) + QStringLiteral("…");
        return PasteResult{grid, out.block, PasteRefusal{kind, row, column, shown}};
    };
    QStringView rest(text);
    if (rest.endsWith(u"\r\n"))
        rest.chop(2);
    else if (rest.endsWith(u'\n') || rest.endsWith(u'\r'))
        rest.chop(1);
    int row = top;
    qsizetype start = 0;
    while (true) {
        qsizetype end = start;
        while (end < rest.size() && rest[end] != u'\n' && rest[end] != u'\r')
            ++end;
        if (row >= kTableSide) return refuse(PasteRefusal::Kind::DoesNotFit, top, left, {});
        int column = left;
        for (const QStringView field : QStringTokenizer(rest.mid(start, end - start), u'\t')) {
            if (column >= kTableSide) return refuse(PasteRefusal::Kind::DoesNotFit, top, left, {});
            FieldRule rule;
            rule.max = kCellMax;
            rule.shownName = QStringLiteral("-"); // the refusal is worded by pasteRefusalText
            const BoxReading reading = readWholeNumber(field.trimmed().toString(), rule, Language::English);
            if (!reading.value) return refuse(PasteRefusal::Kind::NotACell, row, column, field.trimmed());
            out.grid[at(row)][at(column)] = static_cast<int>(*reading.value);
            out.block.column1 = std::max(out.block.column1, column);
            ++column;
        }
        out.block.row1 = row;
        if (end >= rest.size()) break;
        start = end + (rest[end] == u'\r' && end + 1 < rest.size() && rest[end + 1] == u'\n' ? 2 : 1);
        ++row;
    }
    return out;
}

QString pasteRefusalText(const PasteRefusal& refusal, Language language)
{
    static constexpr LocalText kNotACell{
        "%1: \"%2\" non e' un numero intero da 0 a %3. La tabella non e' stata cambiata.",
        "%1: \"%2\" is not a whole number from 0 to %3. The table was not changed.",
        "%1: \"%2\" 0 ile %3 arasinda bir tam sayi degil. Tablo degistirilmedi."};
    static constexpr LocalText kDoesNotFit{
        "%1: da qui il blocco incollato esce dalla tabella (al piu' %2 righe e %3 colonne). La tabella non "
        "e' stata cambiata.",
        "%1: from here the pasted block runs past the table (%2 rows and %3 columns at most). The table was "
        "not changed.",
        "%1: yapistirilan blok buradan tablonun disina tasiyor (en cok %2 satir ve %3 sutun). Tablo "
        "degistirilmedi."};
    const QString cell = writeItemLabel({true, refusal.row * kTableSide + refusal.column + 1}, language);
    if (refusal.kind == PasteRefusal::Kind::NotACell)
        return kNotACell.in(language).arg(cell, refusal.text, QString::number(kCellMax));
    return kDoesNotFit.in(language).arg(cell, QString::number(kTableSide - refusal.row),
                                        QString::number(kTableSide - refusal.column));
}
