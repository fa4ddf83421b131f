#pragma once

// Block edits of the KGB table, without any widget: what the editor does to a rectangle of cells
// before anything becomes a pending value, and the history of those edits until they are stored.

#include "link/language.h"

#include <QColor>
#include <QString>

#include <array>
#include <optional>
#include <vector>

constexpr int kTableSide = 8;
constexpr int kCellMax = 255;

using CellGrid = std::array<std::array<int, kTableSide>, kTableSide>;

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
// Linear between the block's own edges (rows: its left and right cells, columns: its top and bottom
// cells, both: its four corners), rounded halves to even as the table holds whole numbers.
BlockResult interpolateBlock(const CellGrid& grid, const CellBlock& block, Interpolation how);

QString blockRefusalText(const BlockRefusal& refusal, Language language);

// The heat scale of the cells: blue at 0 through cyan, green and yellow to red at 255.
QColor heatColour(int value);
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
    bool canUndo() const { return !undo_.empty(); }
    bool canRedo() const { return !redo_.empty(); }
    void clear()
    {
        undo_.clear();
        redo_.clear();
    }

private:
    std::vector<Snapshot> undo_;
    std::vector<Snapshot> redo_;
};
