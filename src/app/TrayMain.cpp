#include "BinwellApp.h"
#include "BuildInfo.h"
#include "CommandLine.h"
#include "LosslessText.h"
#include "TrayApplication.h"

#include <QApplication>

#include <malloc.h>

int main(int argc, char* argv[])
{
    QCoreApplication::setApplicationName(QStringLiteral("rubbly"));
    QCoreApplication::setApplicationVersion(rubbly::versionDisplayString());
    QCoreApplication::setOrganizationDomain(QStringLiteral("tolvik.com"));

    // Arguments keep their exact bytes: a path that is not UTF-8 must name that file, not the one
    // whose name its U+FFFD rendering spells.
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(rubbly::decodeLossless(argv[i]));

    // The commands run on a QCoreApplication, so they work without a display.
    const std::optional<rubbly::ApplicationAction> trayAction = rubbly::trayActionFromArguments(arguments);
    if (!trayAction) {
        QCoreApplication app(argc, argv);
        return rubbly::runCommandLine(arguments);
    }

    // A tray program lives for the whole session: one malloc arena for all its threads keeps the memory
    // that the actors' scans used reusable, instead of a reserved arena per thread.
    mallopt(M_ARENA_MAX, 1);
    return rubbly::runTrayApplication(argc, argv, *trayAction,
                                      [](rubbly::ApplicationBus& bus, rubbly::ApplicationAction firstAction) {
                                          rubbly::BinwellApp app;
                                          app.buildScenes(&bus);
                                          app.perform(firstAction);
                                          return QApplication::exec();
                                      });
}
