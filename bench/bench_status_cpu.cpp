// CPU used by the program while the status window (or the calibration window) polls the virtual
// ECU (run as a separate orvane-ecu-sim process, so only the program is measured). Usage:
//   bench_status_cpu PATH/orvane-ecu-sim [seconds] [status|calibration] [chart=on|off|both|extras]
// (QT_QPA_PLATFORM=offscreen). chart=both runs the status window with its chart hidden, then shown
// twice (the second to see the memory stay flat), `seconds` each, in one run; every phase prints CPU,
// resident memory at its start and end, and the peak. extras alternates 10 s slices with the chart
// hidden and nothing recorded against the chart shown and a datalog recorded, `seconds` of each, so
// the machine's load falls on both alike.
#include "app/application.h"
#include "link/serial_link.h"
#include "ui/common/datalog_recorder.h"
#include "ui/menu/main_menu.h"

#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <cstdio>
#include <sys/resource.h>

namespace {
double cpuSeconds()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// "VmRSS" (now) or "VmHWM" (peak) of this process, in MB.
double memoryMb(const char* field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly)) return 0;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith(field))
            return line.mid(int(qstrlen(field)) + 1).trimmed().split(' ').first().toDouble() / 1024.0;
    return 0;
}
} // namespace

int main(int argc, char** argv)
{
    QApplication qapp(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s ORVANE-ECU-SIM [seconds] [status|calibration]\n", argv[0]);
        return 2;
    }
    const int seconds = argc > 2 ? std::atoi(argv[2]) : 60;
    QProcess sim;
    sim.start(QString::fromLocal8Bit(argv[1]), {});
    if (!sim.waitForReadyRead(5000)) return 1;
    const QString device = QString::fromLocal8Bit(sim.readLine()).trimmed();

    SerialLink link;
    Application app(link);
    app.navigator.endProgram = [] {};
    app.state.serialPortName = device;
    app.start();
    app.navigator.window(WindowId::Start)->findChild<QPushButton*>("Command1")->click();
    auto* menu = app.navigator.window(WindowId::MainMenu);
    if (!QTest::qWaitFor([&] { return menu->findChild<QPushButton*>("Command3")->isEnabled(); }, 10000))
        return 1;
    const bool calibration = argc > 3 && QByteArray(argv[3]) == "calibration";
    const WindowId polling = calibration ? WindowId::Calibration : WindowId::Status;
    menu->findChild<QPushButton*>(calibration ? "Command5" : "Command3")->click();
    if (!QTest::qWaitFor([&] { return app.navigator.isOpen(polling); }, 5000)) return 1;

    int replies = 0;
    QObject::connect(&app.dispatcher, &ReplyDispatcher::frameHandled,
                     [&replies](int code) { replies += code == 3 || code == 10 || code == 13; });
    const QByteArray chartMode = argc > 4 ? QByteArray(argv[4]) : QByteArray("chart=on");
    auto* chartToggle = app.navigator.window(polling)->findChild<QCheckBox*>("ChartToggle");
    if (chartMode == "extras") {
        QTemporaryDir dir;
        auto* recorder = app.navigator.window(polling)->findChild<DatalogRecorder*>("datalogRecorder");
        if (!chartToggle || !recorder) return 1;
        int file = 0;
        recorder->nextPath = [&] { return dir.filePath(QStringLiteral("slice%1.csv").arg(++file)); };
        double cpu[2] = {0, 0}, wall[2] = {0, 0}, rssStart[2] = {0, 0}, rssEnd[2] = {0, 0};
        int counted[2] = {0, 0};
        for (int slice = 0; slice < 2 * std::max(1, seconds / 10); ++slice) {
            const int on = slice % 2;
            chartToggle->setChecked(on == 1);
            if (on) recorder->start();
            if (slice < 2) rssStart[on] = memoryMb("VmRSS:");
            const int r0 = replies;
            const double c0 = cpuSeconds();
            QElapsedTimer w;
            w.start();
            QTest::qWait(10'000);
            cpu[on] += cpuSeconds() - c0;
            wall[on] += static_cast<double>(w.elapsed()) / 1000.0;
            counted[on] += replies - r0;
            if (on) recorder->stop();
            rssEnd[on] = memoryMb("VmRSS:");
        }
        for (int on : {0, 1})
            std::printf("%s: %.0f s, %d replies, CPU %.3f s = %.2f%% of one core, RSS %.1f -> %.1f MB\n",
                        on ? "chart shown + recording" : "chart hidden, no recording", wall[on], counted[on],
                        cpu[on], 100.0 * cpu[on] / wall[on], rssStart[on], rssEnd[on]);
        std::printf("peak RSS %.1f MB\n", memoryMb("VmHWM:"));
        sim.terminate();
        sim.waitForFinished(2000);
        return 0;
    }
    QList<bool> phases; // chart shown in each phase
    if (chartMode == "chart=both")
        phases = {false, true, true};
    else
        phases = {chartMode != "chart=off"};
    for (bool chartShown : phases) {
        if (chartToggle) chartToggle->setChecked(chartShown);
        replies = 0;
        const double rss0 = memoryMb("VmRSS:");
        const double cpu0 = cpuSeconds();
        QElapsedTimer wall;
        wall.start();
        QTimer::singleShot(seconds * 1000, &qapp, [] { QCoreApplication::exit(0); });
        QApplication::exec();
        const double cpu = cpuSeconds() - cpu0;
        const double elapsed = static_cast<double>(wall.elapsed()) / 1000.0;
        std::printf("%s window%s polling for %.1f s: %d replies, CPU %.3f s = %.2f%% of one core, "
                    "RSS %.1f -> %.1f MB, peak %.1f MB\n",
                    calibration ? "calibration" : "status",
                    chartToggle ? (chartShown ? " (chart shown)" : " (chart hidden)") : "", elapsed, replies,
                    cpu, 100.0 * cpu / elapsed, rss0, memoryMb("VmRSS:"), memoryMb("VmHWM:"));
    }
    sim.terminate();
    sim.waitForFinished(2000);
    return 0;
}
