#include "ui/datalog/datalog_plot.h"

#include "ui/common/colours.h"
#include "ui/datalog/datalog_viewer.h"

#include <QKeyEvent>
#include <QPainter>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

namespace {

using namespace datalog_plot_texts;
constexpr LocalText kNoUnit{"senza unita'", "no unit", "birimsiz"};

constexpr int kPaneGap = 14; // room for the end labels of two panes
constexpr int kBandHeight = 14;
constexpr int kBandGap = 8;
const QColor kFrame(150, 150, 150);
const QColor kGrid(228, 228, 228);
const QColor kMarker(190, 90, 0);

QPen comparedPen(QColor colour)
{
    return QPen(colour.lighter(140), 1, Qt::DashLine);
}

} // namespace

DatalogPlot::DatalogPlot(DatalogViewer& viewer, QWidget* parent) : QWidget(parent), viewer_(viewer)
{
    setObjectName(QStringLiteral("Chart"));
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

int DatalogPlot::leftMargin() const
{
    // the unit written upwards, then tick labels as wide as "-00000"
    const QFontMetrics fm = fontMetrics();
    const int axis = fm.height() + 6 + fm.horizontalAdvance(QStringLiteral("-00000"));
    // and the fuel band's name beside it
    return viewer_.fuelChannel_ >= 0 ? std::max(axis, fm.horizontalAdvance(viewer_.text(kFuel)) + 8) : axis;
}

int DatalogPlot::bandHeight() const
{
    return viewer_.fuelChannel_ >= 0 ? kBandHeight + kBandGap : 0;
}

QRectF DatalogPlot::plotArea() const
{
    const int line = fontMetrics().height();
    const bool legend = viewer_.fuelChannel_ >= 0 || viewer_.compared_.rowCount() > 0;
    const int top = viewer_.log_.markers.empty() ? 6 : line + 2;
    const int bottom = bandHeight() + line + 6 + (legend ? line + 6 : 0);
    const double left = leftMargin();
    return QRectF(left, top, std::max(10.0, width() - left - 14), std::max(10, height() - top - bottom));
}

QRectF DatalogPlot::paneArea(int pane) const
{
    const QRectF area = plotArea();
    const int panes = std::max<int>(1, static_cast<int>(viewer_.panes_.size()));
    const double h = std::max(4.0, (area.height() - kPaneGap * (panes - 1)) / panes);
    return QRectF(area.left(), area.top() + pane * (h + kPaneGap), area.width(), h);
}

double DatalogPlot::xOf(double ms, const QRectF& area) const
{
    return area.left() + (ms - viewer_.viewStart_) / viewer_.viewSpan_ * area.width();
}

double DatalogPlot::timeAt(QPointF pos) const
{
    const QRectF area = plotArea();
    const double x = std::clamp((pos.x() - area.left()) / std::max(1.0, area.width()), 0.0, 1.0);
    return viewer_.viewStart_ + x * viewer_.viewSpan_;
}

DatalogTrace DatalogPlot::trace(int channel, bool compared) const
{
    const Datalog& own = viewer_.log_;
    if (channel < 0 || static_cast<size_t>(channel) >= own.channels.size()) return {};
    const Datalog& log = compared ? viewer_.compared_ : own;
    const int c = compared ? log.channelIndex(own.channels[static_cast<size_t>(channel)].key) : channel;
    if (c < 0) return {};
    return datalogTrace(log.timesMs, log.values[static_cast<size_t>(c)], viewer_.viewStart_,
                        viewer_.viewSpan_, static_cast<int>(plotArea().width()),
                        compared ? viewer_.comparedOffsetMs_ : 0);
}

void DatalogPlot::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), palette().window());
    const QRectF area = plotArea();
    const int panes = std::max<int>(1, static_cast<int>(viewer_.panes_.size()));
    for (int p = 0; p < panes; ++p)
        drawPane(painter, p, paneArea(p));
    const QRectF band(area.left(), area.bottom() + kBandGap, area.width(), kBandHeight);
    if (viewer_.fuelChannel_ >= 0) drawFuelBand(painter, band);
    drawTimeAxis(painter, area);

    // markers and the cursor cross every pane and the band
    const double bottom = area.bottom() + bandHeight();
    const QFontMetrics fm = fontMetrics();
    painter.setRenderHint(QPainter::Antialiasing, false);
    for (size_t m = 0; m < viewer_.log_.markers.size(); ++m) {
        const double ms = viewer_.log_.markers[m].timeMs;
        if (ms < viewer_.viewStart_ || ms > viewer_.viewStart_ + viewer_.viewSpan_) continue;
        const double x = xOf(ms, area);
        painter.setPen(QPen(kMarker, 1, Qt::DashDotLine));
        painter.drawLine(QPointF(x, area.top()), QPointF(x, bottom));
        const QString number = QString::number(m + 1);
        painter.setPen(kMarker);
        painter.drawText(QRectF(x - 20, area.top() - fm.height() - 1, 40, fm.height()), Qt::AlignCenter,
                         number);
    }
    if (viewer_.cursorRow_ >= 0) {
        const double x = xOf(viewer_.cursorMs_, area);
        if (x >= area.left() && x <= area.right()) {
            painter.setPen(QPen(Qt::black, 1, Qt::DashLine));
            painter.drawLine(QPointF(x, area.top()), QPointF(x, bottom));
        }
    }
    const double legendTop = area.bottom() + bandHeight() + fm.height() + 6;
    drawLegend(painter, QRectF(area.left(), legendTop, area.width(), fm.height() + 4));
}

