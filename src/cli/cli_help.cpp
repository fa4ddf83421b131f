#include "cli/cli_help.h"

#include "app/command_line.h"

#include <QStringList>

namespace {

constexpr HelpOption kGlobal[] = {
    {"--port", "DEVICE",
     "The serial device of the ECU: /dev/ttyUSB0, a pseudo-terminal, COM5; 1 to 4 for the program's "
     "numbered ports."},
    {"--simulate", nullptr,
     "Start the built-in virtual ECU on a pseudo-terminal and talk to it, as orvane --simulate does."},
    {"--settings", "TEXT",
     "Line settings: baud, parity, data bits, stop bits (default 9600,n,8,1; 9600,8,N,1 is read too)."},
    {"--lang", "it|en|tr",
     "Language of the messages on stderr (default: the system's, Italian when it is none of the three)."},
    {"--json", nullptr,
     "Data on stdout as JSON, one object per line; the keys are listed with each command."},
    {"--trace", "FILE",
     "Also write every frame sent and every chunk received to FILE, as orvane --trace does."},
    {"--help", nullptr, "The options and commands; after a command, that command's page."},
    {"--version", nullptr, "The program's version."},
};

constexpr HelpOption kYes[] = {{"--yes", nullptr, "Do not ask: go ahead."}};
constexpr HelpOption kBackup[] = {{"--yes", nullptr, "Replace FILE when it exists, without asking."}};
constexpr HelpOption kStatus[] = {
    {"--follow", nullptr, "Keep polling and print every reply until Ctrl+C."},
    {"--interval", "MS", "Time between two polls with --follow (100 to 3600000, default 300)."},
};
constexpr HelpOption kLog[] = {
    {"--for", "TIME", "How long to record: 60s, 5m, 1500ms, or seconds alone (default: until Ctrl+C)."},
};
constexpr HelpOption kEol[] = {
    {"--cylinders", "N", "Cylinder count of the engine: 4, 6 or 8 (required)."},
    {"--report", "FILE", "Also write the result to FILE: CSV when its name ends in .csv, text otherwise."},
    {"--timeout", "SECONDS", "Give up when the ECU has not reported its reset done by then (default 120)."},
};

constexpr HelpCommand kCommands[] = {
    {"info",
     "info",
     "Show the program's and the ECU's version and the port.",
     "Reads the ECU's version, at most five times one second apart, and prints the program's version, "
     "the ECU's and the port with its settings.",
     {},
     "program, version, ecuVersion, port, settings, simulated"},
    {"backup", "backup FILE.xls [--yes]", "Store the ECU's parameters and table in a workbook.",
     "Reads the ECU's parameters and its table and writes them to FILE.xls, the same workbook the archive "
     "window writes (parameters 1 to 60 in column A, the table in C1:J8). The file is written beside its "
     "place and renamed over it once complete: an interrupted backup never leaves half a file, and an "
     "existing file stays whole until the new one is. An existing file is replaced only after a yes, on "
     "the terminal or by --yes.",
     kBackup, "file, ecuVersion, parameters, cells"},
    {"diff",
     "diff FILE.xls",
     "Show what differs between the ECU and a workbook.",
     "Reads the workbook, then the ECU's parameters and table, and prints one line for each value the "
     "file holds otherwise, in the order a restore would write them, as the archive window lists them. "
     "Exit status 0 when nothing differs, 1 when something does.",
     {},
     "file, equal, changes (each: kind \"parameter\" with id and name, or \"cell\" with cell, row and "
     "column; label, ecu, file)"},
    {"restore", "restore FILE.xls [--yes]", "Write a workbook's values to the ECU and verify them.",
     "Shows what the workbook changes and asks before anything is sent, unless --yes is given; without a "
     "terminal to ask on, --yes is required. Only the values that differ are written, one frame every "
     "200 ms, each repeated until the ECU echoes it, with the progress on stderr. Then the ECU is read "
     "again and compared with the file. The report names what the ECU confirmed, what went out without "
     "an answer and what was not sent; a value the ECU leaves unanswered ten times in a row stops the "
     "write. Ctrl+C stops it after the frame on the line.",
     kYes,
     "file, changes (as diff), toWrite, end (\"confirmed\", \"stopped\", \"portLost\", \"unanswered\", "
     "\"nothing to send\"), confirmed, maybeArrived, notSent, verified, mismatches (each item: kind, id "
     "or cell, label)"},
    {"defaults", "defaults [--yes]", "Restore the ECU's factory values.",
     "Every parameter of the ECU is replaced by its factory value. Asks first unless --yes is given; "
     "without a terminal, --yes is required. The command is repeated until the ECU acknowledges it "
     "(after 0.5 s, then every 2 s, five times at most), then the parameters are read back.",
     kYes, "restored, ecuVersion"},
    {"table",
     "table show | table set ROW COL VALUE | table load FILE.csv",
     "Show or change the KGB table.",
     "show prints the 8 x 8 table, row 1 (the lowest injection time) first, with the RPM axis above and "
     "the injection time axis on the left. set writes one cell: ROW along the injection time axis and "
     "COL along the RPM axis, both 1 to 8, VALUE 0 to 255 (a fraction rounds, halves to even). load "
     "writes the cells of a CSV file of 8 lines of 8 values, row 1 first (commas or semicolons between "
     "them); only the cells that differ are sent. Written values are read back and verified.",
     {},
     "show: rpmAxis, tinjAxis, rows; set and load: cells written as with restore (toWrite, end, "
     "confirmed, maybeArrived, notSent, verified, mismatches), and file for load"},
    {"param",
     "param get ID | param set ID VALUE",
     "Read or write one parameter.",
     "ID is the parameter's number, 1 to 61, or its name (lambda1LeanThreshold). set takes what the "
     "parameter page that edits it takes: the range of its box or of its options, a fraction rounding "
     "to the nearest whole number, halves to even; a parameter no page edits takes 0 to 65535. The value "
     "is written, confirmed by the ECU's echo and read back.",
     {},
     "get: id, name, unit, value; set: id, name, value and the write as with restore"},
    {"status", "status [--follow] [--interval MS]", "Print the ECU's live status.",
     "Prints the values of one status reply as the status window shows them, or with --follow one line "
     "per reply until Ctrl+C. A value the window shows as \"NC\" is printed as NC (null in JSON). Nothing "
     "else is sent: no fuel change-over is asked for.",
     kStatus,
     "timeMs, then the datalog's columns: lambda1, lambda2, lambda1Average, lambda2Average, rpm, "
     "petrolTinj1..petrolTinj8, gasTinj1..gasTinj8, pressure, pressure2, temperature1, temperature2, "
     "level, kgbTab, kgbCor, ecuState, fuel (0 petrol, 1 gas; the gas times are null on petrol); and "
     "ecuStateText, onPetrol"},
    {"log", "log FILE.csv [--for TIME]", "Record the live status to a datalog.",
     "Polls the ECU every 300 ms and writes every status reply as a row of FILE.csv, in the datalog format "
     "of the status window's record button (the viewer opens it). FILE.csv must not exist. Rows reach the "
     "disk at least once a second; Ctrl+C ends the recording with every row received.",
     kLog, "file, rows, durationMs"},
    {"eol", "eol --cylinders N [--report FILE] [--timeout SECONDS]", "Run the end-of-line test.",
     "Runs the production test of the end-of-line window: the start command with the cylinder count, "
     "the results every 200 ms, the key-off step and the reset of the ECU's parameters, with the "
     "operator's instructions on stderr. Prints PASSED when every check the window shows is green, or "
     "FAILED: n of m checks, naming the failed ones. Exit status 0 only when every check passed, 7 when "
     "one failed. The report carries the date, the program's and the ECU's version and every check's "
     "result; it is written whole or not at all.",
     kEol,
     "verdict, passed, checks, failed, failing, results (each: check, passed), cylinders, ecuVersion, date, "
     "report"},
};

constexpr HelpExit kExits[] = {
    {0, "Done."},
    {1, "diff: the ECU and the file differ."},
    {2, "The command line cannot be followed (one line on stderr says why), or a value is refused."},
    {3, "The port cannot be opened (the reason is worded)."},
    {4, "The ECU does not answer, or the port went away."},
    {5, "The ECU did not confirm every value written; the report names what it did not confirm."},
    {6, "A file is refused: it cannot be read, is not what it should be, or cannot be written."},
    {7, "eol: a check failed."},
    {130, "Stopped by Ctrl+C before anything was written."},
};

// Fills paragraphs to `width` columns after `indent` spaces.
QString wrapped(const QString& text, int indent, int width = 80)
{
    QStringList lines;
    const QString pad(indent, QLatin1Char(' '));
    for (const QString& paragraph : text.split(QStringLiteral("\n\n"))) {
        QString line;
        for (const QString& word : paragraph.simplified().split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
            if (!line.isEmpty() && indent + line.size() + 1 + word.size() > width) {
                lines << pad + line;
                line.clear();
            }
            line += (line.isEmpty() ? QString() : QStringLiteral(" ")) + word;
        }
        if (!line.isEmpty()) lines << pad + line;
        lines << QString();
    }
    if (!lines.isEmpty()) lines.removeLast();
    return lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
}

QString optionLabel(const HelpOption& option)
{
    QString label = QString::fromLatin1(option.name);
    if (option.argument) label += QLatin1Char(' ') + QString::fromLatin1(option.argument);
    return label;
}

QString optionList(std::span<const HelpOption> options)
{
    QString out;
    for (const HelpOption& option : options)
        out += QStringLiteral("  ") + optionLabel(option) + QLatin1Char('\n') +
               wrapped(QString::fromUtf8(option.text), 6);
    return out;
}

// troff: a backslash, a leading dot or quote, and option dashes
QString roff(const QString& text)
{
    QString out = text;
    out.replace(QLatin1Char('\\'), QStringLiteral("\\e"));
    out.replace(QLatin1Char('-'), QStringLiteral("\\-"));
    if (out.startsWith(QLatin1Char('.')) || out.startsWith(QLatin1Char('\'')))
        out.prepend(QStringLiteral("\\&"));
    return out;
}

QString roffParagraphs(const QString& text)
{
    QStringList out;
    for (const QString& paragraph : text.split(QStringLiteral("\n\n")))
        out << roff(paragraph.simplified());
    return out.join(QStringLiteral("\n.PP\n")) + QLatin1Char('\n');
}

QString roffOptions(std::span<const HelpOption> options)
{
    QString out;
    for (const HelpOption& option : options) {
        out += QStringLiteral(".TP\n.B ") + roff(QString::fromLatin1(option.name));
        if (option.argument)
            out +=
                QStringLiteral(" \\fI") + roff(QString::fromLatin1(option.argument)) + QStringLiteral("\\fR");
        out += QLatin1Char('\n') + roff(QString::fromUtf8(option.text)) + QLatin1Char('\n');
    }
    return out;
}

constexpr const char* kSynopsis =
    "orvane-cli [--port DEVICE | --simulate] [--settings TEXT] [--lang it|en|tr] "
    "[--json] [--trace FILE] COMMAND [ARGUMENTS]";
constexpr const char* kDescription =
    "The ECU from a script: the same serial link, workbook and write session as the orvane program, "
    "without a window. Data goes to stdout, messages to stderr in the chosen language. Every command "
    "first reads the ECU's version, at most five times one second apart.";

} // namespace

