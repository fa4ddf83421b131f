// One known status reply, from the line to every box and bar of the status window.
#include "link/frames.h"
#include "link/parameter_catalogue.h"
#include "support/quiet_offscreen.h"
#include "support/window_test.h"
#include "ui/common/segment_bar.h"
#include "ui/status/status_window.h"

#include <QLineEdit>
#include <QTest>

namespace {

// Each value differs from every other, so a box showing the wrong one shows.
constexpr int kLambda1 = 700, kLambda2 = 300, kKgbTab = 95, kKgbCor = 123, kPressure = 1230, kPressure2 = 610,
              kTemperature1 = 55, kTemperature2Raw = 75, kRpm = 2500, kLevel = 2345;
constexpr int kPetrol[8] = {333, 301, 302, 303, 304, 305, 306, 1001};
constexpr int kEcuState = 3; // waiting for the rpm: the message ends with changeoverRpm

QByteArray statusFrame()
{
    QByteArray p;
    const auto add16 = [&p](int v) { p += char(v / 256) + QByteArray(1, char(v % 256)); };
    for (int v : {kLambda1, kLambda2, kKgbTab, kKgbCor, kPressure, kPressure2, kTemperature1,
                  kTemperature2Raw, kRpm, kLevel})
        add16(v);
    for (int v : kPetrol)
        add16(v);
    p += char(kEcuState);
    p += char(0); // on gas
    return frames::frame(3, p);
}

int yellowSegments(const SegmentBar* bar)
{
    int n = 0;
    for (int i = 0; i < bar->count(); ++i)
        n += bar->colour(i) == colours::yellow;
    return n;
}

} // namespace

class TestStatusGlue : public FakeLinkWindowTest {
    Q_OBJECT
private slots:
    void initTestCase() { quietOffscreenWarnings(); }
    void init()
    {
        startOnFakeLink();
        link->open("/dev/ttyS0", "9600,n,8,1");
        app->state.parameterValues[param::changeoverRpm] = 1800;
        app->state.parameterValues[param::changeoverTemperature] = 35;
        app->state.changeoverAcknowledged = 1; // as the menu leaves it when it opens the window
    }
    void cleanup() { stopAll(); }

    void everyBoxShowsItsValue();
    void secondPressureBarOnlyWithTheSecondSensor();

private:
    StatusWindow* openOnOneReply()
    {
        emit link->received(statusFrame());
        app->navigator.open(WindowId::Status);
        return app->navigator.window<StatusWindow>(WindowId::Status);
    }
    QString box(const QString& name) { return control<QLineEdit>("Form3", qPrintable(name))->text(); }
};

void TestStatusGlue::everyBoxShowsItsValue()
{
    openOnOneReply()->pollTick();
    QCOMPARE(box("Text2"), QString::number(kLambda1));
    QCOMPARE(box("Text3"), QString::number(kLambda1));
    QCOMPARE(box("Text4"), QString::number(kLevel));
    QCOMPARE(box("Text6"), QString::number(kRpm));
    QCOMPARE(box("Text7"), QString::number(kKgbTab));
    QCOMPARE(box("Text8"), QString::number(kTemperature1));
    QCOMPARE(box("Text9"), QString::number(kKgbCor));
    QCOMPARE(box("Text10"), QString::number(kPressure));
    QCOMPARE(box("Text11"), QString::number(kTemperature2Raw - 40));
    QCOMPARE(box("Text12"), QString::number(kPressure2));
    QCOMPARE(box("Text13"), QString::number(kLambda2));
    QCOMPARE(box("Text14"), QString::number(kLambda2));
    for (int i = 0; i < 8; ++i) {
        QCOMPARE(box(QStringLiteral("Text5_%1").arg(i)), QString::number(kPetrol[i]));
        // gas = petrol x KGBCOR / 100, floored: 333 -> 409, 1001 -> 1231
        QCOMPARE(box(QStringLiteral("Text5_%1").arg(i + 8)), QString::number(kPetrol[i] * kKgbCor / 100));
    }
    QCOMPARE(box("Text5_8"), QString("409"));
    QCOMPARE(box("Text1"), QString("B->G ATTESA GIRI MAGGIORI DI SOGLIA  1800"));
    QCOMPARE(link->sent.last(), frames::readStatus());
}

void TestStatusGlue::secondPressureBarOnlyWithTheSecondSensor()
{
    for (int sensorType : {0, 1}) {
        app->state.parameterValues[param::pressureSensorType] = sensorType;
        StatusWindow* status = openOnOneReply();
        status->pollTick();
        status->barTick();
        // 150 mbar a segment, segment 0 always lit
        QCOMPARE(yellowSegments(control<SegmentBar>("Form3", "Shape3")), kPressure / 150 + 1);
        QCOMPARE(yellowSegments(control<SegmentBar>("Form3", "Shape4")),
                 sensorType == 1 ? kPressure2 / 150 + 1 : 0);
        QCOMPARE(control<QWidget>("Form3", "Frame11")->isVisibleTo(status), sensorType == 1);
        app->navigator.close(status);
    }
}

QTEST_MAIN(TestStatusGlue)
#include "test_status_glue.moc"
