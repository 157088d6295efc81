#pragma once

#include "Result.h"

#include <QByteArray>
#include <QByteArrayView>

#include <functional>
#include <sys/stat.h>

namespace rubbly {

// Why a file that another program or user may have written was not read.
struct UntrustedReadError {
    enum class Kind {
        Missing,    // no such file (ENOENT, or a parent folder that is missing)
        Link,       // the name is a symbolic link; links are never followed here
        NotRegular, // a FIFO, socket, device or folder: opening or reading it could block or never end
        TooLarge,   // larger than the limit its kind allows
        Failed,     // any other error; `error` holds errno
    };
    Kind kind = Kind::Failed;
    int error = 0;
};

// Opens `name` relative to the folder descriptor `dirFd` (AT_FDCWD for a path) with O_NONBLOCK |
// O_NOFOLLOW | O_CLOEXEC, checks with fstat that it is a regular file and reads it whole, at most
// `limit` bytes. Never blocks on a FIFO or device and never allocates more than the limit: every
// reader of a file that others may write (trash info files and caches, the defaults file, stored
// records, manifests, desktop files) goes through here. `seen`, when given, receives the fstat of
// the file that was read, taken before its first byte: a stamp that changes with any later write.
Result<QByteArray, UntrustedReadError> readUntrustedFile(int dirFd, const char* name, qint64 limit,
                                                         struct stat* seen = nullptr);
inline Result<QByteArray, UntrustedReadError> readUntrustedFile(const QByteArray& path, qint64 limit)
{
    return readUntrustedFile(-100 /* AT_FDCWD */, path.constData(), limit);
}

// Opens `name` relative to `dirFd` for reading the same way and returns the descriptor of a regular
// file, or -1 with errno set (ELOOP for a link, EINVAL for anything that is not a regular file). For
// readers that stream instead of reading whole.
int openUntrustedRegularFile(int dirFd, const char* name);

// Reads `name` as readUntrustedFile() does, with the same checks and limit, but hands the content to
// `piece` as it arrives, a buffer of at most 64 KiB at a time, so a large file is never in memory
// whole. A file that grows past the limit while it is read ends in TooLarge after the pieces before.
Result<Done, UntrustedReadError> readUntrustedFileInPieces(int dirFd, const char* name, qint64 limit,
                                                           const std::function<void(QByteArrayView)>& piece);

} // namespace rubbly
