#include "UpdateCommands.h"

#include "ApplicationBus.h"
#include "BlockingWait.h"
#include "CommandLine.h"
#include "JsonFileDefaultsStore.h"
#include "LosslessText.h"
#include "Scheduler.h"
#include "UpdateService.h"

#include <QCoreApplication>
#include <QDBusConnectionInterface>
#include <QFile>
#include <QNetworkAccessManager>

namespace rubbly {

namespace {

// The command line speaks English: the status's own message is the About pane's text.
QString errorText(const UpdateStatus& status)
{
    return printableText(status.detail().isEmpty() ? status.message() : status.detail());
}

// The manifest is not signed (only the archive is), so its texts are outside input: no control byte
// of theirs reaches the terminal. The notes keep their line breaks, each line escaped on its own.
QString printableNotes(const QString& notes)
{
    QStringList lines = notes.split(QLatin1Char('\n'));
    for (QString& line : lines)
        line = printableText(line);
    return lines.join(QLatin1Char('\n'));
}

// True when a tray application (of any install) owns the single-instance name on the session bus.
bool trayApplicationRunning()
{
    const QDBusConnection bus = QDBusConnection::sessionBus();
    return bus.isConnected() && bus.interface()->isServiceRegistered(ApplicationBus::kServiceName).value();
}

} // namespace

int updateCheckCommand(UpdateService& updates, QTextStream& out, QTextStream& err)
{
    blockingWait(updates.checkForUpdates(true));
    const UpdateStatus& status = updates.status();
    switch (status.kind()) {
    case UpdateStatus::Kind::UpToDate:
        out << "Rubbly " << updates.currentVersion() << " is up to date\n";
        return ExitSuccess;
    case UpdateStatus::Kind::UpdateAvailable:
        out << "Rubbly " << printableText(status.info().version) << " is available (this is "
            << updates.currentVersion() << ")\n"
            << printableNotes(status.info().releaseNotes) << "\n"
            << printableText(status.info().downloadURL.toString()) << "\n";
        return ExitSuccess;
    case UpdateStatus::Kind::Error:
        err << "rubbly: " << errorText(status) << "\n";
        return ExitFailure;
    default:
        err << "rubbly: the update check did not finish\n";
        return ExitFailure;
    }
}

int updateDownloadCommand(UpdateService& updates, QTextStream& out, QTextStream& err)
{
    const int checked = updateCheckCommand(updates, out, err);
    if (checked != ExitSuccess || updates.status().kind() != UpdateStatus::Kind::UpdateAvailable)
        return checked;
    blockingWait(updates.downloadUpdate(updates.status().info()));
    const UpdateStatus& status = updates.status();
    if (status.kind() != UpdateStatus::Kind::ReadyToInstall) {
        err << "rubbly: " << errorText(status) << "\n";
        return ExitFailure;
    }
    out << printableText(status.newAppPath()) << "\n";
    return ExitSuccess;
}

int updateInstallCommand(UpdateService& updates, const QString& applicationFolder, bool trayRunning, QTextStream& out,
                         QTextStream& err)
{
    if (applicationFolder.isEmpty()) {
        err << "rubbly: this copy does not run from a Rubbly.app folder you own; update it the way it was "
               "installed (a package through its package manager)\n";
        return ExitFailure;
    }
    if (trayRunning) {
        err << "rubbly: the Rubbly tray application is running; quit it first, or update from its About pane\n";
        return ExitFailure;
    }
    const int downloaded = updateDownloadCommand(updates, out, err);
    if (downloaded != ExitSuccess || updates.status().kind() != UpdateStatus::Kind::ReadyToInstall)
        return downloaded;
    const QByteArray newApp = updates.status().newAppPath();
    if (!updates.installAndRelaunch(newApp)) {
        err << "rubbly: could not replace " << printableText(applicationFolder) << "; the new version was started from "
            << printableText(newApp) << "\n";
        return ExitFailure;
    }
    out << "Installing Rubbly " << printableText(updates.status().info().version) << " into "
        << printableText(applicationFolder) << "; it starts once this command has ended\n";
    return ExitSuccess;
}

int runUpdateCommand(const QString& sub, QTextStream& out, QTextStream& err)
{
    JsonFileDefaultsStore defaults(JsonFileDefaultsStore::defaultFilePath());
    QNetworkAccessManager network;
    UpdateService updates(defaults, *Scheduler::system(), network, UpdateService::Config::defaults());
    if (sub == QLatin1String("check"))
        return updateCheckCommand(updates, out, err);
    if (sub == QLatin1String("download"))
        return updateDownloadCommand(updates, out, err);
    return updateInstallCommand(updates,
                                UpdateService::replaceableApplicationFolder(QCoreApplication::applicationFilePath()),
                                trayApplicationRunning(), out, err);
}

} // namespace rubbly
