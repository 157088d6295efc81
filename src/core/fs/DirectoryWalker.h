#pragma once

#include "FolderReopen.h"
#include "Timestamp.h"

#include <QByteArray>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <unordered_set>
#include <vector>

namespace rubbly {

struct WalkOptions {
    // Threads that may read folders at once, the caller's included (1 or 2 make sense on a laptop).
    int threads = 2;
    // Count the allocated bytes of folders too, each root's own included: what deleting the tree frees.
    bool countFolders = false;
    // Entries below a root whose names this accepts are left out, with everything below them (the
    // roots themselves are not tested). With countFolders, the folders holding such an entry are left
    // out too, up to the root, since deleting around the entry leaves them standing.
    bool (*spare)(const char* name) = nullptr;
    // When set and true, walks end early (what is left counts as an error): for quitting.
    const std::atomic<bool>* stop = nullptr;
};

struct WalkResult {
    // Allocated bytes (st_blocks × 512) of every non-directory, each inode counted once; with
    // `countFolders`, of the folders too, the root included, as `du -B1` counts.
    qint64 bytes = 0;
    // Non-directories (files, symlinks, sockets, …) counted.
    qint64 files = 0;
    // Folders entered below the root, the root not included.
    qint64 directories = 0;
    // Entries that could not be read or entered; their bytes are missing from `bytes`.
    qint64 errors = 0;
    // Mount points met (the root included), neither counted nor entered.
    qint64 mountPoints = 0;
    // Latest modification time among the files counted.
    std::optional<Timestamp> newestModification;
    // The root's own modification time, from the stat of what was opened (the folder walked, a mount
    // point not entered, or the file that is the root); none when it could not be opened.
    std::optional<Timestamp> rootModification;
    // Entries left out because WalkOptions::spare accepted their names.
    qint64 spared = 0;

    WalkResult& operator+=(const WalkResult& other);
    bool operator==(const WalkResult&) const = default;
};

// One tree of a batch: `name` inside the folder `parentFd` (AT_FDCWD for the working directory).
struct WalkRoot {
    int parentFd = -1;
    QByteArray name;
    // The device of `parentFd` when the caller has just seen `name` there as a folder: the walker then
    // opens it at once and checks what it opened (a folder, no mount root), which is the check that
    // counts, instead of looking at the name first. 0 when not known.
    dev_t folderOnDevice = 0;
};

// Measures file trees without ever following a symbolic link or entering a mount point (another
// volume, or a bind mount of the same file system: see MountAwareStat). Byte counts saturate.
// Everything is fd-relative (openat with O_NOFOLLOW, fstatat with AT_SYMLINK_NOFOLLOW), so a link
// swapped in while we walk cannot lead us elsewhere. Idle threads take the next root, or a folder a
// busy thread hands over. One walker measures one batch at a time; use it from one thread.
class DirectoryWalker final {
public:
    explicit DirectoryWalker(WalkOptions options = {});
    ~DirectoryWalker();
    DirectoryWalker(const DirectoryWalker&) = delete;
    DirectoryWalker& operator=(const DirectoryWalker&) = delete;

    const WalkOptions& options() const { return m_options; }

    // Size of `name` inside the folder `parentFd`: a non-directory counts itself, a directory its
    // whole tree. The root itself is never skipped as hidden; a root that is a mount point counts
    // nothing.
    WalkResult measure(int parentFd, const char* name);
    // Same, for a path (relative paths are taken from the working directory).
    WalkResult measure(const QByteArray& path);
    // Each of `names` inside `parentFd`, measured as by measure(), the roots shared among the threads.
    std::vector<WalkResult> measureEach(int parentFd, const std::vector<QByteArray>& names);
    // Each root, in order, measured as by measure(): idle threads take the next root, so a batch of
    // small trees keeps every thread busy. The roots may lie in different folders; an inode with
    // several links counts once per root, wherever its other links are. `alongside`, when given, runs
    // on the calling thread while the helpers start on the roots; the calling thread joins them once
    // it returns. It must not use this walker.
    std::vector<WalkResult> measureEach(const std::vector<WalkRoot>& roots,
                                        const std::function<void()>& alongside = {});

private:
    struct Work {
        int fd;
        std::size_t root;
        // The folder's own allocated bytes as counted when it was found (0 unless countFolders).
        qint64 blocks;
        FolderIdentity identity;
    };
    // What a thread keeps from one folder to the next: its stack of open folders and their buffers.
    struct Reader;
    std::vector<WalkResult> runBatch(const std::vector<WalkRoot>& roots, const std::function<void()>& alongside);
    void runWorker(bool isCaller);
    void endBatch();
    void measureRoot(std::size_t root, WalkResult& result, Reader& reader);
    void walkTree(Work work, WalkResult& result, Reader& reader);
    bool offload(Work work);
    bool countInode(std::size_t root, dev_t dev, ino_t ino);

    WalkOptions m_options;

    std::mutex m_mutex;
    std::condition_variable m_workAvailable;
    std::condition_variable m_idle;
    std::deque<Work> m_pending;
    int m_busy = 0;
    bool m_stopping = false;
    // Set while a root is measured again by the caller alone (see measureEach).
    bool m_keepTogether = false;
    std::vector<std::thread> m_helpers;

    // The batch being measured; guarded by m_mutex except where noted.
    bool m_active = false;
    const std::vector<WalkRoot>* m_roots = nullptr;
    std::size_t m_nextRoot = 0;
    std::vector<WalkResult> m_results;
    // Written by the thread that opens a root, before any of its folders is handed over: the
    // root's device, for kernels that cannot tell mount roots otherwise.
    std::vector<dev_t> m_devices;

    std::mutex m_inodeMutex;
    struct InodeKey {
        std::size_t root;
        dev_t dev;
        ino_t ino;
        bool operator==(const InodeKey&) const = default;
    };
    struct InodeHash {
        std::size_t operator()(const InodeKey& k) const noexcept { return (k.root * 131 + k.dev) * 31 + k.ino; }
    };
    std::unordered_set<InodeKey, InodeHash> m_linkedInodes;
};

} // namespace rubbly