void DatalogPlot::drawPane(QPainter& painter, int p, const QRectF& area) const
{
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.fillRect(area, Qt::white);
    if (static_cast<size_t>(p) >= viewer_.panes_.size()) {
        painter.setPen(kFrame);
        painter.drawRect(area);
        return;
    }
    const DatalogViewer::Pane& pane = viewer_.panes_[static_cast<size_t>(p)];
    const QFontMetrics fm = fontMetrics();
    const int maxTicks = std::clamp(static_cast<int>(area.height() / (fm.height() * 1.4)), 2, 8);
    const DatalogScale scale = datalogScale(pane.low, pane.high, maxTicks);
    // a little inside the frame, so that a line along the end of the scale is not hidden by it
    const QRectF inside = area.adjusted(0, 3, 0, -3);
    auto yOf = [&](double v) {
        return inside.bottom() - (v - scale.low) / (scale.high - scale.low) * inside.height();
    };

    // ticks and their values on the left, a grid line across
    for (double tick : scale.ticks()) {
        const double y = yOf(tick);
        painter.setPen(kGrid);
        painter.drawLine(QPointF(area.left(), y), QPointF(area.right(), y));
        painter.setPen(Qt::black);
        painter.drawLine(QPointF(area.left() - 3, y), QPointF(area.left(), y));
        const QRectF label(area.left() - 4 - fm.horizontalAdvance(QStringLiteral("-00000")),
                           y - fm.height() / 2.0, fm.horizontalAdvance(QStringLiteral("-00000")),
                           fm.height());
        painter.drawText(label, Qt::AlignRight | Qt::AlignVCenter, QString::number(tick));
    }
    // the unit, written upwards beside the values
    painter.save();
    painter.translate(2, area.center().y());
    painter.rotate(-90);
    const QString unit = pane.unit.isEmpty() ? viewer_.text(kNoUnit) : pane.unit;
    painter.setPen(Qt::black);
    painter.drawText(QRectF(-area.height() / 2, 0, area.height(), fm.height()), Qt::AlignCenter,
                     fm.elidedText(unit, Qt::ElideRight, static_cast<int>(area.height())));
    painter.restore();

    painter.save();
    painter.setClipRect(area.adjusted(0, -1, 0, 1));
    auto draw = [&](const DatalogTrace& trace, const QPen& pen) {
        painter.setPen(pen);
        QPolygonF line;
        for (size_t k = 0; k < trace.pieceCount(); ++k) {
            const auto piece = trace.piece(k);
            line.resize(static_cast<qsizetype>(piece.size()));
            for (size_t i = 0; i < piece.size(); ++i)
                line[static_cast<qsizetype>(i)] = QPointF(xOf(piece[i].x(), area), yOf(piece[i].y()));
            if (line.size() == 1)
                painter.drawLine(line[0] - QPointF(0, 1), line[0] + QPointF(0, 1)); // a lone value: a dot
            else
                painter.drawPolyline(line);
        }
    };
    for (int c : pane.channels) {
        const QColor colour = viewer_.colours_[static_cast<size_t>(c)];
        if (viewer_.compared_.rowCount() > 0) draw(trace(c, true), comparedPen(colour));
        draw(trace(c), QPen(colour, 1));
    }
    painter.restore();
    painter.setPen(kFrame);
    painter.drawRect(area);
}

