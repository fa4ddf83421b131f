#include "ui/calibration/graphical_window.h"

#include "link/parameter_catalogue.h"
#include "ui/common/widgets.h"

#include <QApplication>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>

#include <algorithm>

using namespace graphical_plot;

// A straight line over the window, as the design draws its grid and legend: it takes no clicks,
// so a click on it reaches the plot below.
class LineControl : public QWidget {
public:
    LineControl(QWidget* parent, const QString& designName, QPoint from, QPoint to, int width,
                Qt::PenStyle style, const QColor& colour)
        : QWidget(parent), width_(width), style_(style), colour_(colour)
    {
        setObjectName(designName);
        setAttribute(Qt::WA_TransparentForMouseEvents);
        const QRect span = QRect(from, to).normalized().adjusted(-width, -width, width, width);
        setGeometry(span);
        from_ = from - span.topLeft();
        to_ = to - span.topLeft();
    }
    QColor colour() const { return colour_; }
    void setColour(const QColor& colour)
    {
        if (colour == colour_) return;
        colour_ = colour;
        update();
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setPen(QPen(colour_, width_, style_, Qt::FlatCap));
        painter.drawLine(from_, to_);
    }

private:
    QPoint from_, to_;
    int width_;
    Qt::PenStyle style_;
    QColor colour_;
};

namespace {

// A label that acts on a click, as the legend and the deselect link do.
class ClickLabel : public QLabel {
public:
    ClickLabel(QWidget* parent, const QString& designName, std::function<void()> onClick)
        : QLabel(parent), onClick_(std::move(onClick))
    {
        setObjectName(designName);
        setCursor(Qt::PointingHandCursor);
    }

protected:
    void mousePressEvent(QMouseEvent* event) override
    {
        event->accept();
        onClick_();
    }

private:
    std::function<void()> onClick_;
};

const Caption kCaptions[] = {
    {kTitle, {"ORVANE - Taratura grafica", "ORVANE - Graphical calibration", "ORVANE - "}},
    {kOfflineTitle,
     {"ORVANE - Taratura grafica Non connesso", "ORVANE - Graphical calibration Not connected",
      "ORVANE - Pas connecté"}},
    {"Label1", {"RPM", "RPM", ""}},
    {"Label2", {"TINJ", "TINJ", ""}},
    {"Label3", {"Tempo iniezione", "Injection time", ""}},
    {"Label4", {"KGB"}},
    {"Label29", {"KGB"}},
    // a Turkish user needs a word to click
    {"Label30", {"Deselezionare", "Deactivate", "Deactivate"}},
    {"Command1", {"EXIT"}}, // EXIT in every language here
};

constexpr LocalText kNoCurveTitle{"ORVANE - Seleziona curva", "ORVANE - Select the curve",
                                  "ORVANE - Select the curve"};
constexpr LocalText kNoCurve{"Occorre selezionare la curva, prima di accedere al grafico.",
                             "Please, select the curve, before reaching the graph.",
                             "Please, select the curve, before reaching the graph."};

// Window pixels; the points themselves are placed by graphical_plot.
constexpr QSize kWindowSize{680, 512};
const QRect kPlotArea{56, 24, 600, 395}; // Shape1, the legend and values down to 85 included
const QColor kBackground{225, 225, 225};
const QColor kGridColour{128, 128, 128};
constexpr int kLegendLeft = 524, kLegendTop = 64, kLegendPitch = 32;
constexpr int kPointWidth = 5, kLineWidth = 1, kLegendWidth = 3;

QLabel* placedLabel(QWidget* parent, const QString& name, const QRect& where, Qt::Alignment align)
{
    QLabel* label = namedLabel(parent, name, QString());
    label->setGeometry(where);
    label->setAlignment(align | Qt::AlignVCenter);
    return label;
}

} // namespace

