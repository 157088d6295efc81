#include "UntrustedFile.h"

#include "PosixFd.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace rubbly {

namespace {
UntrustedReadError errorFromErrno(int error)
{
    using Kind = UntrustedReadError::Kind;
    switch (error) {
    case ENOENT:
    case ENOTDIR:
        return {Kind::Missing, error};
    case ELOOP:
        return {Kind::Link, error};
    case EINVAL:
        return {Kind::NotRegular, error};
    default:
        return {Kind::Failed, error};
    }
}

// Opens and checks the file, leaving O_NONBLOCK set (a regular file's reads never block anyway); what
// fstat said is in `st`.
int openRegularNonBlocking(int dirFd, const char* name, struct stat* st)
{
    // O_NONBLOCK: opening a FIFO for reading would otherwise wait for a writer that never comes.
    PosixFd fd(::openat(dirFd, name, O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY));
    if (!fd.isValid() || ::fstat(fd.get(), st) != 0)
        return -1;
    if (!S_ISREG(st->st_mode)) {
        errno = EINVAL;
        return -1;
    }
    return fd.release();
}

// Opens `name` as openRegularNonBlocking() does and refuses it when fstat already says it is larger
// than `limit`; `st` receives that stat.
Result<PosixFd, UntrustedReadError> openWithinLimit(int dirFd, const char* name, qint64 limit, struct stat& st)
{
    PosixFd fd(openRegularNonBlocking(dirFd, name, &st));
    if (!fd.isValid())
        return errorFromErrno(errno);
    if (st.st_size > limit)
        return UntrustedReadError{UntrustedReadError::Kind::TooLarge, EFBIG};
    return fd;
}
} // namespace

int openUntrustedRegularFile(int dirFd, const char* name)
{
    struct stat st = {};
    PosixFd fd(openRegularNonBlocking(dirFd, name, &st));
    if (!fd.isValid())
        return -1;
    // Keep the descriptor in the usual mode for the caller's reads.
    const int flags = ::fcntl(fd.get(), F_GETFL);
    if (flags >= 0)
        ::fcntl(fd.get(), F_SETFL, flags & ~O_NONBLOCK);
    return fd.release();
}

Result<QByteArray, UntrustedReadError> readUntrustedFile(int dirFd, const char* name, qint64 limit, struct stat* seen)
{
    // Four system calls a file: a full listing reads one info file per entry of the Trash.
    struct stat st = {};
    auto opened = openWithinLimit(dirFd, name, limit, st);
    if (!opened)
        return opened.error();
    const PosixFd fd = std::move(opened).value();
    if (seen)
        *seen = st;

    // The size may change while we read (a writer appending); read at most limit + 1 bytes so that
    // growth past the limit is seen without reading it.
    QByteArray content;
    content.resize(static_cast<qsizetype>(st.st_size) + 1);
    qsizetype filled = 0;
    bool blocking = false;
    for (;;) {
        if (filled == content.size()) {
            if (filled > limit)
                return UntrustedReadError{UntrustedReadError::Kind::TooLarge, EFBIG};
            content.resize(std::min<qsizetype>(qMax<qsizetype>(filled * 2, 4096), limit + 1));
        }
        const qsizetype wanted = content.size() - filled;
        const ssize_t n = ::read(fd.get(), content.data() + filled, wanted);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            // Only a file system that honours O_NONBLOCK on regular files (some FUSE ones) says so.
            if (errno == EAGAIN && !blocking) {
                blocking = true;
                ::fcntl(fd.get(), F_SETFL, 0);
                continue;
            }
            return errorFromErrno(errno);
        }
        if (n == 0)
            break;
        filled += n;
        // A short read that brought what fstat said is the end: one read, not a second one for the
        // zero. A file that grew meanwhile fills the byte beyond and is read on. Files that report no
        // size (/proc) hand out their contents in short reads and are read to the zero.
        if (n < wanted && st.st_size > 0 && filled >= st.st_size)
            break;
    }
    if (filled > limit)
        return UntrustedReadError{UntrustedReadError::Kind::TooLarge, EFBIG};
    content.truncate(filled);
    return content;
}

Result<Done, UntrustedReadError> readUntrustedFileInPieces(int dirFd, const char* name, qint64 limit,
                                                           const std::function<void(QByteArrayView)>& piece)
{
    struct stat st = {};
    auto opened = openWithinLimit(dirFd, name, limit, st);
    if (!opened)
        return opened.error();
    const PosixFd fd = std::move(opened).value();
    ::fcntl(fd.get(), F_SETFL, 0);
    constexpr qsizetype kPiece = 64 * 1024;
    const auto buffer = std::make_unique_for_overwrite<char[]>(kPiece);
    qint64 total = 0;
    for (;;) {
        const ssize_t n = ::read(fd.get(), buffer.get(), kPiece);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return errorFromErrno(errno);
        if (n == 0)
            return Done{};
        total += n;
        if (total > limit)
            return UntrustedReadError{UntrustedReadError::Kind::TooLarge, EFBIG};
        piece(QByteArrayView(buffer.get(), n));
    }
}

} // namespace rubbly
