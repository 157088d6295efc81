#pragma once

#include "DiskSlimSnapshot.h"
#include "TrashStatus.h"

namespace rubbly::test {

// A Trash with an entry of every kind and more than five entries, largest first.
TrashStatus fullTrash();
// Entries that all occupy nothing (empty files, empty folders).
TrashStatus zeroByteTrash();
// A slim scan result over several groups, every category with paths, times counted back from `now`.
QList<DiskSlimItem> slimItems(Timestamp now);

} // namespace rubbly::test
