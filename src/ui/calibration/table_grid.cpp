#include "ui/calibration/table_grid.h"

#include "ui/calibration/calibration_rules.h"
#include "ui/calibration/table_edits.h"
#include "ui/common/colours.h"
#include "ui/common/widgets.h"

#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>

#include <algorithm>

using namespace grid_twips;

namespace {
// The far corner of the marker's range (7440, 4320) plus its side; the legend below it.
constexpr int kWidthTwips = 7440 + kMarkerSide;
constexpr int kLegendTop = 4320 + kMarkerSide + 45, kLegendHeight = 285;
constexpr int kHeightTwips = kLegendTop + kLegendHeight;
constexpr int kCellsRight = kColumnLeft + 7 * kColumnPitch + kBoxWidth;
constexpr LocalText kLegendTip{"Colori delle celle: dal valore piu' basso della tabella al piu' alto",
                               "Cell colours: from the table's lowest value to its highest",
                               "Hucre renkleri: tablonun en dusuk degerinden en yuksegine"};

QRect cellsArea(const TableGrid* grid)
{
    return grid->cellBox(1)->geometry().united(grid->cellBox(64)->geometry());
}
} // namespace

// Drawn over the cells without taking their clicks: a corner mark on each box not yet written,
// the block being edited, and the operating point: the marker's cross-hair runs only through the
// gaps between the boxes, with a pointer on each axis, and its cell is outlined, so every number
// stays readable.
class CellMarks : public QWidget {
public:
    explicit CellMarks(TableGrid* grid) : QWidget(grid), grid_(grid)
    {
        setAttribute(Qt::WA_TransparentForMouseEvents);
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        if (grid_->tiles_) paintTiles(p);
        p.setRenderHint(QPainter::Antialiasing);
        const int side = std::max(6, grid_->pixels(150));
        for (int index = 0; index < TableGrid::kBoxes; ++index) {
            if (!grid_->isBoxPending(index)) continue;
            const QRect r = grid_->box(index)->geometry();
            const QPolygon corner(
                {r.topLeft(), r.topLeft() + QPoint(side, 0), r.topLeft() + QPoint(0, side)});
            p.setPen(QPen(Qt::white, 1));
            p.setBrush(QColor(200, 0, 200));
            p.drawPolygon(corner);
        }
        if (const std::optional<CellBlock>& b = grid_->selection_) {
            const QRect first = grid_->cellBox(1 + 8 * b->top() + b->left())->geometry();
            const QRect last = grid_->cellBox(1 + 8 * b->bottom() + b->right())->geometry();
            const QRect block = first.united(last).adjusted(-3, -3, 2, 2);
            p.setBrush(QColor(0, 90, 255, 40));
            p.setPen(QPen(QColor(0, 90, 255), 2));
            p.drawRect(block);
        }
        if (!grid_->marker()->isHidden()) paintMarker(p);
        if (const int cell = grid_->operatingCell()) {
            const QRect r = grid_->cellBox(cell)->geometry();
            p.setBrush(Qt::NoBrush);
            p.setPen(QPen(Qt::black, 3));
            p.drawRect(r.adjusted(-2, -2, 1, 1));
            p.setPen(QPen(Qt::white, 1));
            p.drawRect(r.adjusted(-2, -2, 1, 1));
        }
    }

private:
    void paintTiles(QPainter& p)
    {
        for (int cell = 1; cell <= 64; ++cell) {
            const CellTile& tile = (*grid_->tiles_)[static_cast<size_t>(cell - 1)];
            const QRect r = grid_->cellBox(cell)->geometry();
            p.fillRect(r, tile.background);
            if (tile.hatched) p.fillRect(r, QBrush(tile.foreground, Qt::BDiagPattern));
            p.setPen(QPen(QColor(90, 90, 90), 1));
            p.drawRect(r.adjusted(0, 0, -1, -1));
            if (tile.text.isEmpty()) continue;
            p.setFont(grid_->cellBox(cell)->font());
            const QRect textArea = r.adjusted(2, 0, -3, 0);
            // hatching behind the text would make it hard to read
            if (tile.hatched) {
                QRect behind = p.fontMetrics().boundingRect(textArea, Qt::AlignCenter, tile.text);
                p.fillRect(behind.adjusted(-2, 0, 2, 0), tile.background);
            }
            p.setPen(tile.foreground);
            p.drawText(textArea, Qt::AlignCenter, tile.text);
        }
    }

