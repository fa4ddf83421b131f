// Zoom steps in the datalog viewer on a one-hour drive (12,000 rows, 300 ms apart), once with every
// channel steady and once with oxygen sensor 1 coming and going every few rows ("NC" in between).
// The ratio of the two, taken in one run, is what to compare between versions: it does not depend
// on the machine. Usage (QT_QPA_PLATFORM=offscreen): bench_datalog_zoom [rows] [on] [off]
// (the sensor answers for 1 to `on` rows at a time, default 3, and is missing for 1 to `off`, default 2)
#include "app/application.h"
#include "ui/datalog/datalog_viewer.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <sys/resource.h>

namespace {

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

long peakRssKb()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss;
}

// A loose connector: the sensor answers for 1 to `on` rows, then is missing for 1 to `off`.
QString writeDrive(const QString& path, int rows, int on, int off)
{
    DatalogWriter writer;
    writer.open(path, DatalogSource::Status, Language::English);
    std::vector<int> row(datalogChannels(DatalogSource::Status).size());
    int run = 0, left = on;
    bool present = true;
    for (int r = 0; r < rows; ++r) {
        for (size_t c = 0; c < row.size(); ++c)
            row[c] = static_cast<int>(1000 + 800 * std::sin(r * 0.01 * static_cast<double>(c + 1)));
        if (!present) row[0] = kDatalogNoValue;
        if (--left == 0) {
            present = !present;
            ++run;
            left = 1 + (run * 7) % (present ? on : off);
        }
        writer.append(r * 300, row);
    }
    writer.close();
    return path;
}

// What a person sees: every deferred layout and update handled, then the window painted.
void settle(QWidget& window)
{
    QApplication::processEvents();
    window.repaint();
}

struct Steps {
    double mean = 0, median = 0, worst = 0;
};

// From the whole drive in to ten seconds and back out, around its middle, each step painted.
Steps zoomAcross(DatalogViewer& v)
{
    std::vector<double> ms;
    QElapsedTimer t;
    v.setView(0, 1e12);
    settle(v);
    const double middle = v.log().timesMs.back() / 2;
    for (int i = 0; i < 48; ++i) {
        t.start();
        v.zoom(i < 24 ? 0.8 : 1.25, middle);
        settle(v);
        ms.push_back(static_cast<double>(t.nsecsElapsed()) / 1e6);
    }
    std::sort(ms.begin(), ms.end());
    Steps s;
    for (double m : ms)
        s.mean += m;
    s.mean /= static_cast<double>(ms.size());
    s.median = ms[ms.size() / 2];
    s.worst = ms.back();
    return s;
}

} // namespace

int main(int argc, char** argv)
{
    QApplication qapp(argc, argv);
    const int rows = argc > 1 ? std::atoi(argv[1]) : 12'000;
    const int on = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;
    const int off = argc > 3 ? std::max(1, std::atoi(argv[3])) : 2;
    QTemporaryDir dir;
    const QString steady = writeDrive(dir.filePath(QStringLiteral("steady.csv")), rows, rows + 1, 1);
    const QString gappy = writeDrive(dir.filePath(QStringLiteral("gappy.csv")), rows, on, off);

    NoLink link;
    Application app(link);
    app.navigator.endProgram = [] {};
    app.state.offlineMode = 1;
    app.state.languageIndex = 2;
    app.start();
    app.navigator.open(WindowId::DatalogViewer);
    auto* v = app.navigator.window<DatalogViewer>(WindowId::DatalogViewer);
    v->resize(1366, 740);
    QApplication::processEvents();

    Steps result[2];
    long rss[2] = {0, 0};
    double openMs[2] = {0, 0};
    for (int g : {0, 1}) {
        QElapsedTimer t;
        t.start();
        v->openFile(g ? gappy : steady);
        settle(*v);
        openMs[g] = static_cast<double>(t.nsecsElapsed()) / 1e6;
        result[g] = zoomAcross(*v);
        rss[g] = peakRssKb();
    }
    for (int g : {0, 1})
        std::printf("%s: open %.1f ms; zoom step + repaint mean %.2f ms, median %.2f ms, worst %.2f ms; "
                    "peak RSS %ld MB\n",
                    g ? "sensor comes and goes" : "every channel steady ", openMs[g], result[g].mean,
                    result[g].median, result[g].worst, rss[g] / 1024);
    std::printf("ratio comes-and-goes / steady: mean %.2f, median %.2f\n", result[1].mean / result[0].mean,
                result[1].median / result[0].median);
    return 0;
}
