#include "UpdateCommands.h"

#include "BlockingWait.h"
#include "CommandLine.h"
#include "LosslessText.h"
#include "UpdateService.h"

#include <QFile>

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

} // namespace rubbly
