// The stored slim snapshot (defaults key Binwell.DiskSlimSnapshot.v9): the slim tab shows it at start,
// and its sub-item paths are what a purge offers to delete.

#include "DefaultsFile.h"
#include "FuzzCheck.h"

#include "DiskSlimSnapshot.h"
#include "StoredRecords.h"

using namespace rubbly;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray input = fuzz::bytes(data, size);
    const auto snapshot = DiskSlimSnapshot::fromJson(input);

    // Read back from a defaults file as the panel reads it at start, it offers no credential file and
    // nothing of the user's own work selected, whatever an earlier version saved.
    fuzz::DefaultsFile file(fuzz::DefaultsFile::holding(kDiskSlimSnapshotKey, input));
    const auto loaded = loadSlimSnapshot(file.store());
    FUZZ_CHECK(loaded.has_value() == snapshot.has_value());
    if (!snapshot)
        return 0;
    for (const DiskSlimItem& item : loaded->items) {
        FUZZ_CHECK(!(item.isSelected && diskSlimHoldsUserWork(item.category)));
        for (const DiskSlimSubItem& sub : item.subItems) {
            FUZZ_CHECK(!isCredentialName(sub.path.mid(sub.path.lastIndexOf('/') + 1).constData()));
            FUZZ_CHECK(!(sub.isSelected && diskSlimHoldsUserWork(item.category)));
        }
    }

    for (const DiskSlimItem& item : snapshot->items) {
        for (const DiskSlimSubItem& sub : item.subItems) {
            // Only absolute paths that a C call can take.
            FUZZ_CHECK(sub.path.startsWith('/'));
            FUZZ_CHECK(!sub.path.contains('\0'));
        }
    }
    // Saved again and read back, it is the same snapshot.
    const auto again = DiskSlimSnapshot::fromJson(snapshot->toJson());
    FUZZ_CHECK(again.has_value());
    FUZZ_CHECK(*again == *snapshot);
    return 0;
}
