#include "SlimCommands.h"

#include "BlockingWait.h"
#include "CommandLine.h"
#include "DefaultsStore.h"
#include "DiskSlimService.h"
#include "Formatting.h"
#include "InstalledAppDetector.h"
#include "PanelLogic.h"
#include "Scheduler.h"
#include "StoredRecords.h"

namespace rubbly {

namespace {

QList<DiskSlimItem> scanAndSave(DiskSlimService& slim, InstalledAppDetector& apps, DefaultsStore& defaults)
{
    const QSet<QString> installed = blockingWait(apps.installedBundleIDs(true));
    DiskSlimSnapshot snapshot{{}, blockingWait(slim.scan(installed))};
    snapshot.scannedAt = Scheduler::system()->now();
    saveSlimSnapshot(defaults, snapshot);
    return snapshot.items;
}

} // namespace

int slimScanCommand(DiskSlimService& slim, InstalledAppDetector& apps, DefaultsStore& defaults, bool json,
                    QTextStream& out)
{
    const QList<DiskSlimItem> items = scanAndSave(slim, apps, defaults);
    if (json) {
        out << *defaults.dataValue(kDiskSlimSnapshotKey) << "\n";
        return ExitSuccess;
    }
    const ByteCountFormatter& bytes = sharedByteCountFormatter();
    qint64 total = 0;
    std::optional<DiskSlimGroup> group;
    for (const DiskSlimItem& item : items) {
        const DiskSlimCategoryInfo& info = diskSlimInfo(item.category);
        if (group != info.group) {
            group = info.group;
            // The slim tab's group tags: the command line speaks English in every locale.
            out << diskSlimGroupTag(info.group) << "\n";
        }
        out << "  " << QString::fromLatin1(info.rowID).leftJustified(26) << bytes.format(item.size).rightJustified(10)
            << "  " << item.fileCount << (item.fileCount == 1 ? " file" : " files") << "\n";
        total += item.size;
    }
    out << "Found " << bytes.format(total) << " in " << items.size()
        << (items.size() == 1 ? " category" : " categories") << "\n";
    return ExitSuccess;
}

int slimPurgeCommand(DiskSlimService& slim, InstalledAppDetector& apps, DefaultsStore& defaults,
                     const QStringList& categories, QTextStream& out, QTextStream& err)
{
    QSet<DiskSlimCategory> wanted;
    for (const QString& name : categories) {
        auto category = diskSlimCategoryFromTitle(name);
        if (!category)
            category = diskSlimCategoryFromRowID(name);
        if (!category) {
            err << "rubbly: unknown category '" << name << "'; rubbly slim scan lists them\n";
            return ExitUsage;
        }
        wanted.insert(*category);
    }
    QList<DiskSlimItem> selected;
    for (const DiskSlimItem& item : scanAndSave(slim, apps, defaults)) {
        if (wanted.isEmpty() || wanted.contains(item.category))
            selected.append(item);
    }
    const SlimPurgeResult result = blockingWait(slim.purge(selected));
    out << "Removed " << result.removedCount << (result.removedCount == 1 ? " item" : " items") << ", freed "
        << sharedByteCountFormatter().format(result.freedBytes) << "\n";
    if (result.failedCount > 0) {
        err << "rubbly: " << result.failedCount << " could not be deleted completely\n";
        return ExitFailure;
    }
    return ExitSuccess;
}

} // namespace rubbly
