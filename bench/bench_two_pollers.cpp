// Share of the ECU's replies that reach the dispatcher while two windows poll at once, as the
// status window (status request every 300 ms) and the calibration window (calibration poll every
// 300 ms) do, over a pseudo-terminal at 9600 baud. Each run starts the two timers a different time
// apart. "before" is the delivery the link had until every whole frame was handed over: one chunk
// when the buffer held exactly one frame, everything else at the next send, and a dispatcher that
// took a chunk only when it was exactly one frame.
//   bench_two_pollers [seconds per offset, default 3]
#include "link/frames.h"
#include "link/reply_dispatcher.h"
#include "link/serial_link.h"
#include "sim/simulator_thread.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QMetaObject>
#include <QSerialPort>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <utility>

namespace {

// The link as it delivered before.
class EarlierSerialLink : public Link {
public:
    EarlierSerialLink() { connect(&port_, &QSerialPort::readyRead, this, &EarlierSerialLink::onReadyRead); }
    bool open(const QString& name, const QString&) override
    {
        port_.setPortName(name);
        return port_.open(QIODevice::ReadWrite) && port_.setBaudRate(9600);
    }
    void close() override { port_.close(); }
    bool isOpen() const override { return port_.isOpen(); }
    QString portName() const override { return port_.portName(); }
    LinkProblem problem() const override { return LinkProblem::None; }
    QString errorText() const override { return {}; }
    bool send(const QByteArray& frame) override
    {
        buffer_.append(port_.readAll());
        if (!buffer_.isEmpty()) {
            beforeSend_.append(std::exchange(buffer_, QByteArray()));
            if (!flushQueued_) {
                flushQueued_ = true;
                QMetaObject::invokeMethod(this, &EarlierSerialLink::flushBeforeSend, Qt::QueuedConnection);
            }
        }
        return port_.write(frame) == frame.size();
    }

private:
    void onReadyRead()
    {
        buffer_.append(port_.readAll());
        static const QByteArray header("PC\0", 3);
        const qsizetype start = buffer_.indexOf(header);
        if (start > 0) {
            const qsizetype length = buffer_.size() - start;
            if (length >= 4 && frames::byteAt(buffer_, static_cast<int>(start) + 4) == length) {
                flushBeforeSend();
                emit received(buffer_.left(start));
                buffer_.remove(0, start);
            }
        }
        const bool oneWholeFrame = buffer_.size() >= 4 && frames::byteAt(buffer_, 4) == buffer_.size();
        if (buffer_.size() >= 150 || oneWholeFrame) deliver();
    }
    void flushBeforeSend()
    {
        flushQueued_ = false;
        if (!beforeSend_.isEmpty()) emit received(std::exchange(beforeSend_, QByteArray()));
    }
    void deliver()
    {
        flushBeforeSend();
        if (!buffer_.isEmpty()) emit received(std::exchange(buffer_, QByteArray()));
    }

    QSerialPort port_;
    QByteArray buffer_, beforeSend_;
    bool flushQueued_ = false;
};

struct Share {
    long sent = 0;
    long delivered = 0;
};

Share run(bool earlier, int offsetMs, int seconds)
{
    SimulatorThread sim;
    if (!sim.start()) return {};
    SharedState state;
    ReplyDispatcher dispatcher(state);
    std::unique_ptr<Link> link;
    if (earlier) {
        link = std::make_unique<EarlierSerialLink>();
        // the dispatcher of then: a chunk counted only when it was exactly one frame
        QObject::connect(link.get(), &Link::received, &dispatcher, [&dispatcher](const QByteArray& bytes) {
            if (bytes.size() >= 5 && frames::byteAt(bytes, 4) == bytes.size())
                dispatcher.onSerialEvent(bytes);
        });
    } else {
        link = std::make_unique<SerialLink>();
        QObject::connect(link.get(), &Link::received, &dispatcher, &ReplyDispatcher::onSerialEvent);
    }
    if (!link->open(sim.devicePath(), QStringLiteral("9600,n,8,1"))) return {};
    long delivered = 0;
    QObject::connect(&dispatcher, &ReplyDispatcher::frameHandled, [&delivered](int code) {
        delivered += code == static_cast<int>(RequestKind::ReadStatus) ||
                     code == static_cast<int>(RequestKind::CalibrationPoll);
    });
    QTimer status, calibration;
    for (QTimer* t : {&status, &calibration}) {
        t->setInterval(300);
        t->setTimerType(Qt::PreciseTimer);
    }
    // the virtual ECU answers every request
    long sent = 0;
    QObject::connect(&status, &QTimer::timeout, [&] { sent += link->send(frames::readStatus()); });
    QObject::connect(&calibration, &QTimer::timeout,
                     [&] { sent += link->send(*frames::calibrationPoll(100)); });
    status.start();
    QTimer::singleShot(offsetMs, Qt::PreciseTimer, [&calibration] { calibration.start(); });
    QEventLoop loop;
    QTimer::singleShot(seconds * 1000, &loop, &QEventLoop::quit);
    loop.exec();
    status.stop();
    calibration.stop();
    // the last replies on the line
    QTimer::singleShot(400, &loop, &QEventLoop::quit);
    loop.exec();
    sent += link->send(frames::readStatus()); // hands over what is still buffered
    QTimer::singleShot(200, &loop, &QEventLoop::quit);
    loop.exec();
    link->close();
    return {sent, delivered};
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int seconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
    // the two windows' timers start whenever the user opens them: offsets across the whole period
    const int offsets[] = {0, 30, 60, 90, 120, 150, 180, 210, 240, 270};
    for (const bool earlier : {true, false}) {
        Share total;
        for (const int offset : offsets) {
            const Share s = run(earlier, offset, seconds);
            if (s.sent == 0) {
                std::fprintf(stderr, "the simulator did not start\n");
                return 1;
            }
            std::printf("%s, second poller %3d ms after the first: %ld of %ld replies delivered (%.1f%%)\n",
                        earlier ? "before" : "after ", offset, s.delivered, s.sent,
                        100.0 * static_cast<double>(s.delivered) / static_cast<double>(s.sent));
            total.sent += s.sent;
            total.delivered += s.delivered;
        }
        std::printf("%s, all offsets: %ld of %ld replies delivered (%.1f%%)\n", earlier ? "before" : "after ",
                    total.delivered, total.sent,
                    100.0 * static_cast<double>(total.delivered) / static_cast<double>(total.sent));
    }
    return 0;
}
