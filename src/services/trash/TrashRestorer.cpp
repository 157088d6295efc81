#include "TrashRestorer.h"

#include "DirectoryListing.h"
#include "DirectorySizes.h"
#include "MountAwareStat.h"
#include "PosixFd.h"
#include "TrashInfo.h"
#include "UntrustedFile.h"
#include "XdgBase.h"

#include <QFile>
#include <QLoggingCategory>

#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace rubbly {

namespace {

Q_LOGGING_CATEGORY(lcRestore, "com.tolvik.Rubbly.Trash")

constexpr qsizetype kNameMax = 255;
// Folders on the way are only walked through and created in: O_PATH needs no read permission, so a
// folder the user may enter but not list (0711) still leads to the original place.
constexpr int kWalkFlags = O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;

QString shown(const QByteArray& path)
{
    return QFile::decodeName(path);
}

QString describe(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

// A folder made on the way to the original place, to be removed again if the entry cannot move.
struct MadeFolder {
    int parentFd;
    QByteArray name;
};

// Newest first; the descriptors of their parents are still open in the walk's chain.
void removeMadeFolders(const std::vector<MadeFolder>& made)
{
    for (auto it = made.rbegin(); it != made.rend(); ++it)
        ::unlinkat(it->parentFd, it->name.constData(), AT_REMOVEDIR);
}

} // namespace

TrashRestorer::TrashRestorer(const TrashLocations& locations, QTimeZone zone)
    : m_locations(locations)
    , m_zone(std::move(zone))
{
}

QByteArray TrashRestorer::numberedName(const QByteArray& name, int n, bool isDirectory)
{
    // A compressed tar keeps both parts: "archive (2).tar.gz" still opens as what it is, where
    // "archive.tar (2).gz" would unpack to a file of that odd name.
    static const QByteArrayList kTarSuffixes{".tar.gz",  ".tar.xz",   ".tar.bz2", ".tar.zst", ".tar.lz",
                                             ".tar.lz4", ".tar.lzma", ".tar.lzo", ".tar.br",  ".tar.Z"};
    qsizetype dot = -1;
    if (!isDirectory) {
        dot = name.lastIndexOf('.');
        for (const QByteArray& suffix : kTarSuffixes) {
            if (name.size() > suffix.size() && qstrnicmp(name.constData() + name.size() - suffix.size(),
                                                         suffix.constData(), static_cast<size_t>(suffix.size())) == 0) {
                dot = name.size() - suffix.size();
                break;
            }
        }
    }
    const bool hasExtension = dot > 0 && name.size() - dot <= 32;
    QByteArray stem = hasExtension ? name.left(dot) : name;
    const QByteArray extension = hasExtension ? name.mid(dot) : QByteArray();
    // A name that is already a copy ("report (1).pdf") counts on from its number instead of adding
    // a second one. Only up to three digits: "Photos (2024)" names a year, not the 2024th copy.
    qint64 number = n;
    if (stem.endsWith(')')) {
        const qsizetype open = stem.lastIndexOf(" (");
        const QByteArray digits = open > 0 ? stem.mid(open + 2, stem.size() - open - 3) : QByteArray();
        bool ok = !digits.isEmpty() && digits.size() <= 3 && digits[0] != '0';
        for (const char c : digits)
            ok = ok && c >= '0' && c <= '9';
        if (ok) {
            number = digits.toLongLong() + n - 1;
            stem.truncate(open);
        }
    }
    const QByteArray suffix = " (" + QByteArray::number(number) + ')';
    const qsizetype room = std::max<qsizetype>(kNameMax - suffix.size() - extension.size(), 1);
    if (stem.size() > room) {
        qsizetype cut = room;
        while (cut > 0 && (static_cast<unsigned char>(stem[cut]) & 0xC0) == 0x80)
            --cut;
        stem.truncate(std::max<qsizetype>(cut, 1));
    }
    return stem + suffix + extension;
}

QByteArray TrashRestorer::lexicalAbsolutePath(const QByteArray& path, const QByteArray& base)
{
    return tidyAbsolutePath(path.startsWith('/') ? path : base + '/' + path);
}

Result<QByteArray, TrashError> TrashRestorer::restore(const TrashEntryRef& entry, bool rename,
                                                      const QByteArray& intoFolder,
                                                      const TrashInfoStamp* expected) const
{
    const QByteArray entryPath = entry.trashFolder + "/files/" + entry.name;
    // `why` completes the command line's sentence; `reason` and `path` (the entry's unless given)
    // are what the interface words for itself.
    const auto fail = [&entryPath](int error, TrashFailure reason, const QString& why, const QByteArray& path = {},
                                   const QByteArray& otherPath = {}) {
        return TrashError{TrashServiceError::FileSystem,
                          error,
                          QStringLiteral("cannot restore %1: %2").arg(shown(entryPath), why),
                          reason,
                          path.isEmpty() ? entryPath : path,
                          otherPath};
    };
    if (entry.name.isEmpty() || entry.name.contains('/') || entry.name == "." || entry.name == ".." ||
        entry.name.size() > kNameMax)
        return fail(EINVAL, TrashFailure::NotAnEntry, QStringLiteral("not the name of an entry"));

    // Only the trash folders the program finds itself: a folder named by a caller is not trusted to be one.
    std::optional<TrashDirectory> directory;
    for (const TrashDirectory& candidate : m_locations.trashDirectories()) {
        if (candidate.path == entry.trashFolder)
            directory = candidate;
    }
    if (!directory)
        return fail(ENODEV, TrashFailure::NotInTrashInUse,
                    QStringLiteral("%1 is not a trash folder in use").arg(shown(entry.trashFolder)));
    auto opened = m_locations.open(*directory, false);
    if (!opened)
        return fail(opened.error().errorCode, TrashFailure::FolderUnusable, opened.error().message(), directory->path);
    const OpenTrashFolder& folder = opened.value();
    const int filesFd = folder.files.get();
    const int infoFd = folder.info.get();

    MountAwareStat data;
    if (!mountAwareStat(filesFd, entry.name.constData(), data, folder.filesStat.st_dev))
        return errno == ENOENT
                   ? fail(ENOENT, TrashFailure::GoneFromTrash, QStringLiteral("it is no longer in the Trash"))
                   : fail(errno, TrashFailure::Other, describe(errno));
    if (data.mountRoot)
        return fail(EBUSY, TrashFailure::IsMountPoint, QStringLiteral("it is a mount point"));
    // A folder holding a mount point would carry it along, as a put would: refused the same way. The
    // mount table names real paths, so the place of files/ is asked of its descriptor, not of a path
    // that may go through the user's links.
    if (S_ISDIR(data.st.st_mode)) {
        char real[PATH_MAX];
        const QByteArray link = "/proc/self/fd/" + QByteArray::number(filesFd);
        const ssize_t length = ::readlink(link.constData(), real, sizeof real - 1);
        const auto mounts = length > 0
                                ? TrashLocations::mountPointsAtOrBelow(QByteArray(real, length) + '/' + entry.name)
                                : std::nullopt;
        if (!mounts)
            return fail(EIO, TrashFailure::MountTableUnreadable,
                        QStringLiteral("the mount table cannot be read to check that it holds no mount point"));
        if (!mounts->isEmpty())
            return fail(EBUSY, TrashFailure::HoldsMountPoint,
                        QStringLiteral("it holds the mount point %1").arg(shown(mounts->first())), {}, mounts->first());
    }

    const QByteArray infoName = entry.name + ".trashinfo";
    struct stat infoStat = {};
    const bool hasInfo =
        ::fstatat(infoFd, infoName.constData(), &infoStat, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(infoStat.st_mode);
    // Read once, bounded and never through a link: the stamp and the path come from the same bytes.
    std::optional<TrashInfo> info;
    QByteArray infoBytes;
    if (hasInfo) {
        if (auto read = readUntrustedFile(infoFd, infoName.constData(), TrashInfo::kMaxFileSize)) {
            infoBytes = std::move(read).value();
            info = TrashInfo::parse(infoBytes, m_zone);
        }
    }
    if (expected && (!info || TrashInfoStamp::of(infoStat.st_ino, infoBytes) != *expected))
        return fail(ESTALE, TrashFailure::ReplacedInTrash,
                    QStringLiteral("it was replaced in the Trash since it was put there"));
    // Into a folder of the user's choosing only the name is needed: an entry without an info file
    // keeps the name it has in the Trash.
    if (!intoFolder.isEmpty() && !(info && info->path && !info->path->isEmpty())) {
        if (hasInfo && !info)
            return fail(EINVAL, TrashFailure::InfoUnreadable, QStringLiteral("its info file cannot be read"));
    } else if (!hasInfo) {
        return fail(ENODATA, TrashFailure::NoInfoFile,
                    QStringLiteral("it has no info file, so its original place is unknown"));
    } else if (!info || !info->path || info->path->isEmpty()) {
        return fail(EINVAL, TrashFailure::NoOriginalPlace, QStringLiteral("its info file names no original place"));
    }

    // The original path as the info file has it, cleaned only of "." and doubled slashes: a ".." could
    // lead out of the volume a relative path is bound to, and a NUL (from %00) would cut the path short.
    QByteArrayList parts;
    if (info && info->path && !info->path->isEmpty()) {
        const QByteArray& recorded = *info->path;
        if (recorded.contains('\0'))
            return fail(EINVAL, TrashFailure::NoOriginalPlace,
                        QStringLiteral("its info file names an impossible original place"));
        // The home trash serves every volume, so only an absolute path says where an entry came from.
        if (directory->isHome && !recorded.startsWith('/') && intoFolder.isEmpty())
            return fail(EINVAL, TrashFailure::NoOriginalPlace,
                        QStringLiteral("its info file names a relative place (%1)").arg(shown(recorded)));
        for (const QByteArray& part : recorded.split('/')) {
            if (part == "..")
                return fail(EINVAL, TrashFailure::NoOriginalPlace,
                            QStringLiteral("its original place %1 holds \"..\"").arg(shown(recorded)));
            if (!part.isEmpty() && part != ".")
                parts.append(part);
        }
        if (parts.isEmpty())
            return fail(EINVAL, TrashFailure::NoOriginalPlace, QStringLiteral("its info file names no original place"));
        // A relative path hangs below the volume's top, which comes from the mount table as it is.
        if (!recorded.startsWith('/') && !directory->topDir.isEmpty()) {
            QByteArrayList topParts = directory->topDir.split('/');
            topParts.removeAll(QByteArray());
            parts = topParts + parts;
        }
    } else {
        parts = {entry.name};
    }
    // Into a folder: its own components, with the entry's name last.
    if (!intoFolder.isEmpty()) {
        const QByteArray folderPath = tidyAbsolutePath(intoFolder);
        if (folderPath.isEmpty())
            return fail(EINVAL, TrashFailure::NotAFolder,
                        QStringLiteral("the folder to put it into, %1, is not an absolute path").arg(shown(intoFolder)),
                        intoFolder);
        QByteArrayList folderParts = folderPath.split('/');
        folderParts.removeAll(QByteArray());
        parts = folderParts << parts.last();
    }
    const QByteArray original = '/' + parts.join('/');
    // A failure on the way to `original`; `path` is the place it is about when not that one.
    const auto failAt = [&](int error, TrashFailure reason, const QString& why, const QByteArray& path = {}) {
        return fail(error, reason, QStringLiteral("%1 (%2)").arg(why, shown(original)),
                    path.isEmpty() ? original : path);
    };
    if (original == directory->path || original.startsWith(directory->path + '/'))
        return failAt(EINVAL, TrashFailure::PlaceInsideTrash,
                      intoFolder.isEmpty() ? QStringLiteral("its original place is inside the Trash")
                                           : QStringLiteral("that place is inside the Trash"));

    // Walk from / to the parent, one component at a time and never through a link, making what is
    // missing (into a chosen folder, nothing is made: a mistyped folder is not created); every
    // descriptor stays open until the move, so nothing on the way can be swapped.
    const QByteArray leaf = parts.takeLast();
    std::vector<PosixFd> chain;
    chain.emplace_back(::open("/", kWalkFlags));
    if (!chain.back().isValid())
        return fail(errno, TrashFailure::Other, describe(errno));
    std::vector<MadeFolder> made;
    QByteArray walked;
    const auto sameVolume = [&](int fd) {
        struct stat st = {};
        return ::fstat(fd, &st) == 0 && st.st_dev == folder.filesStat.st_dev;
    };
    const auto otherVolume = [&] {
        return failAt(EXDEV, TrashFailure::OtherFileSystem,
                      QStringLiteral("its original place is on another file system than the trash; move "
                                     "it from %1 yourself")
                          .arg(shown(entryPath)));
    };
    for (const QByteArray& part : std::as_const(parts)) {
        walked += '/' + part;
        const int parentFd = chain.back().get();
        PosixFd next(::openat(parentFd, part.constData(), kWalkFlags));
        if (!next.isValid() && errno == ENOENT && !intoFolder.isEmpty()) {
            removeMadeFolders(made);
            return failAt(ENOENT, TrashFailure::FolderMissing,
                          QStringLiteral("the folder %1 does not exist").arg(shown(walked)), walked);
        }
        if (!next.isValid() && errno == ENOENT) {
            // The first folder that must be made is made on the trash's own file system or not at all.
            if (made.empty() && !sameVolume(parentFd))
                return otherVolume();
            if (::mkdirat(parentFd, part.constData(), 0777) == 0)
                made.push_back(MadeFolder{parentFd, part});
            else if (errno != EEXIST) {
                const int error = errno;
                removeMadeFolders(made);
                return failAt(error, TrashFailure::FolderNotMade,
                              QStringLiteral("the folder %1 cannot be made: %2").arg(shown(walked), describe(error)),
                              walked);
            }
            next.reset(::openat(parentFd, part.constData(), kWalkFlags));
        }
        if (!next.isValid()) {
            const int error = errno;
            removeMadeFolders(made);
            struct stat st = {};
            if ((error == ENOTDIR || error == ELOOP) &&
                ::fstatat(parentFd, part.constData(), &st, AT_SYMLINK_NOFOLLOW) == 0)
                return S_ISLNK(st.st_mode)
                           ? failAt(error, TrashFailure::ThroughLink,
                                    QStringLiteral("the way there leads through the link %1").arg(shown(walked)),
                                    walked)
                           : failAt(error, TrashFailure::NotAFolder,
                                    QStringLiteral("%1 is not a folder").arg(shown(walked)), walked);
            return failAt(error, TrashFailure::Other, QStringLiteral("%1: %2").arg(shown(walked), describe(error)),
                          walked);
        }
        chain.push_back(std::move(next));
    }
    const int parentFd = chain.back().get();
    if (!sameVolume(parentFd)) {
        removeMadeFolders(made);
        return otherVolume();
    }

    QByteArray target = leaf;
    for (int n = 2;; ++n) {
        if (::renameat2(filesFd, entry.name.constData(), parentFd, target.constData(), RENAME_NOREPLACE) == 0)
            break;
        const int error = errno;
        if (error == EEXIST && rename && n < 10000) {
            target = numberedName(leaf, n, S_ISDIR(data.st.st_mode));
            continue;
        }
        removeMadeFolders(made);
        if (error == EEXIST)
            return failAt(EEXIST, TrashFailure::PlaceTaken,
                          intoFolder.isEmpty() ? QStringLiteral("its original place is taken")
                                               : QStringLiteral("that name is taken there"));
        // A bind mount on the way is another mount of the same file system: the kernel refuses that too.
        if (error == EXDEV)
            return otherVolume();
        return failAt(error, TrashFailure::Other, describe(error));
    }
    const QByteArray restored = walked + '/' + target;

    // The data is back; only now does the info file go, and only if it is still the one read.
    struct stat infoNow = {};
    if (hasInfo && ::fstatat(infoFd, infoName.constData(), &infoNow, AT_SYMLINK_NOFOLLOW) == 0 &&
        infoNow.st_ino == infoStat.st_ino && infoNow.st_dev == infoStat.st_dev &&
        ::unlinkat(infoFd, infoName.constData(), 0) != 0)
        qCWarning(lcRestore) << "restored" << shown(restored) << "but cannot remove its info file:" << describe(errno);
    if (S_ISDIR(data.st.st_mode)) {
        if (auto read = readDirectorySizes(folder.folder.get())) {
            DirectorySizes sizes = std::move(read).value();
            if (sizes.remove(entry.name))
                writeDirectorySizes(folder.folder.get(), sizes);
        }
    }
    return restored;
}

TrashRestorer::Listing TrashRestorer::entries() const
{
    Listing result;
    for (const TrashDirectory& directory : m_locations.trashDirectories()) {
        auto opened = m_locations.open(directory, false);
        if (!opened) {
            // A home trash that was never made holds nothing to restore.
            if (!(directory.isHome && opened.error().errorCode == ENOENT))
                result.problems.append(opened.error().message());
            continue;
        }
        int listError = 0;
        const QList<QByteArray> names = readDirectoryNames(opened->files.get(), false, &listError);
        if (listError != 0) {
            result.problems.append(TrashFolderProblem{
                directory.path, QStringLiteral("files/ cannot be listed: %1").arg(describe(listError)), listError}
                                       .message());
            continue;
        }
        for (const QByteArray& name : names) {
            Entry entry{TrashEntryRef{directory.path, name}, std::nullopt, std::nullopt};
            if (const auto info = TrashInfo::read(opened->info.get(), (name + ".trashinfo").constData(), m_zone)) {
                if (info->path && !info->path->isEmpty())
                    entry.originalPath = info->path->startsWith('/') || directory.topDir.isEmpty()
                                             ? lexicalAbsolutePath(*info->path, "/")
                                             : lexicalAbsolutePath(*info->path, directory.topDir);
                entry.deletionDate = info->deletionDate;
            }
            result.entries.append(std::move(entry));
        }
    }
    return result;
}

} // namespace rubbly
