#include "DirectoryWalker.h"

#include "ByteCounts.h"
#include "FolderReopen.h"
#include "MountAwareStat.h"
#include "PosixFd.h"

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <string>
#include <sys/stat.h>

namespace rubbly {

namespace {

// Folders waiting for a helper; more would only hold descriptors open.
constexpr std::size_t kMaxPending = 64;
// Folders kept ready for each helper. With one, a helper that empties a small folder (a hundred
// files take a tenth of a millisecond) finds the queue empty while the reader is down in a folder
// of its own, and sleeps until the reader climbs back: over a tree of many small folders the
// second core idled a third of the time. Four keep it busy.
constexpr std::size_t kReadyPerHelper = 4;

void noteModification(WalkResult& result, const struct stat& st)
{
    const Timestamp t = fromTimespec(st.st_mtim);
    if (!result.newestModification || t > *result.newestModification)
        result.newestModification = t;
}

} // namespace

namespace {

// Read buffers of the open folders of a walk, handed from a folder that is done to the next one.
using BufferPool = std::vector<std::unique_ptr<char[]>>;

// One folder of a walk, read with getdents64 into a buffer of its own. A DIR* would cost an fstat
// and two fcntl calls per folder in fdopendir, and a walk opens every folder of the tree. A folder
// closed to save a descriptor keeps what it had not yet read as names in memory (as fts does), so it
// is never read twice and no directory offset has to survive the closing.
class FolderStream final {
public:
    struct Entry {
        const char* name;
        unsigned char type;
    };

    // The folder's own counted bytes, and whether a spared entry below keeps it standing.
    qint64 blocks = 0;
    bool kept = false;
    // For opening it again: what it is, and its name in the folder below.
    FolderIdentity identity;
    std::string name;

    void open(int fd, qint64 ownBlocks, FolderIdentity id, const char* entryName, BufferPool& pool)
    {
        m_fd = fd;
        m_pos = m_end = 0;
        m_failed = false;
        m_saved.clear();
        m_savedPos = 0;
        m_drained = false;
        blocks = ownBlocks;
        kept = false;
        identity = id;
        name.assign(entryName);
        if (pool.empty()) {
            m_buffer = std::make_unique_for_overwrite<char[]>(kBufferSize);
        } else {
            m_buffer = std::move(pool.back());
            pool.pop_back();
        }
    }
    void close(BufferPool& pool)
    {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = -1;
        if (m_buffer)
            pool.push_back(std::move(m_buffer));
    }
    // Reads the rest of the folder into memory and closes it; its entries keep coming from there.
    // A folder opened again already has them there, and may be closed again.
    void closeKeepingTheRest(BufferPool& pool)
    {
        if (!m_drained) {
            while (const Entry* entry = next()) {
                m_saved += static_cast<char>(entry->type);
                m_saved.append(entry->name).push_back('\0');
            }
            m_drained = true;
        }
        close(pool);
    }
    // Gives the folder its descriptor again, or none when it could not be opened again: then nothing
    // more comes from it.
    void reopen(int fd)
    {
        m_fd = fd;
        if (fd < 0) {
            m_saved.clear();
            m_savedPos = 0;
        }
    }
    int fd() const { return m_fd; }
    bool isOpen() const { return m_fd >= 0; }
    // True when reading stopped on an error rather than at the end.
    bool failed() const { return m_failed; }