std::span<const HelpOption> globalOptions()
{
    return kGlobal;
}

std::span<const HelpCommand> helpCommands()
{
    return kCommands;
}

std::span<const HelpExit> exitCodes()
{
    return kExits;
}

const HelpCommand* helpCommand(const QString& name)
{
    for (const HelpCommand& command : kCommands)
        if (name == QLatin1String(command.name)) return &command;
    return nullptr;
}

QString overviewHelp()
{
    QString out = QStringLiteral("Usage: ") + QString::fromLatin1(kSynopsis) + QStringLiteral("\n\n");
    out +=
        wrapped(QString::fromLatin1(kDescription), 0) + QStringLiteral("\nOptions:\n") + optionList(kGlobal);
    out += QStringLiteral("\nCommands (COMMAND --help for one):\n");
    for (const HelpCommand& command : kCommands)
        out += QStringLiteral("  %1%2\n")
                   .arg(QString::fromLatin1(command.name), -10)
                   .arg(QString::fromLatin1(command.summary));
    out += QStringLiteral("\nExit status:\n");
    for (const HelpExit& exit : kExits)
        out +=
            QStringLiteral("  %1  ").arg(exit.code, 3) + QString::fromLatin1(exit.text) + QLatin1Char('\n');
    return out;
}

QString commandHelp(const HelpCommand& command)
{
    QString out = QStringLiteral("Usage: orvane-cli [OPTIONS] ") + QString::fromLatin1(command.synopsis) +
                  QStringLiteral("\n\n") + wrapped(QString::fromLatin1(command.summary), 0) +
                  QLatin1Char('\n') + wrapped(QString::fromUtf8(command.text), 0);
    if (!command.options.empty()) out += QStringLiteral("\nOptions:\n") + optionList(command.options);
    if (command.json)
        out += QStringLiteral("\nWith --json:\n") + wrapped(QString::fromLatin1(command.json), 2);
    out +=
        QStringLiteral("\nSee orvane-cli --help for the options every command takes and the exit status.\n");
    return out;
}

