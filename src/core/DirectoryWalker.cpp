#include "DirectoryWalker.h"

#include "PosixFd.h"

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

namespace rubbly {

namespace {

constexpr int kOpenDirFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
// Folders waiting for a helper; more would only hold descriptors open.
constexpr std::size_t kMaxPending = 64;

Timestamp toTimestamp(const timespec& ts)
{
    return Timestamp{std::chrono::seconds(ts.tv_sec) +
                     std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::nanoseconds(ts.tv_nsec))};
}

void noteModification(WalkResult& result, const struct stat& st)
{
    const Timestamp t = toTimestamp(st.st_mtim);
    if (!result.newestModification || t > *result.newestModification)
        result.newestModification = t;
}

bool isDotOrDotDot(const char* name)
{
    return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
}

} // namespace

WalkResult& WalkResult::operator+=(const WalkResult& other)
{
    bytes += other.bytes;
    files += other.files;
    directories += other.directories;
    errors += other.errors;
    if (other.newestModification && (!newestModification || *other.newestModification > *newestModification))
        newestModification = other.newestModification;
    return *this;
}

DirectoryWalker::DirectoryWalker(WalkOptions options)
    : m_options(options)
{
    if (m_options.threads < 1)
        m_options.threads = 1;
}

DirectoryWalker::~DirectoryWalker()
{
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_workAvailable.notify_all();
    for (std::thread& helper : m_helpers)
        helper.join();
}

bool DirectoryWalker::countInode(dev_t dev, ino_t ino)
{
    std::lock_guard lock(m_inodeMutex);
    return m_linkedInodes.emplace(dev, ino).second;
}

WalkResult DirectoryWalker::measure(const QByteArray& path)
{
    return measure(AT_FDCWD, path.constData());
}

WalkResult DirectoryWalker::measure(int parentFd, const char* name)
{
    WalkResult result;
    struct stat st {};
    if (::fstatat(parentFd, name, &st, AT_SYMLINK_NOFOLLOW) != 0) {
        result.errors = 1;
        return result;
    }
    if (!S_ISDIR(st.st_mode)) {
        result.bytes = static_cast<qint64>(st.st_blocks) * 512;
        result.files = 1;
        noteModification(result, st);
        return result;
    }
    const int fd = ::openat(parentFd, name, kOpenDirFlags);
    if (fd < 0) {
        result.errors = 1;
        return result;
    }
    m_rootDevice = st.st_dev;
    m_linkedInodes.clear();
    m_shared = {};
    if (m_options.threads > 1 && m_helpers.empty()) {
        for (int i = 1; i < m_options.threads; ++i)
            m_helpers.emplace_back([this] { helperLoop(); });
    }
    {
        std::lock_guard lock(m_mutex);
        m_pending.push_back(fd);
    }
    drain(result);
    std::lock_guard lock(m_mutex);
    result += m_shared;
    return result;
}

void DirectoryWalker::drain(WalkResult& result)
{
    for (;;) {
        int fd = -1;
        {
            std::unique_lock lock(m_mutex);
            // Done when nothing is queued and no helper is still reading (it might queue more).
            m_idle.wait(lock, [this] { return !m_pending.empty() || m_busy == 0; });
            if (m_pending.empty())
                return;
            fd = m_pending.front();
            m_pending.pop_front();
            ++m_busy;
        }
        walkTree(fd, result);
        {
            std::lock_guard lock(m_mutex);
            --m_busy;
        }
        m_idle.notify_all();
    }
}

void DirectoryWalker::helperLoop()
{
    for (;;) {
        int fd = -1;
        {
            std::unique_lock lock(m_mutex);
            m_workAvailable.wait(lock, [this] { return m_stopping || !m_pending.empty(); });
            if (m_stopping)
                return;
            fd = m_pending.front();
            m_pending.pop_front();
            ++m_busy;
        }
        WalkResult local;
        walkTree(fd, local);
        {
            std::lock_guard lock(m_mutex);
            m_shared += local;
            --m_busy;
        }
        m_idle.notify_all();
    }
}

bool DirectoryWalker::offload(int dirFd)
{
    if (m_helpers.empty())
        return false;
    {
        std::lock_guard lock(m_mutex);
        // Keep one folder ready for each helper, so a helper that finishes never waits for the
        // reader to come across the next folder; beyond that the reader keeps it, depth first.
        if (m_pending.size() >= std::min<std::size_t>(kMaxPending, static_cast<std::size_t>(m_options.threads - 1)))
            return false;
        m_pending.push_back(dirFd);
    }
    m_workAvailable.notify_one();
    m_idle.notify_all();
    return true;
}

void DirectoryWalker::walkTree(int rootFd, WalkResult& result)
{
    // Depth-first with an explicit stack: no recursion, so deep trees cannot exhaust the C stack.
    std::vector<DIR*> stack;
    if (DIR* dir = ::fdopendir(rootFd)) {
        stack.push_back(dir);
    } else {
        ::close(rootFd);
        ++result.errors;
        return;
    }

    while (!stack.empty()) {
        DIR* dir = stack.back();
        errno = 0;
        const dirent* entry = ::readdir(dir);
        if (!entry) {
            if (errno != 0)
                ++result.errors;
            ::closedir(dir);
            stack.pop_back();
            continue;
        }
        const char* name = entry->d_name;
        if (isDotOrDotDot(name) || (m_options.skipHidden && name[0] == '.'))
            continue;
        const int dirFd = ::dirfd(dir);

        unsigned char type = entry->d_type;
        struct stat st {};
        bool haveStat = false;
        if (type != DT_DIR) {
            // Files need their block count; unknown types need the stat to learn what they are.
            if (::fstatat(dirFd, name, &st, AT_SYMLINK_NOFOLLOW) != 0) {
                ++result.errors;
                continue;
            }
            haveStat = true;
            type = S_ISDIR(st.st_mode) ? DT_DIR : DT_REG;
        }
        if (type != DT_DIR) {
            ++result.files;
            noteModification(result, st);
            if (st.st_nlink > 1 && !countInode(st.st_dev, st.st_ino))
                continue;
            result.bytes += static_cast<qint64>(st.st_blocks) * 512;
            continue;
        }

        const int childFd = ::openat(dirFd, name, kOpenDirFlags);
        if (childFd < 0) {
            ++result.errors;
            continue;
        }
        if (!haveStat && ::fstat(childFd, &st) != 0) {
            ::close(childFd);
            ++result.errors;
            continue;
        }
        if (st.st_dev != m_rootDevice) {
            // A mount point: its contents belong to another file system and are not ours to count.
            ::close(childFd);
            continue;
        }
        ++result.directories;
        if (offload(childFd))
            continue;
        if (DIR* child = ::fdopendir(childFd)) {
            stack.push_back(child);
        } else {
            ::close(childFd);
            ++result.errors;
        }
    }
}

} // namespace rubbly
