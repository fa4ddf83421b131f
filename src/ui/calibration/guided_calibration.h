#pragma once

#include "link/shared_state.h"

#include <QByteArray>

// The guided calibrations on the shared mode flags that the poll and the receive side also read:
// which one runs, what store wants written, one write per tick, the coil handshake. One at a time.
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

    // Coil counts are tried, one per poll, until OK.
    bool tryingCoils() const
    {
        return running() == Kind::Coils && !coilsConfirmed_ && state_.coilCalibrationAbort == 0;
    }
    void confirmCoils() { coilsConfirmed_ = true; }
    // The injector bytes are in and the calibration was not abandoned: they may be stored.
    bool injectorsShown() const;

    // Store: the value a calibration of positions 2..4 takes, or the coil count and injectors.
    void store(int value);
    void storeCoils();

    // Guided write tick: the write of this tick, or the calibration that has just ended
    // (`None` when none was running: EXIT got there first).
    struct WriteStep {
        QByteArray frame;
        Kind finished = Kind::None;
    };
    WriteStep nextWrite();
    // Values store asked for that the ECU has not confirmed.
    int unwritten() const;

    enum class CoilStep { AskInjectors, Abandoned, InjectorsIn };
    CoilStep coilTick();

    // EXIT: positions 2..4 end at once; the coils wait for the injector bytes first. Nothing is
    // written, and nothing is left wanted for another writer to send.
    Kind abandon();

private:
    void endCoils();

    SharedState& state_;
    bool coilsConfirmed_ = false;
};
