#include "BinwellApp.h"
#include "BinwellViewModel.h"
#include "CommandLine.h"
#include "TrayApplication.h"
#include "TrayHost.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QCoreApplication::setApplicationName(QStringLiteral("rubbly"));
    QCoreApplication::setApplicationVersion(QStringLiteral(RUBBLY_VERSION));
    QCoreApplication::setOrganizationDomain(QStringLiteral("tolvik.com"));

    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));

    // The commands run on a QCoreApplication, so they work without a display.
    const std::optional<rubbly::ApplicationAction> trayAction = rubbly::trayActionFromArguments(arguments);
    if (!trayAction) {
        QCoreApplication app(argc, argv);
        return rubbly::runCommandLine(QCoreApplication::arguments());
    }

    return rubbly::runTrayApplication(
        argc, argv, *trayAction, [](rubbly::ApplicationBus& bus, rubbly::ApplicationAction firstAction) {
            // ---- Scene wiring: BinwellApp is created here. ------------------------------------------
            // Until the panel and the settings window land, the status item alone is wired here: its
            // label follows the view model and "退出 Rubbly" quits. BinwellApp takes this over (with
            // `bus` and `firstAction`) together with the panel.
            rubbly::BinwellApp app;
            rubbly::TrayHost tray;
            tray.setLabel(app.viewModel().menuBarLabelText());
            QObject::connect(&app.viewModel(), &rubbly::BinwellViewModel::menuBarLabelTextChanged, &tray,
                             [&] { tray.setLabel(app.viewModel().menuBarLabelText()); });
            QObject::connect(&tray, &rubbly::StatusItem::menuActionTriggered, &tray,
                             [](rubbly::StatusItem::MenuAction action) {
                                 if (action == rubbly::StatusItem::MenuAction::Quit)
                                     QCoreApplication::quit();
                             });
            tray.start();
            Q_UNUSED(bus);
            Q_UNUSED(firstAction);
            // ---- End of scene wiring. ----------------------------------------------------------------
            return QApplication::exec();
        });
}
