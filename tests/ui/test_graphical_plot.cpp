// The graphical view's arithmetic: where a value is drawn, which points a click hits and the
// blink of the selected curve.
#include "ui/calibration/graphical_plot.h"

#include <QTest>

using namespace graphical_plot;

class TestGraphicalPlot : public QObject {
    Q_OBJECT
private slots:
    void pixelsOfValuesAndPositions();
    void hitReachesTwoPixelsNotThreeAndEveryCoincidingPoint();
    void blinkHidesThenShowsAndDeselectShowsAtOnce();
};

void TestGraphicalPlot::pixelsOfValuesAndPositions()
{
    QCOMPARE(pointY(100), 368);
    QCOMPARE(pointY(200), 48);
    QCOMPARE(pointY(101), 365); // 364.8
    QCOMPARE(pointY(95), 384);
    QCOMPARE(pointY(0), 688);
    QCOMPARE(pointX(1), 88);
    QCOMPARE(pointX(7), 472);
    // point 9 is curve 2 at position 2: Tinj row 1, RPM column 1
    const PlotPoints points = placePoints([](int cell) { return 100 + cell; });
    QCOMPARE(cellOf(curveOf(9), positionOf(9)), 10);
    QCOMPARE(points.at[9], QPoint(152, pointY(110)));
    QCOMPARE(points.value[42], 154);
}

void TestGraphicalPlot::hitReachesTwoPixelsNotThreeAndEveryCoincidingPoint()
{
    const PlotPoints points = placePoints([](int cell) { return cell == cellOf(2, 3) ? 150 : 100 + cell; });
    const QPoint p = points.at[10]; // curve 2, position 3
    QCOMPARE(p, QPoint(216, 208));
    for (const QPoint off : {QPoint(2, 0), QPoint(-2, 0), QPoint(0, 2), QPoint(0, -2), QPoint(2, -2)})
        QCOMPARE(pointsHit(points, p + off), std::vector<int>{10});
    for (const QPoint off : {QPoint(3, 0), QPoint(-3, 0), QPoint(0, 3), QPoint(0, -3), QPoint(3, 2)})
        QVERIFY(pointsHit(points, p + off).empty());

    const PlotPoints demo =
        placePoints([](int cell) { return demonstrationValue((cell - 1) % 8 + 1, (cell - 1) / 8 + 1); });
    QCOMPARE(pointsHit(demo, QPoint(89, 367)), (std::vector<int>{1, 8, 15, 22, 29, 36}));
}

void TestGraphicalPlot::blinkHidesThenShowsAndDeselectShowsAtOnce()
{
    const auto hidden = [](const std::array<Blink::Draw, kCurves>& draws) {
        int curve = 0, count = 0;
        for (const Blink::Draw& d : draws)
            if (d.hidden) curve = d.curve, ++count;
        return count > 1 ? -1 : curve;
    };
    Blink blink;
    QCOMPARE(hidden(blink.tick()), 0);
    blink.select(4);
    const auto draws = blink.tick();
    QCOMPARE(hidden(draws), 4);
    // drawn first, so the curves drawn after it keep the points they share with it
    QCOMPARE(draws[0].curve, 4);
    QCOMPARE(draws[1].curve, 1);
    QCOMPARE(hidden(blink.tick()), 0);
    QCOMPARE(hidden(blink.tick()), 4);
    QCOMPARE(blink.deselect(), 4); // hidden when deselected: to be shown again now
    QVERIFY(!blink.running());
    QCOMPARE(hidden(blink.tick()), 0);

    // a fresh selection starts hidden again, whatever phase the last one reached
    blink.select(2);
    QCOMPARE(hidden(blink.tick()), 2);
    blink.select(5);
    QCOMPARE(hidden(blink.tick()), 5);
    QCOMPARE(hidden(blink.tick()), 0);
    QCOMPARE(blink.deselect(), 0); // shown when deselected: nothing to redraw
}

QTEST_MAIN(TestGraphicalPlot)
#include "test_graphical_plot.moc"
