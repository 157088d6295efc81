#pragma once

#include "DirectorySizes.h"
#include "DirectoryWalker.h"
#include "TrashInfo.h"
#include "TrashLocations.h"
#include "TrashTypes.h"

#include <QHash>
#include <QSet>
#include <QTimeZone>

#include <atomic>
#include <chrono>
#include <functional>
#include <sys/stat.h>

namespace rubbly {

// The synchronous trash engine: reads, sizes, empties and fills the freedesktop trash directories.
// Each operation opens every trash folder afresh (TrashLocations::open) and works only through the
// descriptors of its checked parts; a folder that fails the checks, or cannot be listed, is left
// alone and reported (TrashStatus::folderProblems, TrashCleanupResult::problems, the log).
// Not thread-safe; TrashService runs it on its actor. It keeps three caches between calls: parsed
// .trashinfo files (by name, mtime and size), the per-trash directorysizes file, and the last
// complete scan, returned again while no trash folder's files/ or info/ has changed since. A rescan
// of an unchanged Trash therefore costs two stats per trash folder, one whose listing changed a
// couple of stats per entry.
class TrashStore final {
public:
    explicit TrashStore(TrashLocations locations, WalkOptions walkOptions = {},
                        QTimeZone zone = QTimeZone::systemTimeZone());

    const TrashLocations& locations() const { return m_locations; }

    // Every top-level entry of every trash folder, largest first. `lastUpdatedAt` is left for the
    // caller to stamp. An error only when no trash folder could be listed at all.
    TrashStatusResult scan();
    // Deletes every entry, then the info files left without data for longer than
    // kPutInFlightMargin.
    TrashCleanupOutcome emptyAll();
    // Deletes the entries whose deletion date is strictly before `cutoff`; entries without a
    // readable date stay.
    TrashCleanupOutcome removeDeletedBefore(Timestamp cutoff);
    // Moves one file or folder into the trash of its volume, deleted at `now`; gives its absolute path
    // in the trash. A folder that is or holds a mount point is refused before anything moves.
    TrashPutResult put(const QByteArray& path, Timestamp now);
    // True when no trash folder holds an entry or an info file.
    bool isEmpty() const;

    // Makes the operation under way, and every later one, end at the next entry (for quitting; may
    // be called from any thread).
    void requestStop() { m_stop.store(true, std::memory_order_relaxed); }

    // A put writes the info file first and moves the data after; an info file without data may be a
    // put in flight. Such a file is removed as left behind only once its mtime is older than this:
    // a rename takes milliseconds, but a put may stall on a busy disk, a network file system or a
    // stopped process, and an hour costs nothing (an info file alone is not listed).
    static constexpr std::chrono::seconds kPutInFlightMargin{3600};

    // How many .trashinfo files were read (not served from the cache) since construction.
    int infoReads() const { return m_infoReads; }
    // How many entries were sized by walking them (not served from directorysizes).
    int walks() const { return m_walks; }
    // How many scans listed the trash folders (not answered by the last scan).
    int listings() const { return m_listings; }

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
    // The directorysizes file of a trash, re-read only when the file itself changed. `untrusted` is
    // set when a file of that name is there but was not read (a link, a FIFO, too large): it is to
    // be written anew.
    SizeCache readSizeCache(const OpenTrashFolder& folder, bool* untrusted);
    void writeSizeCache(const OpenTrashFolder& folder, const SizeCache& cache);
    TrashCleanupOutcome remove(const std::function<bool(const std::optional<TrashInfo>&)>& select, bool removeOrphans);

    // Every trash folder present, opened (the home trash created where missing), and the problems of
    // those that cannot be used.
    struct OpenFolders {
        std::vector<OpenTrashFolder> folders;
        QList<TrashFolderProblem> problems;
    };
    OpenFolders openFolders();
    // Logs a folder's problem the first time this store meets it: the tray scans every minute.
    void report(const TrashFolderProblem& problem);

    // What a trash folder's files/ and info/ looked like: any entry added, removed or renamed in
    // either changes its mtime and ctime.
    struct FolderStamp {
        QByteArray path;
        dev_t device = 0;
        ino_t filesInode = 0, infoInode = 0;
        timespec filesMtime{}, filesCtime{}, infoMtime{}, infoCtime{};
        bool operator==(const FolderStamp& other) const;
    };
    static FolderStamp stamp(const OpenTrashFolder& folder);
    // The last complete scan and the stamps taken before it listed anything.
    struct LastScan {
        QList<FolderStamp> stamps;
        timespec startedAt{};
        TrashStatus status;
    };
    std::optional<LastScan> m_lastScan;

    std::atomic<bool> m_stop{false};
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
    QSet<QString> m_reported;
    int m_infoReads = 0;
    int m_walks = 0;
    int m_listings = 0;
};

} // namespace rubbly
