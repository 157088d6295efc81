#pragma once

#include "Timestamp.h"
#include "TrashLocations.h"
#include "TrashTypes.h"

#include <QByteArray>
#include <QList>
#include <QStringList>
#include <QTimeZone>

#include <optional>

namespace rubbly {

// Puts entries of the trash folders back where they were trashed from, as carefully as the emptying
// deletes them: the trash folder is opened through TrashLocations::open(), the data moves first with
// renameat2(RENAME_NOREPLACE) (never over anything), the info file goes only after, and its
// directorysizes line last, so a failure at any point leaves the entry listed as it was. Synchronous
// and not thread-safe; TrashService runs it on its actor.
class TrashRestorer final {
public:
    explicit TrashRestorer(const TrashLocations& locations, QTimeZone zone = localZone());

    // Moves `entry` back to the original path its info file names (absolute in the home trash, relative
    // to the volume's top in a volume's trash, exact bytes) and gives the path it now has. Missing
    // folders on the way are made with the user's default modes. Refused, and left in the Trash: a
    // taken original place (with `rename`, the first free "name (2).ext" beside it is used instead), a
    // way there through a link or a file that is not a folder, another file system than the trash's, a
    // "..", an entry without an info file or a Path=, an entry that is a mount point, a folder that is
    // not one of the trash folders the program uses.
    // With `intoFolder` (absolute), the entry goes into that folder instead, under the last name of its
    // original path (its name in files/ when no info file names one); the folder must exist and is
    // reached without a link, as the original place is. With `expected`, an entry whose info file is
    // no longer that one stays where it is.
    Result<QByteArray, TrashError> restore(const TrashEntryRef& entry, bool rename, const QByteArray& intoFolder = {},
                                           const TrashInfoStamp* expected = nullptr) const;

    // An entry of a trash folder with what its info file says.
    struct Entry {
        TrashEntryRef ref;
        // Absolute; none when the info file is missing or has no Path=.
        std::optional<QByteArray> originalPath;
        std::optional<Timestamp> deletionDate;
    };
    // Every entry of every usable trash folder, and a sentence for each folder that cannot be used or
    // listed (its entries are missing, so what a user names may be there).
    struct Listing {
        QList<Entry> entries;
        QStringList problems;
    };
    // Reads one info file per entry.
    Listing entries() const;

    // The n-th other name for `name` (n ≥ 2): "name (n).ext", or for a name that already ends in
    // " (k)" before its extension "name (k+n-1).ext". The extension is the part after the last dot of
    // a file's name (not a folder's, not a leading dot), or a compressed tar's two parts (.tar.gz,
    // .tar.xz, …); the stem is shortened, at a character boundary, so that the name fits in NAME_MAX.
    static QByteArray numberedName(const QByteArray& name, int n, bool isDirectory);
    // `path` made absolute against `base` (a folder) and cleaned of "." and empty components and
    // trailing slashes, without touching the disk; ".." removes the component before it.
    static QByteArray lexicalAbsolutePath(const QByteArray& path, const QByteArray& base);

private:
    const TrashLocations& m_locations;
    QTimeZone m_zone;
};

} // namespace rubbly
