#include "TrashStoreShared.h"

#include "ByteCounts.h"
#include "DirectoryListing.h"

#include <QFile>

#include <algorithm>
#include <dirent.h>
#include <iterator>
#include <map>
#include <numeric>
#include <system_error>
#include <thread>

// Scanning and listing: one pass over every trash folder that sums what emptying would free, per
// kind, keeps the largest entries and, for a full listing, a row per entry.

namespace rubbly {

using namespace trashstore;

namespace {

bool ranksBefore(const ScannedEntry& a, const ScannedEntry& b)
{
    return a.size > b.size || (a.size == b.size && a.order < b.order);
}

// The totals, per-kind sums and the largest entries of what was added, holding the names of those
// largest ones only. Sums saturate: sizes come from file systems and from files others write.
class Tally {
public:
    struct Candidate {
        ScannedEntry entry;
        QByteArray name;
    };

    void add(const ScannedEntry& entry, QByteArrayView name)
    {
        total = saturatingAdd(total, entry.size);
        qint64& sum = sums[entry.category];
        sum = saturatingAdd(sum, entry.size);
        ++count;
        offer(entry, name);
    }
    void merge(const Tally& other)
    {
        total = saturatingAdd(total, other.total);
        count += other.count;
        for (const auto& [category, size] : other.sums) {
            qint64& sum = sums[category];
            sum = saturatingAdd(sum, size);
        }
        for (const Candidate& candidate : other.top)
            offer(candidate.entry, candidate.name);
    }

