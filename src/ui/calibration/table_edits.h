#pragma once

// Block edits of the KGB table, without any widget: what the editor does to a rectangle of cells
// before anything becomes a pending value, and the history of those edits until they are stored.

#include "link/language.h"
#include "link/value_limits.h"

#include <QColor>
#include <QString>

#include <array>
#include <optional>
#include <vector>

constexpr int kTableSide = 8;

using CellGrid = std::array<std::array<int, kTableSide>, kTableSide>;
using TextGrid = std::array<std::array<QString, kTableSide>, kTableSide>;

// Rows and columns 0..7, both corners included, in any order.
struct CellBlock {
    int row0 = 0, column0 = 0, row1 = 0, column1 = 0;

    int top() const;
    int bottom() const;
    int left() const;
    int right() const;
    bool contains(int row, int column) const;
};

enum class Interpolation { Rows, Columns, Both };
// What one key does with a block: along its only row, down its only column, else between its corners.
Interpolation interpolationFor(const CellBlock& block);

// The first cell of the block, row by row, whose result would leave 0..255.
struct BlockRefusal {
    int row = 0;
    int column = 0;
    long long value = 0;
};

struct BlockResult {
    CellGrid grid{};
    std::optional<BlockRefusal> refusal; // when set, `grid` is the one given, untouched
};

BlockResult setBlock(const CellGrid& grid, const CellBlock& block, int value);
BlockResult addToBlock(const CellGrid& grid, const CellBlock& block, int amount);
BlockResult scaleBlock(const CellGrid& grid, const CellBlock& block, int percent);
// By numerator / denominator percent (97.5 % is 975 / 10), rounded halves to even.
BlockResult scaleBlock(const CellGrid& grid, const CellBlock& block, long long numerator,
                       long long denominator);
// Linear between the block's own edges (rows: its left and right cells, columns: its top and bottom
// cells, both: its four corners), rounded halves to even as the table holds whole numbers.
BlockResult interpolateBlock(const CellGrid& grid, const CellBlock& block, Interpolation how);

// Each cell of the block moves halfway towards the mean of its neighbours in the table (up to 8,
// fewer on the edges), all taken from the grid as given; rounded halves to even. Cells outside the
// block only lend their values.
BlockResult smoothBlock(const CellGrid& grid, const CellBlock& block);

QString blockRefusalText(const BlockRefusal& refusal, Language language);

// A percentage typed for scaling, kept exact: 97.5 is 975 / 10.
struct PercentReading {
    long long numerator = 0;
    long long denominator = 1;
    QString refusalTitle; // set when nothing was read
    QString refusal;
};
constexpr int kMaxPercent = 1000;
PercentReading readPercent(const QString& text, const QString& fieldName, Language language);

// The block as spreadsheets copy it: cells separated by tabs, every row ended by a newline.
QString blockText(const TextGrid& texts, const CellBlock& block);

// Why a pasted text is refused: a field that is not a whole number 0..255 (the cell it would land
// on), or a block reaching past the table's last row or column from the cell it starts at.
struct PasteRefusal {
    enum class Kind { NotACell, DoesNotFit };
    Kind kind = Kind::NotACell;
    int row = 0, column = 0; // the cell named
    QString text;            // NotACell: the field as pasted
};
struct PasteResult {
    CellGrid grid{};
    CellBlock block; // where it landed
    std::optional<PasteRefusal> refusal;
};
// Tab-separated rows (\n, \r\n or \r between them, one ending line break ignored) placed with their
// first field at (top, left). Reads no further than the table can hold, whatever the text's size.
PasteResult pasteBlock(const CellGrid& grid, int top, int left, const QString& text);
QString pasteRefusalText(const PasteRefusal& refusal, Language language);

// The heat scale of the cells: blue at 0 through cyan, green and yellow to red at 255.
QColor heatColour(int value);
// The same scale spread over the values a table holds, `low` blue and `high` red; a flat table
// (low = high) takes the middle of the scale.
QColor heatColour(int value, int low, int high);
// Black or white, whichever contrasts more with `background`.
QColor readableTextOn(const QColor& background);

// Undo and redo over whole snapshots: a block edit changes many cells and is undone at once.
template <typename Snapshot> class EditHistory {
public:
    static constexpr size_t kDepth = 100;

    // `before` is what the next undo brings back; a new edit forgets what was undone.
    void record(const Snapshot& before)
    {
        undo_.push_back(before);
        if (undo_.size() > kDepth) undo_.erase(undo_.begin());
        redo_.clear();
    }
    std::optional<Snapshot> undo(const Snapshot& current)
    {
        if (undo_.empty()) return std::nullopt;
        Snapshot back = undo_.back();
        undo_.pop_back();
        redo_.push_back(current);
        return back;
    }
    std::optional<Snapshot> redo(const Snapshot& current)
    {
        if (redo_.empty()) return std::nullopt;
        Snapshot again = redo_.back();
        redo_.pop_back();
        undo_.push_back(current);
        return again;
    }
    // For snapshots that hold both sides of an edit: the step is handed back as it was recorded,
    // and moves to the other list.
    std::optional<Snapshot> takeUndo() { return move(undo_, redo_); }
    std::optional<Snapshot> takeRedo() { return move(redo_, undo_); }
    bool canUndo() const { return !undo_.empty(); }
    bool canRedo() const { return !redo_.empty(); }
    void clear()
    {
        undo_.clear();
        redo_.clear();
    }

private:
    static std::optional<Snapshot> move(std::vector<Snapshot>& from, std::vector<Snapshot>& to)
    {
        if (from.empty()) return std::nullopt;
        Snapshot step = from.back();
        from.pop_back();
        to.push_back(step);
        return step;
    }
    std::vector<Snapshot> undo_;
    std::vector<Snapshot> redo_;
};
