// How long the automatic calibration takes to find the coefficient on the virtual engine, from a
// start 30% below and 30% above the one it needs at the calibration point. Virtual time: the window's ticks
// are called at their periods (sampling 300 ms, phase deadline 1000 ms, table write 100 ms) and the ECU
// answers each request at once, so the figures are the procedure's own pace, not this machine's. With --wall:
// the window's own timers, the serial link and the ECU on a pseudo-terminal at 9600 baud, timed by the clock
// on the wall (minutes per start).
#include "app/application.h"
#include "link/frames.h"
#include "link/serial_link.h"
#include "sim/in_process_link.h"
#include "sim/simulator_thread.h"
#include "sim/virtual_ecu.h"
#include "ui/calibration/auto_calibration_window.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <cmath>
#include <cstdio>

namespace {

struct Run {
    qint64 foundMs = -1; // OK offered
    qint64 leftMs = -1;  // table written, window closed
    int changeovers = 0;
    int evaluations = 0;
    QString path;
};

Run calibrate(int startKgb)
{
    VirtualEcu ecu;
    ecu.engine.startTemperature = 70;
    qint64 now = 0;
    InProcessLink link(ecu, now);
    Application application(link);
    application.state.calibrationKgb = startKgb;
    link.send(frames::calibrationOn());
    application.navigator.open(WindowId::AutoCalibration);
    auto* w = application.navigator.window<AutoCalibrationWindow>(WindowId::AutoCalibration);
    auto* ok = w->findChild<QPushButton*>(QStringLiteral("Command2"));
    auto* phaseTimer = w->findChild<QTimer*>(QStringLiteral("Timer1"));

    Run run;
    run.path = QString::number(startKgb);
    qint64 nextSample = 300;
    qint64 phaseDue = -1;
    int lastKgb = startKgb;
    bool wasDone = false;
    while (now < 3600 * 1000 && run.foundMs < 0) {
        if (phaseDue >= 0 && phaseDue <= nextSample) {
            now = phaseDue;
            phaseDue = -1;
            w->phaseTick();
            nextSample = now + 300;
        } else {
            now = nextSample;
            w->samplingTick();
            nextSample = now + 300;
            if (phaseTimer->isActive() && phaseDue < 0) phaseDue = now + 1000;
        }
        const auto& p = w->procedure();
        if (p.windowDone && !wasDone && p.phaseCount > 0) ++run.evaluations;
        wasDone = p.windowDone;
        if (p.testKgb != lastKgb) {
            lastKgb = p.testKgb;
            run.path += QStringLiteral(" -> %1").arg(lastKgb);
        }
        if (ok->isEnabled()) run.foundMs = now;
    }
    run.changeovers = w->procedure().phaseCount;
    if (run.foundMs < 0) return run;

    ok->click();
    while (now < run.foundMs + 60 * 1000 && application.navigator.isOpen(WindowId::AutoCalibration)) {
        now += w->phase() == AutoCalibrationWindow::Phase::WritingTable ? 100 : 300;
        if (w->phase() == AutoCalibrationWindow::Phase::WritingTable)
            w->tableTick();
        else
            w->samplingTick();
    }
    if (!application.navigator.isOpen(WindowId::AutoCalibration)) run.leftMs = now;
    return run;
}

// The same with real timers over a pseudo-terminal.
Run calibrateOnTheWall(int startKgb)
{
    Run run;
    run.path = QString::number(startKgb);
    SimulatorThread sim;
    if (!sim.start()) return run;
    sim.withEcu([](VirtualEcu& ecu) { ecu.engine.startTemperature = 70; });
    SerialLink link;
    if (!link.open(sim.devicePath(), QStringLiteral("9600,n,8,1"))) return run;
    Application application(link);
    application.state.calibrationKgb = startKgb;
    link.send(frames::calibrationOn());
    QTest::qWait(200);
    QElapsedTimer clock;
    clock.start();
    application.navigator.open(WindowId::AutoCalibration);
    auto* w = application.navigator.window<AutoCalibrationWindow>(WindowId::AutoCalibration);
    auto* ok = w->findChild<QPushButton*>(QStringLiteral("Command2"));
    int lastKgb = startKgb;
    bool wasDone = false;
    while (clock.elapsed() < 15 * 60 * 1000 && !ok->isEnabled()) {
        QTest::qWait(50);
        const auto& p = w->procedure();
        if (p.windowDone && !wasDone && p.phaseCount > 0) ++run.evaluations;
        wasDone = p.windowDone;
        if (w->procedure().testKgb != lastKgb) {
            lastKgb = w->procedure().testKgb;
            run.path += QStringLiteral(" -> %1").arg(lastKgb);
        }
    }
    if (!ok->isEnabled()) return run;
    run.foundMs = clock.elapsed();
    run.changeovers = w->procedure().phaseCount;
    ok->click();
    while (clock.elapsed() < run.foundMs + 60 * 1000 &&
           application.navigator.isOpen(WindowId::AutoCalibration))
        QTest::qWait(50);
    if (!application.navigator.isOpen(WindowId::AutoCalibration)) run.leftMs = clock.elapsed();
    return run;
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    // the offscreen platform's notes on raise() and size hints are not results
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& message) {
        if (type != QtDebugMsg && type != QtInfoMsg && !message.startsWith(QLatin1String("This plugin")))
            std::fprintf(stderr, "%s\n", qPrintable(message));
    });
    const bool wall = app.arguments().contains(QStringLiteral("--wall"));
    const EngineModel engine;
    const int ideal = static_cast<int>(std::lround(engine.trueKgbAt(engine.heldRpm, engine.heldTinj)));
    std::printf("automatic calibration on the virtual engine (needs KGB %d), %s\n", ideal,
                wall ? "wall-clock time, real timers, pseudo-terminal at 9600 baud" : "virtual time");
    const int low = ideal * 7 / 10;
    const int high = ideal * 13 / 10;
    const QList<int> starts = wall ? QList<int>{low} : QList<int>{low, high, ideal - 3, ideal};
    for (const int start : starts) {
        const Run r = wall ? calibrateOnTheWall(start) : calibrate(start);
        if (r.foundMs < 0) {
            std::printf("start %3d: not found\n", start);
            continue;
        }
        std::printf("start %3d: found after %5.1f s, %d fuel changeovers (%d petrol windows decided), "
                    "KGB %s; table written and window left %5.1f s later\n",
                    start, r.foundMs / 1000.0, r.changeovers, r.evaluations, qPrintable(r.path),
                    (r.leftMs - r.foundMs) / 1000.0);
    }
    return 0;
}
