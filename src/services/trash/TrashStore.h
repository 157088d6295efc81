#pragma once

#include "DirectorySizes.h"
#include "DirectoryWalker.h"
#include "TrashEntryList.h"
#include "TrashInfo.h"
#include "TrashLocations.h"
#include "TrashTypes.h"

#include <QHash>
#include <QSet>
#include <QTimeZone>

#include <atomic>
#include <chrono>
#include <functional>
#include <optional>
#include <sys/stat.h>
#include <vector>

namespace rubbly {

// How TrashStore::list() orders the entries.
enum class TrashEntryOrder {
    LargestFirst, // by size, descending; equal sizes in listing order
    NewestFirst,  // by deletion date, descending; entries without one last, in listing order
};

// The synchronous trash engine: reads, sizes, empties and fills the freedesktop trash directories.
// Each operation opens every trash folder afresh (TrashLocations::open) and works only through the
// descriptors of its checked parts; a folder that fails the checks, or cannot be listed, is left
// alone and reported (TrashStatus::folderProblems, TrashCleanupResult::problems, the log).
// Not thread-safe; TrashService runs it on its actor. One file per operation: TrashStoreScan.cpp,
// TrashStoreEmpty.cpp, TrashStoreAgeRule.cpp, TrashStorePut.cpp; what they all open and read the same
// way is in TrashStoreShared.h and TrashStore.cpp.
//
// Nothing it keeps grows with the names in the Trash. A scan is one pass over each trash folder that
// adds every entry to the totals and per-kind sums and keeps the names of the largest few only; the
// full listings stream entry by entry. Between calls it keeps the last complete scan, returned again
// while no trash folder's files/ or info/ has changed since, and for the age rule the deletion date
// of each entry (keyed by a hash of its name and checked against its info file's inode, mtime and
// size) with the oldest of them, so an unchanged Trash is not listed again to find nothing old enough.
// A rescan of an unchanged Trash therefore costs two stats per trash folder, one whose listing changed
// a stat per entry.
class TrashStore final {
public:
    explicit TrashStore(TrashLocations locations, WalkOptions walkOptions = {}, QTimeZone zone = localZone());

    const TrashLocations& locations() const { return m_locations; }

    // The totals, per-kind sums and largest entries of every trash folder. `lastUpdatedAt` is left for
    // the caller to stamp. An error only when no trash folder could be listed at all.
    TrashStatusResult scan();
    // Every entry of every trash folder, one at a time: the pass of scan() gives `begin` the status,
    // then `entry` gets each entry in `order` with its original path and deletion date. An entry's
    // detail lives only during its call; what is held meanwhile is a row of numbers per entry and its
    // name and original path, in one buffer. Nothing is called when no trash folder can be read; the
    // folders that could not be are in the status's folderProblems, as for scan().
    TrashStatusResult list(TrashEntryOrder order, const std::function<void(const TrashStatus&)>& begin,
                           const std::function<void(const TrashItemDetail&)>& entry);
    // Every entry as the panel's list holds it, from the same pass. With TrashListSizing::KnownOnly
    // it only reads: no folder is walked (those directorysizes cannot answer for are kUnknownSize),
    // no trash file is written and no missing folder created, so it may run beside this store's
    // other work on a store of its own. With KnownOrEarlier the same, except that a listing index
    // the Trash changed since is given as it is (isEarlier()) instead.
    TrashEntryListResult entryList(TrashListSizing sizing);
    // Where entryList() keeps what its last complete listing found (every folder listed, every size
    // known), to answer the next one from while no trash folder has changed since, and each unchanged
    // entry of it after a change. Empty, the default: no index is read or written.
    void setListingIndexPath(QByteArray path) { m_indexPath = std::move(path); }
    // $XDG_CACHE_HOME/rubbly/trash-listing.
    static QByteArray defaultListingIndexPath();
    // A listing too large for this is neither written nor read (100 000 entries take about 10 MiB).
    static constexpr qint64 kListingIndexLimit = qint64(64) << 20;
    // Deletes every entry, then the info files left without data for longer than
    // kPutInFlightMargin.
    TrashCleanupOutcome emptyAll();
    // Deletes the entries whose deletion date is strictly before `cutoff`; entries without a
    // readable date stay, counted in the result's undatedCount.
    TrashCleanupOutcome removeDeletedBefore(Timestamp cutoff);
    // Deletes the named entries as emptyAll() deletes, each reported by itself: an entry that is not
    // in one of the trash folders in use, or no longer there, is a failure that names it.
    TrashRemoveReport removeNamed(const QList<TrashEntryRef>& entries);
    // Moves one file or folder into the trash of its volume, deleted at `now`; gives the absolute path
    // it was moved from, the entry it became in `created` and its info file's stamp in `stamp` when
    // given. A folder that is or holds a mount point is refused before anything moves.
    TrashPutResult put(const QByteArray& path, Timestamp now, TrashEntryRef* created = nullptr,
                       TrashInfoStamp* stamp = nullptr);
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

