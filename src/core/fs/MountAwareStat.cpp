#include "MountAwareStat.h"

#include <fcntl.h>
#include <sys/sysmacros.h>

namespace rubbly {

namespace {
timespec toTimespec(const statx_timestamp& t)
{
    return timespec{t.tv_sec, static_cast<long>(t.tv_nsec)};
}
} // namespace

bool mountAwareStat(int dirFd, const char* name, MountAwareStat& out, dev_t parentDevice)
{
    struct statx sx = {};
    const int flags = AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT | (name[0] == '\0' ? AT_EMPTY_PATH : 0);
    if (::statx(dirFd, name, flags, STATX_BASIC_STATS, &sx) != 0)
        return false;
    struct stat& st = out.st;
    st = {};
    st.st_dev = makedev(sx.stx_dev_major, sx.stx_dev_minor);
    st.st_ino = sx.stx_ino;
    st.st_mode = sx.stx_mode;
    st.st_nlink = sx.stx_nlink;
    st.st_uid = sx.stx_uid;
    st.st_gid = sx.stx_gid;
    st.st_rdev = makedev(sx.stx_rdev_major, sx.stx_rdev_minor);
    st.st_size = static_cast<off_t>(sx.stx_size);
    st.st_blksize = static_cast<blksize_t>(sx.stx_blksize);
    st.st_blocks = static_cast<blkcnt_t>(sx.stx_blocks);
    st.st_atim = toTimespec(sx.stx_atime);
    st.st_mtim = toTimespec(sx.stx_mtime);
    st.st_ctim = toTimespec(sx.stx_ctime);
    if (sx.stx_attributes_mask & STATX_ATTR_MOUNT_ROOT) {
        out.mountRoot = (sx.stx_attributes & STATX_ATTR_MOUNT_ROOT) != 0;
        return true;
    }
    struct stat parent = {};
    if (parentDevice == 0 && name[0] != '\0' && ::fstatat(dirFd, "", &parent, AT_EMPTY_PATH) == 0)
        parentDevice = parent.st_dev;
    out.mountRoot = parentDevice != 0 && st.st_dev != parentDevice;
    return true;
}

} // namespace rubbly
