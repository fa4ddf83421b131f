// orvane: the ORVANE service tool.
#include "app/application.h"
#include "app/command_line.h"
#include "link/serial_link.h"
#include "link/serial_trace.h"
#include "sim/simulator_thread.h"
#include "ui/common/trace_messages.h"
#include "ui/common/user_settings.h"

#include <QApplication>
#include <QTimer>

#include <cstdio>
#include <memory>

int main(int argc, char** argv)
{
    QCoreApplication::setApplicationName(QStringLiteral("orvane"));
    QCoreApplication::setApplicationVersion(QLatin1String(kOrvaneVersion));

    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    const CommandLine command = parseCommandLine(arguments);
    switch (command.action) {
    case CommandLine::Action::Refuse:
        std::fprintf(stderr, "%s\n", qPrintable(command.output));
        return command.exitStatus;
    case CommandLine::Action::PrintAndExit:
        std::printf("%s", qPrintable(command.output));
        return command.exitStatus;
    case CommandLine::Action::Run:
        break;
    }
    // Opened before anything else: a support engineer who asked for a trace must not get a run
    // without one.
    SerialTrace trace(SerialTrace::Side::Pc);
    if (!command.tracePath.isEmpty() &&
        !trace.open(command.tracePath, QStringLiteral("orvane %1").arg(QLatin1String(kOrvaneVersion)))) {
        std::fprintf(stderr, "orvane: cannot write the trace file \"%s\": %s\n",
                     qPrintable(command.tracePath), qPrintable(trace.errorText()));
        return 2;
    }
    QApplication qapp(argc, argv);

    std::unique_ptr<SimulatorThread> simulator;
    QString portName = command.portName;
    if (command.simulate) {
        simulator = std::make_unique<SimulatorThread>();
        if (!simulator->start()) {
            std::fprintf(stderr, "orvane: cannot start the virtual ECU: %s\n",
                         qPrintable(simulator->errorText()));
            return 1;
        }
        portName = simulator->devicePath();
    }

    SerialLink link;
    if (trace.isActive()) trace.attach(link); // before the dispatcher: see attach()
    Application app(link);
    reportTraceStop(trace, app.context, command.tracePath);
    // exit(), not quit(): quit() first offers every window a close, which our windows turn into
    // their own close and so refuse
    app.navigator.endProgram = [] {
        QMetaObject::invokeMethod(
            qApp, [] { QCoreApplication::exit(0); }, Qt::QueuedConnection);
    };
    if (simulator) {
        app.context.simulated = true;
        app.context.simulatedPort = portName;
    }
    app.state.serialPortName = portName; // the start window's start values leave it alone
    app.context.settingsPath = defaultUserSettingsPath();
    app.start();
    if (command.exitWhenShown) {
        QTimer::singleShot(0, [] {
            std::printf("shown\n");
            std::fflush(stdout);
            QCoreApplication::exit(0);
        });
    }
    const int status = QApplication::exec();
    link.close();
    // a failure of this last write has no window left to show it
    if (trace.isActive() && !trace.close())
        std::fprintf(stderr, "orvane: the end of the trace was not written: %s\n",
                     qPrintable(trace.errorText()));
    return status;
}
