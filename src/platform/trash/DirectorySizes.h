#pragma once

#include <QByteArray>
#include <QHash>

namespace rubbly {

// One line of a trash folder's `directorysizes` file: the size of a trashed folder and the mtime of
// its info file when it was measured.
struct DirectorySize {
    qint64 size = 0;
    qint64 mtime = 0; // seconds
    bool operator==(const DirectorySize&) const = default;
};

// The `directorysizes` file by entry name (raw bytes, as in files/).
using DirectorySizes = QHash<QByteArray, DirectorySize>;

// Reads "<size> <mtime> <percent-encoded name>" lines. Any program may write this file, so a line that
// is not exactly that (a negative size, a name that is empty or holds '/', an mtime too large even
// for milliseconds) is skipped; an mtime in milliseconds, as some writers store, is read as seconds.
// A name given twice keeps its last line.
DirectorySizes parseDirectorySizes(const QByteArray& content);

// The file's text for `sizes`, one line per entry, the name percent-encoded as in .trashinfo files.
QByteArray serializeDirectorySizes(const DirectorySizes& sizes);

} // namespace rubbly
