#pragma once

#include "Timestamp.h"

#include <QByteArray>

#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <unordered_set>
#include <vector>

namespace rubbly {

struct WalkOptions {
    // Leave out entries whose names start with a dot, and everything below them.
    bool skipHidden = false;
    // Threads that may read folders at once, the caller's included (1 or 2 make sense on a laptop).
    int threads = 2;
};

struct WalkResult {
    // Allocated bytes (st_blocks × 512) of every non-directory, each inode counted once.
    qint64 bytes = 0;
    // Non-directories (files, symlinks, sockets, …) counted.
    qint64 files = 0;
    // Folders entered below the root, the root not included.
    qint64 directories = 0;
    // Entries that could not be read or entered; their bytes are missing from `bytes`.
    qint64 errors = 0;
    // Latest modification time among the files counted.
    std::optional<Timestamp> newestModification;

    WalkResult& operator+=(const WalkResult& other);
    bool operator==(const WalkResult&) const = default;
};

// Measures file trees without ever following a symbolic link or leaving the root's file system.
// Everything is fd-relative (openat with O_NOFOLLOW, fstatat with AT_SYMLINK_NOFOLLOW), so a link
// swapped in while we walk cannot lead us elsewhere. Folders are handed to a second thread when one
// is idle. One walker measures one tree at a time; use it from one thread.
class DirectoryWalker final {
public:
    explicit DirectoryWalker(WalkOptions options = {});
    ~DirectoryWalker();
    DirectoryWalker(const DirectoryWalker&) = delete;
    DirectoryWalker& operator=(const DirectoryWalker&) = delete;

    // Size of `name` inside the folder `parentFd`: a non-directory counts itself, a directory its
    // whole tree. The root itself is never skipped as hidden.
    WalkResult measure(int parentFd, const char* name);
    // Same, for a path (relative paths are taken from the working directory).
    WalkResult measure(const QByteArray& path);

private:
    struct Shared;
    void walkTree(int dirFd, WalkResult& result);
    bool offload(int dirFd);
    void helperLoop();
    void drain(WalkResult& result);
    bool countInode(dev_t dev, ino_t ino);

    WalkOptions m_options;
    dev_t m_rootDevice = 0;

    std::mutex m_mutex;
    std::condition_variable m_workAvailable;
    std::condition_variable m_idle;
    std::deque<int> m_pending;
    int m_busy = 0;
    bool m_stopping = false;
    WalkResult m_shared;
    std::vector<std::thread> m_helpers;

    std::mutex m_inodeMutex;
    struct InodeHash {
        std::size_t operator()(const std::pair<dev_t, ino_t>& p) const noexcept { return p.first * 31 + p.second; }
    };
    std::unordered_set<std::pair<dev_t, ino_t>, InodeHash> m_linkedInodes;
};

} // namespace rubbly
