// The stored slim snapshot (its own file in the cache folder, or the defaults key an earlier version
// kept it under): the slim tab shows it at start, and its sub-item paths are what a purge offers to
// delete.

#include "DefaultsFile.h"
#include "FuzzCheck.h"

#include "DiskSlimSnapshot.h"
#include "StoredRecords.h"

#include <fcntl.h>
#include <unistd.h>

using namespace rubbly;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray input = fuzz::bytes(data, size);
    const auto snapshot = DiskSlimSnapshot::fromJson(input);

    // Read back from its file as the panel reads it at start, it offers no credential file and
    // nothing of the user's own work selected, whatever an earlier version saved.
    fuzz::ScratchFolder cache("slim");
    const QByteArray path = cache.path() + "/slim-snapshot.json";
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    FUZZ_CHECK(fd >= 0);
    FUZZ_CHECK(::write(fd, input.constData(), static_cast<std::size_t>(input.size())) == input.size());
    ::close(fd);
    fuzz::DefaultsFile empty(fuzz::DefaultsFile::holding(QStringLiteral("Other"), {}));
    const auto loaded = loadSlimSnapshot(empty.store(), path);
    FUZZ_CHECK(loaded.has_value() == snapshot.has_value());
    // From the defaults store of an earlier version it moves to the file once, the same.
    fuzz::DefaultsFile old(fuzz::DefaultsFile::holding(kDiskSlimSnapshotKey, input));
    const QByteArray moved = cache.path() + "/moved.json";
    FUZZ_CHECK(loadSlimSnapshot(old.store(), moved) == loaded);
    FUZZ_CHECK(!old.store().value(kDiskSlimSnapshotKey));
    FUZZ_CHECK(loadSlimSnapshot(old.store(), moved) == loaded);
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
