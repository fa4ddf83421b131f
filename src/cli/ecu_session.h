#pragma once

#include "cli/cli_arguments.h"
#include "link/reply_dispatcher.h"
#include "link/serial_link.h"
#include "link/serial_trace.h"
#include "link/shared_state.h"
#include "link/write_session.h"

#include <QObject>

#include <functional>
#include <memory>

class QEventLoop;
class SimulatorThread;

// One run of orvane-cli on the ECU: the same link, dispatcher and write session as the program's
// windows, driven from straight-line code that waits in the event loop for what it needs. A lost
// port and Ctrl+C end any wait; what they mean is the command's to say.
class EcuSession : public QObject {
    Q_OBJECT
public:
    // Tries of a request before the ECU counts as not answering, and their spacing: the connect
    // handshake's.
    static constexpr int kTries = 5;
    static constexpr int kRetryMs = 1000;

    explicit EcuSession(const CliRequest& request);
    ~EcuSession() override;

    // The trace, the virtual ECU when asked for, the port. An exit status with the message already
    // on stderr, or kExitDone.
    int open();
    // Reads into the shared state, each request repeated until its reply comes (at most kTries).
    // kExitDone, or kExitNoAnswer / kExitInterrupted with the message on stderr.
    int readVersion();
    int readParameters();
    int readTable();

    enum class Wait { Done, TimedOut, Interrupted, PortLost };
    // Runs the event loop until `done` holds after a reply, `timeoutMs` pass (negative: no limit),
    // the port goes away or Ctrl+C; `done` is asked first, and after every reply and tick.
    Wait waitFor(const std::function<bool()>& done, int timeoutMs);
    // Asks the wait under way whether it is over, for what changes without a reply (a tick).
    void wake()
    {
        if (recheck_) recheck_();
    }
    // Sends `frame` and waits for `done`, again and again, kTries times kRetryMs at most.
    Wait request(const QByteArray& frame, const std::function<bool()>& done);

    // The message for a wait that did not end in Done, on stderr, and its exit status.
    int failed(Wait wait);
    // Says the link's message of a lost port or of an ECU that does not answer.
    void tellLinkProblem(LinkProblem problem);

    bool interrupted() const { return interrupted_; }
    QString portName() const { return link.portName(); }
    QString ecuVersionText() const;

    // Prints a message on stderr.
    void say(const QString& text) const;
    Language language() const { return request_.language; }
    const CliRequest& options() const { return request_; }

    SharedState state;
    SerialLink link;
    ReplyDispatcher dispatcher{state};
    WriteSession writes{state, link, dispatcher};

signals:
    // Ctrl+C, or a termination request.
    void interruptRequested();

private:
    void onInterrupt();

    const CliRequest& request_;
    SerialTrace trace_{SerialTrace::Side::Pc};
    std::unique_ptr<SimulatorThread> simulator_;
    QEventLoop* loop_ = nullptr;
    std::function<void()> recheck_;
    bool interrupted_ = false;
    bool portLost_ = false;
    LinkProblem lostProblem_ = LinkProblem::None;
};

// Ctrl+C and SIGTERM turn into EcuSession::interruptRequested in the event loop instead of ending
// the process where it stands: a write stops at a frame boundary, a file is never left half written.
void installInterruptHandler();
// Readable once Ctrl+C was pressed (-1 without the handler): for a wait outside the event loop.
int interruptDescriptor();