    // How many .trashinfo files were read (not served from what is known of them) since construction.
    int infoReads() const { return m_infoReads; }
    // How many entries were sized by walking them (not served from directorysizes).
    int walks() const { return m_walks; }
    // How many scans and age-rule passes listed the trash folders (not answered from what is known).
    int listings() const { return m_listings; }

private:
    using SizeCache = DirectorySizes;
    struct EntryTable;

    // Every trash folder present, opened (the home trash created where missing), and the problems of
    // those that cannot be used.
    struct OpenFolders {
        std::vector<OpenTrashFolder> folders;
        QList<TrashFolderProblem> problems;
    };
    // `create`: the home trash's parts are made where missing.
    OpenFolders openFolders(bool create = true);
    // Logs a folder's problem the first time this store meets it: the tray scans every minute.
    void report(const TrashFolderProblem& problem);

    // One pass over every trash folder (TrashStoreScan.cpp); with `table`, a row per entry too.
    // `meanwhile` is given the status of a pass that succeeded while its folders are still open.
    // `whole`, when given, is set when every folder was used, listed to the end and every size known.
    // `known`, for a listing: an index whose records answer for the entries whose info files are
    // still the ones they were read from.
    class ListingIndex;
    TrashStatusResult scanFolders(EntryTable* table, TrashListSizing sizing = TrashListSizing::Measured,
                                  const std::function<void(const TrashStatus&)>& meanwhile = {}, bool* whole = nullptr,
                                  ListingIndex* known = nullptr);
    // What a pass gathers as it goes through the steps below.
    struct ScanPass;
    // Lists one trash folder into the pass: files are sized from their stat, folders from
    // directorysizes or queued to be walked. A folder that cannot be listed to the end adds nothing
    // but its problem.
    void listFolder(ScanPass& pass, const OpenTrashFolder& folder);
    // Walks the queued folders in one batch (a full listing reads the info files meanwhile) and
    // finds what the directorysizes files are to say.
    void measureFolders(ScanPass& pass);
    // Writes the directorysizes files the pass changed, running `meanwhile` (when given) alongside on
    // this thread; both are done when it returns.
    void writeSizeCaches(const ScanPass& pass, const std::function<void()>& meanwhile);
    // Reads the info file of every row of the pass's table that has no date yet, on up to two threads.
    void readInfoFiles(ScanPass& pass);
    // The status of a pass that listed at least one folder: totals, sums and the largest entries
    // with what their info files say.
    TrashStatus finishStatus(ScanPass& pass);
    // Reads the info files of table rows [from, to) into their dates and original paths, the paths
    // appended to `bytes`; gives how many were read. Touches only those rows, so two threads may read
    // two ranges of one table.
    template <typename Folders>
    static int readInfoFilesInto(EntryTable& table, const Folders& folders, std::size_t from, std::size_t to,
                                 const QTimeZone& zone, QByteArray& bytes);
    // A full listing of fewer entries reads their info files on one thread.
    static constexpr std::size_t kParallelInfoReads = 2000;
    // A trash folder's names are looked at this many at a time (what they are is held meanwhile),
    // and by two threads when at least kParallelLooks are waiting.
    static constexpr std::size_t kListingChunk = 4096;
    static constexpr std::size_t kParallelLooks = 256;
    // Reads and parses info/<name>.trashinfo as an untrusted file; empty when it cannot be read.
    std::optional<TrashInfo> readInfo(int infoFd, QByteArrayView name);
    // The same for any thread: in `zone`, counting the read in `reads`; `seen` as TrashInfo::read().
    static std::optional<TrashInfo> readInfo(int infoFd, QByteArrayView name, const QTimeZone& zone, int& reads,
                                             struct stat* seen = nullptr);
    // The info file of one of the largest entries: as the last scan read it (one of `previous`) while
    // it is unchanged. Kept in m_topInfos for the next scan.
    struct KnownInfo;
    std::optional<TrashInfo> topItemInfo(const QList<KnownInfo>& previous, const OpenTrashFolder& folder,
                                         const QByteArray& name);
    // The directorysizes file of a trash, read anew by every pass that needs it: kept parsed, it
    // would hold the name of every folder entry. `untrusted` is set when a file of that name is there
    // but was not read (a link, a FIFO, too large): it is to be written anew.
    static SizeCache readSizeCache(const OpenTrashFolder& folder, bool* untrusted);
    static void writeSizeCache(const OpenTrashFolder& folder, const SizeCache& cache);

