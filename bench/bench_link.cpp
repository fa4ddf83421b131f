// Reply latency over a pseudo-terminal (virtual ECU writes the last byte -> value in the shared
// state), without and with the serial trace, and the dispatcher's cost per status frame.
#include "link/frames.h"
#include "link/reply_dispatcher.h"
#include "link/serial_link.h"
#include "link/serial_trace.h"
#include "sim/simulator_thread.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

namespace {

qint64 steadyNowNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

double percentile(std::vector<double> v, double p)
{
    std::sort(v.begin(), v.end());
    const auto i = static_cast<std::size_t>(p * static_cast<double>(v.size() - 1) + 0.5);
    return v[i];
}

// Median reply latency in ms, or a negative number when the run failed.
double latency(int count, const QString& tracePath)
{
    SharedState state;
    ReplyDispatcher dispatcher(state);
    SimulatorThread sim;
    if (!sim.start()) return -1;
    SerialLink link;
    SerialTrace trace(SerialTrace::Side::Pc);
    if (!tracePath.isEmpty()) {
        if (!trace.open(tracePath, QStringLiteral("bench_link"))) {
            std::fprintf(stderr, "trace: %s\n", qPrintable(trace.errorText()));
            return -1;
        }
        trace.attach(link);
    }
    QObject::connect(&link, &Link::received, &dispatcher, &ReplyDispatcher::onSerialEvent);
    if (!link.open(sim.devicePath(), "9600,n,8,1")) {
        std::fprintf(stderr, "open: %s\n", qPrintable(link.errorText()));
        return -1;
    }

    std::vector<double> ms;
    qint64 handledNs = 0;
    QEventLoop loop;
    QObject::connect(&dispatcher, &ReplyDispatcher::frameHandled, [&](int code) {
        if (code != 3) return;
        handledNs = steadyNowNs();
        loop.quit();
    });
    QTimer timeout;
    timeout.setSingleShot(true);
    QObject::connect(&timeout, &QTimer::timeout, &loop, &QEventLoop::quit);

    for (int i = 0; i < count; ++i) {
        state.statusReceived = 0;
        handledNs = 0;
        link.send(frames::readStatus());
        timeout.start(2000);
        loop.exec();
        if (handledNs == 0) {
            std::fprintf(stderr, "reply %d lost\n", i);
            continue;
        }
        ms.push_back(static_cast<double>(handledNs - sim.host().lastReplyEndNs()) / 1e6);
    }
    if (ms.empty()) return -1;
    std::printf("reply latency over pty, %s (%zu status replies): median %.3f ms, p99 %.3f ms, max %.3f ms\n",
                tracePath.isEmpty() ? "no trace" : "traced", ms.size(), percentile(ms, 0.5),
                percentile(ms, 0.99), percentile(ms, 1.0));
    if (!trace.close()) {
        std::fprintf(stderr, "trace: %s\n", qPrintable(trace.errorText()));
        return -1;
    }
    return percentile(ms, 0.5);
}

void dispatcherCost()
{
    SharedState state;
    ReplyDispatcher dispatcher(state);
    QByteArray payload;
    for (int i = 0; i < 38; ++i)
        payload.append(static_cast<char>(i * 7));
    const QByteArray status = frames::frame(3, payload);
    const QByteArray rejected = status + status; // dropped at the length check
    constexpr int n = 2'000'000;
    for (const auto& [name, frame] :
         {std::pair{"status frame", status}, std::pair{"rejected frame", rejected}}) {
        QElapsedTimer t;
        t.start();
        for (int i = 0; i < n; ++i)
            dispatcher.onSerialEvent(frame);
        std::printf("dispatcher cost per %s: %.1f ns\n", name, static_cast<double>(t.nsecsElapsed()) / n);
    }
}

// What the link's thread pays per traced chunk: a stamp, a lock and a queued copy.
void traceCost(const QString& path)
{
    SerialTrace trace(SerialTrace::Side::Pc);
    if (!trace.open(path, QStringLiteral("bench_link"))) return;
    const QByteArray status = frames::frame(3, QByteArray(38, '\x11'));
    constexpr int n = 200'000;
    QElapsedTimer t;
    t.start();
    for (int i = 0; i < n; ++i)
        trace.received(status);
    std::printf("trace cost per status chunk on the link's thread: %.1f ns\n",
                static_cast<double>(t.nsecsElapsed()) / n);
    trace.close();
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int count = argc > 1 ? std::max(1, std::atoi(argv[1])) : 1000;
    dispatcherCost();
    // untraced before and after, so a machine that gets busier or quieter shows in the numbers
    QTemporaryDir dir;
    traceCost(dir.filePath("cost.trace"));
    const double before = latency(count, {});
    const double traced = latency(count, dir.filePath("bench.trace"));
    const double after = latency(count, {});
    if (before <= 0 || traced <= 0 || after <= 0) return 1;
    std::printf("median reply latency traced / untraced: %.3f\n", traced / ((before + after) / 2));
    return 0;
}
