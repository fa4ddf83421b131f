// orvane-ecu-sim: a virtual ECU on a pseudo-terminal. Prints the device path, then serves until
// stopped; point the program at it with --port.
#include "link/serial_trace.h"
#include "sim/pty_host.h"
#include "sim/virtual_ecu.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QSocketNotifier>

#include <csignal>
#include <cstdio>
#include <optional>
#include <unistd.h>

namespace {
int signalPipe[2] = {-1, -1};
void onSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] const auto n = ::write(signalPipe[1], &byte, 1);
}
} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("orvane-ecu-sim"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Virtual ORVANE ECU on a pseudo-terminal."));
    parser.addHelpOption();
    const QCommandLineOption settings(QStringLiteral("settings"),
                                      QStringLiteral("Line settings that set the pace (default 9600,n,8,1)."),
                                      QStringLiteral("text"), QStringLiteral("9600,n,8,1"));
    const QCommandLineOption silent(QStringLiteral("silent"), QStringLiteral("Answer nothing."));
    const QCommandLineOption wrongEcho(QStringLiteral("wrong-echo"),
                                       QStringLiteral("Echo writes with another value."));
    const QCommandLineOption split(QStringLiteral("split"), QStringLiteral("Send each reply in two parts."));
    const QCommandLineOption garbage(QStringLiteral("garbage"),
                                     QStringLiteral("Send stray bytes before each reply."));
    const QCommandLineOption slow(QStringLiteral("slow"), QStringLiteral("Wait 400 ms before each reply."));
    const QCommandLineOption neverConfirmParameter(
        QStringLiteral("never-confirm-parameter"),
        QStringLiteral("Take no write of this parameter (1 to 61): no echo, value unchanged."),
        QStringLiteral("id"));
    const QCommandLineOption neverConfirmCell(
        QStringLiteral("never-confirm-cell"),
        QStringLiteral("Take no write of this table cell (1 to 64): no echo, value unchanged."),
        QStringLiteral("cell"));
    const QCommandLineOption dropFirstWrite(
        QStringLiteral("drop-first-write"),
        QStringLiteral("Lose the first write of each parameter and each table cell; take the next."));
    const QCommandLineOption echoDelay(
        QStringLiteral("echo-delay"),
        QStringLiteral("Send each write echo this many ms later (0 to 60000); the value is stored at "
                       "once, replies behind the echo wait for it."),
        QStringLiteral("ms"));
    const QCommandLineOption refuseChangeover(
        QStringLiteral("refuse-changeover"),
        QStringLiteral("Answer no fuel change-over request and stay on petrol."));
    const QCommandLineOption unplug(QStringLiteral("unplug"),
                                    QStringLiteral("Sensors that give no signal: any of lambda1, pressure, "
                                                   "temperature1, rpm (engine stopped), comma-separated."),
                                    QStringLiteral("sensors"));
    const QCommandLineOption seed(
        QStringLiteral("seed"),
        QStringLiteral("Picks the car: the shape of its true KGB surface, the order of "
                       "its drive and its noise (default 1). The same seed gives the "
                       "same run."),
        QStringLiteral("n"), QStringLiteral("1"));
    const QCommandLineOption kgbError(
        QStringLiteral("kgb-error"),
        QStringLiteral("How far the KGB the engine truly needs is from the stored table, in per cent of "
                       "each cell: flat (the same everywhere), tilt (a slope across the table) or wave "
                       "(a smooth swell), from -50 to 150; default wave:8."),
        QStringLiteral("shape:percent"), QStringLiteral("wave:8"));
    const QCommandLineOption noise(QStringLiteral("noise"),
                                   QStringLiteral("Spread of the reported injection times, per cent "
                                                  "(standard deviation, 0 to 20; default 1)."),
                                   QStringLiteral("percent"), QStringLiteral("1"));
    const QCommandLineOption warm(
        QStringLiteral("warm"), QStringLiteral("Start with the engine warm: the change-over to gas does not "
                                               "wait for the reducer to reach its temperature."));
    const QCommandLineOption failEol(
        QStringLiteral("fail-eol"),
        QStringLiteral("Report this end-of-line check failed, named as the test names it (EMUL 3, "
                       "RELE EMUL INJ 1-2, TPS_ANALOGICO); may be given more than once."),
        QStringLiteral("check"));
    const QCommandLineOption trace(QStringLiteral("trace"),
                                   QStringLiteral("Write every request read and reply sent to this file."),
                                   QStringLiteral("file"));
    parser.addOptions({settings, silent, wrongEcho, split, garbage, slow, neverConfirmParameter,
                       neverConfirmCell, dropFirstWrite, echoDelay, refuseChangeover, unplug, seed, kgbError,
                       noise, warm, failEol, trace});
    parser.process(app);

    VirtualEcu ecu;
    ecu.faults.silent = parser.isSet(silent);
    ecu.faults.wrongEcho = parser.isSet(wrongEcho);
    ecu.faults.splitFrames = parser.isSet(split);
    ecu.faults.garbageBetweenFrames = parser.isSet(garbage);
    ecu.faults.slowReplies = parser.isSet(slow);
    ecu.faults.dropFirstWrite = parser.isSet(dropFirstWrite);
    ecu.faults.refuseChangeover = parser.isSet(refuseChangeover);
    // A whole number in min..max for the option, or a message and nullopt.
    const auto wholeNumber = [&parser](const QCommandLineOption& option, int min,
                                       int max) -> std::optional<int> {
        bool ok = false;
        const int value = parser.value(option).toInt(&ok);
        if (ok && value >= min && value <= max) return value;
        std::fprintf(stderr, "orvane-ecu-sim: --%s takes a whole number from %d to %d\n",
                     qPrintable(option.names().constFirst()), min, max);
        return std::nullopt;
    };
    if (parser.isSet(neverConfirmParameter)) {
        const auto id = wholeNumber(neverConfirmParameter, 1, kParameterCount);
        if (!id) return 2;
        ecu.faults.neverConfirmParameter = *id;
    }
    if (parser.isSet(neverConfirmCell)) {
        const auto cell = wholeNumber(neverConfirmCell, 1, kTableCellCount);
        if (!cell) return 2;
        ecu.faults.neverConfirmCell = *cell;
    }
    if (parser.isSet(echoDelay)) {
        const auto ms = wholeNumber(echoDelay, 0, 60000);
        if (!ms) return 2;
        ecu.faults.echoDelayMs = *ms;
    }
    bool seedOk = false;
    const uint seedValue = parser.value(seed).toUInt(&seedOk);
    if (!seedOk) {
        std::fprintf(stderr, "orvane-ecu-sim: --seed takes a whole number from 0 to 4294967295\n");
        return 2;
    }
    const auto error = EngineModel::parseKgbError(parser.value(kgbError));
    if (!error) {
        std::fprintf(stderr, "orvane-ecu-sim: --kgb-error takes flat, tilt or wave, a colon and a per cent "
                             "from -50 to 150 (wave:8)\n");
        return 2;
    }
    bool noiseOk = false;
    const double noisePercent = parser.value(noise).toDouble(&noiseOk);
    if (!noiseOk || !(noisePercent >= 0.0 && noisePercent <= 20.0)) {
        std::fprintf(stderr, "orvane-ecu-sim: --noise takes a per cent from 0 to 20\n");
        return 2;
    }
    ecu.engine.setSeed(seedValue);
    ecu.engine.setKgbError(*error);
    ecu.engine.noisePercent = noisePercent;
    if (parser.isSet(warm)) ecu.engine.startTemperature = 70;
    for (const QString& sensor : parser.value(unplug).split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        if (sensor == QLatin1String("lambda1"))
            ecu.engine.lambda1Unplugged = true;
        else if (sensor == QLatin1String("pressure"))
            ecu.engine.pressureUnplugged = true;
        else if (sensor == QLatin1String("temperature1"))
            ecu.engine.temperature1Unplugged = true;
        else if (sensor == QLatin1String("rpm"))
            ecu.engine.engineStopped = true;
        else {
            std::fprintf(stderr, "orvane-ecu-sim: unknown sensor \"%s\"\n", qPrintable(sensor));
            return 2;
        }
    }

    for (const QString& check : parser.values(failEol)) {
        if (!ecu.failEolCheck(check)) {
            std::fprintf(stderr, "orvane-ecu-sim: no end-of-line check is named \"%s\"\n", qPrintable(check));
            return 2;
        }
    }

    // Before the terminal exists: a trace asked for and not written would mislead whoever reads it.
    SerialTrace serialTrace(SerialTrace::Side::Ecu);
    if (parser.isSet(trace)) {
        if (parser.value(trace).isEmpty()) {
            std::fprintf(stderr, "orvane-ecu-sim: --trace needs a file name\n");
            return 2;
        }
        if (!serialTrace.open(parser.value(trace), QStringLiteral("orvane-ecu-sim"))) {
            std::fprintf(stderr, "orvane-ecu-sim: cannot write the trace file \"%s\": %s\n",
                         qPrintable(parser.value(trace)), qPrintable(serialTrace.errorText()));
            return 1;
        }
        QObject::connect(&serialTrace, &SerialTrace::failed, &app, [](const QString& reason) {
            std::fprintf(stderr, "orvane-ecu-sim: trace stopped, the ECU goes on: %s\n", qPrintable(reason));
        });
    }

    PtyHost host(ecu, PtyHost::bytesPerSecondForSettings(parser.value(settings)));
    if (serialTrace.isActive()) host.setTrace(&serialTrace);
    if (!host.start()) {
        std::fprintf(stderr, "orvane-ecu-sim: cannot open a pseudo-terminal: %s\n",
                     qPrintable(host.errorText()));
        return 1;
    }
    std::printf("%s\n", qPrintable(host.devicePath()));
    std::fflush(stdout);

    // Stop cleanly on Ctrl+C or kill, so the terminal is released.
    if (::pipe(signalPipe) == 0) {
        std::signal(SIGINT, onSignal);
        std::signal(SIGTERM, onSignal);
        auto* notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, &app);
        QObject::connect(notifier, &QSocketNotifier::activated, &app, &QCoreApplication::quit);
    }
    const int status = app.exec();
    host.setTrace(nullptr);
    if (serialTrace.isActive() && !serialTrace.close()) {
        std::fprintf(stderr, "orvane-ecu-sim: the end of the trace was not written: %s\n",
                     qPrintable(serialTrace.errorText()));
        return 1;
    }
    return status;
}
