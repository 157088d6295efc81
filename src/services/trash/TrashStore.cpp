#include "TrashStore.h"

#include "AppIdentity.h"
#include "ByteCounts.h"
#include "DirectoryListing.h"
#include "MountAwareStat.h"
#include "PosixFd.h"
#include "TreeRemover.h"

#include <QFile>
#include <QLoggingCategory>
#include <QRandomGenerator>
#include <QSet>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
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
    , m_walker([&] {
        walkOptions.stop = &m_stop;
        return walkOptions;
    }())
    , m_zone(std::move(zone))
{
}

namespace {

// "<name>.trashinfo" in `buffer`, on the stack: this runs for every entry of every scan. False when
// the name is too long to have an info file.
bool infoFileName(const QByteArray& name, char (&buffer)[kNameMax + 16])
{
    if (name.size() > kNameMax)
        return false;
    std::memcpy(buffer, name.constData(), static_cast<size_t>(name.size()));
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
    struct stat now {};
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

bool TrashStore::statInfo(int infoFd, const QByteArray& name, struct stat* infoStat)
{
    char infoName[kNameMax + 16];
    return infoFd >= 0 && infoFileName(name, infoName) &&
           ::fstatat(infoFd, infoName, infoStat, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(infoStat->st_mode);
}

std::optional<TrashInfo> TrashStore::readInfo(int infoFd, const QByteArray& trashPath, const QByteArray& name,
                                              const struct stat& infoStat)
{
    char infoName[kNameMax + 16];
    if (!infoFileName(name, infoName))
        return std::nullopt;
    QHash<QByteArray, CachedInfo>& folderCache = m_infoCache[trashPath];
    if (const auto it = folderCache.find(name); it != folderCache.end()) {
        if (sameFile(infoStat, it->mtime, it->size, it->inode)) {
            it->seen = m_scanCount;
            return it->info;
        }
    }
    // Opened anew and checked on the descriptor: the stat above says what the name was, not what it
    // is now, and a FIFO swapped in would otherwise block the read.
    std::optional<TrashInfo> info = TrashInfo::read(infoFd, infoName, m_zone);
    ++m_infoReads;
    if (!info)
        return std::nullopt;
    folderCache.insert(name, CachedInfo{infoStat.st_mtim, infoStat.st_size, infoStat.st_ino, *info, m_scanCount});
    return info;
}

TrashStore::SizeCache TrashStore::readSizeCache(const OpenTrashFolder& folder, bool* untrusted)
{
    const QByteArray& trashPath = folder.directory.path;
    *untrusted = false;
    struct stat st {};
    if (::fstatat(folder.folder.get(), "directorysizes", &st, AT_SYMLINK_NOFOLLOW) != 0) {
        m_sizeFiles.remove(trashPath);
        return {};
    }
    if (const auto it = m_sizeFiles.constFind(trashPath);
        it != m_sizeFiles.cend() && S_ISREG(st.st_mode) && sameFile(st, it->mtime, it->size, it->inode))
        return it->entries;
    // A link, a FIFO or a file beyond its kind's size is neither followed, waited for nor read; the
    // scan writes the file anew from its own measurements.
    const auto read = readDirectorySizes(folder.folder.get());
    if (!read) {
        *untrusted = read.error().kind != UntrustedReadError::Kind::Missing;
        m_sizeFiles.remove(trashPath);
        return {};
    }
    m_sizeFiles.insert(trashPath, ParsedSizeFile{st.st_mtim, st.st_size, st.st_ino, *read});
    return *read;
}

void TrashStore::writeSizeCache(const OpenTrashFolder& folder, const SizeCache& cache)
{
    const QByteArray& trashPath = folder.directory.path;
    const int dirFd = folder.folder.get();
    const QByteArray text = serializeDirectorySizes(cache);
    // Written to a new file in the same folder and renamed over, so a reader never sees half, and
    // whatever had the name (a link, a FIFO) is replaced rather than written through.
    QByteArray tempName;
    PosixFd fd;
    for (int attempt = 0; attempt < 8 && !fd.isValid(); ++attempt) {
        tempName = "directorysizes." + QByteArray::number(QRandomGenerator::global()->generate64(), 36);
        fd.reset(::openat(dirFd, tempName.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
        if (!fd.isValid() && errno != EEXIST)
            break;
    }
    if (!fd.isValid())
        return;
    qsizetype written = 0;
    while (written < text.size()) {
        const ssize_t n = ::write(fd.get(), text.constData() + written, static_cast<size_t>(text.size() - written));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        written += n;
    }
    const bool closed = ::close(fd.release()) == 0;
    struct stat st {};
    if (written != text.size() || !closed || ::renameat(dirFd, tempName.constData(), dirFd, "directorysizes") != 0) {
        ::unlinkat(dirFd, tempName.constData(), 0);
        m_sizeFiles.remove(trashPath);
    } else if (::fstatat(dirFd, "directorysizes", &st, AT_SYMLINK_NOFOLLOW) == 0) {
        m_sizeFiles.insert(trashPath, ParsedSizeFile{st.st_mtim, st.st_size, st.st_ino, cache});
    }
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

TrashStore::FolderStamp TrashStore::stamp(const OpenTrashFolder& folder)
{
    const struct stat& files = folder.filesStat;
    const struct stat& info = folder.infoStat;
    return FolderStamp{folder.directory.path, files.st_dev,  files.st_ino, info.st_ino,
                       files.st_mtim,         files.st_ctim, info.st_mtim, info.st_ctim};
}

void TrashStore::report(const TrashFolderProblem& problem)
{
    const QString message = problem.message();
    if (!m_reported.contains(message)) {
        m_reported.insert(message);
        qCWarning(lcTrash).noquote() << message;
    }
}

TrashStore::OpenFolders TrashStore::openFolders()
{
    OpenFolders result;
    for (const TrashDirectory& directory : m_locations.trashDirectories()) {
        auto opened = m_locations.open(directory, directory.isHome);
        if (opened) {
            result.folders.push_back(std::move(opened.value()));
        } else {
            result.problems.append(opened.error());
            report(result.problems.last());
        }
    }
    return result;
}

TrashStatusResult TrashStore::scan()
{
    // The 60-second poll of a large, unchanged Trash would otherwise stat every entry twice a
    // minute for nothing. The last scan is trusted while every folder's stamp is the same and its
    // mtimes were already old when that scan began: a folder changed within the file system's
    // timestamp granularity of it (two seconds covers FAT) could change again with the same mtime.
    // The ctimes catch a program that sets a folder's mtime back after changing it (rsync, tar).
    timespec startedAt{};
    ::clock_gettime(CLOCK_REALTIME, &startedAt);
    OpenFolders open = openFolders();
    QList<FolderStamp> stamps;
    for (const OpenTrashFolder& folder : open.folders)
        stamps.append(stamp(folder));
    if (m_lastScan && open.problems.isEmpty() && stamps == m_lastScan->stamps) {
        const auto settled = [&](const timespec& t) { return t.tv_sec + 2 < m_lastScan->startedAt.tv_sec; };
        if (std::all_of(stamps.cbegin(), stamps.cend(),
                        [&](const FolderStamp& s) { return settled(s.filesMtime) && settled(s.infoMtime); }))
            return m_lastScan->status;
    }
    m_lastScan.reset();
    ++m_listings;
    // A scan that could not use every folder is not kept: the next one tries them again.
    bool complete = open.problems.isEmpty();

    TrashStatus status;
    status.folderProblems = open.problems;
    bool permissionFailure = false;
    for (const TrashFolderProblem& problem : std::as_const(open.problems))
        permissionFailure = permissionFailure || isPermissionError(problem.errorCode);
    ++m_scanCount;

    struct ListedFolder {
        const OpenTrashFolder* open;
        SizeCache oldSizes;
        SizeCache sizes;
        bool rewriteSizes = false;
    };
    std::vector<ListedFolder> listedFolders;
    listedFolders.reserve(open.folders.size());
    // Per listed entry: the folder it is in and its info file, when it has one.
    struct EntryInfo {
        std::size_t folder;
        QByteArray name;
        std::optional<struct stat> infoStat;
    };
    std::vector<EntryInfo> entries;
    // The folder entries that directorysizes cannot answer for.
    std::vector<WalkRoot> roots;
    std::vector<qsizetype> rootItems;

    for (const OpenTrashFolder& folder : open.folders) {
        const TrashDirectory& directory = folder.directory;
        int listError = 0;
        const QList<QByteArray> names = readDirectoryNames(folder.files.get(), false, &listError);
        if (listError != 0) {
            complete = false;
            permissionFailure = permissionFailure || isPermissionError(listError);
            status.folderProblems.append(TrashFolderProblem{
                directory.path, QStringLiteral("files/ cannot be listed: %1").arg(describe(listError)), listError});
            report(status.folderProblems.last());
            continue;
        }
        status.trashFolders.append(directory.path);
        const std::size_t folderIndex = listedFolders.size();
        bool untrusted = false;
        SizeCache oldSizes = readSizeCache(folder, &untrusted);
        listedFolders.push_back(ListedFolder{&folder, std::move(oldSizes), {}, untrusted});
        ListedFolder& listedFolder = listedFolders.back();
        const int dirFd = folder.files.get();
        const QByteArray filesPath = directory.filesPath();

        for (const QByteArray& name : names) {
            TrashItemDetail item;
            item.name = QFile::decodeName(name);
            item.path = filesPath + '/' + name;
            item.trashFolder = directory.path;
            item.category = categoryFor(item.name);

            // The info file is looked at before its entry is walked: a directorysizes line is keyed
            // to the mtime seen first, so an entry trashed anew while we walk is measured again next
            // time rather than trusted with the old size.
            EntryInfo entry{folderIndex, name, std::nullopt};
            struct stat infoSt {};
            if (statInfo(folder.info.get(), name, &infoSt))
                entry.infoStat = infoSt;

            struct stat st {};
            if (::fstatat(dirFd, name.constData(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
                // Vanished since the listing, or unreadable: listed without size or date.
            } else if (!S_ISDIR(st.st_mode)) {
                item.modificationDate = fromTimespec(st.st_mtim);
                item.size = allocatedBytes(st.st_blocks);
            } else {
                item.isDirectory = true;
                item.modificationDate = fromTimespec(st.st_mtim);
                // KDE's own lines hold apparent sizes: they are measured once and rewritten.
                const auto cached = listedFolder.oldSizes.constFind(name);
                if (entry.infoStat && cached != listedFolder.oldSizes.cend() && cached->measured &&
                    cached->matches(entry.infoStat->st_mtim)) {
                    item.size = cached->size;
                    listedFolder.sizes.insert(name, *cached);
                } else {
                    roots.push_back(WalkRoot{dirFd, name});
                    rootItems.push_back(status.topItems.size());
                }
            }
            entries.push_back(std::move(entry));
            status.topItems.append(std::move(item));
        }
    }

    // The info files are read and parsed on this thread while the walker's helper starts on the
    // folders: on a first scan of many small entries that is a fifth of the work, and it needs no
    // walking at all.
    const auto readInfoFiles = [&] {
        for (std::size_t i = 0; i < entries.size(); ++i) {
            const EntryInfo& entry = entries[i];
            if (!entry.infoStat)
                continue;
            const OpenTrashFolder& folder = *listedFolders[entry.folder].open;
            const auto info = readInfo(folder.info.get(), folder.directory.path, entry.name, *entry.infoStat);
            if (!info)
                continue;
            TrashItemDetail& item = status.topItems[static_cast<qsizetype>(i)];
            if (info->path)
                item.originalPath = absoluteOriginalPath(*info->path, folder.directory.topDir);
            item.deletionDate = info->deletionDate;
        }
    };
    // Every folder entry of every trash folder is measured in one batch, so both threads stay busy
    // even when each entry is small; measured one after the other, one thread would do nearly all.
    const std::vector<WalkResult> walks = m_walker.measureEach(roots, readInfoFiles);
    m_walks += static_cast<int>(roots.size());
    for (std::size_t i = 0; i < roots.size(); ++i) {
        const qsizetype index = rootItems[i];
        status.topItems[index].size = walks[i].bytes;
        // Only a complete measurement is kept: the file is trusted for as long as the info file is
        // unchanged, so a partial size (a folder we could not read, an entry that vanished while
        // we walked) would outlive the reason it was partial.
        const EntryInfo& entry = entries[static_cast<std::size_t>(index)];
        ListedFolder& folder = listedFolders[entry.folder];
        const auto old = folder.oldSizes.constFind(entry.name);
        const bool hasOld = old != folder.oldSizes.cend();
        if (entry.infoStat && walks[i].errors == 0) {
            // In the unit of the line it replaces: KDE matches only milliseconds, and would walk the
            // folder at every operation of its own if its line turned into seconds.
            folder.sizes.insert(entry.name,
                                CachedSize::measurement(walks[i].bytes, entry.infoStat->st_mtim,
                                                        hasOld && old->milliseconds, hasOld ? old->position : -1));
        } else if (entry.infoStat && hasOld && old->matches(entry.infoStat->st_mtim)) {
            // Not measured completely, but still KDE's valid line: it stays for KDE as it was.
            folder.sizes.insert(entry.name, *old);
        }
        complete = complete && walks[i].errors == 0;
    }
    for (const ListedFolder& folder : listedFolders) {
        if (folder.rewriteSizes || folder.sizes != folder.oldSizes)
            writeSizeCache(*folder.open, folder.sizes);
    }

    if (listedFolders.empty()) {
        if (open.folders.empty() && open.problems.isEmpty())
            return TrashError{TrashServiceError::TrashURLUnavailable, 0, QStringLiteral("no trash folder was found")};
        QStringList messages;
        for (const TrashFolderProblem& problem : std::as_const(status.folderProblems))
            messages.append(problem.message());
        return TrashError{permissionFailure ? TrashServiceError::PermissionDenied : TrashServiceError::FileSystem,
                          permissionFailure ? EACCES : 0, messages.join(QStringLiteral("; "))};
    }
    // Forget parsed info files that are gone, so the cache cannot grow without bound.
    for (auto& folderCache : m_infoCache)
        folderCache.removeIf([this](const auto& it) { return it.value().seen != m_scanCount; });

    for (const TrashItemDetail& item : std::as_const(status.topItems)) {
        status.totalSize = saturatingAdd(status.totalSize, item.size);
        qint64& categorySize = status.categoryDistribution[item.category];
        categorySize = saturatingAdd(categorySize, item.size);
    }
    // Sort positions, not the entries: moving a TrashItemDetail touches seven members.
    std::vector<std::pair<qint64, qsizetype>> order;
    order.reserve(static_cast<std::size_t>(status.topItems.size()));
    for (qsizetype i = 0; i < status.topItems.size(); ++i)
        order.emplace_back(status.topItems[i].size, i);
    std::stable_sort(order.begin(), order.end(), [](const auto& a, const auto& b) { return a.first > b.first; });
    QList<TrashItemDetail> sorted;
    sorted.reserve(status.topItems.size());
    for (const auto& [size, index] : order)
        sorted.append(std::move(status.topItems[index]));
    status.topItems = std::move(sorted);
    status.itemCount = static_cast<int>(status.topItems.size());
    if (complete)
        m_lastScan = LastScan{std::move(stamps), startedAt, status};
    return status;
}

TrashCleanupOutcome TrashStore::emptyAll()
{
    return remove([](const std::optional<TrashInfo>&) { return true; }, true);
}

TrashCleanupOutcome TrashStore::removeDeletedBefore(Timestamp cutoff)
{
    return remove(
        [cutoff](const std::optional<TrashInfo>& info) {
            return info && info->deletionDate && *info->deletionDate < cutoff;
        },
        false);
}

TrashCleanupOutcome TrashStore::remove(const std::function<bool(const std::optional<TrashInfo>&)>& select,
                                       bool removeOrphans)
{
    // Our own changes would show in the stamps too; dropping the last scan says so plainly.
    m_lastScan.reset();
    OpenFolders open = openFolders();
    if (open.folders.empty() && open.problems.isEmpty())
        return TrashError{TrashServiceError::TrashURLUnavailable, 0, QStringLiteral("no trash folder was found")};

    TrashCleanupResult result;
    for (const TrashFolderProblem& problem : std::as_const(open.problems))
        result.problems.append(problem.message());
    const time_t settledBefore = secondsNow() - kPutInFlightMargin.count();
    for (const OpenTrashFolder& folder : open.folders) {
        const TrashDirectory& directory = folder.directory;
        const int filesFd = folder.files.get();
        const int infoFd = folder.info.get();
        int listError = 0;
        const QList<QByteArray> names = readDirectoryNames(filesFd, false, &listError);
        if (listError != 0) {
            const TrashFolderProblem problem{
                directory.path, QStringLiteral("files/ cannot be listed: %1").arg(describe(listError)), listError};
            report(problem);
            result.problems.append(problem.message());
            continue;
        }
        bool untrusted = false;
        SizeCache sizes = readSizeCache(folder, &untrusted);
        const qsizetype cachedBefore = sizes.size();

        for (const QByteArray& name : names) {
            if (m_stop.load(std::memory_order_relaxed))
                break;
            struct stat infoSt {};
            const bool hasInfo = statInfo(infoFd, name, &infoSt);
            const auto info = hasInfo ? readInfo(infoFd, directory.path, name, infoSt) : std::nullopt;
            if (!select(info))
                continue;
            std::optional<qint64> knownSize;
            if (const auto cached = sizes.constFind(name);
                hasInfo && cached != sizes.cend() && cached->measured && cached->matches(infoSt.st_mtim))
                knownSize = cached->size;

            TreeRemover remover(!knownSize.has_value(), &m_stop);
            const RemovalResult removal = remover.remove(filesFd, name.constData());
            if (!removal.complete) {
                // The info file stays so the entry stays listed and can be retried or restored.
                ++result.failedCount;
                if (!removal.mountPoint.isEmpty())
                    result.problems.append(
                        QStringLiteral("%1 holds the mount point %2, which is never entered: it stays in the Trash")
                            .arg(QFile::decodeName(directory.filesPath() + '/' + name),
                                 QFile::decodeName(directory.filesPath() + '/' + removal.mountPoint)));
                continue;
            }
            sizes.remove(name);
            // The data is gone, so its info file goes. Data that was gone before we came (another
            // emptying got there first, and removes the info file itself) may also be a put's name
            // freed and claimed again: then the info file is only taken once no put can be in flight.
            if (hasInfo)
                removeInfoFile(infoFd, name, infoSt,
                               removal.alreadyGone ? std::optional<time_t>(settledBefore) : std::nullopt);
            if (removal.alreadyGone)
                continue;
            ++result.removedCount;
            result.freedBytes = saturatingAdd(result.freedBytes, knownSize.value_or(removal.removedBytes));
        }

        if (removeOrphans && !m_stop.load(std::memory_order_relaxed)) {
            // Info files without data: left behind by a put that failed, or by another program. One
            // written lately may be a put in flight (its data not moved yet), so it waits.
            int infoError = 0;
            for (const QByteArray& infoName : readDirectoryNames(infoFd, false, &infoError)) {
                if (!infoName.endsWith(kInfoSuffix))
                    continue;
                const QByteArray name = infoName.left(infoName.size() - kInfoSuffix.size());
                struct stat data {};
                struct stat infoStat {};
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
        if (untrusted || sizes.size() != cachedBefore)
            writeSizeCache(folder, sizes);
    }
    return result;
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
    const QList<TrashDirectory> folders = m_locations.trashDirectories();
    return std::none_of(folders.cbegin(), folders.cend(), [&](const TrashDirectory& folder) {
        return holdsAnything(folder.filesPath()) || holdsAnything(folder.infoPath());
    });
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
        struct stat existing {};
        if (::fstatat(filesFd, candidate.constData(), &existing, AT_SYMLINK_NOFOLLOW) == 0) {
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
        if (::renameat2(parentFd.get(), name.constData(), filesFd, candidate.constData(), RENAME_NOREPLACE) == 0)
            return path;
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
