// The graphical view, opened from the calibration window as the user does: its labels, the
// readout of a clicked point with its beeps, the blink of the selected curve and a picture that
// survives being covered.
#include "link/frames.h"
#include "link/parameter_catalogue.h"
#include "support/grab.h"
#include "support/quiet_offscreen.h"
#include "support/window_test.h"
#include "ui/calibration/calibration_window.h"
#include "ui/calibration/graphical_plot.h"
#include "ui/calibration/graphical_window.h"

#include <QLabel>
#include <QLineEdit>
#include <QTest>

using namespace graphical_plot;

namespace {

// Where curve c's point at position p is, in the demonstration data.
QPoint demoPoint(int c, int p)
{
    return {pointX(p), pointY(demonstrationValue(c, p))};
}

// A pixel of that point's dot beside the dotted grid lines through its centre.
QPoint demoDot(int c, int p)
{
    return demoPoint(c, p) + QPoint(1, 1);
}

} // namespace

class TestGraphicalWindow : public FakeLinkWindowTest {
    Q_OBJECT
private slots:
    void initTestCase() { quietOffscreenWarnings(); }
    void init()
    {
        startOnFakeLink();
        link->open("/dev/ttyS0", "9600,n,8,1");
        SharedState& s = app->state;
        for (int i = 0; i < 8; ++i) {
            s.parameterValues[param::mapRpmAxis + i] = s.pendingParameterValues[param::mapRpmAxis + i] =
                800 + 400 * i;
            s.parameterValues[param::mapTinjAxis + i] = s.pendingParameterValues[param::mapTinjAxis + i] =
                200 + 100 * i;
        }
        for (int k = 1; k <= kTableCellCount; ++k)
            s.tableCells[k] = s.pendingTableCells[k] = 100 + k;
        s.calibrationInactive = 1;
        beeps = 0;
    }
    void cleanup() { stopAll(); }

    void offeredWhenIdleAndPollingResumesAfter();
    void connectedLabelsAndPixels();
    void offlineDemonstrationReadoutAndBeeps();
    void clickWithoutCurveSaysSoInEveryLanguage();
    void pictureSurvivesCoverAndBlinkEndsAtDeselect();

private:
    GraphicalWindow* openGraphical(int language, bool offline)
    {
        app->state.languageIndex = language;
        app->state.offlineMode = offline ? 1 : 0;
        app->navigator.open(WindowId::Calibration);
        click("Form16", "Command5");
        auto* w = app->navigator.window<GraphicalWindow>(WindowId::GraphicalCalibration);
        w->beep = [this] { ++beeps; };
        return w;
    }
    void press(QPoint at) { QTest::mousePress(form("Form15"), Qt::LeftButton, {}, at); }
    QString readout()
    {
        return QStringList{control<QLineEdit>("Form15", "Text1")->text(),
                           control<QLineEdit>("Form15", "Text2")->text(),
                           control<QLineEdit>("Form15", "Text3")->text()}
            .join(' ');
    }
    QString label(int n)
    {
        return control<QLabel>("Form15", qPrintable(QStringLiteral("Label%1").arg(n)))->text();
    }
    void clickLabel(int n)
    {
        QTest::mouseClick(control<QLabel>("Form15", qPrintable(QStringLiteral("Label%1").arg(n))),
                          Qt::LeftButton);
    }
    QTimer* timer(const char* formName, const char* name)
    {
        return form(formName)->findChild<QTimer*>(QString::fromLatin1(name));
    }

    int beeps = 0;
};

void TestGraphicalWindow::offeredWhenIdleAndPollingResumesAfter()
{
    app->navigator.open(WindowId::Calibration);
    auto* calibration = app->navigator.window<CalibrationWindow>(WindowId::Calibration);
    auto* graphical = control<QPushButton>("Form16", "Command5");
    QVERIFY(graphical->isVisible());
    QVERIFY(graphical->isEnabled());

    // not while the mode handshake runs, nor while a store writes the table
    click("Form16", "Command9");
    QVERIFY(!graphical->isEnabled());
    emit link->received(frames::frame(11));
    calibration->handshakeTick();
    control<QLineEdit>("Form16", "Text6_20")->setText("77");
    click("Form16", "Command7");
    QVERIFY(!graphical->isEnabled());
    while (calibration->phase() == CalibrationWindow::Phase::WritingBack) {
        const int before = link->sent.size();
        calibration->writeBackTick();
        if (link->sent.size() > before) emit link->received(link->sent.last());
    }
    QVERIFY(graphical->isEnabled());

    link->sent.clear();
    graphical->click();
    QCOMPARE(activeName(), QString("Form15"));
    for (QTimer* t : calibration->timers())
        QVERIFY2(!t->isActive(), qPrintable(t->objectName()));
    QCOMPARE(app->state.tableCells[5], 77); // the view shows the table as written
    clickLabel(24);
    press(QPoint(pointX(1), pointY(105)));
    QVERIFY(link->sent.isEmpty());

    click("Form15", "Command1");
    QCOMPARE(activeName(), QString("Form16"));
    QVERIFY(timer("Form16", "Timer2")->isActive());
    QVERIFY(!timer("Form15", "Timer1")->isActive());
}

