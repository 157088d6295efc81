#pragma once

#include "Result.h"
#include "UntrustedFile.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QHash>
#include <QString>

#include <time.h>

namespace rubbly {

// One line of a trash folder's `directorysizes` file: the size of a trashed folder and the mtime of
// its info file when it was measured.
//
// The file is shared with the other trash implementations. The freedesktop specification asks for
// the disk usage as `du -B1` counts it and the time in seconds; KDE writes apparent bytes and the
// time in milliseconds, and trusts only lines whose time matches the info file's mtime in
// milliseconds (a seconds line makes it walk the folder at every operation, and it never replaces a
// line whose name is already there). So a line keeps the unit it was written in, and only our own
// current lines count as measurements: any other writer's (KDE's, or ours from before folders' own
// blocks were counted) is a hint, measured once more and rewritten.
struct DirectorySize {
    qint64 size = 0;
    // The info file's mtime, in the unit of the line.
    qint64 mtime = 0;
    bool milliseconds = false;
    // True when `size` is our measurement as `du -B1` counts it (every inode's blocks, folders' own
    // included). We write those with the size zero-padded by two digits ("004096"), in either unit:
    // every reader takes that for the same number (KDE included), KDE itself never writes a leading
    // zero, and our earlier lines, which left folders' blocks out, had one zero at most.
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
// The one limit of the directorysizes file, for reading and for writing: what we write, we read back.
// A file beyond it is not read (and gets written anew); a table beyond it is written without its
// smallest entries. A line is about 30 bytes and the percent-encoded name (one to three bytes for
// each byte of the name): 128 MiB holds a million lines with names of 100 plain characters, or
// 550 000 folders named with 24 Chinese characters. The reader holds the table, never the whole file.
constexpr qint64 kMaxDirectorySizesFile = qint64(128) << 20;

// Reads "<size> <mtime> <percent-encoded name>" lines, each ended by a newline. Any program may
// write this file, so a line that is not exactly that (a negative size or one beyond
// kMaxBelievableSize, a name that is empty or holds '/', an mtime too large even for milliseconds) is
// skipped. An mtime beyond the year 5138 in seconds is milliseconds. A name given twice keeps its
// last line.
DirectorySizes parseDirectorySizes(QByteArrayView content);

// The `directorysizes` file of the trash folder `trashFd`, parsed: an error when it is missing, not
// a regular file (a link or a FIFO is neither followed nor waited for) or beyond `maxBytes`.
Result<DirectorySizes, UntrustedReadError> readDirectorySizes(int trashFd, qint64 maxBytes = kMaxDirectorySizesFile);

// The file's text for `sizes`, one line per entry in the order they were read, new ones last by
// name; the name percent-encoded as in .trashinfo files. Never longer than `maxBytes`: when all the
// lines would be, the entries with the smallest sizes are left out.
QByteArray serializeDirectorySizes(const DirectorySizes& sizes, qint64 maxBytes = kMaxDirectorySizesFile);

// Replaces the `directorysizes` file of the trash folder `trashFd` with `sizes` (see
// serializeDirectorySizes()), whole or not at all (fs::replaceFileAt): a reader never sees half,
// whatever had the name (a link, a FIFO) is replaced rather than written through, and on a full disk
// the old file stays as it was. Not flushed to the disk: after a crash the file is the old one, the
// new one, or one cut short, whose last piece the reader skips. False, with the reason in `error`,
// when it could not be written.
bool writeDirectorySizes(int trashFd, const DirectorySizes& sizes, QString* error = nullptr,
                         qint64 maxBytes = kMaxDirectorySizesFile);

} // namespace rubbly
