#pragma once

#include <QString>
#include <QStringList>

inline constexpr char kOrvaneVersion[] = "1.4.3";

// What the command line asks for. Decided before QApplication exists, so --help and --version
// work without a display.
struct CommandLine {
    enum class Action { Run, PrintAndExit, Refuse };
    Action action = Action::Run;
    bool simulate = false;
    QString portName; // empty: the numbered port of the settings dialog
    bool exitWhenShown = false;
    QString tracePath; // empty: no trace of the serial line
    // PrintAndExit: the text for stdout; Refuse: the one line for stderr, "orvane: ..."
    QString output;
    int exitStatus = 0;
};

// arguments as main() receives them, the program name first
CommandLine parseCommandLine(const QStringList& arguments);
