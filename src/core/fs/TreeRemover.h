#pragma once

#include <QByteArray>

#include <atomic>
#include <sys/types.h>

#include <set>
#include <utility>

namespace rubbly {

struct RemovalOptions {
    // Count the allocated bytes of what is unlinked (one extra stat per file). A file with several
    // links inside the tree counts once, as DirectoryWalker measures it.
    bool countBytes = false;
    // Count the removed folders' own allocated bytes too (DirectoryWalker's countFolders).
    bool countFolders = false;
    // Entries whose names this accepts are left in place, the root included, and with them the
    // folders that hold them. Leaving them is not a failure.
    bool (*spare)(const char* name) = nullptr;
    // When set and true, removal ends early and is incomplete: for quitting.
    const std::atomic<bool>* stop = nullptr;
};

struct RemovalResult {
    // True when the entry is gone entirely (also when someone else removed some or all of it).
    bool complete = false;
    // True when the entry was already gone before anything was removed.
    bool alreadyGone = false;
    // Allocated bytes of what was unlinked, when counting was asked for.
    qint64 removedBytes = 0;
    // Entries below the root that could not be removed.
    qint64 failures = 0;
    // Entries left in place because RemovalOptions::spare accepted their names.
    qint64 spared = 0;
    // The first mount point met, relative to the folder the entry is in ("proj/data"); empty when
    // there was none.
    QByteArray mountPoint;

    // Everything went that was meant to go: the whole entry, or all of it but the spared entries
    // and the folders around them.
    bool removedAllButSpared() const { return complete || (failures == 0 && spared > 0); }
};

// Deletes a file or a whole tree permanently. It never follows a symbolic link (a link is removed
// as a link), never enters a mount point (another volume or a bind mount, of the same file system
// too: it is left, and the removal is then incomplete), and works fd-relative throughout, so no path
// is resolved twice between a check and a deletion. Folders the user owns but cannot write or enter
// are given u+rwx first; anything else that refuses stays, and removal goes on with the rest. What
// is already gone (another program removing the same tree) is no failure.
class TreeRemover final {
public:
    // Count the allocated bytes of what is unlinked (one extra stat per file). When `stop` is set
    // and becomes true, removal ends early and is incomplete.
    explicit TreeRemover(bool countBytes = false, const std::atomic<bool>* stop = nullptr);
    explicit TreeRemover(RemovalOptions options);

    // Removes `name` from the folder `parentFd`.
    RemovalResult remove(int parentFd, const char* name);
    RemovalResult remove(const QByteArray& path);

private:
    bool clearDirectory(int dirFd, dev_t device, const QByteArray& rootName, RemovalResult& result);
    bool stopped() const { return m_options.stop && m_options.stop->load(std::memory_order_relaxed); }
    // True the first time an inode with several links is met during one removal.
    bool firstLink(dev_t device, ino_t inode);
    RemovalOptions m_options;
    std::set<std::pair<dev_t, ino_t>> m_linkedInodes;
};

} // namespace rubbly
