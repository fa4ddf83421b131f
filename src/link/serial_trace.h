#pragma once

#include "link/trace_decoder.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QFile>
#include <QObject>
#include <QString>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

class Link;

// A text file of what crossed the serial line, one line per frame sent and per chunk received:
//   <microseconds since the trace began> TAB <PC>ECU | ECU>PC> TAB <what it holds> TAB <hex bytes>
// Recording only stamps and queues the bytes; a thread of its own words and writes them at least
// every kFlushMs, so the link never waits for the disk. A failed write ends the trace, not the link.
class SerialTrace : public QObject {
    Q_OBJECT
public:
    // Which end of the line this program is: it decides the direction of "sent" and "received".
    enum class Side { Pc, Ecu };
    // The reason given when the disk took only part of a write; the windows word it.
    static constexpr const char* kDiskFull = "disk full";

    explicit SerialTrace(Side side, QObject* parent = nullptr);
    ~SerialTrace() override;

    // Creates or empties the file and writes its heading there and then, so a path that cannot
    // be written is known before the program starts; false with errorText() then.
    bool open(const QString& path, const QString& program);
    // Writes what is queued and closes the file; false when that last write failed.
    bool close();

    // Safe from any thread.
    void sent(const QByteArray& bytes);
    void received(const QByteArray& bytes);
    void note(const QString& text);

    // Follows a link: what it sends, what it hands to the dispatcher, a lost port. Attach before
    // the dispatcher connects, so a reply is traced before anything it sets off.
    void attach(Link& link);

    bool isActive() const { return active_.load(); }
    QString errorText() const;

    static constexpr int kFlushMs = 200;
    // Queued and not yet written; beyond it chunks are dropped and counted in the file.
    static constexpr qsizetype kMaxQueuedBytes = 16 * 1024 * 1024;

signals:
    // The trace stopped because the file could not be written; emitted from the writer thread.
    void failed(const QString& reason);

private:
    enum class Kind { Sent, Received, Note };
    struct Entry {
        qint64 micros;
        Kind kind;
        QByteArray bytes;
    };

    void record(Kind kind, const QByteArray& bytes);
    void writerLoop();
    QByteArray format(const std::vector<Entry>& entries, qint64 dropped);

    const Side side_;
    QFile file_; // the writer thread's alone while it runs
    QElapsedTimer clock_;
    TraceDecoder toEcu_{TraceDirection::ToEcu};
    TraceDecoder fromEcu_{TraceDirection::FromEcu};

    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::vector<Entry> queue_;
    qsizetype queuedBytes_ = 0;
    qint64 dropped_ = 0;
    bool stopping_ = false;
    QString error_;
    std::atomic<bool> active_{false};
    std::thread writer_;
};
