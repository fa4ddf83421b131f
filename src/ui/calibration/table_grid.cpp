#include "ui/calibration/table_grid.h"

#include "ui/calibration/calibration_rules.h"
#include "ui/common/widgets.h"

#include <QFrame>
#include <QLabel>
#include <QLineEdit>

using namespace grid_twips;

namespace {
// The far corner of the marker's range (7440, 4320) plus its side.
constexpr int kWidthTwips = 7440 + kMarkerSide;
constexpr int kHeightTwips = 4320 + kMarkerSide;
} // namespace

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

    marker_ = new QFrame(this);
    marker_->setObjectName(QStringLiteral("Shape1"));
    // an outline: the cell under it stays readable and can still be clicked
    marker_->setStyleSheet(
        QStringLiteral("QFrame#Shape1 { border: 2px solid rgb(255,255,0); background: transparent; }"));
    marker_->setAttribute(Qt::WA_TransparentForMouseEvents);
    place(marker_, 960, 720, kMarkerSide, kMarkerSide);
    marker_->raise();
    setFixedSize(sizeHint());
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
    for (QLineEdit* box : boxes_)
        setDisplayColour(box, colour);
}
