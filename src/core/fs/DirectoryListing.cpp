#include "DirectoryListing.h"

#include <cerrno>
#include <dirent.h>
#include <unistd.h>

namespace rubbly {

int forEachDirectoryName(int dirFd, const std::function<void(QByteArrayView)>& visit)
{
    return forEachDirectoryEntry(dirFd, [&visit](QByteArrayView name, unsigned char) { visit(name); });
}

int forEachDirectoryEntry(int dirFd, const std::function<void(QByteArrayView, unsigned char)>& visit)
{
    // A duplicate, because closedir() closes the descriptor it was opened from.
    const int fd = ::dup(dirFd);
    DIR* dir = fd >= 0 ? ::fdopendir(fd) : nullptr;
    if (!dir) {
        const int failure = errno;
        if (fd >= 0)
            ::close(fd);
        return failure;
    }
    ::rewinddir(dir);
    errno = 0;
    while (const dirent* entry = ::readdir(dir)) {
        const char* n = entry->d_name;
        const bool dots = n[0] == '.' && (n[1] == '\0' || (n[1] == '.' && n[2] == '\0'));
        if (!dots)
            visit(QByteArrayView(n), entry->d_type);
        errno = 0;
    }
    const int failure = errno;
    ::closedir(dir);
    return failure;
}

QList<QByteArray> readDirectoryNames(int dirFd, bool skipHidden, int* error)
{
    QList<QByteArray> names;
    const int failure = forEachDirectoryName(dirFd, [&](QByteArrayView name) {
        if (!(skipHidden && name.startsWith('.')))
            names.append(name.toByteArray());
    });
    if (error)
        *error = failure;
    return names;
}

} // namespace rubbly
