#pragma once

#include <QByteArray>

#include <atomic>
#include <sys/types.h>

namespace rubbly {

struct RemovalResult {
    // True when the entry is gone entirely (also when someone else removed some or all of it).
    bool complete = false;
    // True when the entry was already gone before anything was removed.
    bool alreadyGone = false;
    // Allocated bytes of what was unlinked, when counting was asked for.
    qint64 removedBytes = 0;
    // Entries below the root that could not be removed.
    qint64 failures = 0;
    // The first mount point met, relative to the folder the entry is in ("proj/data"); empty when
    // there was none.
    QByteArray mountPoint;
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

    // Removes `name` from the folder `parentFd`.
    RemovalResult remove(int parentFd, const char* name);
    RemovalResult remove(const QByteArray& path);

private:
    bool clearDirectory(int dirFd, dev_t device, const QByteArray& rootName, RemovalResult& result);
    bool stopped() const { return m_stop && m_stop->load(std::memory_order_relaxed); }
    bool m_countBytes;
    const std::atomic<bool>* m_stop;
};

} // namespace rubbly
