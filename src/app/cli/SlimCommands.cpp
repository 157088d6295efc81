#include "SlimCommands.h"

#include "BlockingWait.h"
#include "CommandLine.h"
#include "DefaultsStore.h"
#include "DiskSlimService.h"
#include "Formatting.h"
#include "InstalledAppDetector.h"
#include "LosslessText.h"
#include "PanelLogic.h"
#include "Scheduler.h"
#include "StoredRecords.h"

namespace rubbly {

namespace {

DiskSlimSnapshot scanAndSave(DiskSlimService& slim, InstalledAppDetector& apps, DefaultsStore& defaults)
{
    const QSet<QString> installed = blockingWait(apps.installedBundleIDs(true));
    DiskSlimSnapshot snapshot{{}, blockingWait(slim.scan(installed))};
    snapshot.scannedAt = Scheduler::system()->now();
    // Not saving it loses nothing but the tab's list at the next start; the failure is logged.
    saveSlimSnapshot(defaults, snapshot);
    return snapshot;
}

} // namespace

int slimScanCommand(DiskSlimService& slim, InstalledAppDetector& apps, DefaultsStore& defaults, bool json,
                    QTextStream& out)
{
    const DiskSlimSnapshot snapshot = scanAndSave(slim, apps, defaults);
    const QList<DiskSlimItem>& items = snapshot.items;
    if (json) {
        out << snapshot.toJson(kSlimSnapshotFileLimit) << "\n";
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
            << "  " << item.fileCount << (item.fileCount == 1 ? " file" : " files");
        if (diskSlimHoldsUserWork(item.category))
            out << "  (your own work: purged only when named)";
        out << "\n";
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
            err << "rubbly: unknown category '" << printableText(name) << "'; rubbly slim scan lists them\n";
            return ExitUsage;
        }
        wanted.insert(*category);
    }
    QList<DiskSlimItem> selected;
    for (DiskSlimItem item : scanAndSave(slim, apps, defaults).items) {
        // Without names, what the scan selects goes: the user's own work is left until named.
        // A named category goes whole, whatever the scan preselected.
        if (wanted.isEmpty() ? !item.isSelected : !wanted.contains(item.category))
            continue;
        item.isSelected = true;
        for (DiskSlimSubItem& sub : item.subItems)
            sub.isSelected = true;
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
