// Datalog costs. Usage (QT_QPA_PLATFORM=offscreen):
//   bench_datalog viewer [rows]                  open a datalog of `rows` rows (default one hour, 12000)
//                                                in the viewer, then scroll across it step by step
//   bench_datalog cpu PATH/orvane-ecu-sim [seconds]
//                                                status window polling the simulator, recording off and
//                                                on in alternate 10 s slices of one run
#include "app/application.h"
#include "link/serial_link.h"
#include "ui/common/datalog_recorder.h"
#include "ui/datalog/datalog_viewer.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <cmath>
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

class NoLink : public Link {
public:
    bool send(const QByteArray&) override { return false; }
    bool isOpen() const override { return false; }
    bool open(const QString&, const QString&) override { return false; }
    void close() override {}
    QString portName() const override { return {}; }
    LinkProblem problem() const override { return LinkProblem::None; }
    QString errorText() const override { return {}; }
};

int viewer(int rows)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("drive.csv"));
    {
        DatalogWriter writer;
        writer.open(path, DatalogSource::Status, Language::Italian);
        std::vector<int> row(datalogChannels(DatalogSource::Status).size());
        for (int r = 0; r < rows; ++r) {
            for (size_t c = 0; c < row.size(); ++c)
                row[c] = static_cast<int>(1000 + 800 * std::sin(r * 0.01 * static_cast<double>(c + 1)));
            if ((r / 600) % 5 == 4) row[0] = kDatalogNoValue; // oxygen sensor 1 unplugged now and then
            writer.append(r * 300, row);
        }
        writer.close();
    }
    NoLink link;
    Application app(link);
    app.navigator.endProgram = [] {};
    app.state.offlineMode = 1;
    app.start();
    app.navigator.open(WindowId::DatalogViewer);
    auto* v = app.navigator.window<DatalogViewer>(WindowId::DatalogViewer);
    QApplication::processEvents();

    QElapsedTimer t;
    t.start();
    v->openFile(path);
    v->repaint();
    const double openMs = static_cast<double>(t.nsecsElapsed()) / 1e6;

    // a minute, then ten, in view, scrolled across the whole drive a tenth of the view at a time
    auto scrollAcross = [&](double spanMs) {
        v->setView(0, spanMs);
        v->repaint();
        std::vector<double> steps;
        while (v->viewStartMs() + v->viewSpanMs() < v->log().timesMs.back()) {
            t.restart();
            v->scrollBy(0.1);
            v->repaint();
            steps.push_back(static_cast<double>(t.nsecsElapsed()) / 1e6);
            if (steps.back() > 16) std::printf("  step %zu took %.1f ms\n", steps.size(), steps.back());
        }
        return steps;
    };
    const std::vector<double> steps = scrollAcross(60'000);
    const std::vector<double> tenMinuteSteps = scrollAcross(600'000);
    // and the whole drive in view, zoomed in and out around its middle
    std::vector<double> zooms;
    v->setView(0, 1e12);
    for (int i = 0; i < 20; ++i) {
        t.restart();
        v->zoom(i < 10 ? 0.7 : 1 / 0.7, v->log().timesMs.back() / 2);
        v->repaint();
        zooms.push_back(static_cast<double>(t.nsecsElapsed()) / 1e6);
    }
    auto report = [](const char* what, std::vector<double> ms) {
        std::sort(ms.begin(), ms.end());
        double sum = 0;
        for (double m : ms)
            sum += m;
        std::printf("%s: %zu steps, mean %.2f ms, median %.2f ms, worst %.2f ms\n", what, ms.size(),
                    sum / static_cast<double>(ms.size()), ms[ms.size() / 2], ms.back());
    };
    std::printf("open %d rows (%.1f min of drive) and draw: %.1f ms\n", v->log().rowCount(),
                v->log().timesMs.back() / 60000, openMs);
    report("scroll one minute across the drive, step + repaint", steps);
    report("scroll ten minutes across the drive, step + repaint", tenMinuteSteps);
    report("zoom in and out of the whole drive, step + repaint", zooms);
    return 0;
}

int cpu(const char* simPath, int seconds)
{
    QProcess sim;
    sim.start(QString::fromLocal8Bit(simPath), {});
    if (!sim.waitForReadyRead(5000)) return 1;
    const QString device = QString::fromLocal8Bit(sim.readLine()).trimmed();

    QTemporaryDir dir;
    SerialLink link;
    Application app(link);
    app.navigator.endProgram = [] {};
    app.state.serialPortName = device;
    app.start();
    app.navigator.window(WindowId::Start)->findChild<QPushButton*>("Command1")->click();
    auto* menu = app.navigator.window(WindowId::MainMenu);
    if (!QTest::qWaitFor([&] { return menu->findChild<QPushButton*>("Command3")->isEnabled(); }, 10000))
        return 1;
    menu->findChild<QPushButton*>("Command3")->click();
    if (!QTest::qWaitFor([&] { return app.navigator.isOpen(WindowId::Status); }, 5000)) return 1;
    auto* recorder = app.navigator.window(WindowId::Status)->findChild<DatalogRecorder*>("datalogRecorder");
    int file = 0;
    recorder->nextPath = [&] { return dir.filePath(QStringLiteral("slice%1.csv").arg(++file)); };

    int replies = 0;
    QObject::connect(&app.dispatcher, &ReplyDispatcher::frameHandled,
                     [&replies](int code) { replies += code == 3; });
    double cpu[2] = {0, 0}, wall[2] = {0, 0};
    int counted[2] = {0, 0};
    const int slices = std::max(2, seconds / 10);
    for (int s = 0; s < slices; ++s) {
        const int on = s % 2;
        if (on) recorder->start();
        const double c0 = cpuSeconds();
        const int r0 = replies;
        QElapsedTimer w;
        w.start();
        QTest::qWait(10'000);
        cpu[on] += cpuSeconds() - c0;
        wall[on] += static_cast<double>(w.elapsed()) / 1000;
        counted[on] += replies - r0;
        if (on) recorder->stop();
    }
    for (int on : {0, 1})
        std::printf("recording %s: %.0f s, %d replies, CPU %.3f s = %.3f%% of one core\n", on ? "on " : "off",
                    wall[on], counted[on], cpu[on], 100 * cpu[on] / wall[on]);
    sim.terminate();
    sim.waitForFinished(2000);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    QApplication qapp(argc, argv);
    const QByteArray mode = argc > 1 ? QByteArray(argv[1]) : QByteArray();
    if (mode == "viewer") return viewer(argc > 2 ? std::atoi(argv[2]) : 12'000);
    if (mode == "cpu" && argc > 2) return cpu(argv[2], argc > 3 ? std::atoi(argv[3]) : 60);
    std::fprintf(stderr, "usage: %s viewer [rows] | cpu ORVANE-ECU-SIM [seconds]\n", argv[0]);
    return 2;
}