GraphicalWindow::GraphicalWindow(AppContext& context) : Form(context, WindowId::GraphicalCalibration)
{
    beep = [] { QApplication::beep(); };
    setFixedSize(kWindowSize);
    surface_ = QImage(kWindowSize, QImage::Format_RGB32);
    clearSurface();

    plotArea = new QFrame(this);
    plotArea->setObjectName(QStringLiteral("Shape1"));
    plotArea->setFrameShape(QFrame::Box);
    plotArea->setGeometry(kPlotArea);
    plotArea->setAttribute(Qt::WA_TransparentForMouseEvents);

    // 11 lines across at the values 100..200, then 7 down at the Tinj positions
    for (int i = 0; i < 11; ++i) {
        const int y = pointY(100 + 10 * i);
        gridLines[static_cast<size_t>(i)] =
            new LineControl(this, QStringLiteral("Line3_%1").arg(i), QPoint(pointX(1) - 24, y),
                            QPoint(pointX(kPositions) + 24, y), 1, Qt::DotLine, kGridColour);
    }
    for (int p = 1; p <= kPositions; ++p)
        gridLines[static_cast<size_t>(10 + p)] =
            new LineControl(this, QStringLiteral("Line3_%1").arg(10 + p), QPoint(pointX(p), pointY(200) - 8),
                            QPoint(pointX(p), pointY(100) + 8), 1, Qt::DotLine, kGridColour);

    for (int c = 1; c <= kCurves; ++c) {
        const int y = kLegendTop + kLegendPitch * (c - 1);
        legendLines[static_cast<size_t>(c - 1)] =
            new LineControl(this, QStringLiteral("Line%1").arg(3 + c), QPoint(kLegendLeft, y),
                            QPoint(kLegendLeft + 36, y), kLegendWidth, Qt::SolidLine, curveColour(c));
        auto* label =
            new ClickLabel(this, QStringLiteral("Label%1").arg(22 + c), [this, c] { selectCurve(c); });
        label->setGeometry(kLegendLeft + 44, y - 10, 86, 20);
        rpmLabels[static_cast<size_t>(c - 1)] = label;
    }
    deselectLabel = new ClickLabel(this, QStringLiteral("Label30"), [this] { deselect(); });
    deselectLabel->setGeometry(kLegendLeft, kLegendTop + kLegendPitch * kCurves, 128, 20);
    QFont link = deselectLabel->font();
    link.setUnderline(true);
    deselectLabel->setFont(link);
    QPalette linkPalette = deselectLabel->palette();
    linkPalette.setColor(QPalette::WindowText, QColor(0, 0, 255));
    deselectLabel->setPalette(linkPalette);

    for (int i = 0; i < 11; ++i)
        valueLabels[static_cast<size_t>(i)] =
            placedLabel(this, QStringLiteral("Label%1").arg(5 + i),
                        QRect(4, pointY(100 + 10 * i) - 9, 44, 18), Qt::AlignRight);
    for (int p = 1; p <= kPositions; ++p)
        tinjLabels[static_cast<size_t>(p - 1)] =
            placedLabel(this, QStringLiteral("Label%1").arg(15 + p),
                        QRect(pointX(p) - 32, kPlotArea.bottom() + 4, 64, 18), Qt::AlignHCenter);
    placedLabel(this, QStringLiteral("Label4"), QRect(4, 2, 44, 18), Qt::AlignRight);
    placedLabel(this, QStringLiteral("Label3"),
                QRect(pointX(1), kPlotArea.bottom() + 24, pointX(7) - pointX(1), 18), Qt::AlignHCenter);

    // the readout of the point clicked: RPM, Tinj, KGB
    const int readoutTop = kPlotArea.bottom() + 56;
    const auto readout = [this, readoutTop](const char* caption, const char* name, int left) {
        placedLabel(this, QString::fromLatin1(caption), QRect(left, readoutTop, 40, 24), Qt::AlignRight);
        QLineEdit* box = valueBox(this, QString::fromLatin1(name), 70);
        box->move(left + 46, readoutTop);
        QPalette palette = box->palette();
        for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
            palette.setColor(group, QPalette::Base, kBackground);
        box->setPalette(palette);
        return box;
    };
    rpmBox = readout("Label1", "Text1", kPlotArea.left());
    tinjBox = readout("Label2", "Text2", kPlotArea.left() + 140);
    kgbBox = readout("Label29", "Text3", kPlotArea.left() + 280);

    exitButton = new QPushButton(this);
    exitButton->setObjectName(QStringLiteral("Command1"));
    exitButton->setGeometry(kPlotArea.right() - 90, readoutTop - 2, 90, 28);
    exitButton->setCursor(Qt::PointingHandCursor);
    QPalette buttonPalette = exitButton->palette();
    buttonPalette.setColor(QPalette::Button, QColor(210, 210, 210));
    exitButton->setPalette(buttonPalette);

    setUpTimer(blinkTimer, "Timer1", 1000, &GraphicalWindow::blinkTick);
    connect(exitButton, &QPushButton::clicked, this, &Form::closeForm);
}

std::span<const Caption> GraphicalWindow::captions() const
{
    return kCaptions;
}

