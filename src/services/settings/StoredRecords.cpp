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
    return data ? DiskSlimSnapshot::fromJson(*data) : std::nullopt;
}

void saveSlimSnapshot(DefaultsStore& defaults, const DiskSlimSnapshot& snapshot)
{
    defaults.setValue(kDiskSlimSnapshotKey, snapshot.toJson());
}

} // namespace rubbly
