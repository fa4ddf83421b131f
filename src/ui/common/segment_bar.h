#pragma once

#include <QColor>
#include <QFrame>
#include <QList>
#include <QString>

#include <span>

// A bar graph of separately coloured segments; segment i is the child "<name>_<i>", the way the
// window's control arrays are named. Segment 0 stands at the left, or at the right when asked.
class SegmentBar : public QWidget {
    Q_OBJECT
public:
    enum class Origin { Left, Right };
    SegmentBar(const QString& designName, int count, Origin origin, QWidget* parent = nullptr);
    // Any order: segment leftToRight[i] stands at place i from the left.
    SegmentBar(const QString& designName, std::span<const int> leftToRight, QWidget* parent = nullptr);

    int count() const { return static_cast<int>(segments_.size()); }
    void setColour(int segment, const QColor& colour);
    QColor colour(int segment) const;
    // Segment i takes colours[i].
    void setColours(std::span<const QColor> colours);

private:
    void build(const QString& designName, std::span<const int> leftToRight);

    QList<QFrame*> segments_;
    QList<QColor> colours_;
};

// A round lamp filled with one colour.
class Lamp : public QWidget {
    Q_OBJECT
public:
    Lamp(const QString& designName, QWidget* parent = nullptr);
    void setColour(const QColor& colour);
    QColor colour() const { return colour_; }
    QSize sizeHint() const override { return {28, 28}; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor colour_{Qt::gray};
};
