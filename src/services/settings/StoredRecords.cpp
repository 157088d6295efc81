#include "StoredRecords.h"

#include "DefaultsStore.h"

namespace rubbly {

std::optional<CleaningRecord> loadRecord(const DefaultsStore& defaults, const QString& key)
{
    const auto data = defaults.dataValue(key);
    return data ? CleaningRecord::fromJson(*data) : std::nullopt;
}

void saveRecord(DefaultsStore& defaults, const CleaningRecord& record, const QString& key)
{
    defaults.setValue(key, record.toJson());
}

std::optional<DiskSlimSnapshot> loadSlimSnapshot(const DefaultsStore& defaults)
{
    const auto data = defaults.dataValue(kDiskSlimSnapshotKey);
    auto snapshot = data ? DiskSlimSnapshot::fromJson(*data) : std::nullopt;
    if (!snapshot)
        return snapshot;
    // A snapshot saved by an earlier version may offer what a scan no longer offers: a credential
    // file as a sub-item, or the user's own work selected. It is shown as a scan would show it now.
    for (DiskSlimItem& item : snapshot->items) {
        const bool selectable = !diskSlimHoldsUserWork(item.category);
        item.isSelected = item.isSelected && selectable;
        for (qsizetype i = item.subItems.size(); i-- > 0;) {
            DiskSlimSubItem& sub = item.subItems[i];
            sub.isSelected = sub.isSelected && selectable;
            const QByteArray name = sub.path.mid(sub.path.lastIndexOf('/') + 1);
            if (isCredentialName(name.constData())) {
                item.size -= sub.size;
                item.subItems.removeAt(i);
            }
        }
    }
    return snapshot;
}

void saveSlimSnapshot(DefaultsStore& defaults, const DiskSlimSnapshot& snapshot)
{
    defaults.setValue(kDiskSlimSnapshotKey, snapshot.toJson());
}

} // namespace rubbly
