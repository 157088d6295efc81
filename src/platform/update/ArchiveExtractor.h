#pragma once

#include "Result.h"

#include <QByteArray>
#include <QString>

namespace rubbly {

// Unpacks a zip or tar archive (plain, gz, xz, zstd, bzip2) into a folder with libarchive. Only
// regular files, folders and links are unpacked; a device node, a FIFO or a socket rejects the
// archive. Modes are reduced to 0755 or 0644 (whoever may execute a file keeps that), so no set-uid,
// set-gid or sticky bit and no bit for others to write survives. The number of entries and the bytes
// unpacked are limited; the size is counted as the data is written, whatever the headers announce,
// so a decompression bomb stops at the limit instead of filling the disk. An entry with an absolute path or a ".."
// component, a symbolic link whose target is absolute, climbs out of the folder or climbs after a name ("a/../.."), or
// a hard link to such a path rejects the whole archive: extraction stops there and nothing is ever written outside the
// folder, nor does any link lead out of it. The folder itself may lie behind links (it is resolved
// first); nothing is written through a link inside it.
class ArchiveExtractor final {
public:
    struct Limits {
        // A program folder holds a few hundred files and some tens of megabytes.
        qint64 maxEntries = 20000;
        qint64 maxBytes = 1LL << 30;
    };

    // Done when every entry was unpacked; otherwise why not. What was unpacked before a refused entry
    // stays: the caller clears the folder.
    static Result<Done, QString> extract(const QByteArray& archivePath, const QByteArray& destination, Limits limits);
    static Result<Done, QString> extract(const QByteArray& archivePath, const QByteArray& destination)
    {
        return extract(archivePath, destination, Limits());
    }

    // Whether a path inside an archive stays inside the folder it is unpacked into.
    static bool isContainedPath(const QByteArray& path);
    // Whether a link at `linkPath` (inside the archive) pointing at `target` stays inside, whatever
    // other links the archive holds.
    static bool isContainedLink(const QByteArray& linkPath, const QByteArray& target);
};

} // namespace rubbly
