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

} // namespace rubbly
