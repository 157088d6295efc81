#include "TrashStore.h"

#include "AppIdentity.h"
#include "ByteCounts.h"
#include "DirectoryListing.h"
#include "MountAwareStat.h"
#include "PosixFd.h"
#include "TreeRemover.h"

#include <QFile>
#include <QLoggingCategory>
#include <QSet>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <iterator>
#include <limits>
#include <numeric>
#include <system_error>
#include <thread>
#include <time.h>
#include <unistd.h>

namespace rubbly {

namespace {

Q_LOGGING_CATEGORY(lcTrash, RUBBLY_APP_ID ".Trash")

constexpr int kOpenDirFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;
constexpr qsizetype kNameMax = 255;
const QByteArray kInfoSuffix = QByteArrayLiteral(".trashinfo");

QString describe(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

bool isPermissionError(int error)
{
    return error == EACCES || error == EPERM;
}

QByteArray canonicalPath(const QByteArray& path)
{
    char buffer[PATH_MAX];
    if (::realpath(path.constData(), buffer))
        return QByteArray(buffer);
    return {};
}

bool isUnder(const QByteArray& path, const QByteArray& dir)
{
    if (dir == "/")
        return true;
    return path == dir || (path.startsWith(dir) && path.size() > dir.size() && path[dir.size()] == '/');
}

// Drops bytes from the end of `text` until it is at most `max` bytes, without cutting a UTF-8
// sequence in half (names that are not UTF-8 are cut anywhere, they cannot get worse).
QByteArray truncateName(const QByteArray& text, qsizetype max)
{
    if (text.size() <= max)
        return text;
    qsizetype cut = max;
    while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80)
        --cut;
    return text.left(cut);
}

// The n-th candidate name for `name` in a trash: "name", then "stem.2.ext", "stem.3.ext", … each
// short enough that its info file name still fits in NAME_MAX.
QByteArray candidateName(const QByteArray& name, int n)
{
    const qsizetype dot = name.lastIndexOf('.');
    const bool hasExtension = dot > 0 && name.size() - dot <= 32;
    const QByteArray stem = hasExtension ? name.left(dot) : name;
    const QByteArray extension = hasExtension ? name.mid(dot) : QByteArray();
    const QByteArray suffix = n == 1 ? QByteArray() : '.' + QByteArray::number(n);
    const qsizetype room = kNameMax - kInfoSuffix.size() - suffix.size() - extension.size();
    return truncateName(stem, std::max<qsizetype>(room, 1)) + suffix + extension;
}

// The problem of a trash folder whose files/ could not be listed (to the end).
TrashFolderProblem unlistable(const TrashDirectory& directory, int error)
{
    return TrashFolderProblem{directory.path, QStringLiteral("files/ cannot be listed: %1").arg(describe(error)),
                              error};
}

// A cleanup's result before it removes anything: the folders it cannot use are its first problems.
TrashCleanupResult cleanupOf(const QList<TrashFolderProblem>& problems)
{
    TrashCleanupResult result;
    for (const TrashFolderProblem& problem : problems)
        result.problems.append(problem.message());
    return result;
}

QByteArray absoluteOriginalPath(const QByteArray& infoPath, const QByteArray& topDir)
{
    // The home trash's info files hold absolute paths: a relative one there names no place, and is
    // shown as written rather than as if it were below the root.
    if (infoPath.startsWith('/') || topDir.isEmpty())
        return infoPath;
    if (topDir == "/")
        return '/' + infoPath;
    return topDir + '/' + infoPath;
}

} // namespace

TrashStore::TrashStore(TrashLocations locations, WalkOptions walkOptions, QTimeZone zone)
    : m_locations(std::move(locations))
    , m_walker([&] {
        // Every size here is what emptying frees, as `du -B1` counts it: the folders' own blocks too,
        // and nothing spared.
        walkOptions.countFolders = true;
        walkOptions.spare = nullptr;
        walkOptions.stop = &m_stop;
        return walkOptions;
    }())
    , m_zone(std::move(zone))
{
}

namespace {

// "<name>.trashinfo" in `buffer`, on the stack: this runs for every entry of every scan. False when
// the name is too long to have an info file.
bool infoFileName(QByteArrayView name, char (&buffer)[kNameMax + 16])
{
    if (name.size() > kNameMax)
        return false;
    std::memcpy(buffer, name.data(), static_cast<size_t>(name.size()));
    std::memcpy(buffer + name.size(), kInfoSuffix.constData(), static_cast<size_t>(kInfoSuffix.size()) + 1);
    return true;
}

bool sameFile(const struct stat& st, const timespec& mtime, off_t size, ino_t inode)
{
    return st.st_mtim.tv_sec == mtime.tv_sec && st.st_mtim.tv_nsec == mtime.tv_nsec && st.st_size == size &&
           st.st_ino == inode;
}

// Removes the info file `name` of a removed entry if it is still the one looked at before the
// removal (`seen`). A put may claim a freed name at once; its new info file is not ours to take.
// `onlyIfOlderThan`, when given, also spares an info file whose mtime is later.
void removeInfoFile(int infoFd, const QByteArray& name, const struct stat& seen,
                    std::optional<time_t> onlyIfOlderThan = std::nullopt)
{
    char infoName[kNameMax + 16];
    struct stat now = {};
    if (!infoFileName(name, infoName) || ::fstatat(infoFd, infoName, &now, AT_SYMLINK_NOFOLLOW) != 0 ||
        now.st_ino != seen.st_ino || now.st_dev != seen.st_dev)
        return;
    if (onlyIfOlderThan && now.st_mtim.tv_sec > *onlyIfOlderThan)
        return;
    ::unlinkat(infoFd, infoName, 0);
}

time_t secondsNow()
{
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    return now.tv_sec;
}

} // namespace

namespace {

constexpr qint64 kNoDate = std::numeric_limits<qint64>::min();

qint64 toMicros(const std::optional<Timestamp>& t)
{
    return t ? t->time_since_epoch().count() : kNoDate;
}

std::optional<Timestamp> fromMicros(qint64 micros)
{
    if (micros == kNoDate)
        return std::nullopt;
    return Timestamp{std::chrono::microseconds(micros)};
}

qint64 nanoseconds(const timespec& t)
{
    return t.tv_sec * 1'000'000'000LL + t.tv_nsec;
}

bool sameFile(const struct stat& st, qint64 mtimeNs, off_t size, ino_t inode)
{
    return nanoseconds(st.st_mtim) == mtimeNs && st.st_size == size && st.st_ino == inode;
}

// What the pass learns of one entry before it knows whether the entry is worth a name.
struct ScannedEntry {
    qint64 size = 0;
    qint64 modified = kNoDate;
    // Position in the listing over every trash folder: ties of size keep this order.
    qint64 order = 0;
    quint32 folder = 0;
    FileCategory category = FileCategory::Other;
    bool isDirectory = false;
};

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

} // namespace

// Every entry a listing pass saw, as small rows; their names and original paths share one buffer, so
// an entry costs its bytes and a few numbers rather than a string object per field.
struct TrashStore::EntryTable {
    struct Row {
        ScannedEntry entry;
        qint64 deleted = kNoDate;
        qsizetype name = 0;
        qsizetype original = 0;
        int originalLength = -1; // none
        int nameLength = 0;
    };
    // The listed trash folders, by ScannedEntry::folder.
    std::vector<TrashDirectory> folders;
    std::vector<Row> rows;
    QByteArray bytes;

