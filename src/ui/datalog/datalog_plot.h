#pragma once

#include "link/language.h"
#include "ui/datalog/datalog_trace.h"

#include <QWidget>

class DatalogViewer;

namespace datalog_plot_texts {
inline constexpr LocalText kFuel{"Carburante", "Fuel", "Yakit"};
inline constexpr LocalText kPetrol{"Benzina", "Petrol", "Benzin"};
inline constexpr LocalText kGas{"Gas", "Gas", "Gaz"};
} // namespace datalog_plot_texts

// The viewer's chart, drawn by hand so that a line broken by gaps stays one line and the cost of a
// view follows the pixels, not the rows: one pane per unit stacked over a shared time axis, the
// fuel band under them, markers, the cursor, and a compared log dashed over the first. Mouse and
// keys: the wheel zooms (with Shift it scrolls), a drag scrolls, a click places the cursor, arrows
// scroll, + and - zoom, Home and End go to the ends.
class DatalogPlot : public QWidget {
public:
    DatalogPlot(DatalogViewer& viewer, QWidget* parent);

    // What a channel's line is in the current view, at the current width.
    DatalogTrace trace(int channel, bool compared = false) const;
    // The rectangle holding the panes, and each pane's part of it (in the viewer's pane order).
    QRectF plotArea() const;
    QRectF paneArea(int pane) const;
    double timeAt(QPointF pos) const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    int leftMargin() const;
    int bandHeight() const;
    double xOf(double ms, const QRectF& area) const;
    void drawPane(QPainter& painter, int pane, const QRectF& area) const;
    void drawFuelBand(QPainter& painter, const QRectF& band) const;
    void drawTimeAxis(QPainter& painter, const QRectF& area) const;
    void drawLegend(QPainter& painter, const QRectF& row) const;

    DatalogViewer& viewer_;
    double pressX_ = 0;
    double pressStart_ = 0;
    bool dragging_ = false;
};
