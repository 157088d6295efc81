#include "TrashStoreShared.h"

#include "MountAwareStat.h"
#include "PosixFd.h"

#include <QFile>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <unistd.h>

// Moving a file or folder into the trash of its own volume: the info file is claimed first, with
// O_EXCL, and the data renamed after it without replacing anything.

namespace rubbly {

using namespace trashstore;

namespace {

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

// Why a put failed, as errno and a sentence, before the path is put in front of it.
using PutProblem = std::pair<int, QString>;

// A put's failure: the path as given and why it stays where it is.
TrashError putFailure(const QByteArray& rawPath, int error, const QString& why)
{
    return TrashError{TrashServiceError::FileSystem, error,
                      QStringLiteral("cannot move %1 to the Trash: %2").arg(QFile::decodeName(rawPath), why)};
}

// Why `canonical` must not go into a trash, if it must not: it is in one, holds one, or is a folder
// holding a mount point. By name, from the path's own volume: a drop of many files looks at no other
// volume.
std::optional<PutProblem> refusal(const TrashLocations& locations, const QByteArray& canonical, bool isDirectory)
{
    for (const QByteArray& trash : locations.trashPathsAround(canonical)) {
        if (isUnder(canonical, trash))
            return PutProblem{EINVAL, QStringLiteral("it is already in the Trash")};
        if (isUnder(trash, canonical))
            return PutProblem{EINVAL, QStringLiteral("it contains the Trash")};
    }
    // A folder holding a mount point would carry it into the Trash, where only the emptying's own
    // care would keep the other file system's files; such a folder is not moved at all.
    if (isDirectory) {
        const auto mounts = TrashLocations::mountPointsAtOrBelow(canonical);
        if (!mounts)
            return PutProblem{EIO,
                              QStringLiteral("the mount table cannot be read to check that it holds no mount point")};
        if (!mounts->isEmpty())
            return PutProblem{EBUSY,
                              QStringLiteral("it holds the mount point %1").arg(QFile::decodeName(mounts->first()))};
    }
    return std::nullopt;
}

// Moves `parentFd`/`name` into the opened trash under the first free candidate name: the info file
// `content` is claimed first, exclusively, which reserves the name against other trashers, and the
// data is renamed after it without replacing anything. Gives the name it got, and its info file's
// inode in `infoInode`.
Result<QByteArray, PutProblem> moveUnderFreeName(int parentFd, const QByteArray& name, const OpenTrashFolder& trash,
                                                 const QByteArray& content, ino_t* infoInode)
{
    const int filesFd = trash.files.get();
    const int infoFd = trash.info.get();
    for (int n = 1; n < 100000; ++n) {
        const QByteArray candidate = candidateName(name, n);
        const QByteArray infoName = candidate + kInfoSuffix;
        PosixFd infoFile(
            ::openat(infoFd, infoName.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
        if (!infoFile.isValid()) {
            if (errno == EEXIST)
                continue;
            return PutProblem{errno, describe(errno)};
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
            const int error = written ? errno : writeError;
            dropInfo();
            return PutProblem{error, describe(error)};
        }
        if (::renameat2(parentFd, name.constData(), filesFd, candidate.constData(), RENAME_NOREPLACE) == 0) {
            *infoInode = infoWritten.st_ino;
            return candidate;
        }
        const int renameError = errno;
        dropInfo();
        if (renameError == EEXIST)
            continue;
        if (renameError == EXDEV)
            return PutProblem{EXDEV, QStringLiteral("it is not on the same file system as its trash")};
        return PutProblem{renameError, describe(renameError)};
    }
    return PutProblem{EEXIST, QStringLiteral("no free name in the Trash")};
}

} // namespace

TrashPutResult TrashStore::put(const QByteArray& rawPath, Timestamp now, TrashEntryRef* created, TrashInfoStamp* stamp)
{
    const auto fail = [&rawPath](int error, const QString& why) { return putFailure(rawPath, error, why); };
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
    if (const auto refused = refusal(m_locations, canonical, S_ISDIR(st.st_mode)))
        return fail(refused->first, refused->second);

    const auto trash = m_locations.trashFor(canonical, st.st_dev);
    if (!trash)
        return fail(EXDEV, QStringLiteral("its volume has no trash (temporary, read-only or system file system)"));
    auto opened = m_locations.open(*trash, true);
    if (!opened)
        return fail(opened.error().errorCode, opened.error().message());

    QByteArray infoPathValue = canonical;
    if (!trash->isHome && isUnder(canonical, trash->topDir))
        infoPathValue = trash->topDir == "/" ? canonical.mid(1) : canonical.mid(trash->topDir.size() + 1);
    const QByteArray content = TrashInfo::serialize(infoPathValue, now, m_zone);
    ino_t infoInode = 0;
    const auto moved = moveUnderFreeName(parentFd.get(), name, *opened, content, &infoInode);
    if (!moved)
        return fail(moved.error().first, moved.error().second);
    if (created)
        *created = TrashEntryRef{trash->path, moved.value()};
    if (stamp)
        *stamp = TrashInfoStamp::of(infoInode, content);
    return path;
}

} // namespace rubbly
