#pragma once

#include "sim/pty_host.h"
#include "sim/virtual_ecu.h"

#include <QString>
#include <QThread>

#include <functional>
#include <memory>

// A virtual ECU on a pseudo-terminal, served from a thread of its own so that its line timing
// does not depend on what the program's windows are doing.
class SimulatorThread {
public:
    explicit SimulatorThread(int bytesPerSecond = 960);
    ~SimulatorThread();
    SimulatorThread(const SimulatorThread&) = delete;
    SimulatorThread& operator=(const SimulatorThread&) = delete;

    bool start();
    QString devicePath() const;
    QString errorText() const;

    // Runs `change` on the simulator's thread and waits for it: the safe way to flip a sensor,
    // start a fault or read the ECU's memory while it serves.
    void withEcu(const std::function<void(VirtualEcu&)>& change);

    PtyHost& host() { return *host_; }

private:
    QThread thread_;
    std::unique_ptr<VirtualEcu> ecu_;
    PtyHost* host_ = nullptr; // lives in thread_, deleted there
    bool started_ = false;
};
