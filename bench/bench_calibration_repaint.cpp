// Time from a calibration reply arriving to the calibration window's grid, marker and oxygen bar
// repainted: the reply through the dispatcher, the poll tick's redraw, then a synchronous paint.
// Usage: bench_calibration_repaint [replies]     (QT_QPA_PLATFORM=offscreen)
#include "app/application.h"
#include "link/frames.h"
#include "link/link.h"
#include "ui/calibration/calibration_window.h"

#include <QApplication>
#include <QElapsedTimer>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

// Takes every frame and answers nothing; the bench plays the ECU.
class SilentLink : public Link {
public:
    bool send(const QByteArray&) override { return true; }
    bool isOpen() const override { return true; }
    bool open(const QString&, const QString&) override { return true; }
    void close() override {}
    QString portName() const override { return QStringLiteral("bench"); }
    LinkProblem problem() const override { return LinkProblem::None; }
    QString errorText() const override { return {}; }
};

QByteArray reply(int i)
{
    QByteArray p;
    const auto add16 = [&p](int v) { p += char(v / 256) + QByteArray(1, char(v % 256)); };
    // the operating point sweeps the table, the sensor the bar, the fuel blinks through a change-over
    for (int v : {100 + (i * 37) % 800, 450, 1100, 0, 45, 80, 100 + i % 30, 700 + (i * 53) % 4500,
                  150 + (i * 29) % 1200})
        add16(v);
    p += char(i % 7 == 0 ? 3 : 0);
    p += char(i % 2);
    return frames::frame(10, p);
}

} // namespace

int main(int argc, char** argv)
{
    QApplication qapp(argc, argv);
    const int replies = argc > 1 ? std::max(10, std::atoi(argv[1])) : 2000;
    SilentLink link;
    Application app(link);
    app.navigator.endProgram = [] {};
    const int rpm[8] = {800, 1200, 1600, 2000, 2500, 3000, 4000, 5000};
    const int tinj[8] = {200, 300, 400, 500, 650, 800, 1000, 1300};
    for (int i = 0; i < 8; ++i) {
        app.state.parameterValues[34 + i] = rpm[i];
        app.state.parameterValues[42 + i] = tinj[i];
    }
    app.state.parameterValues[3] = 2;
    app.state.lambda1FullScale = 1000;
    app.state.lambda1Step = 50;
    app.navigator.open(WindowId::Calibration);
    auto* window = app.navigator.window<CalibrationWindow>(WindowId::Calibration);
    window->resize(window->sizeHint());
    window->repaint();

    std::vector<double> ms;
    ms.reserve(static_cast<size_t>(replies));
    QElapsedTimer clock;
    for (int i = 0; i < replies; ++i) {
        clock.start();
        emit link.received(reply(i));
        window->pollTick();
        window->repaint();
        ms.push_back(static_cast<double>(clock.nsecsElapsed()) / 1e6);
    }
    std::sort(ms.begin(), ms.end());
    const auto at = [&ms](double q) {
        return ms[static_cast<size_t>(q * static_cast<double>(ms.size() - 1))];
    };
    std::printf("calibration reply -> grid, marker and bar repainted, %d replies: median %.3f ms, "
                "p95 %.3f ms, max %.3f ms\n",
                replies, at(0.5), at(0.95), ms.back());
    return 0;
}