    std::size_t append(const ScannedEntry& entry, QByteArrayView name)
    {
        rows.push_back(Row{entry, kNoDate, bytes.size(), 0, -1, static_cast<int>(name.size())});
        bytes.append(name);
        return rows.size() - 1;
    }
    QByteArrayView name(const Row& row) const { return QByteArrayView(bytes).sliced(row.name, row.nameLength); }
    TrashItemDetail detail(const Row& row) const
    {
        TrashItemDetail item = detailOf(folders[row.entry.folder], row.entry, name(row));
        if (row.originalLength >= 0)
            item.originalPath = bytes.mid(row.original, row.originalLength);
        item.deletionDate = fromMicros(row.deleted);
        return item;
    }
};

bool TrashStore::statInfo(int infoFd, QByteArrayView name, struct stat* infoStat)
{
    char infoName[kNameMax + 16];
    return infoFd >= 0 && infoFileName(name, infoName) &&
           ::fstatat(infoFd, infoName, infoStat, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(infoStat->st_mode);
}

std::optional<TrashInfo> TrashStore::readInfo(int infoFd, QByteArrayView name)
{
    return readInfo(infoFd, name, m_zone, m_infoReads);
}

std::optional<TrashInfo> TrashStore::readInfo(int infoFd, QByteArrayView name, const QTimeZone& zone, int& reads)
{
    char infoName[kNameMax + 16];
    if (infoFd < 0 || !infoFileName(name, infoName))
        return std::nullopt;
    // Opened anew and checked on the descriptor: a stat before says what the name was, not what it
    // is now, and a FIFO swapped in would otherwise block the read.
    ++reads;
    return TrashInfo::read(infoFd, infoName, zone);
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

TrashStore::SizeCache TrashStore::readSizeCache(const OpenTrashFolder& folder, bool* untrusted)
{
    *untrusted = false;
    // A link, a FIFO or a file beyond its kind's size is neither followed, waited for nor read; the
    // pass writes the file anew from its own measurements.
    const auto read = readDirectorySizes(folder.folder.get());
    if (!read) {
        *untrusted = read.error().kind != UntrustedReadError::Kind::Missing;
        return {};
    }
    return *read;
}

void TrashStore::writeSizeCache(const OpenTrashFolder& folder, const SizeCache& cache)
{
    writeDirectorySizes(folder.folder.get(), cache);
}

bool TrashStore::FolderStamp::operator==(const FolderStamp& other) const
{
    const auto same = [](const timespec& a, const timespec& b) {
        return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
    };
    return path == other.path && device == other.device && filesInode == other.filesInode &&
           infoInode == other.infoInode && same(filesMtime, other.filesMtime) && same(filesCtime, other.filesCtime) &&
           same(infoMtime, other.infoMtime) && same(infoCtime, other.infoCtime);
}

TrashStore::Snapshot TrashStore::snapshot(const OpenFolders& open, const timespec& takenAt)
{
    Snapshot result;
    result.takenAt = takenAt;
    // A pass that could not use every folder is not trusted later: the next one tries them again.
    result.complete = open.problems.isEmpty();
    for (const OpenTrashFolder& folder : open.folders) {
        const struct stat& files = folder.filesStat;
        const struct stat& info = folder.infoStat;
        result.stamps.append(FolderStamp{folder.directory.path, files.st_dev, files.st_ino, info.st_ino, files.st_mtim,
                                         files.st_ctim, info.st_mtim, info.st_ctim});
    }
    return result;
}

bool TrashStore::unchangedSince(const Snapshot& now, const Snapshot& before)
{
    // Trusted while every folder's stamp is the same and its mtimes were already old when the
    // earlier pass began: a folder changed within the file system's timestamp granularity of it (two
    // seconds covers FAT) could change again with the same mtime. The ctimes catch a program that
    // sets a folder's mtime back after changing it (rsync, tar).
    if (!now.complete || !before.complete || now.stamps != before.stamps)
        return false;
    const auto settled = [&](const timespec& t) { return t.tv_sec + 2 < before.takenAt.tv_sec; };
    return std::all_of(now.stamps.cbegin(), now.stamps.cend(),
                       [&](const FolderStamp& s) { return settled(s.filesMtime) && settled(s.infoMtime); });
}

void TrashStore::report(const TrashFolderProblem& problem)
{
    const QString message = problem.message();
    if (!m_reported.contains(message)) {
        m_reported.insert(message);
        qCWarning(lcTrash).noquote() << message;
    }
}

TrashStore::OpenFolders TrashStore::openFolders(bool create)
{
    OpenFolders result;
    QList<TrashFolderProblem> notAnswering;
    for (const TrashDirectory& directory : m_locations.trashDirectories(&notAnswering)) {
        auto opened = m_locations.open(directory, create && directory.isHome);
        if (opened) {
            result.folders.push_back(std::move(opened.value()));
        } else {
            result.problems.append(opened.error());
            report(result.problems.last());
        }
    }
    // A volume that does not answer is skipped, not waited for, and said so like a folder that
    // cannot be used: what it holds is missing from the pass.
    for (const TrashFolderProblem& problem : std::as_const(notAnswering)) {
        result.problems.append(problem);
        report(problem);
    }
    return result;
}

TrashStatusResult TrashStore::scan()
{
    return scanFolders(nullptr);
}

TrashStatusResult TrashStore::list(TrashEntryOrder order, const std::function<void(const TrashStatus&)>& begin,
                                   const std::function<void(const TrashItemDetail&)>& entry)
{
    EntryTable table;
    TrashStatusResult result = scanFolders(&table);
    if (!result)
        return result;
    begin(result.value());
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
    return result;
}

TrashEntryListResult TrashStore::entryList(TrashListSizing sizing)
{
    EntryTable table;
    const TrashStatusResult status = scanFolders(&table, sizing);
    if (!status)
        return status.error();
    // In the listing's order: both of the list's orders keep it among equals, as list() does.
    TrashEntryList list;
    list.reserve(static_cast<qsizetype>(table.rows.size()), table.bytes.size());
    const QByteArrayView bytes(table.bytes);
    for (const EntryTable::Row& row : table.rows) {
        list.append(TrashEntryList::Fields{
            table.folders[row.entry.folder].path, table.name(row),
            row.originalLength >= 0 ? std::optional(bytes.sliced(row.original, row.originalLength)) : std::nullopt,
            row.entry.size, fromMicros(row.deleted), row.entry.category, row.entry.isDirectory});
    }
    list.finish();
    return list;
}

template <typename Folders>
int TrashStore::readInfoFilesInto(EntryTable& table, const Folders& folders, std::size_t from, std::size_t to,
                                  const QTimeZone& zone, QByteArray& bytes)
{
    int reads = 0;
    for (std::size_t i = from; i < to; ++i) {
        EntryTable::Row& row = table.rows[i];
        const OpenTrashFolder& folder = *folders[row.entry.folder].open;
        const std::optional<TrashInfo> info = readInfo(folder.info.get(), table.name(row), zone, reads);
        if (!info)
            continue;
        row.deleted = toMicros(info->deletionDate);
        if (info->path) {
            const QByteArray original = absoluteOriginalPath(*info->path, folder.directory.topDir);
            row.original = bytes.size(); // within `bytes` until the caller adopts it
            row.originalLength = static_cast<int>(original.size());
            bytes.append(original);
        }
    }
    return reads;
}

TrashStatusResult TrashStore::scanFolders(EntryTable* table, TrashListSizing sizing)
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
    bool complete = before.complete;

    TrashStatus status;
    status.folderProblems = open.problems;
    bool permissionFailure = false;
    for (const TrashFolderProblem& problem : std::as_const(open.problems))
        permissionFailure = permissionFailure || isPermissionError(problem.errorCode);

    // A listed trash folder and what its directorysizes file said and is to say.
    struct ListedFolder {
        const OpenTrashFolder* open;
        SizeCache oldSizes;
        SizeCache sizes;
        bool rewriteSizes = false;
    };
    std::vector<ListedFolder> listedFolders;
    listedFolders.reserve(open.folders.size());
    // A folder entry that directorysizes cannot answer for, and its info file's mtime when it has one.
    struct PendingWalk {
        ScannedEntry entry;
        std::optional<timespec> infoMtime;
        std::size_t row = 0;
    };
    std::vector<WalkRoot> roots;
    std::vector<PendingWalk> pending;
    Tally tally;
    qint64 order = 0;

    for (const OpenTrashFolder& folder : open.folders) {
        const TrashDirectory& directory = folder.directory;
        bool untrusted = false;
        ListedFolder listing{&folder, readSizeCache(folder, &untrusted), {}, false};
        listing.rewriteSizes = untrusted;
        // What this folder adds, kept apart until its listing has ended well: a folder that cannot be
        // read to the end counts as not listed at all.
        Tally folderTally;
        std::vector<WalkRoot> folderRoots;
        std::vector<PendingWalk> folderPending;
        const std::size_t rowsBefore = table ? table->rows.size() : 0;
        const qsizetype bytesBefore = table ? table->bytes.size() : 0;
        const int dirFd = folder.files.get();
        const int infoFd = folder.info.get();
        const auto folderIndex = static_cast<quint32>(listedFolders.size());
        const int listError = forEachDirectoryName(dirFd, [&](QByteArrayView name) {
            ScannedEntry entry;
            entry.order = order++;
            entry.folder = folderIndex;
            entry.category = categoryForRawName(name);
            struct stat st = {};
            std::optional<timespec> infoMtime;
            bool walk = false;
            if (::fstatat(dirFd, name.data(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
                // Vanished since the listing, or unreadable: listed without size or date.
            } else if (!S_ISDIR(st.st_mode)) {
                entry.modified = toMicros(fromTimespec(st.st_mtim));
                entry.size = allocatedBytes(st.st_blocks);
            } else {
                entry.isDirectory = true;
                entry.modified = toMicros(fromTimespec(st.st_mtim));
                // The info file is looked at before its entry is walked: a directorysizes line is
                // keyed to the mtime seen first, so an entry trashed anew while we walk is measured
                // again next time rather than trusted with the old size.
                struct stat infoSt = {};
                if (statInfo(infoFd, name, &infoSt))
                    infoMtime = infoSt.st_mtim;
                // Only our own current lines are trusted: KDE's hold apparent sizes, and ours from
                // before folders' blocks were counted fall short. Both are measured once and rewritten.
                const QByteArray key = QByteArray::fromRawData(name.data(), name.size());
                const auto cached = listing.oldSizes.constFind(key);
                if (infoMtime && cached != listing.oldSizes.cend() && cached->measured && cached->matches(*infoMtime)) {
                    entry.size = cached->size;
                    listing.sizes.insert(name.toByteArray(), *cached);
                } else {
                    walk = true;
                }
            }
            const std::size_t row = table ? table->append(entry, name) : 0;
            if (walk) {
                // Seen as a folder just now: the walker opens it and checks what it opened.
                folderRoots.push_back(WalkRoot{dirFd, name.toByteArray(), folder.filesStat.st_dev});
                folderPending.push_back(PendingWalk{entry, infoMtime, row});
            } else {
                folderTally.add(entry, name);
            }
        });
        if (listError != 0) {
            complete = false;
            permissionFailure = permissionFailure || isPermissionError(listError);
            status.folderProblems.append(unlistable(directory, listError));
            report(status.folderProblems.last());
            if (table) {
                table->rows.resize(rowsBefore);
                table->bytes.truncate(bytesBefore);
            }
            continue;
        }
        status.trashFolders.append(directory.path);
        tally.merge(folderTally);
        std::move(folderRoots.begin(), folderRoots.end(), std::back_inserter(roots));
        std::move(folderPending.begin(), folderPending.end(), std::back_inserter(pending));
        if (table)
            table->folders.push_back(directory);
        listedFolders.push_back(std::move(listing));
    }

    // A full listing reads every info file, on this thread while the walker's helper starts on the
    // folders: on a first scan of many small entries that is a fifth of the work, and it needs no
    // walking at all. Opening and reading the info files is most of a full listing's time, so with
    // more than one thread allowed a second one reads the later half of them.
    const auto readInfoFiles = [&] {
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
            for (std::size_t i = from; i < to; ++i)
                table->rows[i].original += base;
            table->bytes.append(bytes);
        };
        adopt(0, earlierEnd, earlierBytes);
        if (later)
            adopt(half, count, laterBytes);
    };
    // Every folder entry of every trash folder is measured in one batch, so both threads stay busy
    // even when each entry is small; measured one after the other, one thread would do nearly all.
    std::vector<WalkResult> walks;
    if (measure) {
        walks = m_walker.measureEach(roots, table ? std::function<void()>(readInfoFiles) : std::function<void()>());
        m_walks += static_cast<int>(roots.size());
    } else {
        // Reading only: the folders left unmeasured are listed without a size and counted in no
        // total, so this status is not one to answer a later scan with.
        if (table) {
            readInfoFiles();
            for (const PendingWalk& walked : pending)
                table->rows[walked.row].entry.size = TrashEntryList::kUnknownSize;
        }
        roots.clear();
        complete = false;
    }
    for (std::size_t i = 0; i < roots.size(); ++i) {
        PendingWalk& walked = pending[i];
        const QByteArray& name = roots[i].name;
        walked.entry.size = walks[i].bytes;
        if (table)
            table->rows[walked.row].entry.size = walks[i].bytes;
        tally.add(walked.entry, name);
        // Only a complete measurement is kept: the file is trusted for as long as the info file is
        // unchanged, so a partial size (a folder we could not read, an entry that vanished while
        // we walked) would outlive the reason it was partial.
        ListedFolder& folder = listedFolders[walked.entry.folder];
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
        complete = complete && walks[i].errors == 0;
    }
    for (const ListedFolder& folder : listedFolders) {
        if (measure && (folder.rewriteSizes || folder.sizes != folder.oldSizes))
            writeSizeCache(*folder.open, folder.sizes);
    }

    if (listedFolders.empty()) {
        m_topInfos.clear();
        if (open.folders.empty() && open.problems.isEmpty())
            return TrashError{TrashServiceError::TrashURLUnavailable, 0, QStringLiteral("no trash folder was found")};
        QStringList messages;
        for (const TrashFolderProblem& problem : std::as_const(status.folderProblems))
            messages.append(problem.message());
        return TrashError{permissionFailure ? TrashServiceError::PermissionDenied : TrashServiceError::FileSystem,
                          permissionFailure ? EACCES : 0, messages.join(QStringLiteral("; "))};
    }

    status.totalSize = tally.total;
    status.itemCount = static_cast<int>(std::min<qint64>(tally.count, std::numeric_limits<int>::max()));
    status.categoryDistribution = std::move(tally.sums);
    // Only the largest entries get their info file read, and only when it changed since the last scan.
    const QList<KnownInfo> previousInfos = std::exchange(m_topInfos, {});
    for (const Tally::Candidate& candidate : tally.top) {
        const OpenTrashFolder& folder = *listedFolders[candidate.entry.folder].open;
        TrashItemDetail item = detailOf(folder.directory, candidate.entry, candidate.name);
        const std::optional<TrashInfo> info = topItemInfo(previousInfos, folder, candidate.name);
        if (info) {
            if (info->path)
                item.originalPath = absoluteOriginalPath(*info->path, folder.directory.topDir);
            item.deletionDate = info->deletionDate;
        }
        status.topItems.append(std::move(item));
    }
    if (complete)
        m_lastScan = LastScan{std::move(before), status};
    return status;
}

TrashCleanupOutcome TrashStore::emptyAll()
{
    // Our own changes would show in the stamps too; dropping what we knew says so plainly.
    m_lastScan.reset();
    m_ageGate.reset();
    OpenFolders open = openFolders();
    if (open.folders.empty() && open.problems.isEmpty())
        return TrashError{TrashServiceError::TrashURLUnavailable, 0, QStringLiteral("no trash folder was found")};

    TrashCleanupResult result = cleanupOf(open.problems);
    const time_t settledBefore = secondsNow() - kPutInFlightMargin.count();
    for (const OpenTrashFolder& folder : open.folders) {
        const TrashDirectory& directory = folder.directory;
        const int filesFd = folder.files.get();
        const int infoFd = folder.info.get();
        std::vector<Doomed> doomed;
        const int listError =
            forEachDirectoryName(filesFd, [&](QByteArrayView name) { doomed.push_back(Doomed{name.toByteArray()}); });
        if (listError != 0) {
            const TrashFolderProblem problem = unlistable(directory, listError);
            report(problem);
            result.problems.append(problem.message());
            continue;
        }
        removeEntries(folder, doomed, settledBefore, result);

        if (!m_stop.load(std::memory_order_relaxed)) {
            // Info files without data: left behind by a put that failed, or by another program. One
            // written lately may be a put in flight (its data not moved yet), so it waits.
            int infoError = 0;
            for (const QByteArray& infoName : readDirectoryNames(infoFd, false, &infoError)) {
                if (!infoName.endsWith(kInfoSuffix))
                    continue;
                const QByteArray name = infoName.left(infoName.size() - kInfoSuffix.size());
                struct stat data = {};
                struct stat infoStat = {};
                if (::fstatat(filesFd, name.constData(), &data, AT_SYMLINK_NOFOLLOW) != 0 && errno == ENOENT &&
                    ::fstatat(infoFd, infoName.constData(), &infoStat, AT_SYMLINK_NOFOLLOW) == 0 &&
                    infoStat.st_mtim.tv_sec <= settledBefore)
                    ::unlinkat(infoFd, infoName.constData(), 0);
            }
            if (infoError != 0)
                result.problems.append(TrashFolderProblem{
                    directory.path, QStringLiteral("info/ cannot be listed: %1").arg(describe(infoError)), infoError}
                                           .message());
        }
    }
    return result;
}

TrashCleanupOutcome TrashStore::removeDeletedBefore(Timestamp cutoff)
{
    // The rule runs after every scan; on an unchanged Trash whose oldest entry is younger than the
    // cut-off, listing it again would find nothing to remove.
    timespec startedAt{};
    ::clock_gettime(CLOCK_REALTIME, &startedAt);
    OpenFolders open = openFolders();
    if (open.folders.empty() && open.problems.isEmpty())
        return TrashError{TrashServiceError::TrashURLUnavailable, 0, QStringLiteral("no trash folder was found")};
    Snapshot before = snapshot(open, startedAt);
    if (m_ageGate && unchangedSince(before, m_ageGate->snapshot) &&
        (!m_ageGate->oldest || *m_ageGate->oldest >= cutoff)) {
        TrashCleanupResult unchanged;
        unchanged.undatedCount = m_ageGate->undated;
        return unchanged;
    }
    m_ageGate.reset();
    ++m_listings;
    bool complete = before.complete;
    std::optional<Timestamp> oldest;
    QHash<QByteArray, std::vector<KnownDate>> knownDates;
    TrashCleanupResult result = cleanupOf(open.problems);
    const time_t settledBefore = secondsNow() - kPutInFlightMargin.count();

    for (const OpenTrashFolder& folder : open.folders) {
        const TrashDirectory& directory = folder.directory;
        const int infoFd = folder.info.get();
        const std::vector<KnownDate> previous = m_knownDates.value(directory.path);
        std::vector<KnownDate>& known = knownDates[directory.path];
        // The old entries are gathered first and deleted once the listing is done, so the folder
        // never changes under its own listing; the others cost no name.
        std::vector<Doomed> old;
        int undated = 0;
        const int listError = forEachDirectoryName(folder.files.get(), [&](QByteArrayView name) {
            struct stat infoSt = {};
            if (!statInfo(infoFd, name, &infoSt)) {
                ++undated; // no info file, no date: never removed by age
                return;
            }
            const quint64 hash = qHash(name, 0);
            auto hit = std::lower_bound(previous.cbegin(), previous.cend(), hash,
                                        [](const KnownDate& k, quint64 h) { return k.nameHash < h; });
            while (hit != previous.cend() && hit->nameHash == hash &&
                   !sameFile(infoSt, hit->mtimeNs, hit->size, hit->inode))
                ++hit;
            std::optional<Timestamp> date;
            if (hit != previous.cend() && hit->nameHash == hash) {
                date = fromMicros(hit->deletedUs);
            } else if (const auto info = readInfo(infoFd, name)) {
                date = info->deletionDate;
            }
            known.push_back(
                KnownDate{hash, infoSt.st_ino, nanoseconds(infoSt.st_mtim), infoSt.st_size, toMicros(date)});
            if (date && *date < cutoff)
                old.push_back(
                    Doomed{name.toByteArray(), true, infoSt.st_ino, nanoseconds(infoSt.st_mtim), infoSt.st_size});
            else if (date && (!oldest || *date < *oldest))
                oldest = date;
            else if (!date)
                ++undated;
        });
        if (listError != 0) {
            complete = false;
            const TrashFolderProblem problem = unlistable(directory, listError);
            report(problem);
            result.problems.append(problem.message());
            // What could be read of a folder is not trusted: an entry may have been listed twice.
            known.clear();
            continue;
        }
        result.undatedCount += undated;
        std::sort(known.begin(), known.end(),
                  [](const KnownDate& a, const KnownDate& b) { return a.nameHash < b.nameHash; });
        if (!old.empty())
            removeEntries(folder, old, settledBefore, result);
    }
    m_knownDates = std::move(knownDates);
    if (result.removedCount > 0 || result.failedCount > 0)
        m_lastScan.reset();
    else if (complete)
        m_ageGate = AgeGate{std::move(before), oldest, result.undatedCount};
    return result;
}

void TrashStore::removeEntries(const OpenTrashFolder& folder, const std::vector<Doomed>& doomed, time_t settledBefore,
                               TrashCleanupResult& result, const EntryFate& fate)
{
    const TrashDirectory& directory = folder.directory;
    const int filesFd = folder.files.get();
    const int infoFd = folder.info.get();
    bool untrusted = false;
    SizeCache sizes = readSizeCache(folder, &untrusted);
    const qsizetype cachedBefore = sizes.size();
    const auto entryPath = [&](const QByteArray& name) {
        return QFile::decodeName(directory.filesPath() + '/' + name);
    };
    for (std::size_t index = 0; index < doomed.size(); ++index) {
        const Doomed& entry = doomed[index];
        if (m_stop.load(std::memory_order_relaxed))
            break;
        const QByteArray& name = entry.name;
        struct stat infoSt = {};
        const bool hasInfo = statInfo(infoFd, name, &infoSt);
        // Picked by an info file that is no longer there: the name was freed and trashed anew since.
        if (entry.checked && (!hasInfo || !sameFile(infoSt, entry.mtimeNs, entry.size, entry.inode))) {
            if (fate)
                fate(index, false, 0,
                     QStringLiteral("%1 was replaced in the Trash meanwhile: it stays").arg(entryPath(name)));
            continue;
        }
        std::optional<qint64> knownSize;
        if (const auto cached = sizes.constFind(name);
            hasInfo && cached != sizes.cend() && cached->measured && cached->matches(infoSt.st_mtim))
            knownSize = cached->size;

        TreeRemover remover(RemovalOptions{!knownSize.has_value(), true, nullptr, &m_stop});
        const RemovalResult removal = remover.remove(filesFd, name.constData());
        if (!removal.complete) {
            // The info file stays so the entry stays listed and can be retried or restored.
            ++result.failedCount;
            const QString why =
                removal.mountPoint.isEmpty()
                    ? QStringLiteral("%1 could not be deleted completely: it stays in the Trash").arg(entryPath(name))
                    : QStringLiteral("%1 holds the mount point %2, which is never entered: it stays in the Trash")
                          .arg(entryPath(name), entryPath(removal.mountPoint));
            if (!removal.mountPoint.isEmpty())
                result.problems.append(why);
            if (fate)
                fate(index, false, 0, why);
            continue;
        }
        sizes.remove(name);
        // The data is gone, so its info file goes. Data that was gone before we came (another
        // emptying got there first, and removes the info file itself) may also be a put's name
        // freed and claimed again: then the info file is only taken once no put can be in flight.
        if (hasInfo)
            removeInfoFile(infoFd, name, infoSt,
                           removal.alreadyGone ? std::optional<time_t>(settledBefore) : std::nullopt);
        if (removal.alreadyGone) {
            if (fate)
                fate(index, false, 0, QStringLiteral("%1 is no longer in the Trash").arg(entryPath(name)));
            continue;
        }
        ++result.removedCount;
        const qint64 freed = knownSize.value_or(removal.removedBytes);
        result.freedBytes = saturatingAdd(result.freedBytes, freed);
        if (fate)
            fate(index, true, freed, {});
    }
    if (untrusted || sizes.size() != cachedBefore)
        writeSizeCache(folder, sizes);
}

TrashRemoveReport TrashStore::removeNamed(const QList<TrashEntryRef>& entries)
{
    m_lastScan.reset();
    m_ageGate.reset();
    struct Fate {
        bool decided = false;
        bool removed = false;
        qint64 freed = 0;
        QString why;
    };
    std::vector<Fate> fates(static_cast<std::size_t>(entries.size()));
    const auto entryPath = [&](const TrashEntryRef& ref) {
        return QFile::decodeName(ref.trashFolder + "/files/" + ref.name);
    };
    for (qsizetype i = 0; i < entries.size(); ++i) {
        const QByteArray& name = entries[i].name;
        if (name.isEmpty() || name.contains('/') || name == "." || name == ".." || name.size() > kNameMax)
            fates[std::size_t(i)] =
                Fate{true, false, 0, QStringLiteral("%1 is not the name of an entry").arg(entryPath(entries[i]))};
    }
    OpenFolders open = openFolders();
    const time_t settledBefore = secondsNow() - kPutInFlightMargin.count();
    for (const OpenTrashFolder& folder : open.folders) {
        std::vector<Doomed> doomed;
        std::vector<std::size_t> positions;
        for (qsizetype i = 0; i < entries.size(); ++i) {
            if (!fates[std::size_t(i)].decided && entries[i].trashFolder == folder.directory.path) {
                doomed.push_back(Doomed{entries[i].name});
                positions.push_back(std::size_t(i));
                // Marked now: an entry named twice is deleted once, and the second time is gone.
                fates[std::size_t(i)].decided = true;
                fates[std::size_t(i)].why =
                    QStringLiteral("%1 was not deleted: the program is quitting").arg(entryPath(entries[i]));
            }
        }
        if (doomed.empty())
            continue;
        TrashCleanupResult counts;
        removeEntries(folder, doomed, settledBefore, counts,
                      [&](std::size_t index, bool removed, qint64 freed, const QString& why) {
                          fates[positions[index]] = Fate{true, removed, freed, why};
                      });
    }
    TrashRemoveReport report;
    for (qsizetype i = 0; i < entries.size(); ++i) {
        const Fate& fate = fates[std::size_t(i)];
        if (fate.removed) {
            report.removed.append(entries[i]);
            report.freedBytes = saturatingAdd(report.freedBytes, fate.freed);
            continue;
        }
        QString why = fate.why;
        if (!fate.decided) {
            // Its folder was not opened: say why when it is one that cannot be used.
            why = QStringLiteral("%1 is not in a trash folder in use").arg(entryPath(entries[i]));
            for (const TrashFolderProblem& problem : std::as_const(open.problems)) {
                if (problem.path == entries[i].trashFolder)
                    why = QStringLiteral("%1 stays: %2").arg(entryPath(entries[i]), problem.message());
            }
        }
        report.failures.append(TrashError{TrashServiceError::FileSystem, 0, why});
    }
    return report;
}

bool TrashStore::isEmpty() const
{
    const auto holdsAnything = [](const QByteArray& path) {
        PosixFd fd(::open(path.constData(), kOpenDirFlags | O_NOFOLLOW));
        DIR* dir = fd.isValid() ? ::fdopendir(fd.get()) : nullptr;
        if (!dir)
            return false;
        fd.release();
        bool any = false;
        while (const dirent* e = ::readdir(dir)) {
            if (std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0) {
                any = true;
                break;
            }
        }
        ::closedir(dir);
        return any;
    };
    // A volume that does not answer may hold anything: the Trash is not known to be empty.
    QList<TrashFolderProblem> notAnswering;
    const QList<TrashDirectory> folders = m_locations.trashDirectories(&notAnswering);
    return notAnswering.isEmpty() && std::none_of(folders.cbegin(), folders.cend(), [&](const TrashDirectory& folder) {
               return holdsAnything(folder.filesPath()) || holdsAnything(folder.infoPath());
           });
}

TrashPutResult TrashStore::put(const QByteArray& rawPath, Timestamp now, TrashEntryRef* created, TrashInfoStamp* stamp)
{
    const auto fail = [&rawPath](int error, const QString& why) {
        return TrashError{TrashServiceError::FileSystem, error,
                          QStringLiteral("cannot move %1 to the Trash: %2").arg(QFile::decodeName(rawPath), why)};
    };
    if (rawPath.isEmpty())
        return fail(ENOENT, describe(ENOENT));

    QByteArray path = rawPath;
    if (!path.startsWith('/')) {
        char cwd[PATH_MAX];
        if (!::getcwd(cwd, sizeof cwd))
            return fail(errno, describe(errno));
        path = QByteArray(cwd) + '/' + path;
    }
    while (path.size() > 1 && path.endsWith('/'))
        path.chop(1);
    const qsizetype slash = path.lastIndexOf('/');
    const QByteArray parent = slash == 0 ? QByteArray("/") : path.left(slash);
    const QByteArray name = path.mid(slash + 1);
    if (name.isEmpty() || name == "." || name == "..")
        return fail(EINVAL, QStringLiteral("not a file or folder name"));
    // The first look at the file would block on a volume already known not to answer.
    if (m_locations.onVolumeNotAnswering(path))
        return fail(ETIMEDOUT, QStringLiteral("its volume is not answering"));

    PosixFd parentFd(::open(parent.constData(), kOpenDirFlags));
    if (!parentFd.isValid())
        return fail(errno, describe(errno));
    MountAwareStat entry;
    if (!mountAwareStat(parentFd.get(), name.constData(), entry))
        return fail(errno, describe(errno));
    const struct stat& st = entry.st;
    if (entry.mountRoot)
        return fail(EBUSY, QStringLiteral("it is a mount point"));
    const QByteArray canonicalParent = canonicalPath(parent);
    if (canonicalParent.isEmpty())
        return fail(errno, describe(errno));
    const QByteArray canonical = (canonicalParent == "/" ? QByteArray() : canonicalParent) + '/' + name;

    // Never move a trash into itself, nor re-trash what is already there.
    m_lastScan.reset();
    m_ageGate.reset();
    m_locations.ensureHomeTrash();
    // By name, from the path's own volume: a drop of many files looks at no other volume.
    for (const QByteArray& trash : m_locations.trashPathsAround(canonical)) {
        if (isUnder(canonical, trash))
            return fail(EINVAL, QStringLiteral("it is already in the Trash"));
        if (isUnder(trash, canonical))
            return fail(EINVAL, QStringLiteral("it contains the Trash"));
    }
    // A folder holding a mount point would carry it into the Trash, where only the emptying's own
    // care would keep the other file system's files; such a folder is not moved at all.
    if (S_ISDIR(st.st_mode)) {
        const auto mounts = TrashLocations::mountPointsAtOrBelow(canonical);
        if (!mounts)
            return fail(EIO, QStringLiteral("the mount table cannot be read to check that it holds no mount point"));
        if (!mounts->isEmpty())
            return fail(EBUSY, QStringLiteral("it holds the mount point %1").arg(QFile::decodeName(mounts->first())));
    }

    const auto trash = m_locations.trashFor(canonical, st.st_dev);
    if (!trash)
        return fail(EXDEV, QStringLiteral("its volume has no trash (temporary, read-only or system file system)"));
    auto opened = m_locations.open(*trash, true);
    if (!opened)
        return fail(opened.error().errorCode, opened.error().message());
    const int filesFd = opened->files.get();
    const int infoFd = opened->info.get();

    QByteArray infoPathValue = canonical;
    if (!trash->isHome && isUnder(canonical, trash->topDir))
        infoPathValue = trash->topDir == "/" ? canonical.mid(1) : canonical.mid(trash->topDir.size() + 1);
    const QByteArray content = TrashInfo::serialize(infoPathValue, now, m_zone);

    for (int n = 1; n < 100000; ++n) {
        const QByteArray candidate = candidateName(name, n);
        const QByteArray infoName = candidate + kInfoSuffix;
        // The info file is claimed first, exclusively: it reserves the name against other trashers.
        PosixFd infoFile(
            ::openat(infoFd, infoName.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
        if (!infoFile.isValid()) {
            if (errno == EEXIST)
                continue;
            return fail(errno, describe(errno));
        }
        const auto dropInfo = [&] { ::unlinkat(infoFd, infoName.constData(), 0); };
        struct stat existing = {};
        if (::fstatat(filesFd, candidate.constData(), &existing, AT_SYMLINK_NOFOLLOW) == 0) {
            // Data without an info file holds this name: leave it alone and try the next one.
            infoFile.reset();
            dropInfo();
            continue;
        }
        const bool written =
            ::write(infoFile.get(), content.constData(), static_cast<size_t>(content.size())) == content.size();
        const int writeError = errno;
        struct stat infoWritten = {};
        ::fstat(infoFile.get(), &infoWritten);
        if (!written || ::close(infoFile.release()) != 0) {
            dropInfo();
            return fail(written ? errno : writeError, describe(written ? errno : writeError));
        }
        if (::renameat2(parentFd.get(), name.constData(), filesFd, candidate.constData(), RENAME_NOREPLACE) == 0) {
            if (created)
                *created = TrashEntryRef{trash->path, candidate};
            if (stamp)
                *stamp = TrashInfoStamp::of(infoWritten.st_ino, content);
            return path;
        }
        const int renameError = errno;
        dropInfo();
        if (renameError == EEXIST)
            continue;
        if (renameError == EXDEV)
            return fail(EXDEV, QStringLiteral("it is not on the same file system as its trash"));
        return fail(renameError, describe(renameError));
    }
    return fail(EEXIST, QStringLiteral("no free name in the Trash"));
}

} // namespace rubbly
