#pragma once

#include "link/frames.h"
#include "link/shared_state.h"
#include "sim/engine_model.h"

#include <QByteArray>

#include <atomic>
#include <vector>

// The ECU's side of the protocol: takes request bytes as they come off the line and gives the
// reply bytes to put back on it. No I/O and no clock of its own, so it runs the same in a unit
// test, behind a pseudo-terminal, or in its own thread.
class VirtualEcu {
public:
    explicit VirtualEcu(quint32 seed = 1);
    VirtualEcu(const VirtualEcu&) = delete; // the engine calls back into this one
    VirtualEcu& operator=(const VirtualEcu&) = delete;

    // Bytes to put on the line, after a pause of `delayMs` from the end of what went before.
    struct Chunk {
        QByteArray bytes;
        int delayMs = 0;
    };

    // Feeds received bytes; returns what to send back. Incomplete requests wait for more bytes;
    // anything that cannot start a request is skipped.
    std::vector<Chunk> receive(const QByteArray& bytes, qint64 nowMs);

    // Failure modes for tests; safe to flip from another thread.
    struct Faults {
        std::atomic<bool> silent{false};               // answers nothing
        std::atomic<bool> wrongEcho{false};            // write echoes carry another value
        std::atomic<bool> splitFrames{false};          // each reply leaves in two parts, 40 ms apart
        std::atomic<bool> garbageBetweenFrames{false}; // stray bytes before each reply
        std::atomic<bool> slowReplies{false};          // 400 ms before each reply
        // Writes of this parameter id, or of this table cell, are not taken: no echo, memory
        // unchanged. 0 = off.
        std::atomic<int> neverConfirmParameter{0};
        std::atomic<int> neverConfirmCell{0};
        // The first write of each parameter and of each cell (while this is on) is lost whole;
        // the next one is taken.
        std::atomic<bool> dropFirstWrite{false};
        // Write echoes leave this much later; the value is stored at once. What follows on the
        // line waits behind the echo.
        std::atomic<int> echoDelayMs{0};
        // The change-over request gets no answer and changes nothing: the car stays on its fuel.
        std::atomic<bool> refuseChangeover{false};
    };
    Faults faults;

    static OneBased<int, kParameterCount> defaultParameters();
    static OneBased<int, kTableCellCount> defaultTable();

    // the ECU's memory
    OneBased<int, kParameterCount> parameters;
    OneBased<int, kTableCellCount> table;
    OneBased<int, 3> version{{2, 1, 7}};
    EngineModel engine;

    // Codes of the requests taken off the line, in order, also those left unanswered.
    std::vector<int> requestLog;

    bool calibrationMode() const { return calibrationMode_; }
    int kgbUnderTest() const { return kgbUnderTest_; }
    bool downloadMode() const { return downloadMode_; }
    // What the ECU reports of each injector (one byte each, 0 = not fitted).
    OneBased<int, 8> injectorBytes{{1, 1, 1, 1, 0, 0, 0, 0}};
    // The coefficient in use: the one under test in calibration mode, otherwise the table's at
    // this engine speed and petrol time.
    int kgbInUseAt(int rpm, int tinj) const;
    // What the engine truly needs in each cell of the table on the ECU's current axes; a table
    // holding these makes gas and petrol injection times agree everywhere.
    OneBased<int, kTableCellCount> trueTable() const;
    // End-of-line timeline, ms from the start command: running, results, key off (silent),
    // parameter reset, ECU reset, done.
    // The key stays off 3 s: long enough for the tester's ten unanswered polls at 200 ms.
    struct EolTimeline {
        int resultsAfter = 1000;
        int keyOffAfter = 5000;
        int keyOnAfter = 8000;
        int resetAfter = 9500;
        int doneAfter = 12000;
    } eolTimeline;
    // What the bench reports in the results phase: every check passed unless a test fails one.
    OneBased<int, kCylinderCount> eolCylinderBytes;
    OneBased<int, 9> eolCheckBytes;
    // Makes the bench report the check of that name failed, as the end-of-line test names it
    // ("EMUL 3", "RELE EMUL INJ 1-2", "TPS_ANALOGICO"); false for a name no result byte can fail.
    bool failEolCheck(const QString& name);

private:
    QByteArray handle(const QByteArray& request, qint64 nowMs);
    QByteArray statusReply(qint64 nowMs);
    QByteArray calibrationReply(int code, int coils, qint64 nowMs);
    QByteArray eolResultsReply(qint64 nowMs);
    int eolPhase(qint64 nowMs) const;
    bool keyIsOff(qint64 nowMs) const;
    int kgbAt(int rpm, int tinj) const;
    void axes(std::array<int, 8>& rpmAxis, std::array<int, 8>& tinjAxis) const;

    // A write the faults make the ECU lose: neither stored nor echoed.
    bool losesWrite(RequestKind kind, int index);

    QByteArray input_;
    // what dropFirstWrite has already lost once
    OneBased<bool, kParameterCount> firstParameterWriteDropped_;
    OneBased<bool, kTableCellCount> firstCellWriteDropped_;
    bool calibrationMode_ = false;
    int kgbUnderTest_ = 0;
    bool downloadMode_ = false;
    qint64 eolStartedMs_ = -1;
    int eolCylinders_ = 4;
};
