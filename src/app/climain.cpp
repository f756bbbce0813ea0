#include "cli/cli.h"

#include <QCoreApplication>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("plc-tarvik-cli"));
    QCoreApplication::setApplicationVersion(QStringLiteral(PLC_VERSION));
    return runCli(QCoreApplication::arguments());
}
