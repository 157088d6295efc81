#pragma once

#include <fcntl.h>
#include <sys/types.h>

#include <cstddef>
#include <functional>
#include <utility>

namespace rubbly {

// Walks and removals hold at most this many folders of one tree open at once. Deeper down, the
// folders nearest the root are closed and opened again on the way back up, as rm and find do, so a
// tree of any depth fits well under the usual soft limit of 1024 descriptors, with the walker's
// threads and the rest of the program beside it.
constexpr std::size_t kMaxOpenFolders = 64;

// How the walks open a folder: to list it, never through a symbolic link, and not inherited by a
// program started meanwhile.
constexpr int kOpenFolderFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;

// "." and "..", the entries every walk skips.
inline bool isDotOrDotDot(const char* name)
{
    return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
}

// What tells one folder from another while both exist: a folder closed to save a descriptor is used
// again only when what opens is still that folder.
struct FolderIdentity {
    dev_t device = 0;
    ino_t inode = 0;
    bool operator==(const FolderIdentity&) const = default;
};

// Opens the folder that holds the open folder `childFd` (its ".."), when that is still `expected`
// and no mount root. A folder moved elsewhere meanwhile, or a mount placed over its parent, gives -1
// with errno ESTALE: a rename during a walk never leads it out of the tree.
int reopenParent(int childFd, FolderIdentity expected);

// Opens, from the open folder `ancestorFd`, the folder reached through the names of `count` steps,
// each opened without following a link and checked to be the folder `step(i)` remembers; -1 with
// errno set (ESTALE for a folder that is not the one remembered) when any step fails. Holds at most
// two descriptors at a time, however many steps there are.
int reopenByNames(int ancestorFd, std::size_t count,
                  const std::function<std::pair<const char*, FolderIdentity>(std::size_t)>& step);

} // namespace rubbly
