#include "TreeBuilder.h"

#include <QtGlobal>

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <ftw.h>
#include <linux/fs.h>
#include <set>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>
#include <utility>

namespace rubbly::test {

namespace {
void check(bool ok, const char* what, const QByteArray& path)
{
    if (!ok)
        qFatal("TreeBuilder: %s %s: %s", what, path.constData(), std::strerror(errno));
}

// Creates or empties a file holding `content`. By bytes, not through QFile: its decoded names would
// write a name that is not UTF-8 as its U+FFFD look-alike.
void put(const QByteArray& full, const QByteArray& content, int flags = 0)
{
    const int fd = ::open(full.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | flags, 0644);
    check(fd >= 0 && ::write(fd, content.constData(), static_cast<size_t>(content.size())) == content.size(), "write",
          full);
    ::close(fd);
}

// Calls `visit` with the path of every entry of the folder `path`, which the caller found is no link.
template <typename Visit> void forEachChild(const QByteArray& path, Visit visit)
{
    if (DIR* d = ::opendir(path.constData())) {
        while (dirent* e = ::readdir(d)) {
            if (std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0)
                visit(path + '/' + e->d_name);
        }
        ::closedir(d);
    }
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

QByteArray TreeBuilder::ensureParent(const QByteArray& relative)
{
    const qsizetype slash = relative.lastIndexOf('/');
    dir(slash > 0 ? relative.left(slash) : QByteArray());
    return path(relative);
}

TreeBuilder& TreeBuilder::dir(const QByteArray& relative, mode_t mode)
{
    // The root and its ancestors first, so a builder can start below a folder that does not exist.
    QByteArray made;
    const auto make = [&made](const QByteArray& parts, mode_t partMode) {
        for (const QByteArray& part : parts.split('/')) {
            if (!part.isEmpty()) {
                made += '/' + part;
                check(::mkdir(made.constData(), partMode) == 0 || errno == EEXIST, "mkdir", made);
            }
        }
    };
    make(m_root, 0755);
    make(relative, mode);
    return *this;
}

TreeBuilder& TreeBuilder::file(const QByteArray& relative, qint64 size, char fill)
{
    put(ensureParent(relative), QByteArray(size, fill), O_NOFOLLOW);
    return *this;
}

TreeBuilder& TreeBuilder::write(const QByteArray& relative, const QByteArray& content)
{
    put(ensureParent(relative), content);
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
    put(ensureParent(relative), {}, O_NOFOLLOW);
    check(::truncate(path(relative).constData(), logicalSize) == 0, "truncate", path(relative));
    return *this;
}

TreeBuilder& TreeBuilder::symlink(const QByteArray& relative, const QByteArray& target)
{
    check(::symlink(target.constData(), ensureParent(relative).constData()) == 0, "symlink", path(relative));
    return *this;
}

TreeBuilder& TreeBuilder::hardLink(const QByteArray& relative, const QByteArray& existingRelative)
{
    check(::link(path(existingRelative).constData(), ensureParent(relative).constData()) == 0, "link", path(relative));
    return *this;
}

TreeBuilder& TreeBuilder::chmod(const QByteArray& relative, mode_t mode)
{
    check(::chmod(path(relative).constData(), mode) == 0, "chmod", path(relative));
    return *this;
}

TreeBuilder& TreeBuilder::touch(const QByteArray& relative, qint64 unixSeconds, long nanoseconds)
{
    const timespec times[2] = {{static_cast<time_t>(unixSeconds), nanoseconds},
                               {static_cast<time_t>(unixSeconds), nanoseconds}};
    check(::utimensat(AT_FDCWD, path(relative).constData(), times, AT_SYMLINK_NOFOLLOW) == 0, "utimensat",
          path(relative));
    return *this;
}

QList<QByteArray> TreeBuilder::hostileFileKinds()
{
    return {"fifo", "link to a file", "link to /dev/zero", "folder", "100 MB sparse file"};
}

TreeBuilder& TreeBuilder::hostileFile(const QByteArray& relative, const QByteArray& kind)
{
    if (kind == "fifo") {
        check(::mkfifo(ensureParent(relative).constData(), 0600) == 0, "mkfifo", path(relative));
        return *this;
    }
    if (kind == "link to a file")
        return write(relative + ".target", "{}\n[Desktop Entry]\n").symlink(relative, path(relative + ".target"));
    if (kind == "link to /dev/zero") {
        // Root links to a device node of its own: code that wrongly writes through the link then
        // replaces that node, not the system's /dev/zero.
        const QByteArray node = ensureParent(relative) + ".zero";
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
    return {"with space.txt",  "100% done+more.pdf",         "line\nbreak.png", "latin1-\xe9t\xe9.mp3", "-leading-dash",
            "%2F not a slash", QByteArray(246, 'n') + ".zip"};
}

qint64 TreeBuilder::allocatedSize(const QByteArray& path)
{
    struct stat st = {};
    return ::lstat(path.constData(), &st) == 0 ? static_cast<qint64>(st.st_blocks) * 512 : 0;
}

qint64 TreeBuilder::treeAllocatedSize(const QByteArray& path)
{
    struct stat st = {};
    if (::lstat(path.constData(), &st) != 0 || !S_ISDIR(st.st_mode))
        return allocatedSize(path);
    qint64 total = 0;
    forEachChild(path, [&total](const QByteArray& child) { total += treeAllocatedSize(child); });
    return total;
}

qint64 TreeBuilder::diskUsage(const QByteArray& path)
{
    static thread_local std::set<std::pair<dev_t, ino_t>>* seen = nullptr;
    static thread_local qint64 total = 0;
    std::set<std::pair<dev_t, ino_t>> inodes;
    seen = &inodes;
    total = 0;
    ::nftw(
        path.constData(),
        [](const char*, const struct stat* st, int type, FTW*) {
            if (type != FTW_NS && seen->emplace(st->st_dev, st->st_ino).second)
                total += static_cast<qint64>(st->st_blocks) * 512;
            return 0;
        },
        16, FTW_PHYS | FTW_MOUNT);
    return total;
}

bool TreeBuilder::exists(const QByteArray& path)
{
    struct stat st = {};
    return ::lstat(path.constData(), &st) == 0;
}

void TreeBuilder::makeWritable(const QByteArray& path)
{
    struct stat st = {};
    if (::lstat(path.constData(), &st) != 0 || !S_ISDIR(st.st_mode))
        return;
    ::chmod(path.constData(), (st.st_mode & 07777) | S_IRWXU);
    forEachChild(path, makeWritable);
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
