// Cost of one strip-chart update with the minute full (six channels, 200 points each), drawn:
//  replace  - x in seconds before now on a fixed axis, every series given a prepared list;
//  append   - x since start, one point appended and the oldest removed per series, the time axis
//             moved along.
// Usage: bench_strip_chart [updates]   (QT_QPA_PLATFORM=offscreen)
#include <QApplication>
#include <QChart>
#include <QChartView>
#include <QElapsedTimer>
#include <QLineSeries>
#include <QValueAxis>

#include <cmath>
#include <cstdio>
#include <vector>

namespace {
constexpr int kChannels = 6, kPoints = 200;

double value(int channel, int sample)
{
    return 500 + 400 * std::sin(sample / (5.0 + channel));
}

struct Chart {
    QChart* chart = new QChart;
    QChartView view{chart};
    QValueAxis* time = new QValueAxis;
    std::vector<QLineSeries*> series;
    Chart()
    {
        chart->addAxis(time, Qt::AlignBottom);
        auto* y = new QValueAxis;
        y->setRange(0, 1000);
        chart->addAxis(y, Qt::AlignLeft);
        for (int c = 0; c < kChannels; ++c) {
            series.push_back(new QLineSeries);
            chart->addSeries(series.back());
            series.back()->attachAxis(time);
            series.back()->attachAxis(y);
        }
        view.resize(900, 240);
        view.show();
    }
    void draw() { view.viewport()->repaint(); }
};
} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const int updates = argc > 1 ? std::atoi(argv[1]) : 1000;

    double replaceMs = 0, appendMs = 0;
    {
        Chart c;
        c.time->setRange(-60, 0);
        QElapsedTimer t;
        for (int u = 0; u < updates + kPoints; ++u) {
            if (u == kPoints) t.start();
            QList<QPointF> points;
            for (int ch = 0; ch < kChannels; ++ch) {
                points.clear();
                const int first = std::max(0, u - kPoints + 1);
                for (int s = first; s <= u; ++s)
                    points.append(QPointF((s - u) * 0.3, value(ch, s)));
                c.series[static_cast<std::size_t>(ch)]->replace(points);
            }
            if (u >= kPoints) c.draw();
        }
        replaceMs = static_cast<double>(t.nsecsElapsed()) / 1e6 / updates;
    }
    {
        Chart c;
        QElapsedTimer t;
        for (int u = 0; u < updates + kPoints; ++u) {
            if (u == kPoints) t.start();
            for (int ch = 0; ch < kChannels; ++ch) {
                QLineSeries* s = c.series[static_cast<std::size_t>(ch)];
                s->append(u * 0.3, value(ch, u));
                if (s->count() > kPoints) s->removePoints(0, s->count() - kPoints);
            }
            c.time->setRange(u * 0.3 - 60, u * 0.3);
            if (u >= kPoints) c.draw();
        }
        appendMs = static_cast<double>(t.nsecsElapsed()) / 1e6 / updates;
    }
    std::printf("one drawn update of %d series x %d points: replace %.3f ms, append/removePoints %.3f ms "
                "(mean of %d)\n",
                kChannels, kPoints, replaceMs, appendMs, updates);
    return 0;
}
