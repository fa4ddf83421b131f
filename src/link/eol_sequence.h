#pragma once

#include "link/eol_rules.h"
#include "link/link.h"
#include "link/shared_state.h"

#include <QString>

#include <QStringList>

#include <array>
#include <vector>

// The end-of-line test, one tick at a time and without a window: the start command with the
// cylinder count until the ECU takes it, then a results request every tick; the phase the ECU
// reports decides the operator's instruction (results and the key-off countdown, the parameter
// reset, the wait for the ECU's reset, "RESET OK") and which indicators are red. The window paints
// it; the command line prints it and judges the result.
class EolSequence {
public:
    static constexpr int kTickMs = 200;

    EolSequence(SharedState& state, Link& link) : state_(state), link_(link) { red_.fill(true); }

    // Every indicator red, the counters from the start, and the start command on the line.
    void start(int cylinders);
    // One tick: the request of this tick, then what the phase reported so far shows. False once
    // the ECU reported its reset done: the test is over and nothing more is sent.
    bool tick();

    int cylinders() const { return cylinders_; }
    // Empty until the first tick has something to say.
    QString instruction() const { return instruction_; }
    bool red(int indicator) const { return red_[static_cast<size_t>(indicator)]; }
    bool over() const { return over_; }
    // The phase the test has reached (the ECU's last report), and whether it took the start command.
    int phase() const { return state_.eolResults.eolPhase; }
    bool acknowledged() const { return state_.eolCommandAcknowledged == 1; }

private:
    void paint(int first, int last, bool red);

    SharedState& state_;
    Link& link_;
    std::array<bool, kEolIndicatorCount> red_{};
    QString instruction_;
    int cylinders_ = 4;
    int unansweredTicks_ = 0;
    int keyOffTicks_ = 0;
    int keyOffSeconds_ = 10;
    int resetTicks_ = 0;
    int resetSeconds_ = 0;
    bool over_ = false;
};

// What a test found: every check it shows for its cylinders, and those that failed, by name.
struct EolVerdict {
    std::vector<int> checks;
    QStringList failing;
    bool passed() const { return failing.isEmpty(); }
    // "PASSED", or "FAILED: n of m checks"
    QString line() const;
};
EolVerdict eolVerdict(const EolSequence& sequence);

struct EolReportHeading {
    QString date;
    QString program;
    QString ecuVersion;
    QString port;
};
// The report a production line keeps: one CSV row per check, or a text of the same content.
QString eolReport(const EolSequence& sequence, const EolReportHeading& heading, bool csv);
