#pragma once

#include "sim/virtual_ecu.h"

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>

#include <atomic>
#include <deque>

class QSocketNotifier;
class SerialTrace;

// Puts a VirtualEcu behind a pseudo-terminal, so the program opens it like any serial port.
// Replies leave at the line rate (about 960 bytes/s at 9600 baud), so what the program sees
// takes as long as it would on the wire.
class PtyHost : public QObject {
    Q_OBJECT
public:
    explicit PtyHost(VirtualEcu& ecu, int bytesPerSecond = 960, QObject* parent = nullptr);
    ~PtyHost() override;

    // Opens the pseudo-terminal; false with errorText() when the system refuses.
    bool start();
    QString devicePath() const { return devicePath_; }
    QString errorText() const { return errorText_; }

    static int bytesPerSecondForSettings(const QString& settings);

    // Requests as they are read and replies once their last byte is written go to `trace` (not
    // owned; null stops tracing). Set it from the host's thread.
    void setTrace(SerialTrace* trace)
    {
        trace_ = trace;
        tracedReply_.clear();
    }

    // When (steady clock, ns) the last byte of the most recent reply was written.
    qint64 lastReplyEndNs() const { return lastReplyEndNs_.load(); }

private:
    void onReadable();
    void pump();
    void schedule(const VirtualEcu::Chunk& chunk, qint64 nowNs);

    struct OutByte {
        char byte;
        qint64 dueNs;
        bool endsChunk;
    };

    VirtualEcu& ecu_;
    qint64 nsPerByte_;
    int masterFd_ = -1;
    // Kept open by us: without a reader on the slave side the master reads EIO in a loop
    // whenever the program closes its port.
    int slaveFd_ = -1;
    QString devicePath_;
    QString errorText_;
    QSocketNotifier* notifier_ = nullptr;
    QTimer pumpTimer_;
    QElapsedTimer clock_;
    std::deque<OutByte> out_;
    qint64 lineFreeNs_ = 0;
    std::atomic<qint64> lastReplyEndNs_{0};
    SerialTrace* trace_ = nullptr;
    QByteArray tracedReply_; // the reply whose bytes are leaving, until its last one
};
