#include "ui/common/segment_bar.h"

#include <QHBoxLayout>
#include <QPainter>

SegmentBar::SegmentBar(const QString& designName, int count, Origin origin, QWidget* parent) : QWidget(parent)
{
    QList<int> order;
    for (int i = 0; i < count; ++i)
        order << (origin == Origin::Left ? i : count - 1 - i);
    build(designName, order);
}

SegmentBar::SegmentBar(const QString& designName, std::span<const int> leftToRight, QWidget* parent)
    : QWidget(parent)
{
    build(designName, leftToRight);
}

void SegmentBar::build(const QString& designName, std::span<const int> leftToRight)
{
    setObjectName(designName);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    const int count = static_cast<int>(leftToRight.size());
    for (int i = 0; i < count; ++i) {
        auto* segment = new QFrame(this);
        segment->setObjectName(designName + QLatin1Char('_') + QString::number(i));
        segment->setFixedSize(12, 18);
        segment->setAutoFillBackground(true);
        segment->setFrameShape(QFrame::Box);
        segments_.append(segment);
        colours_.append(QColor(Qt::gray));
    }
    for (const int segment : leftToRight)
        layout->addWidget(segments_[segment]);
}

void SegmentBar::setColour(int segment, const QColor& colour)
{
    if (colours_[segment] == colour) return;
    colours_[segment] = colour;
    QPalette p = segments_[segment]->palette();
    p.setColor(QPalette::Window, colour);
    segments_[segment]->setPalette(p);
}

void SegmentBar::setColours(std::span<const QColor> colours)
{
    for (int i = 0; i < count() && i < static_cast<int>(colours.size()); ++i)
        setColour(i, colours[static_cast<size_t>(i)]);
}

QColor SegmentBar::colour(int segment) const
{
    return colours_[segment];
}

Lamp::Lamp(const QString& designName, QWidget* parent) : QWidget(parent)
{
    setObjectName(designName);
    setMinimumSize(24, 24);
}

void Lamp::setColour(const QColor& colour)
{
    if (colour == colour_) return;
    colour_ = colour;
    update();
}

void Lamp::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(colour_);
    painter.setPen(QPen(Qt::black, 1));
    const int side = qMin(width(), height()) - 2;
    painter.drawEllipse(QRect((width() - side) / 2, (height() - side) / 2, side, side));
}
