#pragma once

#include "ui/calibration/graphical_plot.h"
#include "ui/common/form.h"

#include <QImage>
#include <QTimer>

#include <array>
#include <functional>

class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;
class LineControl;

// The KGB table as six curves, one per RPM breakpoint, to look at single points: select a curve
// by its legend, click a point for its breakpoints and value. A viewer: it sends nothing.
class GraphicalWindow : public Form {
    Q_OBJECT
public:
    explicit GraphicalWindow(AppContext& context);

    void blinkTick(); // Timer1

    const graphical_plot::PlotPoints& points() const { return points_; }
    int selectedCurve() const { return blink_.selectedCurve(); }
    // A click on a point sounds this; tests count.
    std::function<void()> beep;

protected:
    void onLoad() override;
    void onActivate() override;
    void onLanguageChanged() override { showRpmLabels(); }
    std::span<const Caption> captions() const override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    // The curves' RPM breakpoints; connected, the English ones carry the unit.
    void showRpmLabels();
    void selectCurve(int curve);
    void deselect();
    void drawCurve(int curve, const QColor& colour);
    void drawAllCurves();
    void clearSurface();

    // Curves are drawn here and the window paints it: covered and uncovered, the picture stays.
    QImage surface_;

    QFrame* plotArea;                          // Shape1, white
    std::array<LineControl*, 18> gridLines{};  // Line3(0..17), dotted
    std::array<LineControl*, 6> legendLines{}; // Line4..Line9
    std::array<QLabel*, 11> valueLabels{};     // Label5..Label15 "100".."200"
    std::array<QLabel*, 7> tinjLabels{};       // Label16..Label22
    std::array<QLabel*, 6> rpmLabels{};        // Label23..Label28, a click selects the curve
    QLabel* deselectLabel;                     // Label30
    QLineEdit* rpmBox;                         // Text1
    QLineEdit* tinjBox;                        // Text2
    QLineEdit* kgbBox;                         // Text3
    QPushButton* exitButton;                   // Command1 "EXIT"

    QTimer blinkTimer; // Timer1, 1000 ms

    graphical_plot::PlotPoints points_;
    std::array<int, 7> rpmAxis_{}, tinjAxis_{}; // the breakpoints shown, the ECU's or the demonstration's
    graphical_plot::Blink blink_;
};
