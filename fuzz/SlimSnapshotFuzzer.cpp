// The stored slim snapshot (defaults key Binwell.DiskSlimSnapshot.v9): the slim tab shows it at start,
// and its sub-item paths are what a purge offers to delete.

#include "FuzzCheck.h"

#include "DiskSlimSnapshot.h"

using namespace rubbly;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const auto snapshot = DiskSlimSnapshot::fromJson(fuzz::bytes(data, size));
    if (!snapshot)
        return 0;
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
