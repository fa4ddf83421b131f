#pragma once

#include "link/shared_state.h"
#include "ui/calibration/calibration_rules.h"
#include "ui/common/write_progress.h"

#include <QByteArray>

#include <optional>

// What the calibration window stores, one frame per tick in a fixed order: the seven correctives,
// the RPM and TINJ axes, then cells 1..64; only the cells after a fill or a table the automatic
// calibration left. Counts what it has to write, what the ECU has confirmed, and the value the
// ECU keeps refusing.
class CalibrationWriteBack {
public:
    explicit CalibrationWriteBack(SharedState& state) : state_(state) {}

    static constexpr int kSendsBeforeWaiting = WriteProgress::kPatience;

    // Counts the values that differ now; `cellsOnly` leaves every parameter alone.
    void start(bool cellsOnly);
    bool running() const { return progress_.running(); }
    void stop() { progress_.end(); }

    // The frame of this tick, or nothing when every value is confirmed.
    std::optional<QByteArray> nextFrame();
    // The value that goes out next, if any.
    std::optional<WriteItem> next() const;

    int toWrite() const { return progress_.toWrite(); }
    int confirmed() const { return toWrite() > remaining() ? toWrite() - remaining() : 0; }
    // Values still differing, within what this write covers.
    int remaining() const;
    // The value sent more than ten times and still not confirmed.
    std::optional<WriteItem> waiting() const;

private:
    SharedState& state_;
    bool cellsOnly_ = false;
    WriteProgress progress_; // the count of sends of one value, shared with the archive's walk
    std::optional<WriteItem> last_;
};
