#pragma once

#include <sys/stat.h>

namespace rubbly {

// What a stat of one file says, and whether the file is the root of a mount: another volume, or a
// bind mount of a folder or file of any file system, the same one included. Bind mounts share their
// source's device number, so comparing st_dev misses them; statx's STATX_ATTR_MOUNT_ROOT does not.
struct MountAwareStat {
    struct stat st = {};
    bool mountRoot = false;
};

// statx() of `name` in the folder `dirFd` without following a final link, or of `dirFd` itself
// when `name` is "". Where the kernel cannot tell mount roots (before Linux 5.8), a file on another
// device than its folder counts as one, as far as that can see: `parentDevice` when given, else the
// device of `dirFd` (so give it when `name` is ""). False with errno on failure.
bool mountAwareStat(int dirFd, const char* name, MountAwareStat& out, dev_t parentDevice = 0);

} // namespace rubbly
