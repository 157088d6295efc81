#include "DirectoryListing.h"

#include <cerrno>
#include <dirent.h>
#include <unistd.h>

namespace rubbly {

QList<QByteArray> readDirectoryNames(int dirFd, bool skipHidden, int* error)
{
    QList<QByteArray> names;
    int failure = 0;
    // A duplicate, because closedir() closes the descriptor it was opened from.
    const int fd = ::dup(dirFd);
    DIR* dir = fd >= 0 ? ::fdopendir(fd) : nullptr;
    if (!dir) {
        failure = errno;
        if (fd >= 0)
            ::close(fd);
    } else {
        ::rewinddir(dir);
        errno = 0;
        while (const dirent* entry = ::readdir(dir)) {
            const char* n = entry->d_name;
            const bool dots = n[0] == '.' && (n[1] == '\0' || (n[1] == '.' && n[2] == '\0'));
            if (!dots && !(skipHidden && n[0] == '.'))
                names.append(QByteArray(n));
            errno = 0;
        }
        failure = errno;
        ::closedir(dir);
    }
    if (error)
        *error = failure;
    return names;
}

} // namespace rubbly
