#pragma once

#include "Result.h"
#include "UntrustedFile.h"

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

// A size beyond this is not believed, whoever wrote it: no disk holds an exbibyte (2^60 bytes), and
// sums of believable sizes stay far from overflowing.
constexpr qint64 kMaxBelievableSize = qint64(1) << 60;
// A directorysizes file larger than this is not read (and gets written anew): 8 MiB holds a line for
// each of 100 000 entries with names of 60 bytes.
constexpr qint64 kMaxDirectorySizesFile = qint64(8) << 20;

// Reads "<size> <mtime> <percent-encoded name>" lines. Any program may write this file, so a line that
// is not exactly that (a negative size or one beyond kMaxBelievableSize, a name that is empty or
// holds '/', an mtime too large even for milliseconds) is skipped; an mtime in milliseconds, as some
// writers store, is read as seconds. A name given twice keeps its last line.
DirectorySizes parseDirectorySizes(const QByteArray& content);

// The `directorysizes` file of the trash folder `trashFd`, parsed: an error when it is missing, not
// a regular file (a link or a FIFO is neither followed nor waited for) or beyond
// kMaxDirectorySizesFile.
Result<DirectorySizes, UntrustedReadError> readDirectorySizes(int trashFd);

// The file's text for `sizes`, one line per entry, the name percent-encoded as in .trashinfo files.
QByteArray serializeDirectorySizes(const DirectorySizes& sizes);

} // namespace rubbly
