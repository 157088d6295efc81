#include "TreeRemover.h"

#include "ByteCounts.h"
#include "FolderReopen.h"
#include "MountAwareStat.h"
#include "PosixFd.h"

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <string>
#include <unordered_set>
#include <vector>

namespace rubbly {

namespace {

// Opens the folder `name` for reading its entries and unlinking them, checked on what was opened:
// a mount point (another volume, or a bind mount of any file system) is not entered and gives -1
// with `mountRoot` set. A folder we own whose mode keeps us out (r-x, -wx, ---) is given u+rwx
// through its own descriptor, never by path, so a folder swapped for a link in between cannot make
// us change anything else.
// `st` receives what the opened folder's own stat says.
int openForRemoval(int parentFd, const char* name, dev_t device, bool& mountRoot, MountAwareStat& st)
{
    const uid_t me = ::geteuid();
    mountRoot = false;
    int fd = ::openat(parentFd, name, kOpenFolderFlags);
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
        fd = ::openat(pathFd.get(), ".", kOpenFolderFlags);
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
    MountAwareStat opened;
    PosixFd dirFd(openForRemoval(parentFd, name, st.st_dev, mountRoot, opened));
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
    // Each frame is a folder being emptied and the name it has in the frame below, so that once it
    // is empty it can be removed relative to its parent. Only the root and the deepest frames are
    // open (kMaxOpenFolders in all); the ones between are closed on the way down and opened again,
    // checked to be the same folders, on the way back up.
    struct Frame {
        // Null while closed to save a descriptor.
        DIR* dir;
        std::string name;
        FolderIdentity identity;
        bool clean = true;
        int passes = 1;
        // The folder's own allocated bytes, counted once it is removed.
        qint64 blocks = 0;
        // A spared entry below keeps this folder standing (not a failure).
        bool keeps = false;
        // The folder could not be opened again: what is left in it stays.
        bool lost = false;
        // Names that stay here (failures, spared entries, folders kept by what they hold): a folder
        // opened again is read from its start, and passes over these instead of counting them twice.
        std::unordered_set<std::string> left;
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
    stack.push_back({root, {}, {}, true, 1, 0, false, false, {}});
    // Frames 1 .. firstOpen-1 are closed; the root and those from firstOpen up are open.
    std::size_t firstOpen = 1;
    bool rootClean = true;
    // The path of `name` in the top frame, from the folder the root is in: for naming a mount point.
    const auto pathOf = [&](const char* name) {
        QByteArray path = rootName;
        for (std::size_t i = 1; i < stack.size(); ++i)
            path += '/' + QByteArray::fromStdString(stack[i].name);
        return path + '/' + name;
    };
    // Opens the top frame again: as ".." of the child just left when that is still the folder,
    // else down from the root by the remembered names, each checked.
    const auto reopenTop = [&](DIR* child) {
        const std::size_t top = stack.size() - 1;
        int fd = child ? reopenParent(::dirfd(child), stack[top].identity) : -1;
        if (fd < 0)
            fd = reopenByNames(::dirfd(stack[0].dir), top, [&stack](std::size_t i) {
                return std::pair(stack[i + 1].name.c_str(), stack[i + 1].identity);
            });
        stack[top].dir = fd >= 0 ? ::fdopendir(fd) : nullptr;
        if (fd >= 0 && !stack[top].dir)
            ::close(fd);
        firstOpen = top;
    };
    const auto leave = [](Frame& frame, const char* name) {
        frame.clean = false;
        frame.left.insert(name);
    };
    const auto isLeft = [](const Frame& frame, const char* name) {
        return !frame.left.empty() && frame.left.count(name) != 0;
    };

    while (!stack.empty()) {
        if (stopped()) {
            for (const Frame& frame : stack) {
                if (frame.dir)
                    ::closedir(frame.dir);
            }
            ++result.failures;
            return false;
        }
        Frame& frame = stack.back();
        errno = 0;
        const dirent* entry = frame.dir ? ::readdir(frame.dir) : nullptr;
        if (!entry) {
            if (errno != 0 || !frame.dir)
                frame.clean = false;
            // Unlinking while reading may make readdir skip entries on some file systems; a second
            // pass over a folder that should be empty picks those up.
            if (frame.clean && frame.passes < 3) {
                ::rewinddir(frame.dir);
                errno = 0;
                const dirent* probe = nullptr;
                while ((probe = ::readdir(frame.dir)) &&
                       (isDotOrDotDot(probe->d_name) || spared(probe->d_name) || isLeft(frame, probe->d_name))) {
                }
                if (probe) {
                    ++frame.passes;
                    ::rewinddir(frame.dir);
                    continue;
                }
            }
            Frame done = std::move(frame);
            stack.pop_back();
            if (stack.empty()) {
                ::closedir(done.dir);
                rootClean = done.clean && !done.keeps;
                break;
            }
            Frame& parent = stack.back();
            if (!parent.dir)
                reopenTop(done.dir);
            if (done.dir)
                ::closedir(done.dir);
            if (!parent.dir) {
                // Moved away or replaced while we were below it: what it still holds stays.
                if (!parent.lost)
                    ++result.failures;
                parent.lost = true;
                parent.clean = false;
                continue;
            }
            // Gone already (ENOENT) is what we wanted: another emptying got there first.
            if (done.keeps) {
                parent.keeps = true;
                parent.left.insert(done.name);
                parent.clean = parent.clean && done.clean;
            } else if (!done.clean ||
                       (::unlinkat(::dirfd(parent.dir), done.name.c_str(), AT_REMOVEDIR) != 0 && errno != ENOENT)) {
                if (done.clean)
                    ++result.failures;
                leave(parent, done.name.c_str());
            } else if (m_options.countBytes && m_options.countFolders) {
                result.removedBytes = saturatingAdd(result.removedBytes, done.blocks);
            }
            continue;
        }
        const int fd = ::dirfd(frame.dir);
        const char* name = entry->d_name;
        if (isDotOrDotDot(name) || isLeft(frame, name))
            continue;
        if (spared(name)) {
            ++result.spared;
            frame.keeps = true;
            frame.left.insert(name);
            continue;
        }

        bool isDir = entry->d_type == DT_DIR;
        struct stat st = {};
        const bool needStat = entry->d_type == DT_UNKNOWN || (m_options.countBytes && !isDir);
        if (needStat) {
            if (::fstatat(fd, name, &st, AT_SYMLINK_NOFOLLOW) != 0) {
                if (errno != ENOENT) {
                    ++result.failures;
                    leave(frame, name);
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
                leave(frame, name);
            }
            continue;
        }

        bool mountRoot = false;
        MountAwareStat opened;
        const int childFd = openForRemoval(fd, name, device, mountRoot, opened);
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
            leave(frame, name);
            continue;
        }
        const qint64 childBlocks =
            m_options.countBytes && m_options.countFolders ? allocatedBytes(opened.st.st_blocks) : 0;
        // Deep down, the open folder nearest the root (never the root itself) is closed.
        if (stack.size() + 1 - firstOpen + 1 > kMaxOpenFolders && firstOpen < stack.size()) {
            ::closedir(stack[firstOpen].dir);
            stack[firstOpen++].dir = nullptr;
        }
        stack.push_back({child, name, {opened.st.st_dev, opened.st.st_ino}, true, 1, childBlocks, false, false, {}});
    }
    return rootClean;
}

} // namespace rubbly
