#pragma once

#include <QTextStream>

namespace rubbly {

class UpdateService;

// `rubbly update check`: a manual check; exit 0 unless it ended in an error.
int updateCheckCommand(UpdateService& updates, QTextStream& out, QTextStream& err);
// `rubbly update download`: check, then download and unpack a newer version and print where the
// ready Rubbly.app is. Never installs anything.
int updateDownloadCommand(UpdateService& updates, QTextStream& out, QTextStream& err);
// `rubbly update install`: check, download, then replace `applicationFolder` (the Rubbly.app this
// program runs from, empty when it runs from anywhere else) and start the new version once this
// process has ended.
// Refused before anything is fetched when there is no such folder, since a package manager owns
// every other install, or when the tray application runs (`trayRunning`): the new version would only
// hand its start to the old one on the bus and end.
int updateInstallCommand(UpdateService& updates, const QString& applicationFolder, bool trayRunning, QTextStream& out,
                         QTextStream& err);

// Runs `rubbly update <sub>` (check, download or install) against the real update server, settings
// and program folder: the runner the tray program gives runCommandLine().
int runUpdateCommand(const QString& sub, QTextStream& out, QTextStream& err);

} // namespace rubbly
