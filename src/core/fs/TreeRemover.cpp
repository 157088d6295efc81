#include "TreeRemover.h"

#include "ByteCounts.h"
#include "MountAwareStat.h"
#include "PosixFd.h"

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <string>
#include <vector>

namespace rubbly {

namespace {

constexpr int kOpenDirFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;

bool isDotOrDotDot(const char* name)
{
    return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
}

// Opens the folder `name` for reading its entries and unlinking them, checked on what was opened:
// a mount point (another volume, or a bind mount of any file system) is not entered and gives -1
// with `mountRoot` set. A folder we own whose mode keeps us out (r-x, -wx, ---) is given u+rwx
// through its own descriptor, never by path, so a folder swapped for a link in between cannot make
// us change anything else.
int openForRemoval(int parentFd, const char* name, dev_t device, bool& mountRoot)
{
    const uid_t me = ::geteuid();
    mountRoot = false;
    MountAwareStat st;
    int fd = ::openat(parentFd, name, kOpenDirFlags);
    if (fd < 0 && errno == EACCES) {
        PosixFd pathFd(::openat(parentFd, name, O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        if (!pathFd.isValid() || !mountAwareStat(pathFd.get(), "", st, device))
            return -1;
        if (st.mountRoot || st.st.st_uid != me) {
            mountRoot = st.mountRoot;
            errno = EACCES;
            return -1;
        }
        // fchmod() does not take O_PATH descriptors; the /proc link names exactly this inode.
        const std::string procPath = "/proc/self/fd/" + std::to_string(pathFd.get());
        if (::chmod(procPath.c_str(), (st.st.st_mode & 07777) | S_IRWXU) != 0)
            return -1;
        fd = ::openat(pathFd.get(), ".", kOpenDirFlags);
    }
    if (fd < 0)
        return -1;
    PosixFd opened(fd);
    if (!mountAwareStat(fd, "", st, device))
        return -1;
    if (st.mountRoot) {
        mountRoot = true;
        errno = EBUSY;
        return -1;
    }
    if (st.st.st_uid == me && (st.st.st_mode & S_IRWXU) != S_IRWXU)
        ::fchmod(fd, (st.st.st_mode & 07777) | S_IRWXU);
    return opened.release();
}

} // namespace

TreeRemover::TreeRemover(bool countBytes, const std::atomic<bool>* stop)
    : m_options{countBytes, false, nullptr, stop}
{
}

TreeRemover::TreeRemover(RemovalOptions options)
    : m_options(options)
{
}

bool TreeRemover::firstLink(dev_t device, ino_t inode)
{
    return m_linkedInodes.insert({device, inode}).second;
}

RemovalResult TreeRemover::remove(const QByteArray& path)
{
    QByteArray parent = ".";
    QByteArray name = path;
    while (name.size() > 1 && name.endsWith('/'))
        name.chop(1);
    const qsizetype slash = name.lastIndexOf('/');
    if (slash >= 0) {
        parent = slash == 0 ? QByteArray("/") : name.left(slash);
        name = name.mid(slash + 1);
    }
    if (name.isEmpty() || name == "." || name == "..")
        return {};
    PosixFd parentFd(::open(parent.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!parentFd.isValid())
        return {};
    return remove(parentFd.get(), name.constData());
}

RemovalResult TreeRemover::remove(int parentFd, const char* name)
{
    RemovalResult result;
    m_linkedInodes.clear();
    if (m_options.spare && m_options.spare(name)) {
        result.spared = 1;
        return result;
    }
    const auto gone = [&result] {
        result.complete = true;
        result.alreadyGone = true;
        return result;
    };
    MountAwareStat entry;
    if (!mountAwareStat(parentFd, name, entry)) {
        if (errno == ENOENT)
            return gone();
        result.failures = 1;
        return result;
    }
    const struct stat& st = entry.st;
    if (entry.mountRoot) {
        result.failures = 1;
        result.mountPoint = name;
        return result;
    }
    if (!S_ISDIR(st.st_mode)) {
        if (::unlinkat(parentFd, name, 0) == 0) {
            result.complete = true;
            if (m_options.countBytes)
                result.removedBytes = allocatedBytes(st.st_blocks);
        } else if (errno == ENOENT) {
            return gone();
        } else {
            result.failures = 1;
        }
        return result;
    }
    bool mountRoot = false;
    PosixFd dirFd(openForRemoval(parentFd, name, st.st_dev, mountRoot));
    if (!dirFd.isValid()) {
        if (errno == ENOENT && !mountRoot)
            return gone();
        result.failures = 1;
        if (mountRoot)
            result.mountPoint = name;
        return result;
    }
    const bool emptied = clearDirectory(dirFd.get(), st.st_dev, QByteArray(name), result);
    dirFd.reset();
    if (emptied && (::unlinkat(parentFd, name, AT_REMOVEDIR) == 0 || errno == ENOENT)) {
        result.complete = true;
        if (m_options.countBytes && m_options.countFolders)
            result.removedBytes = saturatingAdd(result.removedBytes, allocatedBytes(st.st_blocks));
    } else if (emptied) {
        ++result.failures;
    }
    return result;
}

bool TreeRemover::clearDirectory(int rootFd, dev_t device, const QByteArray& rootName, RemovalResult& result)
{
    // Each frame is an open folder and the name it has in the frame below, so that once it is empty
    // it can be removed relative to its parent.
    struct Frame {
        DIR* dir;
        std::string name;
        bool clean;
        int passes;
        // The folder's own allocated bytes, counted once it is removed.
        qint64 blocks;
        // A spared entry below keeps this folder standing (not a failure).
        bool keeps;
    };
    const auto spared = [this](const char* n) { return m_options.spare && m_options.spare(n); };
    const int ownFd = ::dup(rootFd);
    DIR* root = ownFd >= 0 ? ::fdopendir(ownFd) : nullptr;
    if (!root) {
        if (ownFd >= 0)
            ::close(ownFd);
        ++result.failures;
        return false;
    }
    std::vector<Frame> stack;
    stack.push_back({root, {}, true, 1, 0, false});
    bool rootClean = true;
    // The path of `name` in the top frame, from the folder the root is in: for naming a mount point.
    const auto pathOf = [&](const char* name) {
        QByteArray path = rootName;
        for (std::size_t i = 1; i < stack.size(); ++i)
            path += '/' + QByteArray::fromStdString(stack[i].name);
        return path + '/' + name;
    };

    while (!stack.empty()) {
        if (stopped()) {
            for (const Frame& frame : stack)
                ::closedir(frame.dir);
            ++result.failures;
            return false;
        }
        Frame& frame = stack.back();
        const int fd = ::dirfd(frame.dir);
        errno = 0;
        const dirent* entry = ::readdir(frame.dir);
        if (!entry) {
            if (errno != 0)
                frame.clean = false;
            // Unlinking while reading may make readdir skip entries on some file systems; a second
            // pass over a folder that should be empty picks those up.
            if (frame.clean && frame.passes < 3) {
                ::rewinddir(frame.dir);
                errno = 0;
                const dirent* probe = nullptr;
                while ((probe = ::readdir(frame.dir)) && (isDotOrDotDot(probe->d_name) || spared(probe->d_name))) {
                }
                if (probe) {
                    ++frame.passes;
                    ::rewinddir(frame.dir);
                    continue;
                }
            }
            Frame done = frame;
            stack.pop_back();
            ::closedir(done.dir);
            if (stack.empty()) {
                rootClean = done.clean && !done.keeps;
                break;
            }
            Frame& parent = stack.back();
            // Gone already (ENOENT) is what we wanted: another emptying got there first.
            if (done.keeps) {
                parent.keeps = true;
                parent.clean = parent.clean && done.clean;
            } else if (!done.clean ||
                       (::unlinkat(::dirfd(parent.dir), done.name.c_str(), AT_REMOVEDIR) != 0 && errno != ENOENT)) {
                if (done.clean)
                    ++result.failures;
                parent.clean = false;
            } else if (m_options.countBytes && m_options.countFolders) {
                result.removedBytes = saturatingAdd(result.removedBytes, done.blocks);
            }
            continue;
        }
        const char* name = entry->d_name;
        if (isDotOrDotDot(name))
            continue;
        if (spared(name)) {
            if (frame.passes == 1)
                ++result.spared;
            frame.keeps = true;
            continue;
        }

        bool isDir = entry->d_type == DT_DIR;
        struct stat st {};
        const bool needStat = entry->d_type == DT_UNKNOWN || (m_options.countBytes && !isDir);
        if (needStat) {
            if (::fstatat(fd, name, &st, AT_SYMLINK_NOFOLLOW) != 0) {
                if (errno != ENOENT) {
                    ++result.failures;
                    frame.clean = false;
                }
                continue;
            }
            isDir = S_ISDIR(st.st_mode);
        }
        if (!isDir) {
            if (::unlinkat(fd, name, 0) == 0) {
                if (st.st_nlink <= 1 || firstLink(st.st_dev, st.st_ino))
                    result.removedBytes = saturatingAdd(result.removedBytes, allocatedBytes(st.st_blocks));
            } else if (errno != ENOENT) {
                // EBUSY: a file mounted here from elsewhere.
                if (errno == EBUSY && result.mountPoint.isEmpty())
                    result.mountPoint = pathOf(name);
                ++result.failures;
                frame.clean = false;
            }
            continue;
        }

        bool mountRoot = false;
        const int childFd = openForRemoval(fd, name, device, mountRoot);
        DIR* child = childFd >= 0 ? ::fdopendir(childFd) : nullptr;
        if (!child) {
            // Gone already is no failure; anything else (unreadable, a mount point) stays, and with it
            // the folders above.
            const int error = errno;
            if (childFd >= 0)
                ::close(childFd);
            if (error == ENOENT && !mountRoot)
                continue;
            if (mountRoot && result.mountPoint.isEmpty())
                result.mountPoint = pathOf(name);
            ++result.failures;
            frame.clean = false;
            continue;
        }
        qint64 childBlocks = 0;
        struct stat childSt {};
        if (m_options.countBytes && m_options.countFolders && ::fstat(::dirfd(child), &childSt) == 0)
            childBlocks = allocatedBytes(childSt.st_blocks);
        stack.push_back({child, name, true, 1, childBlocks, false});
    }
    return rootClean;
}

} // namespace rubbly
