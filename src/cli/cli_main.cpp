// orvane-cli: the ORVANE ECU from the command line, for production lines, fleets and support.
#include "cli/cli_run.h"
#include "cli/ecu_session.h"

#include <QCoreApplication>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("orvane-cli"));
    installInterruptHandler();
    return runCli(QCoreApplication::arguments());
}
