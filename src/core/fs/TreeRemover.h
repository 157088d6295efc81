#pragma once

#include <QByteArray>

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
};

struct RemovalResult {
    // True when the entry is gone entirely.
    bool complete = false;
    // Allocated bytes of what was unlinked, when counting was asked for.
    qint64 removedBytes = 0;
    // Entries below the root that could not be removed.
    qint64 failures = 0;
    // Entries left in place because RemovalOptions::spare accepted their names.
    qint64 spared = 0;

    // Everything went that was meant to go: the whole entry, or all of it but the spared entries
    // and the folders around them.
    bool removedAllButSpared() const { return complete || (failures == 0 && spared > 0); }
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
    explicit TreeRemover(RemovalOptions options);

    // Removes `name` from the folder `parentFd`.
    RemovalResult remove(int parentFd, const char* name);
    RemovalResult remove(const QByteArray& path);

private:
    bool clearDirectory(int dirFd, dev_t device, RemovalResult& result);
    // True the first time an inode with several links is met during one removal.
    bool firstLink(dev_t device, ino_t inode);
    RemovalOptions m_options;
    std::set<std::pair<dev_t, ino_t>> m_linkedInodes;
};

} // namespace rubbly
