#include "FolderReopen.h"

#include "MountAwareStat.h"
#include "PosixFd.h"

#include <cerrno>
#include <fcntl.h>

namespace rubbly {

namespace {

// `fd` when it is the folder `expected` (and not a mount root), else closes it and gives -1.
int checked(int fd, FolderIdentity expected)
{
    if (fd < 0)
        return -1;
    PosixFd opened(fd);
    MountAwareStat st;
    if (!mountAwareStat(fd, "", st, expected.device))
        return -1;
    if (st.mountRoot || FolderIdentity{st.st.st_dev, st.st.st_ino} != expected) {
        errno = ESTALE;
        return -1;
    }
    return opened.release();
}

} // namespace

int reopenParent(int childFd, FolderIdentity expected)
{
    return checked(::openat(childFd, "..", kOpenFolderFlags), expected);
}

int reopenByNames(int ancestorFd, std::size_t count,
                  const std::function<std::pair<const char*, FolderIdentity>(std::size_t)>& step)
{
    PosixFd current;
    int from = ancestorFd;
    for (std::size_t i = 0; i < count; ++i) {
        const auto [name, identity] = step(i);
        PosixFd next(checked(::openat(from, name, kOpenFolderFlags), identity));
        if (!next.isValid())
            return -1;
        current = std::move(next);
        from = current.get();
    }
    return count == 0 ? -1 : current.release();
}

} // namespace rubbly
