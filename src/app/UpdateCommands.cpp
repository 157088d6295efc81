#include "UpdateCommands.h"

#include "BlockingWait.h"
#include "CommandLine.h"
#include "UpdateService.h"

#include <QFile>

namespace rubbly {

int updateCheckCommand(UpdateService& updates, QTextStream& out, QTextStream& err)
{
    blockingWait(updates.checkForUpdates(true));
    const UpdateStatus& status = updates.status();
    switch (status.kind()) {
    case UpdateStatus::Kind::UpToDate:
        out << "Rubbly " << updates.currentVersion() << " is up to date\n";
        return ExitSuccess;
    case UpdateStatus::Kind::UpdateAvailable:
        out << "Rubbly " << status.info().version << " is available (this is " << updates.currentVersion() << ")\n"
            << status.info().releaseNotes << "\n"
            << status.info().downloadURL.toString() << "\n";
        return ExitSuccess;
    case UpdateStatus::Kind::Error:
        err << "rubbly: " << status.message() << "\n";
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
        err << "rubbly: " << status.message() << "\n";
        return ExitFailure;
    }
    out << QFile::decodeName(status.newAppPath()) << "\n";
    return ExitSuccess;
}

} // namespace rubbly
