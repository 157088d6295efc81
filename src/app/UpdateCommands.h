#pragma once

#include <QTextStream>

namespace rubbly {

class UpdateService;

// `rubbly update check`: a manual check; exit 0 unless it ended in an error.
int updateCheckCommand(UpdateService& updates, QTextStream& out, QTextStream& err);
// `rubbly update download`: check, then download and unpack a newer version and print where the
// ready Rubbly.app is. Never installs anything.
int updateDownloadCommand(UpdateService& updates, QTextStream& out, QTextStream& err);

} // namespace rubbly
