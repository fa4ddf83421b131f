#pragma once

#include "link/language.h"

#include <QString>
#include <QStringList>

// The exit status of orvane-cli: fixed, documented in its help and man page.
enum CliExit : int {
    kExitDone = 0,
    kExitDifferent = 1,
    kExitUsage = 2,
    kExitPortUnavailable = 3,
    kExitNoAnswer = 4,
    kExitNotConfirmed = 5,
    kExitFileRefused = 6,
    kExitCheckFailed = 7,
    kExitInterrupted = 130,
};

// What the command line asks for.
struct CliRequest {
    enum class Action { Run, Help, Version, Man, Refuse };
    Action action = Action::Run;
    QString refusal;     // Refuse: the one line for stderr
    QString helpCommand; // Help: the command whose page, or empty for the overview
    QString manPath;     // Man: where to write the page

    QString port;
    bool simulate = false;
    QString settings = QStringLiteral("9600,n,8,1");
    Language language = Language::Italian;
    bool json = false;
    QString tracePath;

    QString command;
    QStringList operands; // after the command (and its subcommand for table and param)
    QString subcommand;   // table: show, set, load; param: get, set

    bool yes = false;
    bool follow = false;
    int intervalMs = 300;
    qint64 forMs = -1; // log: until Ctrl+C
    int cylinders = 0;
    QString reportPath;
    int timeoutS = 120;
};

// The language of the messages: --lang, or the system's when it is one of ours, else Italian.
Language languageFromEnvironment();

// `arguments` as main() receives them, the program name first.
CliRequest parseCliArguments(const QStringList& arguments, Language systemLanguage);

// "9600,n,8,1", also written "9600,8,N,1": the program's order, or nothing when it is no setting.
QString normalisedSettings(const QString& text);
