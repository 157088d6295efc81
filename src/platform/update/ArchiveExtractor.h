#pragma once

#include "Result.h"

#include <QByteArray>
#include <QString>

namespace rubbly {

// Unpacks a zip or tar archive (plain, gz, xz, zstd, bzip2) into a folder with libarchive, keeping
// permission bits. An entry with an absolute path or a ".." component, a symbolic link whose target
// is absolute, climbs out of the folder or climbs after a name ("a/../.."), or a hard link to such a
// path rejects the whole archive: extraction stops there and nothing is ever written outside the
// folder, nor does any link lead out of it. The folder itself may lie behind links (it is resolved
// first); nothing is written through a link inside it.
class ArchiveExtractor final {
public:
    // Done when every entry was unpacked; otherwise why not.
    static Result<Done, QString> extract(const QByteArray& archivePath, const QByteArray& destination);

    // Whether a path inside an archive stays inside the folder it is unpacked into.
    static bool isContainedPath(const QByteArray& path);
    // Whether a link at `linkPath` (inside the archive) pointing at `target` stays inside, whatever
    // other links the archive holds.
    static bool isContainedLink(const QByteArray& linkPath, const QByteArray& target);
};

} // namespace rubbly