    // The next entry, or null at the end of the folder or on an error.
    const Entry* next()
    {
        if (m_drained) {
            if (m_savedPos >= m_saved.size())
                return nullptr;
            m_current.type = static_cast<unsigned char>(m_saved[m_savedPos]);
            m_current.name = m_saved.c_str() + m_savedPos + 1;
            m_savedPos += std::strlen(m_current.name) + 2;
            return &m_current;
        }
        if (m_pos >= m_end) {
            const ssize_t got = ::getdents64(m_fd, m_buffer.get(), kBufferSize);
            if (got <= 0) {
                m_failed = got < 0;
                return nullptr;
            }
            m_pos = 0;
            m_end = got;
        }
        const auto* entry = reinterpret_cast<const dirent64*>(m_buffer.get() + m_pos);
        m_pos += entry->d_reclen;
        m_current = {entry->d_name, entry->d_type};
        return &m_current;
    }

private:
    static constexpr std::size_t kBufferSize = 32 * 1024;
    std::unique_ptr<char[]> m_buffer;
    int m_fd = -1;
    ssize_t m_pos = 0;
    ssize_t m_end = 0;
    bool m_failed = false;
    Entry m_current{};
    // Type byte, name, NUL: for each entry still to come once the folder was closed early.
    std::string m_saved;
    std::size_t m_savedPos = 0;
    bool m_drained = false;
};

} // namespace

struct DirectoryWalker::Reader {
    std::vector<FolderStream> stack;
    BufferPool pool;
};

WalkResult& WalkResult::operator+=(const WalkResult& other)
{
    bytes = saturatingAdd(bytes, other.bytes);
    files += other.files;
    directories += other.directories;
    errors += other.errors;
    spared += other.spared;
    mountPoints += other.mountPoints;
    if (other.newestModification && (!newestModification || *other.newestModification > *newestModification))
        newestModification = other.newestModification;
    if (!rootModification)
        rootModification = other.rootModification;
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

bool DirectoryWalker::countInode(std::size_t root, dev_t dev, ino_t ino)
{
    std::lock_guard lock(m_inodeMutex);
    return m_linkedInodes.insert(InodeKey{root, dev, ino}).second;
}

WalkResult DirectoryWalker::measure(const QByteArray& path)
{
    return measure(AT_FDCWD, path.constData());
}

WalkResult DirectoryWalker::measure(int parentFd, const char* name)
{
    return measureEach({WalkRoot{parentFd, QByteArray(name)}}).front();
}

std::vector<WalkResult> DirectoryWalker::measureEach(int parentFd, const std::vector<QByteArray>& names)
{
    std::vector<WalkRoot> roots;
    roots.reserve(names.size());
    for (const QByteArray& name : names)
        roots.push_back(WalkRoot{parentFd, name});
    return measureEach(roots);
}

std::vector<WalkResult> DirectoryWalker::measureEach(const std::vector<WalkRoot>& roots,
                                                     const std::function<void()>& alongside)
{
    std::vector<WalkResult> results = runBatch(roots, alongside);
    if (!m_options.spare || !m_options.countFolders)
        return results;
    // A folder handed to another thread does not know the folders above it, so a spared entry found
    // there cannot take their bytes out. The rare root that holds one is measured again by one thread.
    for (std::size_t i = 0; i < roots.size(); ++i) {
        if (results[i].spared == 0)
            continue;
        m_keepTogether = true;
        results[i] = runBatch({roots[i]}, {}).front();
        m_keepTogether = false;
    }
    return results;
}

std::vector<WalkResult> DirectoryWalker::runBatch(const std::vector<WalkRoot>& roots,
                                                  const std::function<void()>& alongside)
{
    if (m_options.threads > 1 && m_helpers.empty()) {
        for (int i = 1; i < m_options.threads; ++i)
            m_helpers.emplace_back([this] { runWorker(false); });
    }
    m_linkedInodes.clear();
    {
        std::lock_guard lock(m_mutex);
        m_roots = &roots;
        m_nextRoot = 0;
        m_results.assign(roots.size(), WalkResult{});
        m_devices.assign(roots.size(), 0);
        m_active = true;
    }
    m_workAvailable.notify_all();
    if (alongside) {
        try {
            alongside();
        } catch (...) {
            // The helpers are reading `roots`: they must be done before the caller's frame is.
            runWorker(true);
            endBatch();
            throw;
        }
    }
    runWorker(true);
    endBatch();
    return std::move(m_results);
}

void DirectoryWalker::endBatch()
{
    std::lock_guard lock(m_mutex);
    m_active = false;
    m_roots = nullptr;
}

void DirectoryWalker::measureRoot(std::size_t root, WalkResult& result, Reader& reader)
{
    const WalkRoot& walkRoot = (*m_roots)[root];
    const char* name = walkRoot.name.constData();
    dev_t device = walkRoot.folderOnDevice;
    if (device == 0) {
        MountAwareStat entry;
        if (!mountAwareStat(walkRoot.parentFd, name, entry)) {
            result.errors = 1;
            return;
        }
        const struct stat& st = entry.st;
        if (entry.mountRoot) {
            result.mountPoints = 1;
            return;
        }
        if (!S_ISDIR(st.st_mode)) {
            result.bytes = allocatedBytes(st.st_blocks);
            result.files = 1;
            noteModification(result, st);
            result.rootModification = fromTimespec(st.st_mtim);
            return;
        }
        device = st.st_dev;
    }
    const int fd = ::openat(walkRoot.parentFd, name, kOpenFolderFlags);
    if (fd < 0) {
        result.errors = 1;
        return;
    }
    // Checked again on what was opened: a folder swapped for a mount point (or, when the caller
    // vouched for a folder, for anything else) in between is not entered.
    MountAwareStat opened;
    const bool seen = mountAwareStat(fd, "", opened, device);
    if (seen) // a mount point too: its date is what a stat of the name gives
        result.rootModification = fromTimespec(opened.st.st_mtim);
    if (!seen || opened.mountRoot || !S_ISDIR(opened.st.st_mode)) {
        ::close(fd);
        ++(opened.mountRoot ? result.mountPoints : result.errors);
        return;
    }
    m_devices[root] = device;
    // The folder opened, not the name seen: the blocks are those of the folder walked.
    const qint64 blocks = m_options.countFolders ? allocatedBytes(opened.st.st_blocks) : 0;
    result.bytes += blocks;
    walkTree(Work{fd, root, blocks, {opened.st.st_dev, opened.st.st_ino}}, result, reader);
}

void DirectoryWalker::runWorker(bool isCaller)
{
    // Kept for the thread's whole run: a helper takes over thousands of small folders in a batch.
    Reader reader;
    for (;;) {
        std::optional<Work> work;
        std::optional<std::size_t> root;
        {
            std::unique_lock lock(m_mutex);
            const auto hasWork = [this] {
                return !m_pending.empty() || (m_active && m_roots && m_nextRoot < m_roots->size());
            };
            if (isCaller) {
                // Done when every root is taken, nothing is queued, and no helper is still reading
                // (it might hand more over).
                m_idle.wait(lock, [&] { return hasWork() || m_busy == 0; });
                if (!hasWork())
                    return;
            } else {
                m_workAvailable.wait(lock, [&] { return m_stopping || hasWork(); });
                if (m_stopping)
                    return;
            }
            if (!m_pending.empty()) {
                work = m_pending.front();
                m_pending.pop_front();
            } else {
                root = m_nextRoot++;
            }
            ++m_busy;
        }
        WalkResult local;
        const std::size_t index = work ? work->root : *root;
        if (work)
            walkTree(*work, local, reader);
        else
            measureRoot(*root, local, reader);
        {
            std::lock_guard lock(m_mutex);
            m_results[index] += local;
            --m_busy;
        }
        m_idle.notify_all();
    }
}

bool DirectoryWalker::offload(Work work)
{
    if (m_helpers.empty())
        return false;
    {
        std::lock_guard lock(m_mutex);
        if (m_keepTogether)
            return false;
        // Keep a few folders ready for each helper, so a helper that finishes never waits for the
        // reader to come across the next folder; beyond that the reader keeps it, depth first.
        // While roots are left untaken, helpers take those instead.
        const std::size_t helpers = static_cast<std::size_t>(m_options.threads - 1);
        if (m_nextRoot < m_roots->size() || m_pending.size() >= std::min(kMaxPending, kReadyPerHelper * helpers))
            return false;
        m_pending.push_back(work);
    }
    m_workAvailable.notify_one();
    m_idle.notify_all();
    return true;
}

void DirectoryWalker::walkTree(Work work, WalkResult& result, Reader& reader)
{
    // Depth-first with an explicit stack: no recursion, so deep trees cannot exhaust the C stack.
    // Streams above `depth` are done and are reused for the next folder at that depth. The first
    // folder and the deepest ones are open, kMaxOpenFolders in all: streams 1 .. firstOpen-1 are
    // closed, holding their unread names, and are opened again on the way back up.
    const dev_t device = m_devices[work.root];
    std::vector<FolderStream>& stack = reader.stack;
    BufferPool& pool = reader.pool;
    if (stack.empty())
        stack.emplace_back();
    stack[0].open(work.fd, work.blocks, work.identity, "", pool);
    std::size_t depth = 1;
    std::size_t firstOpen = 1;
    const std::atomic<bool>* stop = m_options.stop;
    // Opens stack[i] again: ".." of the folder just done when that is still it, else down from the
    // first folder by the remembered names, each checked. A folder moved away meanwhile is lost:
    // what it still held is not counted.
    const auto reopen = [&](std::size_t i, int childFd) {
        int fd = reopenParent(childFd, stack[i].identity);
        if (fd < 0)
            fd = reopenByNames(stack[0].fd(), i, [&stack](std::size_t j) {
                return std::pair(stack[j + 1].name.c_str(), stack[j + 1].identity);
            });
        if (fd < 0)
            ++result.errors;
        stack[i].reopen(fd);
        firstOpen = i;
    };

    while (depth > 0) {
        FolderStream& folder = stack[depth - 1];
        const FolderStream::Entry* entry = folder.isOpen() ? folder.next() : nullptr;
        const bool stopping = stop && stop->load(std::memory_order_relaxed);
        if (!entry || stopping) {
            if (entry || folder.failed())
                ++result.errors;
            if (depth >= 2 && !stack[depth - 2].isOpen() && !stopping)
                reopen(depth - 2, folder.fd());
            folder.close(pool);
            --depth;
            continue;
        }
        const char* name = entry->name;
        if (isDotOrDotDot(name))
            continue;
        if (m_options.spare && m_options.spare(name)) {
            ++result.spared;
            // The folders from here down to the walk's first stay standing: take their bytes out once.
            // Kept folders always form the bottom of the stack, so the first kept one ends the climb.
            for (std::size_t i = depth; i-- > 0 && !stack[i].kept;) {
                stack[i].kept = true;
                result.bytes -= stack[i].blocks;
            }
            continue;
        }
        const int dirFd = folder.fd();

        MountAwareStat entryStat;
        const struct stat& st = entryStat.st;
        if (entry->type != DT_DIR) {
            // Files need their block count; unknown types need the stat to learn what they are.
            if (!mountAwareStat(dirFd, name, entryStat, device)) {
                ++result.errors;
                continue;
            }
            if (entryStat.mountRoot) {
                // A file or folder mounted here from elsewhere: not ours to count.
                ++result.mountPoints;
                continue;
            }
            if (!S_ISDIR(st.st_mode)) {
                ++result.files;
                noteModification(result, st);
                if (st.st_nlink > 1 && !countInode(work.root, st.st_dev, st.st_ino))
                    continue;
                result.bytes = saturatingAdd(result.bytes, allocatedBytes(st.st_blocks));
                continue;
            }
        }

        const int childFd = ::openat(dirFd, name, kOpenFolderFlags);
        if (childFd < 0) {
            ++result.errors;
            continue;
        }
        // The folder opened is checked, not the name: a mount point, even a bind mount of this same
        // file system, is never entered.
        MountAwareStat opened;
        if (!mountAwareStat(childFd, "", opened, device) || opened.mountRoot) {
            ::close(childFd);
            ++(opened.mountRoot ? result.mountPoints : result.errors);
            continue;
        }
        ++result.directories;
        // The folder opened, not the entry: a DT_DIR entry was never stat'ed by name.
        const qint64 blocks = m_options.countFolders ? allocatedBytes(opened.st.st_blocks) : 0;
        result.bytes = saturatingAdd(result.bytes, blocks);
        const FolderIdentity identity{opened.st.st_dev, opened.st.st_ino};
        if (offload(Work{childFd, work.root, blocks, identity}))
            continue;
        if (depth + 2 - firstOpen > kMaxOpenFolders && firstOpen < depth - 1)
            stack[firstOpen++].closeKeepingTheRest(pool);
        if (depth == stack.size())
            stack.emplace_back();
        stack[depth++].open(childFd, blocks, identity, name, pool);
    }
}

} // namespace rubbly
