#include "app/command_line.h"

#include "link/serial_ports.h"

#include <QCommandLineParser>

namespace {
CommandLine refuse(const QString& reason)
{
    CommandLine line;
    line.action = CommandLine::Action::Refuse;
    line.output = QStringLiteral("orvane: ") + reason;
    line.exitStatus = 2;
    return line;
}

CommandLine printAndExit(const QString& text)
{
    CommandLine line;
    line.action = CommandLine::Action::PrintAndExit;
    line.output = text;
    return line;
}
} // namespace

CommandLine parseCommandLine(const QStringList& arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("ORVANE Service: PC service tool of the ORVANE gas-injection ECU."));
    parser.addHelpOption();
    const QCommandLineOption version({QStringLiteral("v"), QStringLiteral("version")},
                                     QStringLiteral("Displays the version."));
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
    const QCommandLineOption trace(QStringLiteral("trace"),
                                   QStringLiteral("Write every frame sent and every chunk received on the "
                                                  "serial line to this file."),
                                   QStringLiteral("file"));
    parser.addOptions({version, simulate, port, trace, exitWhenShown});

    if (!parser.parse(arguments)) return refuse(parser.errorText());
    if (parser.isSet(QStringLiteral("help")) || parser.isSet(QStringLiteral("help-all"))) {
        // without a QCoreApplication the parser cannot know the program's name
        return printAndExit(
            parser.helpText().replace(QStringLiteral("<executable_name>"), QStringLiteral("orvane")));
    }
    if (parser.isSet(version))
        return printAndExit(QStringLiteral("orvane %1\n").arg(QLatin1String(kOrvaneVersion)));

    // Anything ignored here would start the program on a port the user did not ask for.
    if (!parser.positionalArguments().isEmpty())
        return refuse(QStringLiteral("unexpected argument '%1' (see --help)")
                          .arg(parser.positionalArguments().constFirst()));
    const QStringList ports = parser.values(port);
    if (ports.size() > 1) return refuse(QStringLiteral("--port given more than once"));
    if (parser.isSet(port) && parser.isSet(simulate))
        return refuse(QStringLiteral("--simulate picks its own port; leave out --port"));
    if (parser.isSet(port) && ports.constFirst().trimmed().isEmpty())
        return refuse(QStringLiteral("--port needs a device name"));
    // here the user sees which argument it was; a failed open later would only say it cannot open
    if (parser.isSet(port) && ports.constFirst().size() > kMaxPortNameLength)
        return refuse(QStringLiteral("port name too long (%1 characters, at most %2)")
                          .arg(ports.constFirst().size())
                          .arg(kMaxPortNameLength));

    if (parser.values(trace).size() > 1) return refuse(QStringLiteral("--trace given more than once"));
    if (parser.isSet(trace) && parser.value(trace).isEmpty())
        return refuse(QStringLiteral("--trace needs a file name"));

    CommandLine line;
    line.tracePath = parser.value(trace);
    line.simulate = parser.isSet(simulate);
    line.portName = parser.value(port);
    line.exitWhenShown = parser.isSet(exitWhenShown);
    return line;
}
