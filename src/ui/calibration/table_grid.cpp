#include "ui/calibration/table_grid.h"

#include "ui/calibration/calibration_rules.h"
#include "ui/calibration/table_edits.h"
#include "ui/common/widgets.h"

#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>

using namespace grid_twips;

namespace {
// The far corner of the marker's range (7440, 4320) plus its side.
constexpr int kWidthTwips = 7440 + kMarkerSide;
constexpr int kHeightTwips = 4320 + kMarkerSide;
} // namespace

// Drawn over the cells without taking their clicks: a corner mark on each cell not yet written,
// a black and white outline (readable on every heat colour) around the operating point's cell.
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
        p.setRenderHint(QPainter::Antialiasing);
        const int side = std::max(6, grid_->pixels(150));
        for (int cell = 1; cell <= 64; ++cell) {
            if (!grid_->isPending(cell)) continue;
            const QRect r = grid_->cellBox(cell)->geometry();
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
    for (int cell = 1; cell <= 64; ++cell)
        connect(cellBox(cell), &QLineEdit::textChanged, this, [this, cell] { showCell(cell); });
    rpmLabel = namedLabel(this, QStringLiteral("Label10"), QStringLiteral("RPM"));
    place(rpmLabel, 360, 120, 600, 300);
    tinjLabel = namedLabel(this, QStringLiteral("Label9"), QStringLiteral("TINJ"));
    place(tinjLabel, 120, 480, 600, 300);

    marks_ = new CellMarks(this);
    marks_->setGeometry(rect());
    marker_ = new QFrame(this);
    marker_->setObjectName(QStringLiteral("Shape1"));
    // an outline: the cell under it stays readable and can still be clicked
    marker_->setStyleSheet(
        QStringLiteral("QFrame#Shape1 { border: 2px solid rgb(255,255,0); background: transparent; }"));
    marker_->setAttribute(Qt::WA_TransparentForMouseEvents);
    place(marker_, 960, 720, kMarkerSide, kMarkerSide);
    setFixedSize(sizeHint());
    marks_->setGeometry(rect());
    marks_->raise();
    marker_->raise();
    for (int cell = 1; cell <= 64; ++cell)
        showCell(cell);
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
    marker_->move(pixels(leftTwips), pixels(topTwips));
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
    if (cell < 1 || cell > 64 || ecuCells_[static_cast<size_t>(cell - 1)] == value) return;
    ecuCells_[static_cast<size_t>(cell - 1)] = value;
    showCell(cell);
}

void TableGrid::setSelection(const std::optional<CellBlock>& block)
{
    selection_ = block;
    marks_->update();
}

int TableGrid::cellAt(const QPoint& point) const
{
    for (int cell = 1; cell <= 64; ++cell)
        if (cellBox(cell)->geometry().contains(point)) return cell;
    return 0;
}

void TableGrid::setOperatingCell(int cell)
{
    if (cell == operatingCell_) return;
    operatingCell_ = cell;
    marks_->update();
}

void TableGrid::showCell(int cell)
{
    QLineEdit* box = cellBox(cell);
    bool ok = false;
    const int value = box->text().trimmed().toInt(&ok);
    // what store would refuse keeps the dark display look; it is marked as not written all the same
    const QColor base = ok ? heatColour(value) : QColor(24, 24, 24);
    QPalette palette = box->palette();
    if (palette.color(QPalette::Base) != base) {
        palette.setColor(QPalette::Base, base);
        palette.setColor(QPalette::Text, ok ? readableTextOn(base) : QColor(255, 255, 255));
        box->setPalette(palette);
    }
    const bool pending = !ok || value != ecuCells_[static_cast<size_t>(cell - 1)];
    if (pending != pending_[static_cast<size_t>(cell - 1)]) {
        pending_[static_cast<size_t>(cell - 1)] = pending;
        marks_->update();
    }
}