void TestGraphicalWindow::connectedLabelsAndPixels()
{
    GraphicalWindow* w = openGraphical(2, false);
    QCOMPARE(label(23), QString("800 RPM"));
    QCOMPARE(label(28), QString("2800 RPM"));
    QCOMPARE(label(22), QString("800"));
    // cell k = 1 + 8(p - 1) + (c - 1) holds 100 + k
    QCOMPARE(w->points().at[1], QPoint(88, 365));
    QCOMPARE(w->points().at[8], QPoint(88, pointY(102)));
    const QImage picture = w->grab().toImage();
    QCOMPARE(picture.pixelColor(89, 366), curveColour(1)); // beside the grid through the point
    QCOMPARE(picture.pixelColor(473, pointY(100 + 54) + 1), curveColour(6));
    grabIfAsked(w, "form15_connected_en");
}

void TestGraphicalWindow::offlineDemonstrationReadoutAndBeeps()
{
    GraphicalWindow* w = openGraphical(2, true);
    QCOMPARE(label(23), QString("1000"));
    QCOMPARE(label(22), QString("15000"));
    // the demonstration is drawn, never taken for the ECU's table or axes
    for (int c = 1; c <= kCurves; ++c)
        for (int p = 1; p <= kPositions; ++p)
            QCOMPARE(w->points().value[static_cast<size_t>((c - 1) * kPositions + p)],
                     demonstrationValue(c, p));
    for (int k = 1; k <= kTableCellCount; ++k)
        QCOMPARE(app->state.tableCells[k], 100 + k);
    QCOMPARE(app->state.parameterValues[param::mapRpmAxis], 800);
    QCOMPARE(app->state.parameterValues[param::mapTinjAxis + 6], 800);

    // the first points coincide: one beep per curve, the selected curve's point read out
    clickLabel(25);
    QVERIFY(timer("Form15", "Timer1")->isActive());
    press(QPoint(89, 366));
    QCOMPARE(beeps, 6);
    QCOMPARE(readout(), QString("3000 3000 100"));

    // another curve's point beeps and leaves the readout
    press(demoPoint(5, 2));
    QCOMPARE(beeps, 7);
    QCOMPARE(readout(), QString("3000 3000 100"));

    // the selected curve's own point, two pixels off; three pixels off is no hit
    press(demoPoint(3, 4) + QPoint(-2, 2));
    QCOMPARE(readout(), QString("3000 9000 130"));
    press(demoPoint(3, 5) + QPoint(0, 3));
    press(demoPoint(3, 5) + QPoint(3, 0));
    QCOMPARE(beeps, 8);
    QCOMPARE(readout(), QString("3000 9000 130"));
    grabIfAsked(w, "form15_offline_en");

    click("Form15", "Command1");
    app->state.languageIndex = 1;
    app->navigator.open(WindowId::GraphicalCalibration);
    QCOMPARE(readout(), QString("0 0 0"));
    grabIfAsked(w, "form15_offline_it");
}

void TestGraphicalWindow::clickWithoutCurveSaysSoInEveryLanguage()
{
    const char* texts[][2] = {
        {"Occorre selezionare la curva, prima di accedere al grafico.", "Deselezionare"},
        {"Please, select the curve, before reaching the graph.", "Deactivate"},
        {"Please, select the curve, before reaching the graph.", "Deactivate"}};
    for (int language = 1; language <= 3; ++language) {
        GraphicalWindow* w = openGraphical(language, true);
        QCOMPARE(label(30), QString(texts[language - 1][1]));
        QCOMPARE(control<QPushButton>("Form15", "Command1")->text(), QString("EXIT"));
        press(demoPoint(1, 1));
        QCOMPARE(beeps, 0);
        QCOMPARE(control<QLabel>("Form12", "Label1")->text(), QString(texts[language - 1][0]));
        click("Form12", "Command1");
        QCOMPARE(activeName(), QString("Form15"));
        if (language == 3) grabIfAsked(w, "form15_offline_tr");
        click("Form15", "Command1");
        click("Form16", "Command1");
    }
}

void TestGraphicalWindow::pictureSurvivesCoverAndBlinkEndsAtDeselect()
{
    GraphicalWindow* w = openGraphical(1, true);
    const QImage before = w->grab().toImage();
    const QPoint ownPoint = demoDot(1, 4); // curve 1 alone at position 4
    const QPoint legend(540, 64);          // Line4, curve 1's legend
    QCOMPARE(before.pixelColor(ownPoint), curveColour(1));
    QCOMPARE(before.pixelColor(legend), curveColour(1));

    QWidget cover;
    cover.setGeometry(w->geometry());
    cover.show();
    w->repaint();
    cover.hide();
    w->repaint();
    QCOMPARE(w->grab().toImage(), before);

    clickLabel(23);
    w->blinkTick();
    const QImage hidden = w->grab().toImage();
    QCOMPARE(hidden.pixelColor(ownPoint), QColor(Qt::white));
    QCOMPARE(hidden.pixelColor(legend), QColor(Qt::white));
    QCOMPARE(hidden.pixelColor(demoDot(1, 1)), curveColour(6)); // the others keep the points they share
    w->blinkTick();
    QCOMPARE(w->grab().toImage(), before);
    w->blinkTick();

    // deselected while hidden: shown again at once, and the blink is over
    clickLabel(30);
    QVERIFY(!timer("Form15", "Timer1")->isActive());
    QCOMPARE(w->grab().toImage(), before);
    // so is a curve hidden when another is selected
    clickLabel(23);
    w->blinkTick();
    clickLabel(26);
    QCOMPARE(w->grab().toImage(), before);
}

QTEST_MAIN(TestGraphicalWindow)
#include "test_graphical_window.moc"
