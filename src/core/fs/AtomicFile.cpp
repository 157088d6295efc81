#include "AtomicFile.h"

#include "PosixFd.h"

#include <QRandomGenerator>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace rubbly::fs {

namespace {

QString failure(const QByteArray& name, const char* step, int err)
{
    return QStringLiteral("cannot write %1 (%2: %3)")
        .arg(QString::fromLocal8Bit(name), QLatin1String(step), QString::fromLocal8Bit(std::strerror(err)));
}

bool writeAll(int fd, const QByteArray& content)
{
    qsizetype written = 0;
    while (written < content.size()) {
        const ssize_t n = ::write(fd, content.constData() + written, static_cast<size_t>(content.size() - written));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return false;
        if (n == 0) {
            errno = ENOSPC;
            return false;
        }
        written += n;
    }
    return true;
}

Result<Done, QString> replace(int dirFd, const QByteArray& name, const QByteArray& shownName, const QByteArray& content,
                              mode_t newMode, Durability durability)
{
    const bool flush = durability == Durability::Flushed;
    mode_t mode = newMode;
    struct stat old = {};
    if (::fstatat(dirFd, name.constData(), &old, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(old.st_mode))
        mode = old.st_mode & 07777;

    QByteArray tempName;
    PosixFd fd;
    for (int attempt = 0; attempt < 8 && !fd.isValid(); ++attempt) {
        tempName = '.' + name + '.' + QByteArray::number(QRandomGenerator::global()->generate64(), 36) + ".new";
        fd.reset(::openat(dirFd, tempName.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
        if (!fd.isValid() && errno != EEXIST)
            return failure(shownName, "create", errno);
    }
    if (!fd.isValid())
        return failure(shownName, "create", EEXIST);

    const char* step = nullptr;
    if (!writeAll(fd.get(), content))
        step = "write";
    else if (::fchmod(fd.get(), mode) != 0)
        step = "chmod";
    else if (flush && ::fsync(fd.get()) != 0)
        step = "flush";
    int err = step ? errno : 0;
    // close() can report a deferred write error (NFS, some FUSE file systems): it counts as one.
    if (::close(fd.release()) != 0 && !step) {
        step = "close";
        err = errno;
    }
    if (!step && ::renameat(dirFd, tempName.constData(), dirFd, name.constData()) != 0) {
        step = "rename";
        err = errno;
    }
    if (step) {
        ::unlinkat(dirFd, tempName.constData(), 0);
        return failure(shownName, step, err);
    }
    // The rename is durable only once the folder is flushed; a failure here loses nothing we could
    // still keep, so it is not reported.
    if (flush)
        ::fsync(dirFd);
    return Done{};
}

} // namespace

Result<Done, QString> replaceFileAt(int dirFd, const QByteArray& name, const QByteArray& content, mode_t newMode,
                                    Durability durability)
{
    return replace(dirFd, name, name, content, newMode, durability);
}

Result<Done, QString> replaceFile(const QByteArray& path, const QByteArray& content, mode_t newMode,
                                  Durability durability)
{
    const qsizetype slash = path.lastIndexOf('/');
    const QByteArray dir = slash < 0 ? QByteArray(".") : slash == 0 ? QByteArray("/") : path.left(slash);
    const QByteArray name = slash < 0 ? path : path.mid(slash + 1);
    const PosixFd dirFd(::open(dir.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!dirFd.isValid())
        return failure(path, "open folder", errno);
    return replace(dirFd.get(), name, path, content, newMode, durability);
}

} // namespace rubbly::fs
