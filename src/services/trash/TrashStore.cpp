#include "TrashStore.h"

#include "DirectoryListing.h"
#include "PosixFd.h"
#include "TreeRemover.h"
#include "UntrustedFile.h"

#include <QFile>
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
#include <time.h>
#include <unistd.h>

namespace rubbly {

namespace {

constexpr int kOpenDirFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;
constexpr qsizetype kMaxInfoFileSize = 64 * 1024;
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

QByteArray absoluteOriginalPath(const QByteArray& infoPath, const QByteArray& topDir)
{
    if (infoPath.startsWith('/'))
        return infoPath;
    if (topDir.isEmpty() || topDir == "/")
        return '/' + infoPath;
    return topDir + '/' + infoPath;
}

} // namespace

TrashStore::TrashStore(TrashLocations locations, WalkOptions walkOptions, QTimeZone zone)
    : m_locations(std::move(locations))
    , m_walker(walkOptions)
    , m_zone(std::move(zone))
{
}

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
// largest ones only.
class Tally {
public:
    struct Candidate {
        ScannedEntry entry;
        QByteArray name;
    };

    void add(const ScannedEntry& entry, QByteArrayView name)
    {
        total += entry.size;
        sums[entry.category] += entry.size;
        ++count;
        offer(entry, name);
    }
    void merge(const Tally& other)
    {
        total += other.total;
        count += other.count;
        for (const auto& [category, size] : other.sums)
            sums[category] += size;
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

TrashItemDetail describe(const TrashDirectory& folder, const ScannedEntry& entry, QByteArrayView name)
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
        TrashItemDetail item = describe(folders[row.entry.folder], row.entry, name(row));
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
    char infoName[kNameMax + 16];
    if (infoFd < 0 || !infoFileName(name, infoName))
        return std::nullopt;
    const auto content = readUntrustedFile(infoFd, infoName, kMaxInfoFileSize);
    if (!content)
        return std::nullopt;
    ++m_infoReads;
    return TrashInfo::parse(content.value(), m_zone);
}

namespace {
bool sameFile(const struct stat& st, const timespec& mtime, off_t size, ino_t inode)
{
    return st.st_mtim.tv_sec == mtime.tv_sec && st.st_mtim.tv_nsec == mtime.tv_nsec && st.st_size == size &&
           st.st_ino == inode;
}
} // namespace

std::optional<TrashInfo> TrashStore::topItemInfo(const QList<KnownInfo>& previous, const TrashDirectory& folder,
                                                 int infoFd, const QByteArray& name)
{
    struct stat infoSt {};
    if (!statInfo(infoFd, name, &infoSt))
        return std::nullopt;
    std::optional<TrashInfo> info;
    const auto known = std::find_if(previous.cbegin(), previous.cend(), [&](const KnownInfo& k) {
        return k.trashPath == folder.path && k.name == name && sameFile(infoSt, k.mtime, k.size, k.inode);
    });
    if (known != previous.cend())
        info = known->info;
    else
        info = readInfo(infoFd, name);
    m_topInfos.append(KnownInfo{folder.path, name, infoSt.st_ino, infoSt.st_mtim, infoSt.st_size, info});
    return info;
}

TrashStore::SizeCache TrashStore::readSizeCache(const QByteArray& trashPath)
{
    // Read anew by each pass that lists: keeping it parsed between passes would keep every folder
    // entry's name, and a pass that lists already stats every entry.
    QFile file(QFile::decodeName(trashPath + "/directorysizes"));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return parseDirectorySizes(file.readAll());
}

void TrashStore::writeSizeCache(const QByteArray& trashPath, const SizeCache& cache)
{
    const QByteArray text = serializeDirectorySizes(cache);
    // Written to a temporary file in the same folder and renamed over, so a reader never sees half.
    QByteArray tempPath = trashPath + "/directorysizes.XXXXXX";
    PosixFd fd(::mkstemp(tempPath.data()));
    if (!fd.isValid())
        return;
    const bool written = ::write(fd.get(), text.constData(), static_cast<size_t>(text.size())) == text.size();
    fd.reset();
    const QByteArray path = trashPath + "/directorysizes";
    if (!written || ::rename(tempPath.constData(), path.constData()) != 0)
        ::unlink(tempPath.constData());
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

std::optional<TrashStore::FolderStamp> TrashStore::stamp(const TrashDirectory& folder)
{
    struct stat files {};
    struct stat info {};
    if (::stat(folder.filesPath().constData(), &files) != 0 || ::stat(folder.infoPath().constData(), &info) != 0)
        return std::nullopt;
    return FolderStamp{folder.path,   files.st_dev,  files.st_ino, info.st_ino,
                       files.st_mtim, files.st_ctim, info.st_mtim, info.st_ctim};
}

TrashStore::Snapshot TrashStore::snapshot(const QList<TrashDirectory>& folders)
{
    Snapshot result;
    ::clock_gettime(CLOCK_REALTIME, &result.takenAt);
    for (const TrashDirectory& folder : folders) {
        const auto folderStamp = stamp(folder);
        result.complete = result.complete && folderStamp.has_value();
        if (folderStamp)
            result.stamps.append(*folderStamp);
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

TrashStatusResult TrashStore::scanFolders(EntryTable* table)
{
    m_locations.ensureHomeTrash();
    const QList<TrashDirectory> folders = m_locations.trashDirectories();
    if (folders.isEmpty())
        return TrashError{TrashServiceError::TrashURLUnavailable, 0, QStringLiteral("no trash folder was found")};

    // The 60-second poll of a large, unchanged Trash would otherwise stat every entry twice a minute
    // for nothing.
    Snapshot before = snapshot(folders);
    if (!table && m_lastScan && unchangedSince(before, m_lastScan->snapshot))
        return m_lastScan->status;
    m_lastScan.reset();
    ++m_listings;
    bool complete = before.complete;

    bool listed = false;
    bool permissionFailure = false;
    TrashError lastError;

    // A listed trash folder, kept open until its entries are measured.
    struct ListedFolder {
        TrashDirectory directory;
        PosixFd filesFd;
        PosixFd infoFd;
        SizeCache oldSizes;
        SizeCache sizes;
    };
    std::vector<ListedFolder> listedFolders;
    // A folder entry that directorysizes cannot answer for, and its info file's mtime when it has one.
    struct PendingWalk {
        ScannedEntry entry;
        std::optional<qint64> infoMtime;
        std::size_t row = 0;
    };
    std::vector<WalkRoot> roots;
    std::vector<PendingWalk> pending;
    Tally tally;
    qint64 order = 0;

    for (const TrashDirectory& folder : folders) {
        const QByteArray filesPath = folder.filesPath();
        ListedFolder listing{folder, PosixFd(::open(filesPath.constData(), kOpenDirFlags)), PosixFd(), {}, {}};
        int listError = listing.filesFd.isValid() ? 0 : errno;
        // What this folder adds, kept apart until its listing has ended well: a folder that cannot be
        // read to the end counts as not listed at all.
        Tally folderTally;
        std::vector<WalkRoot> folderRoots;
        std::vector<PendingWalk> folderPending;
        const std::size_t rowsBefore = table ? table->rows.size() : 0;
        const qsizetype bytesBefore = table ? table->bytes.size() : 0;
        if (listError == 0) {
            listing.infoFd.reset(::open(folder.infoPath().constData(), kOpenDirFlags));
            listing.oldSizes = readSizeCache(folder.path);
            const int dirFd = listing.filesFd.get();
            const int infoFd = listing.infoFd.get();
            const auto folderIndex = static_cast<quint32>(listedFolders.size());
            listError = forEachDirectoryName(dirFd, [&](QByteArrayView name) {
                ScannedEntry entry;
                entry.order = order++;
                entry.folder = folderIndex;
                entry.category = categoryForRawName(name);
                struct stat st {};
                std::optional<qint64> infoMtime;
                bool walk = false;
                if (::fstatat(dirFd, name.data(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
                    // Vanished since the listing, or unreadable: listed without size or date.
                } else if (!S_ISDIR(st.st_mode)) {
                    entry.modified = toMicros(fromTimespec(st.st_mtim));
                    entry.size = static_cast<qint64>(st.st_blocks) * 512;
                } else {
                    entry.isDirectory = true;
                    entry.modified = toMicros(fromTimespec(st.st_mtim));
                    // The info file is looked at before its entry is walked: a directorysizes line is
                    // keyed to the mtime seen first, so an entry trashed anew while we walk is measured
                    // again next time rather than trusted with the old size.
                    struct stat infoSt {};
                    if (statInfo(infoFd, name, &infoSt))
                        infoMtime = infoSt.st_mtim.tv_sec;
                    const QByteArray key = QByteArray::fromRawData(name.data(), name.size());
                    const auto cached = listing.oldSizes.constFind(key);
                    if (infoMtime && cached != listing.oldSizes.cend() && cached->mtime == *infoMtime) {
                        entry.size = cached->size;
                        listing.sizes.insert(name.toByteArray(), *cached);
                    } else {
                        walk = true;
                    }
                }
                const std::size_t row = table ? table->append(entry, name) : 0;
                if (walk) {
                    folderRoots.push_back(WalkRoot{dirFd, name.toByteArray()});
                    folderPending.push_back(PendingWalk{entry, infoMtime, row});
                } else {
                    folderTally.add(entry, name);
                }
            });
        }
        if (listError != 0) {
            complete = false;
            permissionFailure = permissionFailure || isPermissionError(listError);
            lastError =
                TrashError{TrashServiceError::FileSystem, listError,
                           QStringLiteral("cannot read %1: %2").arg(QFile::decodeName(filesPath), describe(listError))};
            if (table) {
                table->rows.resize(rowsBefore);
                table->bytes.truncate(bytesBefore);
            }
            continue;
        }
        listed = true;
        tally.merge(folderTally);
        std::move(folderRoots.begin(), folderRoots.end(), std::back_inserter(roots));
        std::move(folderPending.begin(), folderPending.end(), std::back_inserter(pending));
        if (table)
            table->folders.push_back(folder);
        listedFolders.push_back(std::move(listing));
    }

    // A full listing reads every info file, on this thread while the walker's helper starts on the
    // folders: on a first scan of many small entries that is a fifth of the work, and it needs no
    // walking at all.
    const auto readInfoFiles = [&] {
        for (EntryTable::Row& row : table->rows) {
            const ListedFolder& folder = listedFolders[row.entry.folder];
            const auto info = readInfo(folder.infoFd.get(), table->name(row));
            if (!info)
                continue;
            row.deleted = toMicros(info->deletionDate);
            if (info->path) {
                const QByteArray original = absoluteOriginalPath(*info->path, folder.directory.topDir);
                row.original = table->bytes.size();
                row.originalLength = static_cast<int>(original.size());
                table->bytes.append(original);
            }
        }
    };
    // Every folder entry of every trash folder is measured in one batch, so both threads stay busy
    // even when each entry is small; measured one after the other, one thread would do nearly all.
    const std::vector<WalkResult> walks =
        m_walker.measureEach(roots, table ? std::function<void()>(readInfoFiles) : std::function<void()>());
    m_walks += static_cast<int>(roots.size());
    for (std::size_t i = 0; i < roots.size(); ++i) {
        PendingWalk& walked = pending[i];
        walked.entry.size = walks[i].bytes;
        if (table)
            table->rows[walked.row].entry.size = walks[i].bytes;
        tally.add(walked.entry, roots[i].name);
        // Only a complete measurement is kept: the file is trusted for as long as the info file is
        // unchanged, so a partial size (a folder we could not read, an entry that vanished while
        // we walked) would outlive the reason it was partial.
        if (walked.infoMtime && walks[i].errors == 0)
            listedFolders[walked.entry.folder].sizes.insert(roots[i].name,
                                                            DirectorySize{walks[i].bytes, *walked.infoMtime});
        complete = complete && walks[i].errors == 0;
    }
    for (const ListedFolder& folder : listedFolders) {
        if (folder.sizes != folder.oldSizes)
            writeSizeCache(folder.directory.path, folder.sizes);
    }

    if (!listed) {
        if (permissionFailure)
            return TrashError{TrashServiceError::PermissionDenied, EACCES, lastError.message};
        return lastError;
    }

    TrashStatus status;
    status.totalSize = tally.total;
    status.itemCount = static_cast<int>(std::min<qint64>(tally.count, std::numeric_limits<int>::max()));
    status.categoryDistribution = std::move(tally.sums);
    // Only the largest entries get their info file read, and only when it changed since the last scan.
    const QList<KnownInfo> previousInfos = std::exchange(m_topInfos, {});
    for (const Tally::Candidate& candidate : tally.top) {
        const ListedFolder& folder = listedFolders[candidate.entry.folder];
        TrashItemDetail item = describe(folder.directory, candidate.entry, candidate.name);
        const std::optional<TrashInfo> info =
            topItemInfo(previousInfos, folder.directory, folder.infoFd.get(), candidate.name);
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
    m_locations.ensureHomeTrash();
    const QList<TrashDirectory> folders = m_locations.trashDirectories();
    if (folders.isEmpty())
        return TrashError{TrashServiceError::TrashURLUnavailable, 0, QStringLiteral("no trash folder was found")};

    TrashCleanupResult result;
    for (const TrashDirectory& folder : folders) {
        PosixFd filesFd(::open(folder.filesPath().constData(), kOpenDirFlags));
        if (!filesFd.isValid())
            continue; // a folder that cannot be listed contributes nothing
        int listError = 0;
        const QList<QByteArray> names = readDirectoryNames(filesFd.get(), false, &listError);
        PosixFd infoFd(::open(folder.infoPath().constData(), kOpenDirFlags));
        removeEntries(folder, filesFd.get(), infoFd.get(), names, result);

        if (infoFd.isValid()) {
            int infoError = 0;
            for (const QByteArray& infoName : readDirectoryNames(infoFd.get(), false, &infoError)) {
                if (!infoName.endsWith(kInfoSuffix))
                    continue;
                const QByteArray name = infoName.left(infoName.size() - kInfoSuffix.size());
                struct stat st {};
                if (::fstatat(filesFd.get(), name.constData(), &st, AT_SYMLINK_NOFOLLOW) != 0 && errno == ENOENT)
                    ::unlinkat(infoFd.get(), infoName.constData(), 0);
            }
        }
    }
    return result;
}

namespace {
bool sameFile(const struct stat& st, qint64 mtimeNs, off_t size, ino_t inode)
{
    return st.st_mtim.tv_sec * 1'000'000'000LL + st.st_mtim.tv_nsec == mtimeNs && st.st_size == size &&
           st.st_ino == inode;
}
} // namespace

TrashCleanupOutcome TrashStore::removeDeletedBefore(Timestamp cutoff)
{
    m_locations.ensureHomeTrash();
    const QList<TrashDirectory> folders = m_locations.trashDirectories();
    if (folders.isEmpty())
        return TrashError{TrashServiceError::TrashURLUnavailable, 0, QStringLiteral("no trash folder was found")};

    // The rule runs after every scan; on an unchanged Trash whose oldest entry is younger than the
    // cut-off, listing it again would find nothing to remove.
    Snapshot before = snapshot(folders);
    if (m_ageGate && unchangedSince(before, m_ageGate->snapshot) &&
        (!m_ageGate->oldest || *m_ageGate->oldest >= cutoff))
        return TrashCleanupResult{};
    m_ageGate.reset();
    ++m_listings;
    bool complete = before.complete;
    std::optional<Timestamp> oldest;
    QHash<QByteArray, std::vector<KnownDate>> knownDates;
    TrashCleanupResult result;

    for (const TrashDirectory& folder : folders) {
        PosixFd filesFd(::open(folder.filesPath().constData(), kOpenDirFlags));
        if (!filesFd.isValid()) {
            complete = false;
            continue; // a folder that cannot be listed contributes nothing
        }
        PosixFd infoFd(::open(folder.infoPath().constData(), kOpenDirFlags));
        const std::vector<KnownDate> previous = m_knownDates.value(folder.path);
        std::vector<KnownDate>& known = knownDates[folder.path];
        // The old entries are gathered first and deleted once the listing is done, so the folder
        // never changes under its own listing; the others cost no name.
        QList<QByteArray> old;
        const int listError = forEachDirectoryName(filesFd.get(), [&](QByteArrayView name) {
            struct stat infoSt {};
            if (!statInfo(infoFd.get(), name, &infoSt))
                return; // no info file, no date: never removed by age
            const quint64 hash = qHash(name, 0);
            auto hit = std::lower_bound(previous.cbegin(), previous.cend(), hash,
                                        [](const KnownDate& k, quint64 h) { return k.nameHash < h; });
            while (hit != previous.cend() && hit->nameHash == hash &&
                   !sameFile(infoSt, hit->mtimeNs, hit->size, hit->inode))
                ++hit;
            std::optional<Timestamp> date;
            if (hit != previous.cend() && hit->nameHash == hash) {
                date = fromMicros(hit->deletedUs);
            } else if (const auto info = readInfo(infoFd.get(), name)) {
                date = info->deletionDate;
            }
            known.push_back(KnownDate{hash, infoSt.st_ino,
                                      infoSt.st_mtim.tv_sec * 1'000'000'000LL + infoSt.st_mtim.tv_nsec, infoSt.st_size,
                                      toMicros(date)});
            if (date && *date < cutoff)
                old.append(name.toByteArray());
            else if (date && (!oldest || *date < *oldest))
                oldest = date;
        });
        complete = complete && listError == 0;
        std::sort(known.begin(), known.end(),
                  [](const KnownDate& a, const KnownDate& b) { return a.nameHash < b.nameHash; });
        if (!old.isEmpty())
            removeEntries(folder, filesFd.get(), infoFd.get(), old, result);
    }
    m_knownDates = std::move(knownDates);
    if (result.removedCount > 0 || result.failedCount > 0)
        m_lastScan.reset();
    else if (complete)
        m_ageGate = AgeGate{std::move(before), oldest};
    return result;
}

void TrashStore::removeEntries(const TrashDirectory& folder, int filesFd, int infoFd, const QList<QByteArray>& names,
                               TrashCleanupResult& result)
{
    SizeCache sizes = readSizeCache(folder.path);
    const qsizetype cachedBefore = sizes.size();
    for (const QByteArray& name : names) {
        struct stat infoSt {};
        const bool hasInfo = statInfo(infoFd, name, &infoSt);
        std::optional<qint64> knownSize;
        if (const auto cached = sizes.constFind(name);
            hasInfo && cached != sizes.cend() && cached->mtime == infoSt.st_mtim.tv_sec)
            knownSize = cached->size;

        TreeRemover remover(!knownSize.has_value());
        const RemovalResult removal = remover.remove(filesFd, name.constData());
        if (!removal.complete) {
            // The info file stays so the entry stays listed and can be retried or restored.
            ++result.failedCount;
            continue;
        }
        if (infoFd >= 0)
            ::unlinkat(infoFd, (name + kInfoSuffix).constData(), 0);
        sizes.remove(name);
        ++result.removedCount;
        result.freedBytes += knownSize.value_or(removal.removedBytes);
    }
    if (sizes.size() != cachedBefore)
        writeSizeCache(folder.path, sizes);
}

TrashPutResult TrashStore::put(const QByteArray& rawPath, Timestamp now)
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

    PosixFd parentFd(::open(parent.constData(), kOpenDirFlags));
    if (!parentFd.isValid())
        return fail(errno, describe(errno));
    struct stat st {};
    if (::fstatat(parentFd.get(), name.constData(), &st, AT_SYMLINK_NOFOLLOW) != 0)
        return fail(errno, describe(errno));
    const QByteArray canonicalParent = canonicalPath(parent);
    if (canonicalParent.isEmpty())
        return fail(errno, describe(errno));
    const QByteArray canonical = (canonicalParent == "/" ? QByteArray() : canonicalParent) + '/' + name;

    // Never move a trash into itself, nor re-trash what is already there.
    m_lastScan.reset();
    m_ageGate.reset();
    m_locations.ensureHomeTrash();
    for (const TrashDirectory& folder : m_locations.trashDirectories()) {
        const QByteArray trash = canonicalPath(folder.path);
        if (trash.isEmpty())
            continue;
        if (isUnder(canonical, trash))
            return fail(EINVAL, QStringLiteral("it is already in the Trash"));
        if (isUnder(trash, canonical))
            return fail(EINVAL, QStringLiteral("it contains the Trash"));
    }

    const auto trash = m_locations.trashFor(canonical, st.st_dev);
    if (!trash)
        return fail(EXDEV, QStringLiteral("its volume has no trash (temporary, read-only or system file system)"));
    PosixFd filesFd(::open(trash->filesPath().constData(), kOpenDirFlags));
    PosixFd infoFd(::open(trash->infoPath().constData(), kOpenDirFlags));
    if (!filesFd.isValid() || !infoFd.isValid())
        return fail(errno, describe(errno));

    QByteArray infoPathValue = canonical;
    if (!trash->isHome && isUnder(canonical, trash->topDir))
        infoPathValue = trash->topDir == "/" ? canonical.mid(1) : canonical.mid(trash->topDir.size() + 1);
    const QByteArray content = TrashInfo::serialize(infoPathValue, now, m_zone);

    for (int n = 1; n < 100000; ++n) {
        const QByteArray candidate = candidateName(name, n);
        const QByteArray infoName = candidate + kInfoSuffix;
        // The info file is claimed first, exclusively: it reserves the name against other trashers.
        PosixFd infoFile(
            ::openat(infoFd.get(), infoName.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
        if (!infoFile.isValid()) {
            if (errno == EEXIST)
                continue;
            return fail(errno, describe(errno));
        }
        const auto dropInfo = [&] { ::unlinkat(infoFd.get(), infoName.constData(), 0); };
        struct stat existing {};
        if (::fstatat(filesFd.get(), candidate.constData(), &existing, AT_SYMLINK_NOFOLLOW) == 0) {
            // Data without an info file holds this name: leave it alone and try the next one.
            infoFile.reset();
            dropInfo();
            continue;
        }
        const bool written =
            ::write(infoFile.get(), content.constData(), static_cast<size_t>(content.size())) == content.size();
        const int writeError = errno;
        if (!written || ::close(infoFile.release()) != 0) {
            dropInfo();
            return fail(written ? errno : writeError, describe(written ? errno : writeError));
        }
        if (::renameat2(parentFd.get(), name.constData(), filesFd.get(), candidate.constData(), RENAME_NOREPLACE) == 0)
            return Done{};
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
