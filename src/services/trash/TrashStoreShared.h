#pragma once

// What every operation of TrashStore opens and reads the same way, in one place: trash folders are
// opened by TrashLocations::open() (O_NOFOLLOW from the parent's descriptor, ownership checked), and
// below them everything goes through the folder's descriptors: info files are looked at with
// AT_SYMLINK_NOFOLLOW and read as untrusted files (bounded, never a link or a FIFO), directorysizes
// the same, and an info file is unlinked only while it is still the one looked at. Private to the
// TrashStore*.cpp files.

#include "TrashStore.h"

#include <QByteArray>
#include <QString>

#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <limits>
#include <optional>
#include <sys/stat.h>

namespace rubbly {

namespace trashstore {

constexpr int kOpenDirFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;
constexpr qsizetype kNameMax = 255;
inline const QByteArray kInfoSuffix = QByteArrayLiteral(".trashinfo");

QString describe(int error);

inline bool isPermissionError(int error)
{
    return error == EACCES || error == EPERM;
}

// The problem of a trash folder whose files/ could not be listed (to the end).
TrashFolderProblem unlistable(const TrashDirectory& directory, int error);

// A trash folder's problem as a cleanup reports it: unusable, or not listable to the end.
TrashError folderFailure(const TrashFolderProblem& problem, TrashFailure reason);

// A cleanup's result before it removes anything: the folders it cannot use are its first problems.
TrashCleanupResult cleanupOf(const QList<TrashFolderProblem>& problems);

// The original path an info file gives, made absolute against its volume's top.
QByteArray absoluteOriginalPath(const QByteArray& infoPath, const QByteArray& topDir);

// The wall clock in seconds, for the put-in-flight margin (file mtimes are wall-clock times).
time_t secondsNow();

// "<name>.trashinfo" in `buffer`, on the stack: this runs for every entry of every scan. False when
// the name is too long to have an info file.
inline bool infoFileName(QByteArrayView name, char (&buffer)[kNameMax + 16])
{
    if (name.size() > kNameMax)
        return false;
    std::memcpy(buffer, name.data(), static_cast<size_t>(name.size()));
    std::memcpy(buffer + name.size(), kInfoSuffix.constData(), static_cast<size_t>(kInfoSuffix.size()) + 1);
    return true;
}

constexpr qint64 kNoDate = std::numeric_limits<qint64>::min();

inline qint64 toMicros(const std::optional<Timestamp>& t)
{
    return t ? t->time_since_epoch().count() : kNoDate;
}

inline std::optional<Timestamp> fromMicros(qint64 micros)
{
    if (micros == kNoDate)
        return std::nullopt;
    return Timestamp{std::chrono::microseconds(micros)};
}

inline qint64 nanoseconds(const timespec& t)
{
    return t.tv_sec * 1'000'000'000LL + t.tv_nsec;
}

// True when `st` is still the info file seen before: same inode, mtime and size.
inline bool sameFile(const struct stat& st, const timespec& mtime, off_t size, ino_t inode)
{
    return st.st_mtim.tv_sec == mtime.tv_sec && st.st_mtim.tv_nsec == mtime.tv_nsec && st.st_size == size &&
           st.st_ino == inode;
}

inline bool sameFile(const struct stat& st, qint64 mtimeNs, off_t size, ino_t inode)
{
    return nanoseconds(st.st_mtim) == mtimeNs && st.st_size == size && st.st_ino == inode;
}

// Stats info/<name>.trashinfo without following a link; true when it is a regular file. Inline: the
// scan and the age rule call it for every entry.
inline bool statInfo(int infoFd, QByteArrayView name, struct stat* infoStat)
{
    char infoName[kNameMax + 16];
    return infoFd >= 0 && infoFileName(name, infoName) &&
           ::fstatat(infoFd, infoName, infoStat, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(infoStat->st_mode);
}

} // namespace trashstore

} // namespace rubbly
