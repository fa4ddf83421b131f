#pragma once

#include <QColor>
#include <QWidget>

#include <array>

class QFrame;
class QLabel;
class QLineEdit;

// A value box drawn dark, so that the fuel colours (bright red, bright green) read on it.
void paintAsDisplay(QLineEdit* box);
void setDisplayColour(QLineEdit* box, const QColor& colour);

// The KGB table as the design draws it: 80 boxes at fixed twip positions (`Text6`(0..7) the RPM
// breakpoints, (8..15) the TINJ breakpoints, (16..79) the cells), the "RPM" and "TINJ" labels and
// the operating-point marker `Shape1`. 15 twips to a pixel at 96 dpi, scaled with the screen.
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
    // Fore colour of every box (fuel in use).
    void setTextColour(const QColor& colour);

    QSize sizeHint() const override;

private:
    void place(QWidget* widget, int leftTwips, int topTwips, int widthTwips, int heightTwips);

    std::array<QLineEdit*, kBoxes> boxes_{};
    QLabel* rpmLabel;  // Label10 "RPM"
    QLabel* tinjLabel; // Label9 "TINJ"
    QFrame* marker_;   // Shape1
    QColor textColour_;
};