// The fuel in use, one pixel column at a time: the reply in force at the column's time says.
void DatalogPlot::drawFuelBand(QPainter& painter, const QRectF& band) const
{
    const Datalog& log = viewer_.log_;
    const auto& fuel = log.values[static_cast<size_t>(viewer_.fuelChannel_)];
    const auto& t = log.timesMs;
    const int columns = std::max(1, static_cast<int>(band.width()));
    auto colourAt = [&](int x) -> QColor {
        const double ms = viewer_.viewStart_ + (x + 0.5) / columns * viewer_.viewSpan_;
        const auto it = std::upper_bound(t.begin(), t.end(), ms);
        if (it == t.begin()) return {};
        const double v = fuel[static_cast<size_t>(it - t.begin() - 1)];
        if (v == 0) return colours::brightRed;
        if (v == 1) return colours::brightGreen;
        return {};
    };
    painter.fillRect(band, Qt::white);
    int runStart = 0;
    QColor run = colourAt(0);
    for (int x = 1; x <= columns; ++x) {
        const QColor c = x < columns ? colourAt(x) : QColor();
        if (x < columns && c == run) continue;
        if (run.isValid())
            painter.fillRect(QRectF(band.left() + runStart, band.top(), x - runStart, band.height()), run);
        run = c;
        runStart = x;
    }
    painter.setPen(kFrame);
    painter.drawRect(band);
    const QFontMetrics fm = fontMetrics();
    painter.setPen(Qt::black);
    painter.drawText(QRectF(0, band.top(), band.left() - 4, band.height()), Qt::AlignRight | Qt::AlignVCenter,
                     fm.elidedText(viewer_.text(kFuel), Qt::ElideRight, static_cast<int>(band.left() - 4)));
}

void DatalogPlot::drawTimeAxis(QPainter& painter, const QRectF& area) const
{
    const QFontMetrics fm = fontMetrics();
    const double start = viewer_.viewStart_ / 1000, end = (viewer_.viewStart_ + viewer_.viewSpan_) / 1000;
    const int maxTicks =
        std::max(2, static_cast<int>(area.width() / (fm.horizontalAdvance(QStringLiteral("00000.0")) + 24)));
    const DatalogScale scale = datalogScale(start, end, maxTicks);
    const double top = area.bottom() + bandHeight();
    for (double tick : scale.ticks()) {
        if (tick < start - 1e-9 || tick > end + 1e-9) continue;
        const double x = xOf(tick * 1000, area);
        painter.setPen(kGrid);
        const int panes = std::max<int>(1, static_cast<int>(viewer_.panes_.size()));
        for (int p = 0; p < panes; ++p) {
            const QRectF pane = paneArea(p);
            painter.drawLine(QPointF(x, pane.top() + 1), QPointF(x, pane.bottom() - 1));
        }
        painter.setPen(Qt::black);
        painter.drawLine(QPointF(x, top), QPointF(x, top + 3));
        painter.drawText(QRectF(x - 50, top + 3, 100, fm.height()), Qt::AlignCenter, QString::number(tick));
    }
    painter.drawText(QRectF(area.right() + 2, top + 3, 12, fm.height()), Qt::AlignLeft | Qt::AlignVCenter,
                     QStringLiteral("s"));
}

