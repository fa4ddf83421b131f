// Time of the graphical view's work on screen: a blink tick redrawing the six curves and the
// window repainted, and an activation drawing the whole picture afresh.
// Usage: bench_graphical_blink [ticks]     (QT_QPA_PLATFORM=offscreen)
#include "app/application.h"
#include "link/link.h"
#include "ui/calibration/graphical_window.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QMouseEvent>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

// Takes every frame and answers nothing: the view sends nothing anyway.
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

void report(const char* what, std::vector<double>& ms)
{
    std::sort(ms.begin(), ms.end());
    const auto at = [&ms](double q) {
        return ms[static_cast<size_t>(q * static_cast<double>(ms.size() - 1))];
    };
    std::printf("%s, %zu times: median %.3f ms, p95 %.3f ms, max %.3f ms\n", what, ms.size(), at(0.5),
                at(0.95), ms.back());
}

std::vector<double> timed(int times, const std::function<void()>& work)
{
    std::vector<double> ms;
    ms.reserve(static_cast<size_t>(times));
    QElapsedTimer clock;
    for (int i = 0; i < times; ++i) {
        clock.start();
        work();
        ms.push_back(static_cast<double>(clock.nsecsElapsed()) / 1e6);
    }
    return ms;
}

} // namespace

int main(int argc, char** argv)
{
    QApplication qapp(argc, argv);
    const int ticks = argc > 1 ? std::max(10, std::atoi(argv[1])) : 2000;
    SilentLink link;
    Application app(link);
    app.navigator.endProgram = [] {};
    app.state.offlineMode = 1;
    app.navigator.open(WindowId::GraphicalCalibration);
    auto* window = app.navigator.window<GraphicalWindow>(WindowId::GraphicalCalibration);
    window->repaint();

    // a curve selected, as the user leaves it blinking
    QWidget* legend = window->findChild<QWidget*>(QStringLiteral("Label25"));
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(2, 2), legend->mapToGlobal(QPointF(2, 2)),
                      Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(legend, &press);
    if (window->selectedCurve() != 3) std::printf("curve 3 was not selected\n");
    std::vector<double> blink = timed(ticks, [window] {
        window->blinkTick();
        window->repaint();
    });
    report("blink tick -> six curves redrawn and the window repainted", blink);
    std::vector<double> activation = timed(ticks / 10, [window] {
        window->activate();
        window->repaint();
    });
    report("activation -> picture drawn afresh and repainted", activation);
    return 0;
}
