#pragma once

#include "DirectorySizes.h"
#include "DirectoryWalker.h"
#include "TrashInfo.h"
#include "TrashLocations.h"
#include "TrashTypes.h"

#include <QHash>
#include <QTimeZone>

#include <functional>
#include <sys/stat.h>

namespace rubbly {

// The synchronous trash engine: reads, sizes, empties and fills the freedesktop trash directories.
// Not thread-safe; TrashService runs it on its actor. It keeps two caches between calls: parsed
// .trashinfo files (by name, mtime and size) and the per-trash directorysizes file, so a rescan of
// an unchanged Trash costs a couple of stats per entry.
class TrashStore final {
public:
    explicit TrashStore(TrashLocations locations, WalkOptions walkOptions = {},
                        QTimeZone zone = QTimeZone::systemTimeZone());

    const TrashLocations& locations() const { return m_locations; }

    // Every top-level entry of every trash folder, largest first. `lastUpdatedAt` is left for the
    // caller to stamp.
    TrashStatusResult scan();
    // Deletes every entry, then the info files left without data.
    TrashCleanupOutcome emptyAll();
    // Deletes the entries whose deletion date is strictly before `cutoff`; entries without a
    // readable date stay.
    TrashCleanupOutcome removeDeletedBefore(Timestamp cutoff);
    // Moves one file or folder into the trash of its volume, deleted at `now`.
    TrashPutResult put(const QByteArray& path, Timestamp now);

    // How many .trashinfo files were read (not served from the cache) since construction.
    int infoReads() const { return m_infoReads; }
    // How many entries were sized by walking them (not served from directorysizes).
    int walks() const { return m_walks; }

private:
    struct CachedInfo {
        timespec mtime{};
        off_t size = 0;
        ino_t inode = 0;
        TrashInfo info;
        // The scan that last saw it; entries older than the current scan are gone and dropped.
        quint64 seen = 0;
    };
    using CachedSize = DirectorySize;
    using SizeCache = QHash<QByteArray, CachedSize>;

    // Stats info/<name>.trashinfo; true when it is a regular file.
    static bool statInfo(int infoFd, const QByteArray& name, struct stat* infoStat);
    // The info file that `infoStat` describes, parsed, or from the cache while it is unchanged.
    std::optional<TrashInfo> readInfo(int infoFd, const QByteArray& trashPath, const QByteArray& name,
                                      const struct stat& infoStat);
    // The directorysizes file of a trash, re-read only when the file itself changed.
    SizeCache readSizeCache(const QByteArray& trashPath);
    void writeSizeCache(const QByteArray& trashPath, const SizeCache& cache);
    TrashCleanupOutcome remove(const std::function<bool(const std::optional<TrashInfo>&)>& select, bool removeOrphans);

    TrashLocations m_locations;
    DirectoryWalker m_walker;
    QTimeZone m_zone;
    // Parsed info files per trash folder, by entry name.
    QHash<QByteArray, QHash<QByteArray, CachedInfo>> m_infoCache;
    quint64 m_scanCount = 0;
    struct ParsedSizeFile {
        timespec mtime{};
        off_t size = 0;
        ino_t inode = 0;
        SizeCache entries;
    };
    QHash<QByteArray, ParsedSizeFile> m_sizeFiles;
    int m_infoReads = 0;
    int m_walks = 0;
};

} // namespace rubbly
