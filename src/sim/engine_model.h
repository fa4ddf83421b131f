#pragma once

#include "link/shared_state.h"

#include <QtGlobal>

#include <random>

// A four-cylinder car on LPG, running through a slow drive cycle: what its ECU would measure.
// Time is given by the caller (milliseconds since the ECU powered up), so tests are repeatable.
class EngineModel {
public:
    explicit EngineModel(quint32 seed = 1);

    struct Readings {
        int rpm = 0;
        OneBased<int, kCylinderCount> petrolTinj; // 10 us units; 0 for absent cylinders
        int lambda1Mv = 0;
        int lambda2Mv = 0;
        int pressureMbar = 0;
        int pressure2Mbar = 0;
        int temperature1 = 0;
        int temperature2Raw = 0;
        int levelMv = 0;
        int ecuState = 0;
        int onPetrol = 1;
    };

    Readings read(qint64 nowMs);

    // "Commuta": petrol -> gas through states 2, 3, 4, 5; gas -> petrol through state 1.
    // A request while a change-over is under way is acknowledged and otherwise ignored.
    void requestChangeover(qint64 nowMs);
    bool onPetrol(qint64 nowMs);

    // The operator holds the engine steady while calibrating: at `heldRpm`, load constant, so
    // the pressure settles too.
    void setHeldSteady(bool steady) { heldSteady_ = steady; }
    int heldRpm = 2500;

    int cylinders = 4;
    // how long each change-over state lasts
    qint64 changeoverStepMs = 700;
    // Unplugged sensors read as "no signal": lambda <= 5 mV, pressure 10, temperature 0.
    bool lambda1Unplugged = false;
    bool pressureUnplugged = false;
    bool temperature1Unplugged = false;
    // The engine stopped: rpm 0 and no injection.
    bool engineStopped = false;

private:
    void settle(qint64 nowMs);
    int noise(int amplitude);

    std::mt19937 random_;
    bool onPetrol_ = true;
    bool heldSteady_ = false;
    // change-over in progress: the step (1..5) and when it began
    int changeoverState_ = 0;
    qint64 stateSinceMs_ = 0;
};
