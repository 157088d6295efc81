#include "CommandLine.h"

#include <QCoreApplication>

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("rubbly"));
    QCoreApplication::setApplicationVersion(QStringLiteral(RUBBLY_VERSION));
    QCoreApplication::setOrganizationDomain(QStringLiteral("tolvik.com"));
    return rubbly::runCommandLine(QCoreApplication::arguments());
}