    qint64 total = 0;
    qint64 count = 0;
    std::map<FileCategory, qint64> sums;
    // Largest first, at most TrashStatus::kTopItemLimit.
    std::vector<Candidate> top;

private:
    void offer(const ScannedEntry& entry, QByteArrayView name)
    {
        const auto limit = static_cast<std::size_t>(TrashStatus::kTopItemLimit);
        if (top.size() == limit && !ranksBefore(entry, top.back().entry))
            return;
        const auto at = std::upper_bound(top.begin(), top.end(), entry, [](const ScannedEntry& e, const Candidate& c) {
            return ranksBefore(e, c.entry);
        });
        top.insert(at, Candidate{entry, name.toByteArray()});
        if (top.size() > limit)
            top.pop_back();
    }
};

TrashItemDetail detailOf(const TrashDirectory& folder, const ScannedEntry& entry, QByteArrayView name)
{
    TrashItemDetail item;
    const QByteArray raw = name.toByteArray();
    item.name = QFile::decodeName(raw);
    item.path = folder.filesPath() + '/' + raw;
    item.trashFolder = folder.path;
    item.size = entry.size;
    item.modificationDate = fromMicros(entry.modified);
    item.category = entry.category;
    item.isDirectory = entry.isDirectory;
    return item;
}

// Puts what an info file said, and its stamp, into a table row; the original path is appended to
// `bytes`.
template <typename Row>
void takeInfo(Row& row, const TrashInfo& info, const InfoStamp& stamp, const TrashDirectory& directory,
              QByteArray& bytes)
{
    row.info = stamp;
    row.deleted = toMicros(info.deletionDate);
    if (info.path) {
        const QByteArray original = absoluteOriginalPath(*info.path, directory.topDir);
        row.original = bytes.size();
        row.originalLength = static_cast<int>(original.size());
        bytes.append(original);
    }
}

} // namespace

TrashItemDetail TrashStore::EntryTable::detail(const Row& row) const
{
    TrashItemDetail item = detailOf(folders[row.entry.folder], row.entry, name(row));
    if (const std::optional<QByteArrayView> path = original(row))
        item.originalPath = path->toByteArray();
    item.deletionDate = fromMicros(row.deleted);
    return item;
}

std::optional<TrashInfo> TrashStore::topItemInfo(const QList<KnownInfo>& previous, const OpenTrashFolder& folder,
                                                 const QByteArray& name)
{
    struct stat infoSt = {};
    if (!statInfo(folder.info.get(), name, &infoSt))
        return std::nullopt;
    std::optional<TrashInfo> info;
    const auto known = std::find_if(previous.cbegin(), previous.cend(), [&](const KnownInfo& k) {
        return k.trashPath == folder.directory.path && k.name == name && sameFile(infoSt, k.mtime, k.size, k.inode);
    });
    if (known != previous.cend())
        info = known->info;
    else
        info = readInfo(folder.info.get(), name);
    m_topInfos.append(KnownInfo{folder.directory.path, name, infoSt.st_ino, infoSt.st_mtim, infoSt.st_size, info});
    return info;
}

TrashStatusResult TrashStore::scan()
{
    return scanFolders(nullptr);
}

TrashStatusResult TrashStore::list(TrashEntryOrder order, const std::function<void(const TrashStatus&)>& begin,
                                   const std::function<void(const TrashItemDetail&)>& entry)
{
    EntryTable table;
    return scanFolders(&table, TrashListSizing::Measured, [&](const TrashStatus& status) {
        begin(status);
        // Positions are sorted, not rows: a row is eight numbers.
        std::vector<quint32> sorted(table.rows.size());
        std::iota(sorted.begin(), sorted.end(), 0u);
        const auto& rows = table.rows;
        if (order == TrashEntryOrder::LargestFirst) {
            std::sort(sorted.begin(), sorted.end(),
                      [&](quint32 a, quint32 b) { return ranksBefore(rows[a].entry, rows[b].entry); });
        } else {
            std::sort(sorted.begin(), sorted.end(), [&](quint32 a, quint32 b) {
                // kNoDate is the lowest value: entries without a date come last.
                return rows[a].deleted > rows[b].deleted || (rows[a].deleted == rows[b].deleted && a < b);
            });
        }
        for (const quint32 index : sorted)
            entry(table.detail(rows[index]));
    });
}

TrashEntryListResult TrashStore::entryList(TrashListSizing sizing)
{
    // Stamped before anything is listed: a change while the pass runs makes the index it writes
    // stale at once, never one that looks current.
    std::optional<Snapshot> before;
    std::optional<ListingIndex> index;
    if (!m_indexPath.isEmpty()) {
        timespec startedAt{};
        ::clock_gettime(CLOCK_REALTIME, &startedAt);
        before = snapshot(openFolders(sizing == TrashListSizing::Measured), startedAt);
        index = readListingIndex();
        if (index && unchangedSince(*before, index->stamps()))
            return index->list();
        if (index && sizing == TrashListSizing::KnownOrEarlier) {
            TrashEntryList earlier = index->list();
            earlier.setEarlier(true);
            return earlier;
        }
    }
    EntryTable table;
    TrashEntryList list;
    bool whole = false;
    const TrashStatusResult status = scanFolders(
        &table, sizing,
        [&](const TrashStatus&) {
            // In the listing's order: both of the list's orders keep it among equals, as list() does.
            list.reserve(static_cast<qsizetype>(table.rows.size()), table.bytes.size());
            for (const EntryTable::Row& row : table.rows) {
                list.append(TrashEntryList::Fields{table.folders[row.entry.folder].path, table.name(row),
                                                   table.original(row), row.entry.size, fromMicros(row.deleted),
                                                   row.entry.category, row.entry.isDirectory});
            }
            list.finish();
        },
        &whole, index ? &*index : nullptr);
    if (!status)
        return status.error();
    if (before && whole)
        writeListingIndex(*before, table);
    return list;
}

template <typename Folders>
int TrashStore::readInfoFilesInto(EntryTable& table, const Folders& folders, std::size_t from, std::size_t to,
                                  const QTimeZone& zone, QByteArray& bytes)
{
    int reads = 0;
    for (std::size_t i = from; i < to; ++i) {
        EntryTable::Row& row = table.rows[i];
        if (row.haveInfo)
            continue;
        const OpenTrashFolder& folder = *folders[row.entry.folder].open;
        struct stat seen = {};
        const std::optional<TrashInfo> info = readInfo(folder.info.get(), table.name(row), zone, reads, &seen);
        if (info) // the path in `bytes` until the caller adopts it
            takeInfo(table.rows[i], *info, InfoStamp::of(seen), folder.directory, bytes);
    }
    return reads;
}

// One scan's state, from the folders opened to the status: each step below adds to it.
struct TrashStore::ScanPass {
    // A listed trash folder and what its directorysizes file said and is to say.
    struct ListedFolder {
        const OpenTrashFolder* open;
        SizeCache oldSizes;
        SizeCache sizes;
        bool rewriteSizes = false;
    };
    // A folder entry that directorysizes cannot answer for, and its info file's mtime when it has one.
    struct PendingWalk {
        ScannedEntry entry;
        std::optional<timespec> infoMtime;
        std::size_t row = 0;
    };

