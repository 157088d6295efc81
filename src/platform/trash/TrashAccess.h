#pragma once

#include "TrashLocations.h"

#include <QByteArray>
#include <QString>

#include <optional>
#include <sys/types.h>

namespace rubbly {

// What keeps the program from reading or emptying a trash folder on Linux: not a permission of the
// system's, but the plain owner and modes of the folders, most often a Trash that a file manager
// running under sudo made or filled as root.
struct TrashAccessProblem {
    enum class Kind {
        Missing,     // the home trash does not exist and could not be made
        NotAFolder,  // a file or something else that is no folder stands where the folder should be
        Link,        // a symbolic link stands there: the engine never follows one into a trash folder
        NotOwned,    // owned by another user (root after a program ran with sudo)
        NotReadable, // ours, but its modes keep us from listing it
        NotWritable, // ours, but its modes keep us from deleting in it (or entering it)
        Unusable,    // any other reason the engine refuses it (a mount point, a volume's .Trash that
                     // is not sticky, a folder above it that cannot be opened): see `refusal`
    };
    Kind kind = Kind::Missing;
    // The folder or entry that has the problem, and the trash folder it belongs to (what the repair
    // command works on, so one command mends the whole trash).
    QByteArray path;
    QByteArray trashPath;
    uid_t owner = 0;
    mode_t mode = 0;
    // The engine's refusal, for Unusable.
    TrashFolderProblem refusal = {};

    // The owner's user name, else the number.
    QString ownerName() const;
    bool operator==(const TrashAccessProblem&) const = default;
};

// Looks at each trash folder in `trashes`, in order, with the engine's own opening rules
// (TrashLocations::open, so a folder the engine refuses is never passed here), then by its owner's
// bits: the folder itself, its files/ and info/, and the folders directly in files/ (a folder that is
// not ours cannot be emptied). Each must be a real folder owned by the locations' user that its owner
// may read, write and enter. Returns the first problem, or none when every folder can be used; a
// volume's trash folder that is not there is not used and no problem. Nothing is changed or made.
std::optional<TrashAccessProblem> checkTrashAccess(const TrashLocations& locations,
                                                   const QList<TrashDirectory>& trashes);

// The shell command that mends `problem`, for the user to run in a terminal: `chown` through sudo for
// a folder of another user, `chmod` for our own folder with bad modes, `mkdir` for a missing trash
// folder, for a link `mv` of the link itself aside (never of what it points at) and `mkdir` of a real
// folder in its place; empty for a file in the way, which only the user can place elsewhere, and for
// what the user cannot mend alone. Paths under `home` are written from ~, every path is quoted for
// the shell, with $'…' escapes for bytes that are not printable UTF-8.
QString repairCommand(const TrashAccessProblem& problem, const QByteArray& home);

// `path` as the user knows it: ~/… under `home`, else as it is (not quoted).
QString displayPath(const QByteArray& path, const QByteArray& home);

} // namespace rubbly