// What the colours and dashes mean: the fuel band's two colours, and which file is which line.
void DatalogPlot::drawLegend(QPainter& painter, const QRectF& row) const
{
    const QFontMetrics fm = fontMetrics();
    double x = row.left();
    const double mid = row.center().y();
    auto swatch = [&](const QColor& colour, const QString& name) {
        painter.fillRect(QRectF(x, mid - 5, 18, 10), colour);
        painter.setPen(kFrame);
        painter.drawRect(QRectF(x, mid - 5, 18, 10));
        painter.setPen(Qt::black);
        painter.drawText(QPointF(x + 22, mid + fm.ascent() / 2.0 - 1), name);
        x += 22 + fm.horizontalAdvance(name) + 14;
    };
    auto line = [&](const QPen& pen, const QString& name) {
        painter.setPen(pen);
        painter.drawLine(QPointF(x, mid), QPointF(x + 26, mid));
        painter.setPen(Qt::black);
        const QString shown = fm.elidedText(name, Qt::ElideMiddle, 260);
        painter.drawText(QPointF(x + 30, mid + fm.ascent() / 2.0 - 1), shown);
        x += 30 + fm.horizontalAdvance(shown) + 14;
    };
    if (viewer_.fuelChannel_ >= 0) {
        painter.setPen(Qt::black);
        const QString fuel = viewer_.text(kFuel) + QLatin1Char(':');
        painter.drawText(QPointF(x, mid + fm.ascent() / 2.0 - 1), fuel);
        x += fm.horizontalAdvance(fuel) + 8;
        swatch(colours::brightRed, viewer_.text(kPetrol));
        swatch(colours::brightGreen, viewer_.text(kGas));
        x += 16;
    }
    if (viewer_.compared_.rowCount() > 0) {
        line(QPen(Qt::darkGray, 1.5), viewer_.fileName_);
        line(comparedPen(Qt::darkGray), viewer_.comparedName_);
    }
}

void DatalogPlot::wheelEvent(QWheelEvent* event)
{
    const int steps = event->angleDelta().y() != 0 ? event->angleDelta().y() : event->angleDelta().x();
    if (steps == 0) return;
    if (event->modifiers() & Qt::ShiftModifier || event->angleDelta().y() == 0)
        viewer_.scrollBy(steps > 0 ? -0.1 : 0.1);
    else
        viewer_.zoom(steps > 0 ? 0.8 : 1.25, timeAt(event->position()));
    event->accept();
}

void DatalogPlot::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) return;
    setFocus();
    pressX_ = event->position().x();
    pressStart_ = viewer_.viewStartMs();
    dragging_ = false;
    event->accept();
}

void DatalogPlot::mouseMoveEvent(QMouseEvent* event)
{
    if (!(event->buttons() & Qt::LeftButton)) return;
    const double dx = event->position().x() - pressX_;
    if (std::abs(dx) > 4) dragging_ = true;
    if (!dragging_) return;
    const double msPerPixel = viewer_.viewSpanMs() / std::max(1.0, plotArea().width());
    viewer_.setView(pressStart_ - dx * msPerPixel, viewer_.viewSpanMs());
    event->accept();
}

void DatalogPlot::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) return;
    if (!dragging_) viewer_.setCursorTime(timeAt(event->position()));
    dragging_ = false;
    event->accept();
}

void DatalogPlot::keyPressEvent(QKeyEvent* event)
{
    const double centre = viewer_.viewStartMs() + viewer_.viewSpanMs() / 2;
    switch (event->key()) {
    case Qt::Key_Left:
        viewer_.scrollBy(-0.1);
        break;
    case Qt::Key_Right:
        viewer_.scrollBy(0.1);
        break;
    case Qt::Key_PageUp:
        viewer_.scrollBy(-1);
        break;
    case Qt::Key_PageDown:
        viewer_.scrollBy(1);
        break;
    case Qt::Key_Plus:
    case Qt::Key_Equal:
        viewer_.zoom(0.8, centre);
        break;
    case Qt::Key_Minus:
        viewer_.zoom(1.25, centre);
        break;
    case Qt::Key_Home:
        viewer_.setView(0, viewer_.viewSpanMs());
        break;
    case Qt::Key_End:
        viewer_.setView(1e300, viewer_.viewSpanMs());
        break;
    default:
        QWidget::keyPressEvent(event);
        return;
    }
    event->accept();
}
