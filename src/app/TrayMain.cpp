#include "BinwellApp.h"
#include "CommandLine.h"
#include "TrayApplication.h"
#include "UpdateCommands.h"

#include <QApplication>

#include <malloc.h>

int main(int argc, char* argv[])
{
    const QStringList arguments = rubbly::startProgram(argc, argv);

    // The commands run on a QCoreApplication, so they work without a display.
    const std::optional<rubbly::ApplicationAction> trayAction = rubbly::trayActionFromArguments(arguments);
    if (!trayAction) {
        QCoreApplication app(argc, argv);
        return rubbly::runCommandLine(arguments, &rubbly::runUpdateCommand);
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
