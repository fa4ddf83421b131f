// orvane-cli's `info` and `backup` on the virtual ECU over a pseudo-terminal at 9600 baud, against
// the wire's floor for the frames they exchange (bytes x 10 bits / 9600): the whole program as a
// script runs it, and the same run inside this process (the program's start-up left out).
#include "cli/cli_run.h"
#include "link/frames.h"
#include "sim/simulator_thread.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>
#include <vector>

namespace {

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// Bytes on the line both ways: each request and its reply.
int exchangedBytes(bool backup)
{
    int bytes = 5 + 8;                         // ReadVersion
    if (backup) bytes += (5 + 127) + (5 + 69); // ReadAllParameters, ReadTable
    return bytes;
}

double floorMs(bool backup)
{
    return exchangedBytes(backup) * 10.0 * 1000.0 / 9600.0;
}

QStringList arguments(const QString& device, bool backup, const QString& file)
{
    QStringList a{"--port", device, "--lang", "en"};
    if (backup)
        a << "backup" << file << "--yes";
    else
        a << "info";
    return a;
}

// ms per run of the program, or a negative number when a run failed
double processRun(const QString& device, bool backup, const QString& file)
{
    QElapsedTimer clock;
    clock.start();
    QProcess p;
    p.start(QStringLiteral(ORVANE_CLI_PROGRAM), arguments(device, backup, file));
    if (!p.waitForFinished(30000) || p.exitCode() != 0) return -1;
    return static_cast<double>(clock.nsecsElapsed()) / 1e6;
}

double inProcessRun(const QString& device, bool backup, const QString& file)
{
    // what the command prints is not what is measured
    std::fflush(stdout);
    std::fflush(stderr);
    const int savedOut = ::dup(STDOUT_FILENO);
    const int savedErr = ::dup(STDERR_FILENO);
    const int null = ::open("/dev/null", O_WRONLY);
    ::dup2(null, STDOUT_FILENO);
    ::dup2(null, STDERR_FILENO);
    QElapsedTimer clock;
    clock.start();
    const int status = runCli(QStringList{"orvane-cli"} + arguments(device, backup, file));
    const double ms = static_cast<double>(clock.nsecsElapsed()) / 1e6;
    std::fflush(stdout);
    std::fflush(stderr);
    ::dup2(savedOut, STDOUT_FILENO);
    ::dup2(savedErr, STDERR_FILENO);
    ::close(savedOut);
    ::close(savedErr);
    ::close(null);
    return status == 0 ? ms : -1;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, atoi(argv[1])) : 10;
    SimulatorThread sim; // 9600 baud: 960 bytes a second from the ECU
    if (!sim.start()) {
        std::fprintf(stderr, "virtual ECU: %s\n", qPrintable(sim.errorText()));
        return 1;
    }
    QTemporaryDir dir;
    const QString file = dir.filePath("car.xls");
    std::printf("%-8s %8s %10s %12s %12s %10s\n", "command", "bytes", "floor ms", "program ms", "in-proc ms",
                "in/floor");
    for (const bool backup : {false, true}) {
        std::vector<double> whole, inside;
        for (int i = 0; i < runs; ++i) {
            whole.push_back(processRun(sim.devicePath(), backup, file));
            inside.push_back(inProcessRun(sim.devicePath(), backup, file));
            if (whole.back() < 0 || inside.back() < 0) {
                std::fprintf(stderr, "a run failed\n");
                return 1;
            }
        }
        const double floor = floorMs(backup);
        std::printf("%-8s %8d %10.1f %12.1f %12.1f %10.2f\n", backup ? "backup" : "info",
                    exchangedBytes(backup), floor, median(whole), median(inside), median(inside) / floor);
    }
    return 0;
}
