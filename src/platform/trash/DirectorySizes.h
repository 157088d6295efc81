#pragma once

#include "Result.h"
#include "UntrustedFile.h"

#include <QByteArray>
#include <QHash>

#include <time.h>

namespace rubbly {

// One line of a trash folder's `directorysizes` file: the size of a trashed folder and the mtime of
// its info file when it was measured.
//
// The file is shared with the other trash implementations. The freedesktop specification asks for
// allocated bytes and the time in seconds; KDE writes apparent bytes and the time in milliseconds, and
// trusts only lines whose time matches the info file's mtime in milliseconds (a seconds line makes it
// walk the folder at every operation, and it never replaces a line whose name is already there). So a
// line keeps the unit it was written in, and KDE's own lines count as a hint, not a measurement.
struct DirectorySize {
    qint64 size = 0;
    // The info file's mtime, in the unit of the line.
    qint64 mtime = 0;
    bool milliseconds = false;
    // True when `size` is an allocated measurement: every seconds line, and a milliseconds line that
    // we measured ourselves. We write those with the size zero-padded by one digit ("04096"), which
    // every reader takes for the same number (KDE included) and which KDE itself never writes.
    bool measured = true;
    // The line as it was read, when writing the fields back would not give the same bytes (another
    // writer's spelling): a line nobody changed is written back as it was.
    QByteArray text;
    // Where the line was in the file, so a rewrite keeps the order (-1: a new line, written last).
    // Not part of equality: it says nothing about the entry.
    qsizetype position = -1;

    // True when the line belongs to an info file with this mtime, compared in the line's unit.
    bool matches(const timespec& infoMtime) const;
    // Our measurement of an entry whose info file has `infoMtime`: in milliseconds when it replaces a
    // milliseconds line (so KDE matches it), else in seconds as the specification says.
    static DirectorySize measurement(qint64 size, const timespec& infoMtime, bool milliseconds,
                                     qsizetype position = -1);

    bool operator==(const DirectorySize& other) const;
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
// holds '/', an mtime too large even for milliseconds) is skipped. An mtime beyond the year 5138 in
// seconds is milliseconds. A name given twice keeps its last line.
DirectorySizes parseDirectorySizes(const QByteArray& content);

// The `directorysizes` file of the trash folder `trashFd`, parsed: an error when it is missing, not
// a regular file (a link or a FIFO is neither followed nor waited for) or beyond
// kMaxDirectorySizesFile.
Result<DirectorySizes, UntrustedReadError> readDirectorySizes(int trashFd);

// The file's text for `sizes`, one line per entry in the order they were read, new ones last by
// name; the name percent-encoded as in .trashinfo files.
QByteArray serializeDirectorySizes(const DirectorySizes& sizes);

} // namespace rubbly
