#include "TreeRemover.h"

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

// Opens the folder `name` for reading its entries and unlinking them. A folder we own whose mode
// keeps us out (r-x, -wx, ---) is given u+rwx through its own descriptor, never by path, so a folder
// swapped for a link in between cannot make us change anything else.
int openForRemoval(int parentFd, const char* name)
{
    const uid_t me = ::geteuid();
    int fd = ::openat(parentFd, name, kOpenDirFlags);
    if (fd < 0 && errno == EACCES) {
        PosixFd pathFd(::openat(parentFd, name, O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        struct stat st {};
        if (!pathFd.isValid() || ::fstat(pathFd.get(), &st) != 0 || st.st_uid != me)
            return -1;
        // fchmod() does not take O_PATH descriptors; the /proc link names exactly this inode.
        const std::string procPath = "/proc/self/fd/" + std::to_string(pathFd.get());
        if (::chmod(procPath.c_str(), (st.st_mode & 07777) | S_IRWXU) != 0)
            return -1;
        fd = ::openat(pathFd.get(), ".", kOpenDirFlags);
    }
    if (fd < 0)
        return -1;
    struct stat st {};
    if (::fstat(fd, &st) == 0 && st.st_uid == me && (st.st_mode & S_IRWXU) != S_IRWXU)
        ::fchmod(fd, (st.st_mode & 07777) | S_IRWXU);
    return fd;
}

} // namespace

TreeRemover::TreeRemover(bool countBytes)
    : m_countBytes(countBytes)
{
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
    struct stat st {};
    if (::fstatat(parentFd, name, &st, AT_SYMLINK_NOFOLLOW) != 0) {
        // Already gone counts as removed: there is nothing left to delete.
        result.complete = errno == ENOENT;
        return result;
    }
    if (!S_ISDIR(st.st_mode)) {
        if (::unlinkat(parentFd, name, 0) == 0) {
            result.complete = true;
            if (m_countBytes)
                result.removedBytes = static_cast<qint64>(st.st_blocks) * 512;
        } else {
            result.failures = 1;
        }
        return result;
    }
    PosixFd dirFd(openForRemoval(parentFd, name));
    if (!dirFd.isValid()) {
        result.failures = 1;
        return result;
    }
    const bool emptied = clearDirectory(dirFd.get(), st.st_dev, result);
    dirFd.reset();
    if (emptied && ::unlinkat(parentFd, name, AT_REMOVEDIR) == 0) {
        result.complete = true;
    } else if (emptied) {
        ++result.failures;
    }
    return result;
}

bool TreeRemover::clearDirectory(int rootFd, dev_t device, RemovalResult& result)
{
    // Each frame is an open folder and the name it has in the frame below, so that once it is empty
    // it can be removed relative to its parent.
    struct Frame {
        DIR* dir;
        std::string name;
        bool clean;
        int passes;
    };
    const int ownFd = ::dup(rootFd);
    DIR* root = ownFd >= 0 ? ::fdopendir(ownFd) : nullptr;
    if (!root) {
        if (ownFd >= 0)
            ::close(ownFd);
        ++result.failures;
        return false;
    }
    std::vector<Frame> stack;
    stack.push_back({root, {}, true, 1});
    bool rootClean = true;

    while (!stack.empty()) {
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
                while ((probe = ::readdir(frame.dir)) && isDotOrDotDot(probe->d_name)) {
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
                rootClean = done.clean;
                break;
            }
            Frame& parent = stack.back();
            if (!done.clean || ::unlinkat(::dirfd(parent.dir), done.name.c_str(), AT_REMOVEDIR) != 0) {
                if (done.clean)
                    ++result.failures;
                parent.clean = false;
            }
            continue;
        }
        const char* name = entry->d_name;
        if (isDotOrDotDot(name))
            continue;

        bool isDir = entry->d_type == DT_DIR;
        struct stat st {};
        const bool needStat = entry->d_type == DT_UNKNOWN || (m_countBytes && !isDir);
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
                result.removedBytes += static_cast<qint64>(st.st_blocks) * 512;
            } else if (errno != ENOENT) {
                ++result.failures;
                frame.clean = false;
            }
            continue;
        }

        const int childFd = openForRemoval(fd, name);
        struct stat childSt {};
        if (childFd < 0 || ::fstat(childFd, &childSt) != 0 || childSt.st_dev != device) {
            // Unreadable, or a mount point: leave it, and with it the folders above.
            if (childFd >= 0)
                ::close(childFd);
            ++result.failures;
            frame.clean = false;
            continue;
        }
        DIR* child = ::fdopendir(childFd);
        if (!child) {
            ::close(childFd);
            ++result.failures;
            frame.clean = false;
            continue;
        }
        stack.push_back({child, name, true, 1});
    }
    return rootClean;
}

} // namespace rubbly
