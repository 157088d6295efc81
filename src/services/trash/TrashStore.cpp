#include "TrashStore.h"

#include "DirectoryListing.h"
#include "PosixFd.h"
#include "TreeRemover.h"

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
        if (it->mtime.tv_sec == infoStat.st_mtim.tv_sec && it->mtime.tv_nsec == infoStat.st_mtim.tv_nsec &&
            it->size == infoStat.st_size && it->inode == infoStat.st_ino) {
            it->seen = m_scanCount;
            return it->info;
        }
    }
    PosixFd fd(::openat(infoFd, infoName, O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
    if (!fd.isValid())
        return std::nullopt;
    QByteArray content(std::min<qsizetype>(infoStat.st_size, kMaxInfoFileSize), Qt::Uninitialized);
    qsizetype got = 0;
    while (got < content.size()) {
        const auto n = ::read(fd.get(), content.data() + got, static_cast<size_t>(content.size() - got));
        if (n <= 0)
            break;
        got += n;
    }
    content.truncate(got);
    ++m_infoReads;
    TrashInfo info = TrashInfo::parse(content, m_zone);
    folderCache.insert(name, CachedInfo{infoStat.st_mtim, infoStat.st_size, infoStat.st_ino, info, m_scanCount});
    return info;
}

namespace {
bool sameFile(const struct stat& st, const timespec& mtime, off_t size, ino_t inode)
{
    return st.st_mtim.tv_sec == mtime.tv_sec && st.st_mtim.tv_nsec == mtime.tv_nsec && st.st_size == size &&
           st.st_ino == inode;
}
} // namespace

TrashStore::SizeCache TrashStore::readSizeCache(const QByteArray& trashPath)
{
    SizeCache cache;
    const QByteArray path = trashPath + "/directorysizes";
    struct stat st {};
    if (::stat(path.constData(), &st) != 0) {
        m_sizeFiles.remove(trashPath);
        return cache;
    }
    if (const auto it = m_sizeFiles.constFind(trashPath);
        it != m_sizeFiles.cend() && sameFile(st, it->mtime, it->size, it->inode))
        return it->entries;
    QFile file(QFile::decodeName(path));
    if (!file.open(QIODevice::ReadOnly))
        return cache;
    cache = parseDirectorySizes(file.readAll());
    m_sizeFiles.insert(trashPath, ParsedSizeFile{st.st_mtim, st.st_size, st.st_ino, cache});
    return cache;
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
    struct stat st {};
    if (!written || ::rename(tempPath.constData(), path.constData()) != 0) {
        ::unlink(tempPath.constData());
        m_sizeFiles.remove(trashPath);
    } else if (::stat(path.constData(), &st) == 0) {
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

std::optional<TrashStore::FolderStamp> TrashStore::stamp(const TrashDirectory& folder)
{
    struct stat files {};
    struct stat info {};
    if (::stat(folder.filesPath().constData(), &files) != 0 || ::stat(folder.infoPath().constData(), &info) != 0)
        return std::nullopt;
    return FolderStamp{folder.path,   files.st_dev,  files.st_ino, info.st_ino,
                       files.st_mtim, files.st_ctim, info.st_mtim, info.st_ctim};
}

TrashStatusResult TrashStore::scan()
{
    m_locations.ensureHomeTrash();
    const QList<TrashDirectory> folders = m_locations.trashDirectories();
    if (folders.isEmpty())
        return TrashError{TrashServiceError::TrashURLUnavailable, 0, QStringLiteral("no trash folder was found")};

    // The 60-second poll of a large, unchanged Trash would otherwise stat every entry twice a
    // minute for nothing. The last scan is trusted while every folder's stamp is the same and its
    // mtimes were already old when that scan began: a folder changed within the file system's
    // timestamp granularity of it (two seconds covers FAT) could change again with the same mtime.
    // The ctimes catch a program that sets a folder's mtime back after changing it (rsync, tar).
    timespec startedAt{};
    ::clock_gettime(CLOCK_REALTIME, &startedAt);
    QList<FolderStamp> stamps;
    bool stamped = true;
    for (const TrashDirectory& folder : folders) {
        const auto folderStamp = stamp(folder);
        stamped = stamped && folderStamp.has_value();
        if (folderStamp)
            stamps.append(*folderStamp);
    }
    if (m_lastScan && stamped && stamps == m_lastScan->stamps) {
        const auto settled = [&](const timespec& t) { return t.tv_sec + 2 < m_lastScan->startedAt.tv_sec; };
        if (std::all_of(stamps.cbegin(), stamps.cend(),
                        [&](const FolderStamp& s) { return settled(s.filesMtime) && settled(s.infoMtime); }))
            return m_lastScan->status;
    }
    m_lastScan.reset();
    ++m_listings;
    bool complete = stamped;

    TrashStatus status;
    bool listed = false;
    bool permissionFailure = false;
    TrashError lastError;
    ++m_scanCount;

    // A listed trash folder, kept open until its entries are measured and its info files read.
    struct ListedFolder {
        TrashDirectory directory;
        PosixFd filesFd;
        PosixFd infoFd;
        SizeCache oldSizes;
        SizeCache sizes;
    };
    std::vector<ListedFolder> listedFolders;
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

    for (const TrashDirectory& folder : folders) {
        const QByteArray filesPath = folder.filesPath();
        PosixFd filesFd(::open(filesPath.constData(), kOpenDirFlags));
        int listError = filesFd.isValid() ? 0 : errno;
        QList<QByteArray> names;
        if (filesFd.isValid())
            names = readDirectoryNames(filesFd.get(), false, &listError);
        if (listError != 0) {
            complete = false;
            permissionFailure = permissionFailure || isPermissionError(listError);
            lastError =
                TrashError{TrashServiceError::FileSystem, listError,
                           QStringLiteral("cannot read %1: %2").arg(QFile::decodeName(filesPath), describe(listError))};
            continue;
        }
        listed = true;
        const std::size_t folderIndex = listedFolders.size();
        listedFolders.push_back(ListedFolder{folder,
                                             std::move(filesFd),
                                             PosixFd(::open(folder.infoPath().constData(), kOpenDirFlags)),
                                             readSizeCache(folder.path),
                                             {}});
        ListedFolder& listedFolder = listedFolders.back();
        const int dirFd = listedFolder.filesFd.get();

        for (const QByteArray& name : names) {
            TrashItemDetail item;
            item.name = QFile::decodeName(name);
            item.path = filesPath + '/' + name;
            item.trashFolder = folder.path;
            item.category = categoryFor(item.name);

            // The info file is looked at before its entry is walked: a directorysizes line is keyed
            // to the mtime seen first, so an entry trashed anew while we walk is measured again next
            // time rather than trusted with the old size.
            EntryInfo entry{folderIndex, name, std::nullopt};
            struct stat infoSt {};
            if (statInfo(listedFolder.infoFd.get(), name, &infoSt))
                entry.infoStat = infoSt;

            struct stat st {};
            if (::fstatat(dirFd, name.constData(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
                // Vanished since the listing, or unreadable: listed without size or date.
            } else if (!S_ISDIR(st.st_mode)) {
                item.modificationDate = fromTimespec(st.st_mtim);
                item.size = static_cast<qint64>(st.st_blocks) * 512;
            } else {
                item.isDirectory = true;
                item.modificationDate = fromTimespec(st.st_mtim);
                const auto cached = listedFolder.oldSizes.constFind(name);
                if (entry.infoStat && cached != listedFolder.oldSizes.cend() &&
                    cached->mtime == entry.infoStat->st_mtim.tv_sec) {
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
            const ListedFolder& folder = listedFolders[entry.folder];
            const auto info = readInfo(folder.infoFd.get(), folder.directory.path, entry.name, *entry.infoStat);
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
        if (entry.infoStat && walks[i].errors == 0)
            listedFolders[entry.folder].sizes.insert(entry.name,
                                                     CachedSize{walks[i].bytes, entry.infoStat->st_mtim.tv_sec});
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
    // Forget parsed info files that are gone, so the cache cannot grow without bound.
    for (auto& folderCache : m_infoCache)
        folderCache.removeIf([this](const auto& it) { return it.value().seen != m_scanCount; });

    for (const TrashItemDetail& item : std::as_const(status.topItems)) {
        status.totalSize += item.size;
        status.categoryDistribution[item.category] += item.size;
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
        SizeCache sizes = readSizeCache(folder.path);
        const qsizetype cachedBefore = sizes.size();

        for (const QByteArray& name : names) {
            struct stat infoSt {};
            const bool hasInfo = statInfo(infoFd.get(), name, &infoSt);
            const auto info = hasInfo ? readInfo(infoFd.get(), folder.path, name, infoSt) : std::nullopt;
            if (!select(info))
                continue;
            std::optional<qint64> knownSize;
            if (const auto cached = sizes.constFind(name);
                hasInfo && cached != sizes.cend() && cached->mtime == infoSt.st_mtim.tv_sec)
                knownSize = cached->size;

            TreeRemover remover(!knownSize.has_value());
            const RemovalResult removal = remover.remove(filesFd.get(), name.constData());
            if (!removal.complete) {
                // The info file stays so the entry stays listed and can be retried or restored.
                ++result.failedCount;
                continue;
            }
            if (infoFd.isValid())
                ::unlinkat(infoFd.get(), (name + kInfoSuffix).constData(), 0);
            sizes.remove(name);
            ++result.removedCount;
            result.freedBytes += knownSize.value_or(removal.removedBytes);
        }

        if (removeOrphans && infoFd.isValid()) {
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
        if (sizes.size() != cachedBefore)
            writeSizeCache(folder.path, sizes);
    }
    return result;
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