QString manPage()
{
    QString out = QStringLiteral(".TH ORVANE\\-CLI 1 \"\" \"orvane-cli %1\" \"ORVANE Service\"\n")
                      .arg(QLatin1String(kOrvaneVersion));
    out += QStringLiteral(".SH NAME\norvane\\-cli \\- the ORVANE ECU from the command line\n");
    out += QStringLiteral(".SH SYNOPSIS\n.B orvane\\-cli\n") + roff(QString::fromLatin1(kSynopsis).mid(11)) +
           QLatin1Char('\n');
    out += QStringLiteral(".SH DESCRIPTION\n") + roffParagraphs(QString::fromLatin1(kDescription));
    out += QStringLiteral(".SH OPTIONS\n") + roffOptions(kGlobal);
    out += QStringLiteral(".SH COMMANDS\n");
    for (const HelpCommand& command : kCommands) {
        out += QStringLiteral(".SS ") + roff(QString::fromLatin1(command.synopsis)) + QLatin1Char('\n');
        out += roffParagraphs(QString::fromUtf8(command.text));
        if (!command.options.empty()) out += roffOptions(command.options);
        if (command.json)
            out += QStringLiteral(".PP\nWith \\-\\-json: ") + roff(QString::fromLatin1(command.json)) +
                   QLatin1Char('\n');
    }
    out += QStringLiteral(".SH EXIT STATUS\n");
    for (const HelpExit& exit : kExits)
        out += QStringLiteral(".TP\n.B %1\n").arg(exit.code) + roff(QString::fromLatin1(exit.text)) +
               QLatin1Char('\n');
    return out;
}
