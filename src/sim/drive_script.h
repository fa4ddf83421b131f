#pragma once

#include "link/frames.h"
#include "link/shared_state.h"

#include <QtGlobal>

#include <functional>

class VirtualEcu;

// A VirtualEcu driven on simulated time, with no waiting: polled the way the windows poll it, asked
// for fuel change-overs on a schedule, every reply handed back as the program's own dispatcher
// decodes it. Minutes of driving for tests and benchmarks, in milliseconds.
struct DriveScript {
    qint64 startMs = 0; // the ECU's clock at the first poll
    qint64 durationMs = 60000;
    int pollMs = 300;
    bool calibrationPolls = true; // CalibrationPoll carrying calibrationKgb, each period
    bool statusPolls = false;     // ReadStatus, each period
    int calibrationKgb = 0;
    // Fuel change-overs: the first this long after startMs (negative: none), then every
    // changeoverEveryMs (0: only the first). Each is asked again at every poll until acknowledged.
    // Every cell of the lap is held on both fuels when the change-overs fall at the lap's start
    // (multiples of EngineModel::kLapMs): its opening cruise lets the change-over to gas happen.
    qint64 firstChangeoverMs = -1;
    qint64 changeoverEveryMs = 0;

    struct Reply {
        qint64 timeMs = 0;
        RequestKind kind = RequestKind::CalibrationPoll; // or ReadStatus
        int rpm = 0;
        int tinj = 0;     // calibration reply: calibrationTinj; status reply: cylinder 1
        int kgbInUse = 0; // calibration reply: kgbInUse; status reply: kgbTab
        int ecuState = 0;
        bool onPetrol = true;
        LiveStatus live; // everything decoded so far
    };
    // Drives; returns the ECU's clock at the end.
    qint64 run(VirtualEcu& ecu, const std::function<void(const Reply&)>& onReply) const;
};
