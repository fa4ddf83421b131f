#pragma once

#include <QString>

#include <span>

// The command line's documentation, written once: `--help`, `COMMAND --help` and the man page are
// all made from these entries.

struct HelpOption {
    const char* name;     // "--port"
    const char* argument; // "DEVICE", or nullptr
    const char* text;
};

struct HelpCommand {
    const char* name;     // "restore"
    const char* synopsis; // "restore FILE.xls [--yes]"
    const char* summary;  // one line for the overview
    const char* text;     // paragraphs separated by "\n\n"
    std::span<const HelpOption> options;
    const char* json; // what --json prints, or nullptr
};

struct HelpExit {
    int code;
    const char* text;
};

std::span<const HelpOption> globalOptions();
std::span<const HelpCommand> helpCommands();
std::span<const HelpExit> exitCodes();
const HelpCommand* helpCommand(const QString& name);

// The overview (`orvane-cli --help`) and one command's page, wrapped for a terminal.
QString overviewHelp();
QString commandHelp(const HelpCommand& command);

// The same as a troff man page, section 1, dated with the program's version.
QString manPage();
