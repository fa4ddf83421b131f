#include "link/serial_trace.h"

#include "link/link.h"

#include <QDateTime>
#include <QFileInfo>

#include <utility>

SerialTrace::SerialTrace(Side side, QObject* parent) : QObject(parent), side_(side) {}

SerialTrace::~SerialTrace()
{
    close();
}

bool SerialTrace::open(const QString& path, const QString& program)
{
    close();
    // opening a pipe for writing waits for a reader: the program would hang before its first window
    if (const QFileInfo info(path); info.exists() && !info.isFile()) {
        error_ = QStringLiteral("not a regular file (a pipe, a device or a folder)");
        return false;
    }
    file_.setFileName(path);
    // Unbuffered: a write that fails says so at once, and what was written is in the file.
    if (!file_.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered)) {
        error_ = file_.errorString();
        return false;
    }
    const QByteArray heading =
        QStringLiteral("# %1 serial trace, %2 side, started %3\n"
                       "# microseconds\tdirection\tframes\tbytes\n")
            .arg(program, side_ == Side::Pc ? QStringLiteral("PC") : QStringLiteral("ECU"),
                 QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss 'UTC'")))
            .toUtf8();
    if (const qint64 n = file_.write(heading); n != heading.size()) {
        error_ = n >= 0 ? QString::fromLatin1(kDiskFull) : file_.errorString();
        file_.close();
        return false;
    }
    toEcu_ = TraceDecoder(TraceDirection::ToEcu);
    fromEcu_ = TraceDecoder(TraceDirection::FromEcu);
    {
        std::lock_guard lock(mutex_);
        queue_.clear();
        queuedBytes_ = 0;
        dropped_ = 0;
        stopping_ = false;
        error_.clear();
    }
    clock_.start();
    active_ = true;
    writer_ = std::thread(&SerialTrace::writerLoop, this);
    return true;
}

bool SerialTrace::close()
{
    if (!writer_.joinable()) return error_.isEmpty();
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    writer_.join();
    active_ = false;
    file_.close();
    std::lock_guard lock(mutex_);
    return error_.isEmpty();
}

void SerialTrace::sent(const QByteArray& bytes)
{
    record(Kind::Sent, bytes);
}

void SerialTrace::received(const QByteArray& bytes)
{
    record(Kind::Received, bytes);
}

void SerialTrace::note(const QString& text)
{
    // one line, whatever the system's words hold
    record(Kind::Note, text.simplified().toUtf8());
}

void SerialTrace::attach(Link& link)
{
    connect(&link, &Link::sent, this, &SerialTrace::sent, Qt::DirectConnection);
    connect(&link, &Link::received, this, &SerialTrace::received, Qt::DirectConnection);
    connect(
        &link, &Link::lost, this,
        [this, &link] { note(QStringLiteral("port %1 lost: %2").arg(link.portName(), link.errorText())); },
        Qt::DirectConnection);
}

QString SerialTrace::errorText() const
{
    std::lock_guard lock(mutex_);
    return error_;
}

void SerialTrace::record(Kind kind, const QByteArray& bytes)
{
    if (!active_.load(std::memory_order_relaxed)) return;
    std::lock_guard lock(mutex_);
    if (!active_.load(std::memory_order_relaxed)) return;
    if (queuedBytes_ + bytes.size() > kMaxQueuedBytes) {
        ++dropped_;
        return;
    }
    // stamped under the lock, so lines from several threads stay in time order
    queue_.push_back({clock_.nsecsElapsed() / 1000, kind, bytes});
    queuedBytes_ += bytes.size();
}

void SerialTrace::writerLoop()
{
    std::vector<Entry> batch;
    std::unique_lock lock(mutex_);
    for (;;) {
        wake_.wait_for(lock, std::chrono::milliseconds(kFlushMs), [this] { return stopping_; });
        batch.clear();
        batch.swap(queue_);
        queuedBytes_ = 0;
        const qint64 dropped = std::exchange(dropped_, 0);
        const bool stopping = stopping_;
        lock.unlock();

        const QByteArray text = format(batch, dropped);
        const qint64 before = file_.pos();
        const qint64 n = text.isEmpty() ? 0 : file_.write(text);
        const bool written = n == text.size();
        // a line cut by a full disk: the trace ends at the last whole one instead
        if (n > 0 && !written) file_.resize(before + text.lastIndexOf('\n', n - 1) + 1);

        lock.lock();
        if (!written) {
            error_ = n >= 0 || file_.error() == QFileDevice::ResourceError ? QString::fromLatin1(kDiskFull)
                                                                           : file_.errorString();
            active_ = false;
            queue_.clear();
            const QString reason = error_;
            lock.unlock();
            emit failed(reason);
            return;
        }
        if (stopping) return;
    }
}

QByteArray SerialTrace::format(const std::vector<Entry>& entries, qint64 dropped)
{
    QByteArray text;
    for (const Entry& entry : entries) {
        text += QByteArray::number(entry.micros);
        if (entry.kind == Kind::Note) {
            text += "\tnote\t" + entry.bytes + '\n';
            continue;
        }
        const bool toEcu = (entry.kind == Kind::Sent) == (side_ == Side::Pc);
        TraceDecoder& decoder = toEcu ? toEcu_ : fromEcu_;
        text += toEcu ? "\tPC>ECU\t" : "\tECU>PC\t";
        text += decoder.describe(entry.bytes).toUtf8();
        text += '\t';
        text += entry.bytes.toHex(' ').toUpper();
        text += '\n';
    }
    if (dropped > 0)
        text += "# " + QByteArray::number(dropped) + " chunks not traced: the disk did not keep up\n";
    return text;
}
