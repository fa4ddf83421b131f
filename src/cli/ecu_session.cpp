#include "cli/ecu_session.h"

#include "app/command_line.h"
#include "cli/cli_texts.h"
#include "link/frames.h"
#include "link/link_messages.h"
#include "link/serial_ports.h"
#include "sim/pty_host.h"
#include "sim/simulator_thread.h"

#include <QEventLoop>
#include <QRegularExpression>
#include <QSocketNotifier>
#include <QTimer>

#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace {

int interruptPipe[2] = {-1, -1};

void onSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] const auto n = ::write(interruptPipe[1], &byte, 1);
}

} // namespace

void installInterruptHandler()
{
    if (interruptPipe[0] >= 0 || ::pipe2(interruptPipe, O_CLOEXEC | O_NONBLOCK) != 0) return;
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGTERM, &action, nullptr);
}

int interruptDescriptor()
{
    return interruptPipe[0];
}

EcuSession::EcuSession(const CliRequest& request) : request_(request)
{
    state.languageIndex = static_cast<int>(request.language);
    if (interruptPipe[0] >= 0) {
        auto* notifier = new QSocketNotifier(interruptPipe[0], QSocketNotifier::Read, this);
        connect(notifier, &QSocketNotifier::activated, this, [this] {
            char bytes[16];
            while (::read(interruptPipe[0], bytes, sizeof bytes) > 0) {
            }
            onInterrupt();
        });
    }
    connect(&link, &Link::lost, this, [this](LinkProblem problem) {
        portLost_ = true;
        lostProblem_ = problem;
        if (loop_) loop_->quit();
    });
}

EcuSession::~EcuSession()
{
    link.close();
    if (trace_.isActive() && !trace_.close())
        say(traceStoppedMessage(language(), request_.tracePath, trace_.errorText()).text);
}

void EcuSession::say(const QString& text) const
{
    std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
    std::fflush(stderr);
}

void EcuSession::onInterrupt()
{
    interrupted_ = true;
    emit interruptRequested();
    if (loop_) loop_->quit();
}

int EcuSession::open()
{
    // before the port: a support engineer who asked for a trace must not get a run without one
    if (!request_.tracePath.isEmpty()) {
        if (!trace_.open(request_.tracePath,
                         QStringLiteral("orvane-cli %1").arg(QLatin1String(kOrvaneVersion)))) {
            say(cli_texts::traceRefused.in(language()).arg(request_.tracePath, trace_.errorText()));
            return kExitFileRefused;
        }
        trace_.attach(link); // before the dispatcher: a reply is traced before what it sets off
        connect(&trace_, &SerialTrace::failed, this, [this](const QString& reason) {
            say(traceStoppedMessage(language(), request_.tracePath, reason).text);
        });
    }
    connect(&link, &Link::received, &dispatcher, &ReplyDispatcher::onSerialEvent);

    // 1..4: the program's numbered ports
    QString port = request_.port;
    static const QRegularExpression numbered(QStringLiteral("^[1-4]$"));
    if (numbered.match(port).hasMatch()) port = portNameForNumber(port.toInt());
    if (request_.simulate) {
        simulator_ = std::make_unique<SimulatorThread>(PtyHost::bytesPerSecondForSettings(request_.settings));
        if (!simulator_->start()) {
            say(cli_texts::simulatorFailed.in(language()).arg(simulator_->errorText()));
            return kExitPortUnavailable;
        }
        port = simulator_->devicePath();
    }
    if (!link.open(port, request_.settings)) {
        const LinkMessage m = portProblemMessage(language(), port, link.problem(), link.errorText());
        say(m.text);
        return kExitPortUnavailable;
    }
    return kExitDone;
}

EcuSession::Wait EcuSession::waitFor(const std::function<bool()>& done, int timeoutMs)
{
    const auto settled = [&]() -> std::optional<Wait> {
        if (done()) return Wait::Done;
        if (interrupted_) return Wait::Interrupted;
        if (portLost_ || !link.isOpen()) return Wait::PortLost;
        return std::nullopt;
    };
    if (const auto now = settled()) return *now;
    QEventLoop loop;
    QEventLoop* outer = std::exchange(loop_, &loop);
    bool timedOut = false;
    QTimer timer;
    timer.setSingleShot(true);
    connect(&timer, &QTimer::timeout, &loop, [&] {
        timedOut = true;
        loop.quit();
    });
    if (timeoutMs >= 0) timer.start(timeoutMs);
    const auto check = [&] {
        if (settled()) loop.quit();
    };
    std::function<void()> outerCheck = std::exchange(recheck_, check);
    const QMetaObject::Connection replies =
        connect(&dispatcher, &ReplyDispatcher::frameHandled, &loop, check);
    const QMetaObject::Connection writes = connect(&this->writes, &WriteSession::ended, &loop, check);
    loop.exec();
    disconnect(replies);
    disconnect(writes);
    loop_ = outer;
    recheck_ = std::move(outerCheck);
    if (const auto now = settled()) return *now;
    return timedOut ? Wait::TimedOut : Wait::Interrupted;
}

EcuSession::Wait EcuSession::request(const QByteArray& frame, const std::function<bool()>& done)
{
    for (int attempt = 0; attempt < kTries; ++attempt) {
        if (!link.send(frame)) return Wait::PortLost;
        const Wait wait = waitFor(done, kRetryMs);
        if (wait != Wait::TimedOut) return wait;
    }
    return Wait::TimedOut;
}

void EcuSession::tellLinkProblem(LinkProblem problem)
{
    say(linkProblemMessage(language(), link.portName(), problem, link.errorText()).text);
}

int EcuSession::failed(Wait wait)
{
    switch (wait) {
    case Wait::Done:
        return kExitDone;
    case Wait::Interrupted:
        say(cli_texts::interrupted.in(language()));
        return kExitInterrupted;
    case Wait::PortLost:
        tellLinkProblem(lostProblem_ != LinkProblem::None ? lostProblem_ : LinkProblem::PortNotOpen);
        return kExitNoAnswer;
    case Wait::TimedOut:
        break;
    }
    tellLinkProblem(LinkProblem::NoAnswer);
    return kExitNoAnswer;
}

int EcuSession::readVersion()
{
    state.versionReceived = 0;
    state.versionRequestCount = 0;
    return failed(request(frames::readVersion(), [this] { return state.versionReceived == 1; }));
}

int EcuSession::readParameters()
{
    state.parametersReceived = 0;
    return failed(request(frames::readAllParameters(), [this] { return state.parametersReceived == 1; }));
}

int EcuSession::readTable()
{
    state.tableReceived = 0;
    return failed(request(frames::readTable(), [this] { return state.tableReceived == 1; }));
}

QString EcuSession::ecuVersionText() const
{
    return QStringLiteral("%1.%2.%3")
        .arg(state.ecuVersion[1])
        .arg(state.ecuVersion[2])
        .arg(state.ecuVersion[3]);
}
