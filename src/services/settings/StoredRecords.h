#pragma once

#include "CleaningRecord.h"
#include "DiskSlimSnapshotStore.h"
#include "StoredKeys.h"

#include <optional>

namespace rubbly {

class DefaultsStore;

// The records kept in the defaults store as JSON data. A value that does not decode loads as nothing
// and is left where it is (the next save replaces it); a failed save writes nothing. The slim
// snapshot has a file of its own (DiskSlimSnapshotStore.h).
std::optional<CleaningRecord> loadRecord(const DefaultsStore& defaults, const QString& key);
void saveRecord(DefaultsStore& defaults, const CleaningRecord& record, const QString& key);

} // namespace rubbly
