#pragma once

#include <QColor>
#include <QWidget>

#include "ui/calibration/table_edits.h"

#include <array>
#include <optional>
#include <vector>

class CellMarks;
class HeatLegend;
class QFrame;
class QLabel;
class QLineEdit;

// A value box drawn dark, so that the fuel colours (bright red, bright green) read on it.
void paintAsDisplay(QLineEdit* box);
void setDisplayColour(QLineEdit* box, const QColor& colour);

// What a cell shows over its box while the table is seen another way than by its values (the
// analysis of a drive): a text on a colour, hatched for a cell that lacks something, and a tip.
struct CellTile {
    QString text;
    QColor background;
    QColor foreground;
    bool hatched = false;
    QString tip;
};
using CellTiles = std::array<CellTile, 64>; // cell k at [k - 1]
// One swatch of the legend under the cells while tiles are shown.
struct LegendSwatch {
    QColor colour;
    QString text;
    bool hatched = false;
};

// The KGB table as the design draws it: 80 boxes at fixed twip positions (`Text6`(0..7) the RPM
// breakpoints, (8..15) the TINJ breakpoints, (16..79) the cells), the "RPM" and "TINJ" labels and
// the operating-point marker `Shape1`. 15 twips to a pixel at 96 dpi, scaled with the screen.
// Below the cells a legend gives the values at the two ends of their heat colours.
class TableGrid : public QWidget {
    Q_OBJECT
public:
    static constexpr int kBoxes = 80;
    static constexpr int kFirstCellBox = 16; // cell k is box 15 + k

    explicit TableGrid(QWidget* parent = nullptr);

    QLineEdit* box(int index) const { return boxes_[static_cast<size_t>(index)]; }
    QLineEdit* cellBox(int cell) const { return box(kFirstCellBox - 1 + cell); }
    QFrame* marker() const { return marker_; }

    // Twips to this screen's pixels.
    int pixels(int twips) const;
    void moveMarker(int leftTwips, int topTwips);
    // Fore colour of the axis boxes (fuel in use); the cells take black or white on their heat colour.
    void setTextColour(const QColor& colour);

    // The ECU's value of cell 1..64: a cell showing anything else is marked as not yet written.
    void setEcuCell(int cell, int value);
    // The same for the breakpoint of box 0..15.
    void setEcuAxis(int index, int value);
    // What the ECU holds for box 0..79.
    int ecuValue(int index) const { return ecuValues_[static_cast<size_t>(index)]; }
    bool isPending(int cell) const { return isBoxPending(kFirstCellBox - 1 + cell); }
    bool isBoxPending(int index) const { return pending_[static_cast<size_t>(index)]; }
    // Typed into (or edited as a block) since the box last showed the ECU's value: kept on refresh.
    bool isEdited(int index) const { return edited_[static_cast<size_t>(index)]; }
    void setEdited(int index, bool edited) { edited_[static_cast<size_t>(index)] = edited; }
    void clearEdited() { edited_.fill(false); }
    // The block of cells the editor acts on, outlined; nothing for none.
    void setSelection(const std::optional<CellBlock>& block);
    // The cell 1..64 under a point of this widget, 0 for none.
    int cellAt(const QPoint& point) const;
    // The box 0..79 under a point of this widget, -1 for none.
    int boxAt(const QPoint& point) const;
    // The box that is `widget`, -1 for none.
    int indexOf(const QObject* widget) const;
    // The language of the hints on the boxes (the ECU's value of an edited box).
    void setLanguage(Language language);
    // The values at the two ends of the heat colours: the least and the greatest cell shown.
    int heatLow() const { return heatLow_; }
    int heatHigh() const { return heatHigh_; }

    // Tiles over the cells (the boxes stay beneath, with their values and the editor's keys) and
    // the legend that explains them; nothing: the values and their heat colours.
    void setTiles(const std::optional<CellTiles>& tiles, const std::vector<LegendSwatch>& legend = {});
    const std::optional<CellTiles>& tiles() const { return tiles_; }

    // The cell 1..64 of the operating point, outlined; 0 for none.
    void setOperatingCell(int cell);
    int operatingCell() const { return operatingCell_; }

    QSize sizeHint() const override;

private:
    friend class CellMarks;
    friend class HeatLegend;
    void showBox(int index);
    void showCell(int cell);
    bool updateHeatRange();
    void place(QWidget* widget, int leftTwips, int topTwips, int widthTwips, int heightTwips);

    std::array<QLineEdit*, kBoxes> boxes_{};
    QLabel* rpmLabel;  // Label10 "RPM"
    QLabel* tinjLabel; // Label9 "TINJ"
    QFrame* marker_;   // Shape1
    QColor textColour_;
    CellMarks* marks_;
    HeatLegend* legend_;
    std::array<int, kBoxes> ecuValues_{};
    std::array<bool, kBoxes> pending_{};
    Language language_ = Language::Italian;
    int heatLow_ = 0, heatHigh_ = 0;
    int operatingCell_ = 0;
    std::array<bool, kBoxes> edited_{};
    std::optional<CellBlock> selection_;
    std::optional<CellTiles> tiles_;
    std::vector<LegendSwatch> legendSwatches_;
};
