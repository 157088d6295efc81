#include "TreeBuilder.h"

#include <QFile>
#include <QtGlobal>

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <ftw.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/time.h>
#include <unistd.h>

namespace rubbly::test {

namespace {
[[noreturn]] void fail(const char* what, const QByteArray& path)
{
    qFatal("TreeBuilder: %s %s: %s", what, path.constData(), std::strerror(errno));
}
} // namespace

TreeBuilder::TreeBuilder(QByteArray root)
    : m_root(std::move(root))
{
    while (m_root.size() > 1 && m_root.endsWith('/'))
        m_root.chop(1);
}

QByteArray TreeBuilder::path(const QByteArray& relative) const
{
    return relative.isEmpty() ? m_root : m_root + '/' + relative;
}

void TreeBuilder::ensureParent(const QByteArray& relative)
{
    const qsizetype slash = relative.lastIndexOf('/');
    dir(slash > 0 ? relative.left(slash) : QByteArray());
}

TreeBuilder& TreeBuilder::dir(const QByteArray& relative, mode_t mode)
{
    // The root and its ancestors first, so a builder can start below a folder that does not exist.
    QByteArray ancestor;
    for (const QByteArray& part : m_root.split('/')) {
        if (part.isEmpty())
            continue;
        ancestor += '/' + part;
        if (::mkdir(ancestor.constData(), 0755) != 0 && errno != EEXIST)
            fail("mkdir", ancestor);
    }
    QByteArray partial;
    for (const QByteArray& part : relative.split('/')) {
        if (part.isEmpty())
            continue;
        partial += (partial.isEmpty() ? "" : "/") + part;
        const QByteArray full = path(partial);
        if (::mkdir(full.constData(), mode) != 0 && errno != EEXIST)
            fail("mkdir", full);
    }
    return *this;
}

TreeBuilder& TreeBuilder::file(const QByteArray& relative, qint64 size, char fill)
{
    ensureParent(relative);
    const QByteArray full = path(relative);
    const int fd = ::open(full.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW, 0644);
    if (fd < 0)
        fail("create", full);
    const QByteArray chunk(64 * 1024, fill);
    for (qint64 left = size; left > 0;) {
        const auto n = ::write(fd, chunk.constData(), static_cast<size_t>(std::min<qint64>(left, chunk.size())));
        if (n <= 0)
            fail("write", full);
        left -= n;
    }
    ::close(fd);
    return *this;
}

TreeBuilder& TreeBuilder::write(const QByteArray& relative, const QByteArray& content)
{
    // By bytes, not through QFile: its decoded names would write a name that is not UTF-8 as its
    // U+FFFD look-alike.
    ensureParent(relative);
    const QByteArray full = path(relative);
    const int fd = ::open(full.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0 || ::write(fd, content.constData(), static_cast<size_t>(content.size())) != content.size())
        fail("write", full);
    ::close(fd);
    return *this;
}

QByteArray TreeBuilder::read(const QByteArray& path)
{
    const int fd = ::open(path.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    QByteArray content;
    char buffer[65536];
    ssize_t n = 0;
    while (fd >= 0 && (n = ::read(fd, buffer, sizeof buffer)) > 0)
        content.append(buffer, n);
    if (fd >= 0)
        ::close(fd);
    return n < 0 ? QByteArray() : content;
}

TreeBuilder& TreeBuilder::sparseFile(const QByteArray& relative, qint64 logicalSize)
{
    ensureParent(relative);
    const QByteArray full = path(relative);
    const int fd = ::open(full.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW, 0644);
    if (fd < 0 || ::ftruncate(fd, logicalSize) != 0)
        fail("truncate", full);
    ::close(fd);
    return *this;
}

TreeBuilder& TreeBuilder::symlink(const QByteArray& relative, const QByteArray& target)
{
    ensureParent(relative);
    if (::symlink(target.constData(), path(relative).constData()) != 0)
        fail("symlink", path(relative));
    return *this;
}

TreeBuilder& TreeBuilder::hardLink(const QByteArray& relative, const QByteArray& existingRelative)
{
    ensureParent(relative);
    if (::link(path(existingRelative).constData(), path(relative).constData()) != 0)
        fail("link", path(relative));
    return *this;
}

TreeBuilder& TreeBuilder::chmod(const QByteArray& relative, mode_t mode)
{
    if (::chmod(path(relative).constData(), mode) != 0)
        fail("chmod", path(relative));
    return *this;
}

TreeBuilder& TreeBuilder::touch(const QByteArray& relative, qint64 unixSeconds, long nanoseconds)
{
    const timespec time{static_cast<time_t>(unixSeconds), nanoseconds};
    const timespec times[2] = {time, time};
    if (::utimensat(AT_FDCWD, path(relative).constData(), times, AT_SYMLINK_NOFOLLOW) != 0)
        fail("utimensat", path(relative));
    return *this;
}

TreeBuilder& TreeBuilder::fifo(const QByteArray& relative)
{
    ensureParent(relative);
    if (::mkfifo(path(relative).constData(), 0600) != 0)
        fail("mkfifo", path(relative));
    return *this;
}

QList<QByteArray> TreeBuilder::hostileFileKinds()
{
    return {"fifo", "link to a file", "link to /dev/zero", "folder", "100 MB sparse file"};
}

TreeBuilder& TreeBuilder::hostileFile(const QByteArray& relative, const QByteArray& kind)
{
    if (kind == "fifo")
        return fifo(relative);
    if (kind == "link to a file")
        return write(relative + ".target", "{}\n[Desktop Entry]\n").symlink(relative, path(relative + ".target"));
    if (kind == "link to /dev/zero") {
        // Root links to a device node of its own: code that wrongly writes through the link then
        // replaces that node, not the system's /dev/zero.
        ensureParent(relative);
        const QByteArray node = path(relative + ".zero");
        return symlink(relative, ::mknod(node.constData(), S_IFCHR | 0666, makedev(1, 5)) == 0 ? node : "/dev/zero");
    }
    if (kind == "folder")
        return dir(relative);
    if (kind == "100 MB sparse file")
        return sparseFile(relative, 100LL << 20);
    qFatal("TreeBuilder: no hostile file kind %s", kind.constData());
}

QList<QByteArray> TreeBuilder::awkwardNames()
{
    return {
        QByteArrayLiteral("with space.txt"),
        QByteArrayLiteral("100% done+more.pdf"),
        QByteArrayLiteral("line\nbreak.png"),
        QByteArrayLiteral("latin1-\xe9t\xe9.mp3"),
        QByteArrayLiteral("-leading-dash"),
        QByteArrayLiteral("%2F not a slash"),
        QByteArray(246, 'n') + QByteArrayLiteral(".zip"),
    };
}

qint64 TreeBuilder::allocatedSize(const QByteArray& path)
{
    struct stat st {};
    if (::lstat(path.constData(), &st) != 0)
        return 0;
    return static_cast<qint64>(st.st_blocks) * 512;
}

qint64 TreeBuilder::treeAllocatedSize(const QByteArray& path)
{
    struct stat st {};
    if (::lstat(path.constData(), &st) != 0)
        return 0;
    if (!S_ISDIR(st.st_mode))
        return static_cast<qint64>(st.st_blocks) * 512;
    qint64 total = 0;
    if (DIR* d = ::opendir(path.constData())) {
        while (dirent* e = ::readdir(d)) {
            if (std::strcmp(e->d_name, ".") == 0 || std::strcmp(e->d_name, "..") == 0)
                continue;
            total += treeAllocatedSize(path + '/' + e->d_name);
        }
        ::closedir(d);
    }
    return total;
}

bool TreeBuilder::exists(const QByteArray& path)
{
    struct stat st {};
    return ::lstat(path.constData(), &st) == 0;
}

void TreeBuilder::makeWritable(const QByteArray& path)
{
    struct stat st {};
    if (::lstat(path.constData(), &st) != 0 || !S_ISDIR(st.st_mode))
        return;
    ::chmod(path.constData(), (st.st_mode & 07777) | S_IRWXU);
    if (DIR* d = ::opendir(path.constData())) {
        while (dirent* e = ::readdir(d)) {
            if (std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0)
                makeWritable(path + '/' + e->d_name);
        }
        ::closedir(d);
    }
}

void TreeBuilder::removeAll(const QByteArray& path)
{
    makeWritable(path);
    // Byte names throughout: QDir's removal skips names that are not UTF-8 and leaves the tree behind.
    ::nftw(
        path.constData(),
        [](const char* name, const struct stat*, int type, FTW*) {
            type == FTW_DP ? ::rmdir(name) : ::unlink(name);
            return 0;
        },
        16, FTW_DEPTH | FTW_PHYS);
}

bool TreeBuilder::setImmutable(const QByteArray& path, bool on)
{
    const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC);
    int flags = 0;
    bool ok = fd >= 0 && ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
    flags = on ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
    ok = ok && ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
    if (fd >= 0)
        ::close(fd);
    return ok;
}

} // namespace rubbly::test