    EntryTable* table = nullptr;   // only for a full listing
    ListingIndex* known = nullptr; // only for a full listing, when an index could be read
    // Folders are walked and directorysizes kept up to date; without, the pass only reads.
    bool measure = true;
    TrashStatus status;
    // Every folder could be used, listed and measured: the status may be served again while unchanged.
    bool complete = true;
    bool permissionFailure = false;
    std::vector<ListedFolder> listedFolders;
    std::vector<WalkRoot> roots;
    std::vector<PendingWalk> pending;
    Tally tally;
    qint64 order = 0;
};

TrashStatusResult TrashStore::scanFolders(EntryTable* table, TrashListSizing sizing,
                                          const std::function<void(const TrashStatus&)>& meanwhile, bool* whole,
                                          ListingIndex* known)
{
    const bool measure = sizing == TrashListSizing::Measured;
    // The 60-second poll of a large, unchanged Trash would otherwise stat every entry twice a minute
    // for nothing.
    timespec startedAt{};
    ::clock_gettime(CLOCK_REALTIME, &startedAt);
    OpenFolders open = openFolders(measure);
    Snapshot before = snapshot(open, startedAt);
    if (!table && m_lastScan && unchangedSince(before, m_lastScan->snapshot))
        return m_lastScan->status;
    m_lastScan.reset();
    ++m_listings;

    ScanPass pass;
    pass.table = table;
    pass.known = table ? known : nullptr;
    pass.measure = measure;
    pass.complete = before.complete;
    pass.status.folderProblems = open.problems;
    for (const TrashFolderProblem& problem : std::as_const(open.problems))
        pass.permissionFailure = pass.permissionFailure || isPermissionError(problem.errorCode);
    pass.listedFolders.reserve(open.folders.size());
    if (pass.known) {
        // Room for what the index held and a little more: grown by doubling instead, the table would
        // for a moment take twice its size at 100 000 entries.
        table->rows.reserve(pass.known->entryCount() + kListingChunk);
        table->bytes.reserve(pass.known->textBytes() + kListingChunk * 64);
    }
    for (const OpenTrashFolder& folder : open.folders)
        listFolder(pass, folder);
    // Everything the index could answer for is in the table now.
    if (pass.known)
        pass.known->release();
    measureFolders(pass);

    if (pass.listedFolders.empty()) {
        m_topInfos.clear();
        if (open.folders.empty() && open.problems.isEmpty())
            return TrashError{TrashServiceError::TrashURLUnavailable, 0, QStringLiteral("no trash folder was found")};
        QStringList messages;
        for (const TrashFolderProblem& problem : std::as_const(pass.status.folderProblems))
            messages.append(problem.message());
        return TrashError{pass.permissionFailure ? TrashServiceError::PermissionDenied : TrashServiceError::FileSystem,
                          pass.permissionFailure ? EACCES : 0, messages.join(QStringLiteral("; "))};
    }
    TrashStatus status = finishStatus(pass);
    if (whole)
        *whole = pass.complete;
    writeSizeCaches(pass, meanwhile ? std::function<void()>([&] { meanwhile(status); }) : std::function<void()>());
    if (pass.complete)
        m_lastScan = LastScan{std::move(before), status};
    return status;
}

void TrashStore::listFolder(ScanPass& pass, const OpenTrashFolder& folder)
{
    EntryTable* const table = pass.table;
    qint64& order = pass.order;
    const TrashDirectory& directory = folder.directory;
    bool untrusted = false;
    ScanPass::ListedFolder listing{&folder, readSizeCache(folder, &untrusted), {}, false};
    listing.rewriteSizes = untrusted;
    // What this folder adds, kept apart until its listing has ended well: a folder that cannot be
    // read to the end counts as not listed at all.
    Tally folderTally;
    std::vector<WalkRoot> folderRoots;
    std::vector<ScanPass::PendingWalk> folderPending;
    const std::size_t rowsBefore = table ? table->rows.size() : 0;
    const qsizetype bytesBefore = table ? table->bytes.size() : 0;
    const int dirFd = folder.files.get();
    const int infoFd = folder.info.get();
    const auto folderIndex = static_cast<quint32>(pass.listedFolders.size());
    // What one entry is, found by its stat (and, for a folder, its info file's) before the entry
    // joins the pass; the stats of a chunk of names are split between two threads, since the
    // walker's helpers have nothing to do until the listing is done.
    struct Look {
        ScannedEntry entry;
        std::optional<timespec> infoMtime;
        const DirectorySize* cached = nullptr;
        bool walk = false;
        // The listing index's record, when it answers for the entry.
        std::optional<ListingIndex::Record> known;
        // Else, in a full listing, whether the info file was read here, what it said and its stamp.
        bool infoTried = false;
        std::optional<TrashInfo> info;
        InfoStamp infoStamp;
    };
    // The index's folder that this one still is (path, device and both inodes), or -1.
    int knownFolder = -1;
    if (pass.known) {
        const FolderStamp now{directory.path, folder.filesStat.st_dev, folder.filesStat.st_ino, folder.infoStat.st_ino};
        knownFolder = pass.known->folderOf(now);
    }
    // A folder entry's size from its directorysizes line, when that line is ours, current and keyed
    // to the info file's mtime seen now.
    const auto sizeFromLine = [&](QByteArrayView name, const timespec& infoMtime, Look& result) {
        // Only our own current lines are trusted: KDE's hold apparent sizes, and ours from before
        // folders' blocks were counted fall short. Both are measured once and rewritten.
        const auto cached = listing.oldSizes.constFind(QByteArray::fromRawData(name.data(), name.size()));
        if (cached == listing.oldSizes.cend() || !cached->measured || !cached->matches(infoMtime))
            return false;
        result.entry.size = cached->size;
        result.cached = &*cached;
        return true;
    };
    // An entry the index knows whose info file is still the one it was read from is as it was then,
    // its data included: trash tools never write an entry in place, and a put anew under the same
    // name writes a new info file. A folder entry still takes its size from directorysizes.
    const auto lookUpKnown = [&](QByteArrayView name, qsizetype at, Look& result) {
        ListingIndex::Record record = pass.known->recordAt(at);
        struct stat infoSt = {};
        if (!statInfo(infoFd, name, &infoSt) || !record.info.isStampOf(infoSt))
            return false;
        if (record.isDirectory && !sizeFromLine(name, infoSt.st_mtim, result))
            return false;
        result.entry.modified = record.modified;
        result.entry.isDirectory = record.isDirectory;
        if (!record.isDirectory)
            result.entry.size = record.size;
        result.infoMtime = infoSt.st_mtim;
        result.known = std::move(record);
        return true;
    };
    QByteArray names; // each followed by its NUL, for fstatat
    // Where a name is in `names`, and its record in the listing index (-1: none).
    struct Span {
        qsizetype at = 0;
        qsizetype size = 0;
        qsizetype record = -1;
        unsigned char type = DT_UNKNOWN; // as the folder's listing says
    };
    std::vector<Span> spans;
    std::vector<Look> looks;
    const auto nameAt = [&](std::size_t i) { return QByteArrayView(names).sliced(spans[i].at, spans[i].size); };
    // A full listing reads each info file here, with `zone` (one per thread: QTimeZone is only
    // reentrant); its stat keys the directorysizes line as well, which saves a stat per entry.
    const auto look = [&](std::size_t from, std::size_t to, const QTimeZone* zone, int& reads) {
        for (std::size_t i = from; i < to; ++i) {
            const QByteArrayView name = nameAt(i);
            Look& result = looks[i];
            ScannedEntry& entry = result.entry;
            entry.category = categoryForRawName(name);
            if (spans[i].record >= 0 && lookUpKnown(name, spans[i].record, result))
                continue;
            // A measuring pass takes a folder's word that an entry is a folder until its
            // directorysizes line answers for it: the walker opens it and checks what it opened,
            // and its stat of that gives the entry's date, so a stat here would be a second one.
            const bool folderByType = pass.measure && spans[i].type == DT_DIR;
            struct stat st = {};
            if (!folderByType) {
                if (::fstatat(dirFd, name.data(), &st, AT_SYMLINK_NOFOLLOW) != 0)
                    continue; // vanished since the listing, or unreadable: listed without size or date
                entry.modified = toMicros(fromTimespec(st.st_mtim));
            }
            struct stat infoSt = {};
            if (zone) {
                result.infoTried = true;
                result.info = readInfo(infoFd, name, *zone, reads, &infoSt);
                if (result.info)
                    result.infoStamp = InfoStamp::of(infoSt);
            }
            if (!folderByType && !S_ISDIR(st.st_mode)) {
                entry.size = allocatedBytes(st.st_blocks);
                continue;
            }
            entry.isDirectory = true;
            // The info file is looked at before its entry is walked: a directorysizes line is
            // keyed to the mtime seen first, so an entry trashed anew while we walk is measured
            // again next time rather than trusted with the old size.
            if (result.info || statInfo(infoFd, name, &infoSt))
                result.infoMtime = infoSt.st_mtim;
            result.walk = !result.infoMtime || !sizeFromLine(name, *result.infoMtime, result);
            if (folderByType && !result.walk) {
                // Not walked: its date needs the stat after all. Gone or no longer a folder since
                // the listing, it is measured as whatever it is now.
                if (::fstatat(dirFd, name.data(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(st.st_mode)) {
                    entry.modified = toMicros(fromTimespec(st.st_mtim));
                } else {
                    result.cached = nullptr;
                    entry.size = 0;
                    result.walk = true;
                }
            }
        }
    };
    // The second thread's zone, made once per folder; one without an id to rebuild it from (a POSIX
    // TZ rule) leaves that thread's info files to readInfoFiles().
    std::optional<QTimeZone> laterZone;
    const auto addChunk = [&] {
        const std::size_t count = spans.size();
        looks.assign(count, Look{});
        std::optional<std::jthread> later;
        int laterReads = 0;
        if (count >= kParallelLooks && m_walker.options().threads > 1) {
            if (table && !laterZone)
                laterZone = QTimeZone(m_zone.id());
            const QTimeZone* zone = laterZone && laterZone->isValid() ? &*laterZone : nullptr;
            try {
                later.emplace([&, zone] { look(count / 2, count, zone, laterReads); });
            } catch (const std::system_error&) {
                later.reset();
            }
        }
        look(0, later ? count / 2 : count, table ? &m_zone : nullptr, m_infoReads);
        later.reset();
        m_infoReads += laterReads;
        // Room for the chunk at once (a Trash of a few thousand entries is one chunk), growing by
        // doubling beyond it.
        if (table && table->rows.capacity() < table->rows.size() + count)
            table->rows.reserve(std::max(table->rows.size() + count, 2 * table->rows.capacity()));
        for (std::size_t i = 0; i < count; ++i) {
            const QByteArrayView name = nameAt(i);
            Look& result = looks[i];
            ScannedEntry& entry = result.entry;
            entry.order = order++;
            entry.folder = folderIndex;
            if (result.cached)
                listing.sizes.insert(name.toByteArray(), *result.cached);
            const std::size_t row = table ? table->append(entry, name) : 0;
            if (result.infoTried) {
                // Read here, or not readable: not tried again.
                EntryTable::Row& added = table->rows[row];
                if (result.info)
                    takeInfo(added, *result.info, result.infoStamp, directory, table->bytes);
                added.haveInfo = true;
            }
            if (result.known) {
                EntryTable::Row& added = table->rows[row];
                added.deleted = result.known->deleted;
                added.info = result.known->info;
                added.haveInfo = true;
                if (result.known->original) {
                    added.original = table->bytes.size();
                    added.originalLength = static_cast<int>(result.known->original->size());
                    table->bytes.append(*result.known->original);
                }
            }
            if (result.walk) {
                // Seen as a folder just now: the walker opens it and checks what it opened.
                folderRoots.push_back(WalkRoot{dirFd, name.toByteArray(), folder.filesStat.st_dev});
                folderPending.push_back(ScanPass::PendingWalk{entry, result.infoMtime, row});
            } else {
                folderTally.add(entry, name);
            }
        }
        names.clear();
        spans.clear();
    };
    const int listError = forEachDirectoryEntry(dirFd, [&](QByteArrayView name, unsigned char type) {
        const qsizetype record = knownFolder >= 0 ? pass.known->locate(knownFolder, name) : -1;
        spans.push_back(Span{names.size(), name.size(), record, type});
        names.append(name).append('\0');
        if (spans.size() == kListingChunk)
            addChunk();
    });
    if (listError == 0)
        addChunk();
    if (listError != 0) {
        pass.complete = false;
        pass.permissionFailure = pass.permissionFailure || isPermissionError(listError);
        pass.status.folderProblems.append(unlistable(directory, listError));
        report(pass.status.folderProblems.last());
        if (table) {
            table->rows.resize(rowsBefore);
            table->bytes.truncate(bytesBefore);
        }
        return;
    }
    pass.status.trashFolders.append(directory.path);
    pass.tally.merge(folderTally);
    std::move(folderRoots.begin(), folderRoots.end(), std::back_inserter(pass.roots));
    std::move(folderPending.begin(), folderPending.end(), std::back_inserter(pass.pending));
    if (table)
        table->folders.push_back(directory);
    pass.listedFolders.push_back(std::move(listing));
}

void TrashStore::readInfoFiles(ScanPass& pass)
{
    // What the listing left unread (its second thread's share, when that thread had no zone of its
    // own), on this thread while the walker's helper starts on the folders, and on a second one when
    // there are many.
    EntryTable* const table = pass.table;
    // Nearly always the listing read them all: then no zone is built and no thread started.
    const auto unread = [](const EntryTable::Row& row) { return !row.haveInfo; };
    if (std::none_of(table->rows.cbegin(), table->rows.cend(), unread))
        return;
    const auto& listedFolders = pass.listedFolders;
    const std::size_t count = table->rows.size();
    const std::size_t half = count / 2;
    QByteArray laterBytes;
    int laterReads = 0;
    std::optional<std::jthread> later;
    // A zone object of its own for the second thread (QTimeZone is only reentrant); one without an
    // id to rebuild it from (a POSIX TZ rule) keeps the reading on one thread.
    QTimeZone laterZone;
    if (m_walker.options().threads > 1 && count >= kParallelInfoReads)
        laterZone = QTimeZone(m_zone.id());
    if (laterZone.isValid()) {
        try {
            later.emplace(
                [&] { laterReads = readInfoFilesInto(*table, listedFolders, half, count, laterZone, laterBytes); });
        } catch (const std::system_error&) {
            later.reset();
        }
    }
    QByteArray earlierBytes;
    const std::size_t earlierEnd = later ? half : count;
    m_infoReads += readInfoFilesInto(*table, listedFolders, 0, earlierEnd, m_zone, earlierBytes);
    if (later) {
        later->join();
        m_infoReads += laterReads;
    }
    // The original paths went to a buffer per thread: the names both read are in table->bytes.
    const auto adopt = [&](std::size_t from, std::size_t to, const QByteArray& bytes) {
        const qsizetype base = table->bytes.size();
        for (std::size_t i = from; i < to; ++i) {
            if (!table->rows[i].haveInfo)
                table->rows[i].original += base;
        }
        table->bytes.append(bytes);
    };
    adopt(0, earlierEnd, earlierBytes);
    if (later)
        adopt(half, count, laterBytes);
}

void TrashStore::measureFolders(ScanPass& pass)
{
    EntryTable* const table = pass.table;
    if (!pass.measure) {
        // Reading only: the folders left unmeasured are listed without a size and counted in no
        // total, so this status is not one to answer a later scan with.
        if (table) {
            readInfoFiles(pass);
            for (const ScanPass::PendingWalk& walked : pass.pending)
                table->rows[walked.row].entry.size = TrashEntryList::kUnknownSize;
        }
        // Whole only when directorysizes answered for every folder entry.
        pass.complete = pass.complete && pass.pending.empty();
        return;
    }
    const std::vector<WalkRoot>& roots = pass.roots;
    // Every folder entry of every trash folder is measured in one batch, so both threads stay busy
    // even when each entry is small; measured one after the other, one thread would do nearly all.
    const std::vector<WalkResult> walks = m_walker.measureEach(
        roots, table ? std::function<void()>([this, &pass] { readInfoFiles(pass); }) : std::function<void()>());
    m_walks += static_cast<int>(roots.size());
    for (std::size_t i = 0; i < roots.size(); ++i) {
        ScanPass::PendingWalk& walked = pass.pending[i];
        const QByteArray& name = roots[i].name;
        walked.entry.size = walks[i].bytes;
        // A folder listed as one was not stat'ed before its walk (see listFolder()).
        if (walked.entry.modified == kNoDate && walks[i].rootModification)
            walked.entry.modified = toMicros(walks[i].rootModification);
        if (table) {
            table->rows[walked.row].entry.size = walks[i].bytes;
            table->rows[walked.row].entry.modified = walked.entry.modified;
        }
        pass.tally.add(walked.entry, name);
        // Only a complete measurement is kept: the file is trusted for as long as the info file is
        // unchanged, so a partial size (a folder we could not read, an entry that vanished while
        // we walked) would outlive the reason it was partial.
        ScanPass::ListedFolder& folder = pass.listedFolders[walked.entry.folder];
        const auto old = folder.oldSizes.constFind(name);
        const bool hasOld = old != folder.oldSizes.cend();
        if (walked.infoMtime && walks[i].errors == 0) {
            // In the unit of the line it replaces: KDE matches only milliseconds, and would walk the
            // folder at every operation of its own if its line turned into seconds.
            folder.sizes.insert(name,
                                DirectorySize::measurement(walks[i].bytes, *walked.infoMtime,
                                                           hasOld && old->milliseconds, hasOld ? old->position : -1));
        } else if (walked.infoMtime && hasOld && old->matches(*walked.infoMtime)) {
            // Not measured completely, but still KDE's valid line: it stays for KDE as it was.
            folder.sizes.insert(name, *old);
        }
        pass.complete = pass.complete && walks[i].errors == 0;
    }
}

void TrashStore::writeSizeCaches(const ScanPass& pass, const std::function<void()>& meanwhile)
{
    std::vector<const ScanPass::ListedFolder*> changed;
    if (pass.measure) {
        for (const ScanPass::ListedFolder& folder : pass.listedFolders) {
            if (folder.rewriteSizes || folder.sizes != folder.oldSizes)
                changed.push_back(&folder);
        }
    }
    const auto write = [&changed] {
        for (const ScanPass::ListedFolder* folder : changed)
            writeSizeCache(*folder->open, folder->sizes);
    };
    // A first scan of a large Trash writes thousands of lines and waits for the disk to have them;
    // a listing's rows meanwhile go out on this thread. Both are done before the folders close.
    std::optional<std::jthread> writer;
    if (meanwhile && !changed.empty() && m_walker.options().threads > 1) {
        try {
            writer.emplace(write);
        } catch (const std::system_error&) {
            writer.reset();
        }
    }
    if (!writer)
        write();
    if (meanwhile)
        meanwhile();
}

TrashStatus TrashStore::finishStatus(ScanPass& pass)
{
    TrashStatus& status = pass.status;
    Tally& tally = pass.tally;
    status.totalSize = tally.total;
    status.itemCount = static_cast<int>(std::min<qint64>(tally.count, std::numeric_limits<int>::max()));
    status.categoryDistribution = std::move(tally.sums);
    // Only the largest entries get their info file read, and only when it changed since the last scan.
    const QList<KnownInfo> previousInfos = std::exchange(m_topInfos, {});
    for (const Tally::Candidate& candidate : tally.top) {
        const OpenTrashFolder& folder = *pass.listedFolders[candidate.entry.folder].open;
        TrashItemDetail item = detailOf(folder.directory, candidate.entry, candidate.name);
        const std::optional<TrashInfo> info = topItemInfo(previousInfos, folder, candidate.name);
        if (info) {
            if (info->path)
                item.originalPath = absoluteOriginalPath(*info->path, folder.directory.topDir);
            item.deletionDate = info->deletionDate;
        }
        status.topItems.append(std::move(item));
    }
    return std::move(status);
}
} // namespace rubbly
