// orvane: the ORVANE service tool.
#include "app/application.h"
#include "link/serial_link.h"
#include "sim/simulator_thread.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QTimer>

#include <cstdio>
#include <memory>

int main(int argc, char** argv)
{
    QCoreApplication::setApplicationName(QStringLiteral("orvane"));
    QCoreApplication::setApplicationVersion(QStringLiteral("1.4.3"));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("ORVANE Service: PC service tool of the ORVANE gas-injection ECU."));
    parser.addHelpOption();
    const QCommandLineOption simulate(
        QStringLiteral("simulate"),
        QStringLiteral("Start the built-in virtual ECU and select it as the port."));
    const QCommandLineOption port(
        QStringLiteral("port"),
        QStringLiteral("Select a serial device (/dev/ttyUSB0, a pseudo-terminal, COM5)."),
        QStringLiteral("name"));
    // for the start-up benchmark: leave as soon as the start window has been shown
    QCommandLineOption exitWhenShown(QStringLiteral("exit-when-shown"));
    exitWhenShown.setFlags(QCommandLineOption::HiddenFromHelp);
    parser.addOptions({simulate, port, exitWhenShown});
    // parsed before the windowing system is opened, so --help works without a display
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    if (!parser.parse(arguments)) {
        std::fprintf(stderr, "orvane: %s\n", qPrintable(parser.errorText()));
        return 2;
    }
    if (parser.isSet(QStringLiteral("help")) || parser.isSet(QStringLiteral("help-all"))) {
        std::printf("%s", qPrintable(parser.helpText().replace(QStringLiteral("<executable_name>"),
                                                               QStringLiteral("orvane"))));
        return 0;
    }
    QApplication qapp(argc, argv);

    std::unique_ptr<SimulatorThread> simulator;
    QString portName = parser.value(port);
    if (parser.isSet(simulate)) {
        simulator = std::make_unique<SimulatorThread>();
        if (!simulator->start()) {
            std::fprintf(stderr, "orvane: cannot start the virtual ECU: %s\n",
                         qPrintable(simulator->errorText()));
            return 1;
        }
        portName = simulator->devicePath();
    }

    SerialLink link;
    Application app(link);
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
    app.start();
    if (parser.isSet(exitWhenShown)) {
        QTimer::singleShot(0, [] {
            std::printf("shown\n");
            std::fflush(stdout);
            QCoreApplication::exit(0);
        });
    }
    const int status = QApplication::exec();
    link.close();
    return status;
}
