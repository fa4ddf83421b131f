#pragma once

#include "link/shared_state.h"
#include "link/write_session.h"

#include <vector>

// The guided calibrations on the shared mode flags that the poll and the receive side also read:
// which one runs, what store wants written, the coil handshake. One at a time.
class GuidedCalibration {
public:
    enum class Kind { None, SwitchingRpm, Pressure, Temperature, Coils };

    explicit GuidedCalibration(SharedState& state) : state_(state) {}

    // Selector position 1..5 -> its calibration; position 1 only shows the correctives.
    static Kind atPosition(int position);
    // The parameter positions 2..4 store; 0 for the others.
    static int parameterOf(Kind kind);

    // The one running; the coils first, as EXIT looks at them.
    Kind running() const;
    void start(Kind kind);
    void forget() { coilsConfirmed_ = false; }
    // Ends whatever runs without writing and without waiting for the ECU: the port is gone.
    void drop();
    // EXIT asked again, or the window closing: the coils end without the injector reply.
    void stopWaiting();
    // EXIT has been pressed on the coils and the injector reply is still awaited.
    bool abandoning() const { return running() == Kind::Coils && state_.coilCalibrationAbort == 1; }

    // Coil counts are tried, one per poll, until OK.
    bool tryingCoils() const
    {
        return running() == Kind::Coils && !coilsConfirmed_ && state_.coilCalibrationAbort == 0;
    }
    void confirmCoils() { coilsConfirmed_ = true; }
    // The injector bytes are in and the calibration was not abandoned: they may be stored.
    bool injectorsShown() const;

    // Store: what the write session is to write for a calibration of positions 2..4, or the coil
    // count and then the injectors.
    std::vector<WriteValue> store(int value) const;
    std::vector<WriteValue> storeCoils() const;
    // The ECU confirmed what store wrote: the calibration ends. Gives the one that ended.
    Kind finishWrite();

    enum class CoilStep { AskInjectors, Abandoned, InjectorsIn };
    CoilStep coilTick();

    // EXIT: positions 2..4 end at once; the coils wait for the injector bytes first. What was
    // being written is the write session's to stop.
    Kind abandon();

private:
    void endCoils();

    SharedState& state_;
    bool coilsConfirmed_ = false;
};