    void paintMarker(QPainter& p)
    {
        const QPointF centre = QRectF(grid_->marker()->geometry()).center();
        const QRect cells = cellsArea(grid_);
        p.save();
        QRegion gaps(rect());
        for (int index = 0; index < TableGrid::kBoxes; ++index)
            gaps -= grid_->box(index)->geometry();
        p.setClipRegion(gaps);
        const QLineF across(cells.left() - grid_->pixels(120), centre.y(), cells.right(), centre.y());
        const QLineF down(centre.x(), cells.top() - grid_->pixels(120), centre.x(), cells.bottom());
        p.setPen(QPen(Qt::black, 3));
        p.drawLine(across);
        p.drawLine(down);
        p.setPen(QPen(colours::yellow, 1));
        p.drawLine(across);
        p.drawLine(down);
        p.restore();
        // the pointers stand in the gaps between the breakpoints and the first row and column
        const qreal size = grid_->pixels(150);
        const qreal above = cells.top() - grid_->pixels(45), beside = cells.left() - grid_->pixels(45);
        const QPolygonF downward({{centre.x() - size / 2, above - size},
                                  {centre.x() + size / 2, above - size},
                                  {centre.x(), above}});
        const QPolygonF rightward({{beside - size, centre.y() - size / 2},
                                   {beside - size, centre.y() + size / 2},
                                   {beside, centre.y()}});
        p.setPen(QPen(Qt::black, 1));
        p.setBrush(colours::yellow);
        p.drawPolygon(downward);
        p.drawPolygon(rightward);
    }

    TableGrid* grid_;
};

// The two ends of the heat colours with the values they stand for.
class HeatLegend : public QWidget {
public:
    explicit HeatLegend(TableGrid* grid) : QWidget(grid), grid_(grid)
    {
        setObjectName(QStringLiteral("TableLegend"));
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        const QRect bar = rect().adjusted(0, 1, -1, -2);
        if (grid_->tiles_) {
            paintSwatches(p, bar);
            return;
        }
        const int low = grid_->heatLow(), high = grid_->heatHigh();
        if (high > low) {
            QLinearGradient scale(bar.topLeft(), bar.topRight());
            // the scale is straight between these five colours
            for (int leg = 0; leg <= 4; ++leg)
                scale.setColorAt(leg / 4.0, heatColour(std::min(kCellMax, leg * (kCellMax + 1) / 4)));
            p.fillRect(bar, scale);
        } else {
            p.fillRect(bar, heatColour(low, low, high));
        }
        p.setPen(QPen(QColor(90, 90, 90), 1));
        p.drawRect(bar);
        QFont small = font();
        small.setBold(true);
        p.setFont(small);
        const QRect text = bar.adjusted(4, 0, -4, 0);
        p.setPen(readableTextOn(heatColour(low, low, high)));
        p.drawText(text, Qt::AlignLeft | Qt::AlignVCenter, QString::number(low));
        p.setPen(readableTextOn(heatColour(high, low, high)));
        p.drawText(text, Qt::AlignRight | Qt::AlignVCenter, QString::number(high));
    }

private:
    void paintSwatches(QPainter& p, const QRect& bar)
    {
        const std::vector<LegendSwatch>& swatches = grid_->legendSwatches_;
        if (swatches.empty()) return;
        const int width = bar.width() / static_cast<int>(swatches.size());
        for (size_t i = 0; i < swatches.size(); ++i) {
            const LegendSwatch& s = swatches[i];
            const QRect r(bar.left() + static_cast<int>(i) * width, bar.top(), width, bar.height());
            p.fillRect(r, s.colour);
            const QColor ink = readableTextOn(s.colour);
            if (s.hatched) p.fillRect(r, QBrush(ink, Qt::BDiagPattern));
            p.setPen(QPen(QColor(90, 90, 90), 1));
            p.drawRect(r.adjusted(0, 0, -1, 0));
            p.setPen(ink);
            const QString text = p.fontMetrics().elidedText(s.text, Qt::ElideRight, r.width() - 6);
            if (s.hatched) {
                const QRect behind = p.fontMetrics().boundingRect(r, Qt::AlignCenter, text);
                p.fillRect(behind.adjusted(-2, 0, 2, 0), s.colour);
            }
            p.drawText(r, Qt::AlignCenter, text);
        }
    }

    TableGrid* grid_;
};