    // An entry picked for removal, with the info file it was picked by when that matters: an entry
    // whose info file is no longer that one was trashed anew meanwhile and is not the one picked.
    struct Doomed {
        QByteArray name;
        // When set, removed only while its info file is still this one (inode, mtime, size).
        bool checked = false;
        ino_t inode = 0;
        qint64 mtimeNs = 0;
        off_t size = 0;
    };
    // Deletes the entries `doomed` of one trash folder (data first, then the info file), counting
    // into `result`, and drops their directorysizes lines. `settledBefore`: an info file whose data
    // was already gone is only removed when its mtime is before it (a put may have claimed the name).
    // `fate`, when given, hears of each entry of `doomed` by its index: removed (with the bytes freed)
    // or not (with what says why).
    using EntryFate = std::function<void(std::size_t index, bool removed, qint64 freed, const TrashError& why)>;
    void removeEntries(const OpenTrashFolder& folder, const std::vector<Doomed>& doomed, time_t settledBefore,
                       TrashCleanupResult& result, const EntryFate& fate = {});

    // What a trash folder's files/ and info/ looked like: any entry added, removed or renamed in
    // either changes its mtime and ctime.
    struct FolderStamp {
        QByteArray path;
        dev_t device = 0;
        ino_t filesInode = 0, infoInode = 0;
        timespec filesMtime{}, filesCtime{}, infoMtime{}, infoCtime{};
        bool operator==(const FolderStamp& other) const;
    };
    // Every trash folder's stamp, taken as a pass opened them, before it listed anything.
    struct Snapshot {
        QList<FolderStamp> stamps;
        timespec takenAt{};
        bool complete = true; // every folder present could be used
    };
    static Snapshot snapshot(const OpenFolders& open, const timespec& takenAt);
    // True when `now` finds every folder as `before` did, and their mtimes were already settled then.
    static bool unchangedSince(const Snapshot& now, const Snapshot& before);

    // The listing index (TrashStoreIndex.cpp), when its file is there and whole; written from
    // `before`, the stamps taken before `table` was listed.
    std::optional<ListingIndex> readListingIndex() const;
    void writeListingIndex(const Snapshot& before, const EntryTable& table) const;
    QByteArray m_indexPath;

    // The last complete scan and the stamps taken before it listed anything.
    struct LastScan {
        Snapshot snapshot;
        TrashStatus status;
    };
    std::optional<LastScan> m_lastScan;

    // What an info file said of its entry's deletion date, while the file is unchanged.
    struct KnownDate {
        quint64 nameHash = 0;
        ino_t inode = 0;
        qint64 mtimeNs = 0;
        off_t size = 0;
        qint64 deletedUs = 0; // microseconds since the epoch; the lowest qint64 for none
    };
    // Per trash folder, sorted by name hash; only entries the last age pass saw.
    QHash<QByteArray, std::vector<KnownDate>> m_knownDates;
    // Left by an age pass that listed everything and removed nothing: while no folder changes, no
    // entry was trashed before `oldest` (none at all when empty), and `undated` entries have no date.
    struct AgeGate {
        Snapshot snapshot;
        std::optional<Timestamp> oldest;
        int undated = 0;
    };
    std::optional<AgeGate> m_ageGate;

    // The info files of the last scan's largest entries.
    struct KnownInfo {
        QByteArray trashPath;
        QByteArray name;
        ino_t inode = 0;
        timespec mtime{};
        off_t size = 0;
        std::optional<TrashInfo> info;
    };
    QList<KnownInfo> m_topInfos;

    std::atomic<bool> m_stop{false};
    TrashLocations m_locations;
    DirectoryWalker m_walker;
    QTimeZone m_zone;
    QSet<QString> m_reported;
    int m_infoReads = 0;
    int m_walks = 0;
    int m_listings = 0;
};

} // namespace rubbly