void GraphicalWindow::onLoad()
{
    for (QLineEdit* box : {rpmBox, tinjBox, kgbBox}) {
        box->setText(QStringLiteral("0"));
        box->setEnabled(false);
    }
    for (int i = 0; i < 11; ++i)
        valueLabels[static_cast<size_t>(i)]->setText(QString::number(100 + 10 * i));

    const bool offline = state.offlineMode == 1;
    // not connected, demonstration axes stand in for the ECU's; they stay this view's own, so
    // nothing shown later as the ECU's table comes from them
    for (int p = 1; p <= kPositions; ++p)
        tinjAxis_[static_cast<size_t>(p - 1)] = offline ? kDemonstrationTinj[static_cast<size_t>(p - 1)]
                                                        : state.parameterValues[param::mapTinjAxis + p - 1];
    for (int c = 1; c <= kCurves; ++c)
        rpmAxis_[static_cast<size_t>(c - 1)] = offline ? kDemonstrationRpm[static_cast<size_t>(c - 1)]
                                                       : state.parameterValues[param::mapRpmAxis + c - 1];
    for (int p = 1; p <= kPositions; ++p)
        tinjLabels[static_cast<size_t>(p - 1)]->setText(
            QString::number(tinjAxis_[static_cast<size_t>(p - 1)]));
    showRpmLabels();
}

void GraphicalWindow::showRpmLabels()
{
    const bool offline = state.offlineMode == 1;
    const QString unit = !offline && language() == Language::English ? QStringLiteral(" RPM") : QString();
    for (int c = 1; c <= kCurves; ++c)
        rpmLabels[static_cast<size_t>(c - 1)]->setText(QString::number(rpmAxis_[static_cast<size_t>(c - 1)]) +
                                                       unit);
}

void GraphicalWindow::onActivate()
{
    blinkTimer.stop();
    blink_ = Blink();
    clearSurface();
    const bool offline = state.offlineMode == 1;
    points_ = placePoints([this, offline](int cell) {
        // the demonstration table is drawn, never stored as the ECU's
        return offline ? demonstrationValue(1 + (cell - 1) % 8, 1 + (cell - 1) / 8) : state.tableCells[cell];
    });
    drawAllCurves();
}

void GraphicalWindow::drawAllCurves()
{
    for (int c = 1; c <= kCurves; ++c)
        drawCurve(c, curveColour(c));
    update();
}

void GraphicalWindow::clearSurface()
{
    surface_.fill(kBackground);
    QPainter painter(&surface_);
    painter.fillRect(kPlotArea, Qt::white);
}

void GraphicalWindow::drawCurve(int curve, const QColor& colour)
{
    QPainter painter(&surface_);
    QPen dot(colour, kPointWidth, Qt::SolidLine, Qt::RoundCap);
    QPen line(colour, kLineWidth);
    const auto at = [this, curve](int position) {
        return points_.at[static_cast<size_t>((curve - 1) * kPositions + position)];
    };
    for (int p = 1; p < kPositions; ++p) {
        painter.setPen(dot);
        painter.drawPoint(at(p));
        painter.setPen(line);
        painter.drawLine(at(p), at(p + 1));
    }
    legendLines[static_cast<size_t>(curve - 1)]->setColour(colour);
    painter.setPen(dot);
    painter.drawPoint(at(kPositions));
}

void GraphicalWindow::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.drawImage(0, 0, surface_);
}

void GraphicalWindow::mousePressEvent(QMouseEvent* event)
{
    event->accept();
    if (!blink_.running()) {
        blinkTimer.stop();
        ctx.showMessage(text(kNoCurveTitle), text(kNoCurve));
        return;
    }
    for (const int k : pointsHit(points_, event->position().toPoint())) {
        beep();
        const int curve = curveOf(k);
        if (curve != blink_.selectedCurve()) continue;
        rpmBox->setText(QString::number(rpmAxis_[static_cast<size_t>(curve - 1)]));
        tinjBox->setText(QString::number(tinjAxis_[static_cast<size_t>(positionOf(k) - 1)]));
        kgbBox->setText(QString::number(points_.value[static_cast<size_t>(k)]));
    }
}

void GraphicalWindow::selectCurve(int curve)
{
    // a curve left hidden by the previous selection comes back now, not a second later
    if (blink_.deselect() > 0) drawAllCurves();
    blink_.select(curve);
    blinkTimer.start();
}

void GraphicalWindow::deselect()
{
    blinkTimer.stop();
    if (blink_.deselect() > 0) drawAllCurves();
}

void GraphicalWindow::blinkTick()
{
    blinkTimer.stop();
    for (const Blink::Draw& draw : blink_.tick())
        drawCurve(draw.curve, draw.hidden ? QColor(Qt::white) : curveColour(draw.curve));
    update();
    if (blink_.running()) blinkTimer.start();
}
