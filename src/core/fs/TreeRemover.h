#pragma once

#include <QByteArray>

#include <sys/types.h>

namespace rubbly {

struct RemovalResult {
    // True when the entry is gone entirely.
    bool complete = false;
    // Allocated bytes of what was unlinked, when counting was asked for.
    qint64 removedBytes = 0;
    // Entries below the root that could not be removed.
    qint64 failures = 0;
};

// Deletes a file or a whole tree permanently. It never follows a symbolic link (a link is removed
// as a link), never leaves the root's file system (a mount point inside is left, and the removal is
// then incomplete), and works fd-relative throughout, so no path is resolved twice between a check
// and a deletion. Folders the user owns but cannot write or enter are given u+rwx first; anything
// else that refuses stays, and removal goes on with the rest.
class TreeRemover final {
public:
    // Count the allocated bytes of what is unlinked (one extra stat per file).
    explicit TreeRemover(bool countBytes = false);

    // Removes `name` from the folder `parentFd`.
    RemovalResult remove(int parentFd, const char* name);
    RemovalResult remove(const QByteArray& path);

private:
    bool clearDirectory(int dirFd, dev_t device, RemovalResult& result);
    bool m_countBytes;
};

} // namespace rubbly
