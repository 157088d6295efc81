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
        NotAFolder,  // a link or a file stands where the folder should be
        NotOwned,    // owned by another user (root after a program ran with sudo)
        NotReadable, // ours, but its modes keep us from listing it
        NotWritable, // ours, but its modes keep us from deleting in it (or entering it)
    };
    Kind kind = Kind::Missing;
    // The folder or entry that has the problem, and the trash folder it belongs to (what the repair
    // command works on, so one command mends the whole trash).
    QByteArray path;
    QByteArray trashPath;
    uid_t owner = 0;
    mode_t mode = 0;

    // The owner's user name, else the number.
    QString ownerName() const;
    bool operator==(const TrashAccessProblem&) const = default;
};

// Looks at each trash folder in `trashes`, in order: the folder itself, its files/ and info/, and the
// folders directly in files/ (a folder that is not ours cannot be emptied). Each must be a real
// folder owned by `uid` that its owner may read, write and enter. Returns the first problem, or none
// when every folder can be used. Only lstat and the folder listing of files/; nothing is changed.
std::optional<TrashAccessProblem> checkTrashAccess(const QList<TrashDirectory>& trashes, uid_t uid);

// The shell command that mends `problem`, for the user to run in a terminal: `chown` through sudo for
// a folder of another user, `chmod` for our own folder with bad modes, `mkdir` for a missing home
// trash; empty for something that is not a folder, which only the user can move out of the way. Paths under `home` are
// written from ~, every path is quoted for the shell.
QString repairCommand(const TrashAccessProblem& problem, const QByteArray& home);

// `path` as the user knows it: ~/… under `home`, else as it is (not quoted).
QString displayPath(const QByteArray& path, const QByteArray& home);

} // namespace rubbly
