#pragma once

#include <QStringList>

// Runs orvane-cli with `arguments` (the program name first) inside an existing QCoreApplication;
// the exit status of CliExit.
int runCli(const QStringList& arguments);
