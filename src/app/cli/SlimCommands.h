#pragma once

#include <QStringList>
#include <QTextStream>

namespace rubbly {

class DefaultsStore;
class DiskSlimService;
class InstalledAppDetector;

// `rubbly slim …`: each returns the process exit status and never prompts. Both scan first and save
// the snapshot, exactly as the slim tab would.
int slimScanCommand(DiskSlimService& slim, InstalledAppDetector& apps, DefaultsStore& defaults, bool json,
                    QTextStream& out);
// Purges the named categories (titles or row labels; every found one when none is named).
int slimPurgeCommand(DiskSlimService& slim, InstalledAppDetector& apps, DefaultsStore& defaults,
                     const QStringList& categories, QTextStream& out, QTextStream& err);

} // namespace rubbly