void paintAsDisplay(QLineEdit* box)
{
    QPalette palette = box->palette();
    palette.setColor(QPalette::Base, QColor(24, 24, 24));
    palette.setColor(QPalette::Text, QColor(0, 255, 0));
    box->setPalette(palette);
}

void setDisplayColour(QLineEdit* box, const QColor& colour)
{
    if (box->palette().color(QPalette::Text) == colour) return;
    QPalette palette = box->palette();
    palette.setColor(QPalette::Text, colour);
    box->setPalette(palette);
}

TableGrid::TableGrid(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("TableGrid"));
    for (int i = 0; i < kBoxes; ++i) {
        auto* box = new QLineEdit(this);
        box->setObjectName(QStringLiteral("Text6_%1").arg(i));
        box->setAlignment(Qt::AlignRight);
        box->setTextMargins(0, 0, 2, 0);
        paintAsDisplay(box);
        connect(box, &QLineEdit::textEdited, this, [this, i] { edited_[static_cast<size_t>(i)] = true; });
        connect(box, &QLineEdit::textChanged, this, [this, i] { showBox(i); });
        boxes_[static_cast<size_t>(i)] = box;
        if (i < 8)
            place(box, kColumnLeft + kColumnPitch * i, kColumnHeaderTop, kBoxWidth, kBoxHeight);
        else if (i < kFirstCellBox)
            place(box, kRowHeaderLeft, kRowTop + kRowPitch * (i - 8), kBoxWidth, kBoxHeight);
        else {
            const int r = (i - kFirstCellBox) / 8, c = (i - kFirstCellBox) % 8;
            place(box, kColumnLeft + kColumnPitch * c, kRowTop + kRowPitch * r, kBoxWidth, kBoxHeight);
        }
    }
    // the breakpoints stand apart from the cells they head
    for (int i = 0; i < kFirstCellBox; ++i) {
        QFont bold = boxes_[static_cast<size_t>(i)]->font();
        bold.setBold(true);
        boxes_[static_cast<size_t>(i)]->setFont(bold);
    }
    rpmLabel = namedLabel(this, QStringLiteral("Label10"), QStringLiteral("RPM"));
    place(rpmLabel, 360, 120, 600, 300);
    tinjLabel = namedLabel(this, QStringLiteral("Label9"), QStringLiteral("TINJ"));
    place(tinjLabel, 120, 480, 600, 300);

    legend_ = new HeatLegend(this);
    place(legend_, kColumnLeft, kLegendTop, kCellsRight - kColumnLeft, kLegendHeight);
    marks_ = new CellMarks(this);
    marker_ = new QFrame(this);
    marker_->setObjectName(QStringLiteral("Shape1"));
    // it only says where the operating point is: the cross-hair drawn from it leaves the numbers free
    marker_->setFrameShape(QFrame::NoFrame);
    marker_->setAttribute(Qt::WA_TransparentForMouseEvents);
    place(marker_, 960, 720, kMarkerSide, kMarkerSide);
    setFixedSize(sizeHint());
    marks_->setGeometry(rect());
    marks_->raise();
    for (int i = 0; i < kBoxes; ++i)
        showBox(i);
}

int TableGrid::pixels(int twips) const
{
    return twips * logicalDpiX() / (15 * 96);
}

QSize TableGrid::sizeHint() const
{
    return {pixels(kWidthTwips), pixels(kHeightTwips)};
}

void TableGrid::place(QWidget* widget, int leftTwips, int topTwips, int widthTwips, int heightTwips)
{
    widget->setGeometry(pixels(leftTwips), pixels(topTwips), pixels(widthTwips), pixels(heightTwips));
}

void TableGrid::moveMarker(int leftTwips, int topTwips)
{
    const QPoint to(pixels(leftTwips), pixels(topTwips));
    if (marker_->pos() == to) return;
    marker_->move(to);
    marks_->update();
}

void TableGrid::setTextColour(const QColor& colour)
{
    if (colour == textColour_) return;
    textColour_ = colour;
    for (int i = 0; i < kFirstCellBox; ++i)
        setDisplayColour(boxes_[static_cast<size_t>(i)], colour);
}

void TableGrid::setEcuCell(int cell, int value)
{
    if (cell < 1 || cell > 64) return;
    const int index = kFirstCellBox - 1 + cell;
    if (ecuValues_[static_cast<size_t>(index)] == value) return;
    ecuValues_[static_cast<size_t>(index)] = value;
    showBox(index);
}

