#include "TrashStoreShared.h"

#include "AppIdentity.h"
#include "DirectoryListing.h"
#include "PosixFd.h"

#include <QFile>
#include <QLoggingCategory>

#include <algorithm>
#include <cerrno>
#include <dirent.h>
#include <unistd.h>

// The store itself: opening the trash folders, the info files and directorysizes as every operation
// reads them, and what is known between passes. Each operation lives in a file of its own:
// TrashStoreScan.cpp (scan, list), TrashStoreEmpty.cpp (emptying, deleting chosen entries),
// TrashStoreAgeRule.cpp (the age rule), TrashStorePut.cpp (moving into the Trash).

namespace rubbly {

namespace {

Q_LOGGING_CATEGORY(lcTrash, RUBBLY_APP_ID ".Trash")

} // namespace

namespace trashstore {

QString describe(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

TrashFolderProblem unlistable(const TrashDirectory& directory, int error)
{
    return TrashFolderProblem{directory.path, QStringLiteral("files/ cannot be listed: %1").arg(describe(error)), error,
                              TrashFolderFault::Unlistable, TrashFolderPart::Files};
}

TrashError folderFailure(const TrashFolderProblem& problem, TrashFailure reason)
{
    return TrashError{TrashServiceError::FileSystem, problem.errorCode, problem.message(), reason, problem.path, {}};
}

TrashCleanupResult cleanupOf(const QList<TrashFolderProblem>& problems)
{
    TrashCleanupResult result;
    for (const TrashFolderProblem& problem : problems)
        result.problems.append(folderFailure(problem, TrashFailure::FolderUnusable));
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

time_t secondsNow()
{
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    return now.tv_sec;
}

} // namespace trashstore

using namespace trashstore;

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

std::optional<TrashInfo> TrashStore::readInfo(int infoFd, QByteArrayView name)
{
    return readInfo(infoFd, name, m_zone, m_infoReads);
}

std::optional<TrashInfo> TrashStore::readInfo(int infoFd, QByteArrayView name, const QTimeZone& zone, int& reads,
                                              struct stat* seen)
{
    char infoName[kNameMax + 16];
    if (infoFd < 0 || !infoFileName(name, infoName))
        return std::nullopt;
    // Opened anew and checked on the descriptor: a stat before says what the name was, not what it
    // is now, and a FIFO swapped in would otherwise block the read.
    ++reads;
    return TrashInfo::read(infoFd, infoName, zone, seen);
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

} // namespace rubbly
