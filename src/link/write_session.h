#pragma once

#include "link/language.h"
#include "link/link.h"
#include "link/shared_state.h"

#include <QObject>
#include <QTimer>

#include <algorithm>
#include <optional>
#include <vector>

class ReplyDispatcher;

// A value a writer stores in the ECU: a parameter (corrective, axis breakpoint ...) or a table cell.
struct WriteItem {
    bool cell = false;
    int index = 0; // parameter id, or cell 1..64

    bool operator==(const WriteItem&) const = default;
};

// The value as the user reads it in a progress line, a list or a report: "SOGLIA MAGRO
// (parametro 4)", "Asse RPM punto 2", "Cella riga 2 colonna 4".
QString writeItemLabel(const WriteItem& item, Language language);

struct WriteValue {
    WriteItem item;
    int value = 0;
};

// Who asks to write, as the user knows it ("Parametri LAMBDA", "Trasferimento archivio").
struct Writer {
    const QObject* owner = nullptr;
    LocalText name;
};

// How a write ended, value by value.
struct WriteReport {
    enum class End {
        Confirmed,  // the ECU confirmed every value
        Abandoned,  // EXIT, a closed window, the program ending
        PortLost,   // the port went away: nothing more could be sent
        Unanswered, // the writer gave up on a value the ECU left unconfirmed past its patience
    };
    Writer writer;
    End end = End::Confirmed;
    LinkProblem problem = LinkProblem::None; // with PortLost
    bool ecuSilent = false;                  // the value going out had been sent many times without an echo
    int sendsOfLast = 0;                     // how many times in a row that value went out
    int toWrite = 0;
    std::vector<WriteItem> confirmed;
    std::vector<WriteItem> maybeArrived; // sent, no echo yet: the ECU may hold it
    std::vector<WriteItem> notSent;

    bool complete() const { return end == End::Confirmed; }
};

Q_DECLARE_METATYPE(WriteReport)

// Every write to the ECU goes through this one session: a writer hands it the values in its own
// fixed order, and on each tick of the writer's timer it sends one frame for the first value the
// ECU does not hold yet; an unconfirmed value is sent again and holds back the rest. One writer at
// a time. It counts and names what is left, stops on a lost port, keeps the wanted value of a frame
// already on the wire when abandoned (its late echo still counts), and says exactly what happened.
// A write that did not end confirmed leaves the program's copy of the ECU unverified: it is read
// again, and nothing may show or store it as the ECU's until that read is complete.
class WriteSession : public QObject {
    Q_OBJECT
public:
    // Sends of one value after which the user is told the write waits for the ECU.
    static constexpr int kPatience = 10;
    // The read-back's pace while the ECU's copy is unverified.
    static constexpr int kReadBackPeriodMs = 1000;

    WriteSession(SharedState& state, Link& link, ReplyDispatcher& dispatcher);

    // Sets the wanted values and takes the ECU for `writer`. False while another writer has it, or
    // while the ECU's values are being read back: nothing was changed then.
    bool begin(const Writer& writer, const std::vector<WriteValue>& values);
    // Takes the ECU for a writer that sends commands of its own (defaults, download, end of line);
    // false while another writer has it.
    bool claim(const Writer& writer);
    void release(const QObject* owner);

    bool busy() const { return owner_ != nullptr; }
    bool running() const { return busy() && !claimed_; }
    bool ownedBy(const QObject* owner) const { return busy() && owner_ == owner; }
    // The one holding the ECU, in the user's language.
    QString holderName(Language language) const;

    // One tick of the writer's timer: sends the frame of this tick. False when the write is over
    // (confirmed, stopped, or never begun): the writer's timer stays off then.
    bool tick();
    // EXIT, a closing window, the program ending: nothing more is sent.
    void abandon();
    // A writer that cannot wait for ever (a script) stops once the ECU has left the value going out
    // unconfirmed past the patience; nothing more is sent.
    void giveUp();
    // The write goes on for another writer: a window closing mid-write hands it to the one below.
    void handOver(const Writer& writer);

    // Values of this write the ECU has not confirmed yet.
    int remaining() const;
    int toWrite() const { return toWrite_; }
    int confirmedCount() const { return std::max(0, toWrite_ - remaining()); }
    // The value going out, and how many times in a row.
    std::optional<WriteItem> current() const { return current_; }
    int sendsOfCurrent() const { return sends_; }
    bool waitingForEcu() const { return sends_ > kPatience; }
    // "12 di 40 valori confermati - invio: <value>" or the line that says the ECU is awaited.
    QString progressLine(Language language) const;

    // The ECU's copy is being read back after a write that did not end confirmed.
    bool ecuUnverified() const { return unverified_; }
    // Asks for the parameters and the table again (also after "MENU" opens a new port).
    void startReadBack(int periodMs = kReadBackPeriodMs);

signals:
    void progressed();
    void ended(const WriteReport& report);
    // The read-back is complete: what the program holds is the ECU's again.
    void ecuVerified();

private:
    void finish(WriteReport::End end, LinkProblem problem = LinkProblem::None);
    void onConfirmed();
    void onLinkLost();
    // Why the port went away, as the link said when it did.
    LinkProblem lossReason() const;
    void readBackTick();
    bool differs(const WriteItem& item) const;
    std::vector<WriteItem>::const_iterator nextWanted() const;
    int pending(const WriteItem& item) const;

    SharedState& state_;
    Link& link_;
    QTimer readBackTimer_;

    const QObject* owner_ = nullptr;
    LocalText name_;
    bool claimed_ = false;
    std::vector<WriteItem> order_;
    std::vector<bool> wanted_; // the value differed from the ECU's when the write began
    int toWrite_ = 0;
    std::optional<WriteItem> current_;
    int sends_ = 0;
    bool sentOnWire_ = false; // the value going out has left on the line at least once
    bool unverified_ = false;
    LinkProblem lostProblem_ = LinkProblem::None;
};
