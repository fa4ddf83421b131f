#include "sim/pty_host.h"

#include "link/serial_link.h"
#include "link/serial_trace.h"

#include <QSocketNotifier>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace {
qint64 steadyNowNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}
} // namespace

PtyHost::PtyHost(VirtualEcu& ecu, int bytesPerSecond, QObject* parent)
    : QObject(parent), ecu_(ecu), nsPerByte_(1'000'000'000LL / std::max(1, bytesPerSecond)), pumpTimer_(this)
{
    pumpTimer_.setSingleShot(true);
    pumpTimer_.setTimerType(Qt::PreciseTimer);
    connect(&pumpTimer_, &QTimer::timeout, this, &PtyHost::pump);
}

PtyHost::~PtyHost()
{
    delete notifier_;
    if (masterFd_ >= 0) ::close(masterFd_);
    if (slaveFd_ >= 0) ::close(slaveFd_);
}

int PtyHost::bytesPerSecondForSettings(const QString& settings)
{
    // start bit, data bits, parity, stop bits
    const std::optional<SerialSettings> s = parseSerialSettings(settings);
    if (!s) return 960;
    const int bits = 1 + s->dataBits + (s->parity == QSerialPort::NoParity ? 0 : 1) +
                     (s->stopBits == QSerialPort::OneStop ? 1 : 2);
    return std::max(1, s->baudRate / bits);
}

bool PtyHost::start()
{
    masterFd_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (masterFd_ < 0 || ::grantpt(masterFd_) != 0 || ::unlockpt(masterFd_) != 0) {
        errorText_ = QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    devicePath_ = QString::fromLocal8Bit(::ptsname(masterFd_));
    slaveFd_ = ::open(::ptsname(masterFd_), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (slaveFd_ < 0) {
        errorText_ = QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    // Raw from the start: no echo of our replies, no line editing of the requests.
    termios raw{};
    if (::tcgetattr(slaveFd_, &raw) == 0) {
        ::cfmakeraw(&raw);
        ::tcsetattr(slaveFd_, TCSANOW, &raw);
    }
    notifier_ = new QSocketNotifier(masterFd_, QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &PtyHost::onReadable);
    clock_.start();
    return true;
}

void PtyHost::onReadable()
{
    char buffer[512];
    QByteArray received;
    for (;;) {
        const ssize_t n = ::read(masterFd_, buffer, sizeof buffer);
        if (n > 0) {
            received.append(buffer, n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        break; // EAGAIN: drained
    }
    if (received.isEmpty()) return;
    if (trace_) trace_->received(received);
    const qint64 now = steadyNowNs();
    for (const VirtualEcu::Chunk& chunk : ecu_.receive(received, clock_.elapsed()))
        schedule(chunk, now);
    pump();
}

void PtyHost::schedule(const VirtualEcu::Chunk& chunk, qint64 nowNs)
{
    qint64 due = std::max(nowNs, lineFreeNs_) + chunk.delayMs * 1'000'000LL;
    for (qsizetype i = 0; i < chunk.bytes.size(); ++i) {
        due += nsPerByte_;
        out_.push_back({chunk.bytes[i], due, i + 1 == chunk.bytes.size()});
    }
    lineFreeNs_ = due;
}

void PtyHost::pump()
{
    const qint64 now = steadyNowNs();
    QByteArray burst;
    bool endsChunk = false;
    std::vector<QByteArray> tracedReplies;
    while (!out_.empty() && out_.front().dueNs <= now) {
        burst.append(out_.front().byte);
        endsChunk = out_.front().endsChunk;
        if (trace_) {
            tracedReply_.append(out_.front().byte);
            if (endsChunk) tracedReplies.push_back(std::exchange(tracedReply_, QByteArray()));
        }
        out_.pop_front();
    }
    if (!burst.isEmpty()) {
        // stamped before the write: the reader may have the bytes before write() returns
        const qint64 writtenNs = steadyNowNs();
        // published before the write too, or a fast reader measures against the reply before
        if (endsChunk) lastReplyEndNs_.store(writtenNs);
        qsizetype written = 0;
        while (written < burst.size()) {
            const ssize_t n = ::write(masterFd_, burst.constData() + written, burst.size() - written);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) break; // the terminal's buffer is full: the program is not reading; drop
            written += n;
        }
        if (trace_) {
            for (const QByteArray& reply : tracedReplies)
                trace_->sent(reply);
            if (written < burst.size())
                trace_->note(QStringLiteral("%1 reply bytes dropped: the program is not reading")
                                 .arg(burst.size() - written));
        }
    }
    if (!out_.empty()) {
        // Wake up for the next byte; a few bytes per wake-up keeps the cost low at 9600 baud.
        const qint64 waitNs = std::max<qint64>(0, out_.front().dueNs - steadyNowNs());
        pumpTimer_.start(static_cast<int>(std::max<qint64>(1, (waitNs + 999'999) / 1'000'000)));
    }
}