void TableGrid::setEcuAxis(int index, int value)
{
    if (index < 0 || index >= kFirstCellBox || ecuValues_[static_cast<size_t>(index)] == value) return;
    ecuValues_[static_cast<size_t>(index)] = value;
    showBox(index);
}

void TableGrid::setLanguage(Language language)
{
    legend_->setToolTip(tiles_ ? QString() : kLegendTip.in(language));
    if (language == language_) return;
    language_ = language;
    for (int i = 0; i < kBoxes; ++i)
        showBox(i);
}

void TableGrid::setSelection(const std::optional<CellBlock>& block)
{
    selection_ = block;
    marks_->update();
}

int TableGrid::cellAt(const QPoint& point) const
{
    const int index = boxAt(point);
    return index >= kFirstCellBox ? index - kFirstCellBox + 1 : 0;
}

int TableGrid::boxAt(const QPoint& point) const
{
    for (int i = 0; i < kBoxes; ++i)
        if (box(i)->geometry().contains(point)) return i;
    return -1;
}

int TableGrid::indexOf(const QObject* widget) const
{
    const auto found = std::find(boxes_.begin(), boxes_.end(), widget);
    return found == boxes_.end() ? -1 : static_cast<int>(found - boxes_.begin());
}

void TableGrid::setTiles(const std::optional<CellTiles>& tiles, const std::vector<LegendSwatch>& legend)
{
    tiles_ = tiles;
    legendSwatches_ = legend;
    legend_->setToolTip(tiles_ ? QString() : kLegendTip.in(language_));
    for (int cell = 1; cell <= 64; ++cell)
        showBox(kFirstCellBox - 1 + cell);
    marks_->update();
    legend_->update();
}

void TableGrid::setOperatingCell(int cell)
{
    if (cell == operatingCell_) return;
    operatingCell_ = cell;
    marks_->update();
}

void TableGrid::showBox(int index)
{
    QLineEdit* box = boxes_[static_cast<size_t>(index)];
    bool ok = false;
    const int value = box->text().trimmed().toInt(&ok);
    const int ecu = ecuValues_[static_cast<size_t>(index)];
    const bool pending = !ok || value != ecu;
    static constexpr LocalText kEcuValue{"Centralina: %1", "ECU: %1", "Beyin: %1"};
    QStringList tip;
    if (pending) tip << kEcuValue.in(language_).arg(ecu);
    if (tiles_ && index >= kFirstCellBox) tip << (*tiles_)[static_cast<size_t>(index - kFirstCellBox)].tip;
    tip.removeAll(QString());
    box->setToolTip(tip.join(QLatin1Char('\n')));
    if (pending != pending_[static_cast<size_t>(index)]) {
        pending_[static_cast<size_t>(index)] = pending;
        marks_->update();
    }
    if (index < kFirstCellBox) return;
    // a new least or greatest value moves every colour
    if (updateHeatRange()) {
        for (int cell = 1; cell <= 64; ++cell)
            showCell(cell);
        legend_->update();
    } else {
        showCell(index - kFirstCellBox + 1);
    }
}

bool TableGrid::updateHeatRange()
{
    int low = kCellMax, high = 0;
    bool any = false;
    for (int cell = 1; cell <= 64; ++cell) {
        bool ok = false;
        const int value = cellBox(cell)->text().trimmed().toInt(&ok);
        if (!ok) continue;
        any = true;
        low = std::min(low, std::clamp(value, 0, kCellMax));
        high = std::max(high, std::clamp(value, 0, kCellMax));
    }
    if (!any) low = high = 0;
    if (low == heatLow_ && high == heatHigh_) return false;
    heatLow_ = low;
    heatHigh_ = high;
    return true;
}

void TableGrid::showCell(int cell)
{
    QLineEdit* box = cellBox(cell);
    bool ok = false;
    const int value = box->text().trimmed().toInt(&ok);
    // what store would refuse keeps the dark display look; it is marked as not written all the same
    const QColor base = ok ? heatColour(value, heatLow_, heatHigh_) : QColor(24, 24, 24);
    QPalette palette = box->palette();
    if (palette.color(QPalette::Base) != base) {
        palette.setColor(QPalette::Base, base);
        palette.setColor(QPalette::Text, ok ? readableTextOn(base) : QColor(255, 255, 255));
        box->setPalette(palette);
    }
}
