#pragma once

#include "Result.h"
#include "TrashStatus.h"

#include <QByteArray>
#include <QCryptographicHash>
#include <QString>
#include <QStringList>

namespace rubbly {

enum class TrashServiceError {
    TrashURLUnavailable, // no trash folder could be located at all
    PermissionDenied,    // no trash folder could be listed, and at least one refused for lack of permission
    FileSystem,          // any other failure; `message` says what
};

// Why an entry or a trash folder was left as it was. The interface words each in its own language
// around TrashError::path; the command line prints TrashError::message.
enum class TrashFailure {
    Other,                // only `message` says it (an errno's text, about `path` when set)
    NotAnEntry,           // `path` cannot name an entry of a trash folder
    NotInTrashInUse,      // `path` is in none of the trash folders the program uses
    FolderUnusable,       // the trash folder `path` cannot be used (not ours, a link, missing, …)
    FolderUnlistable,     // the trash folder `path` cannot be listed to the end
    GoneFromTrash,        // the entry `path` is no longer in the Trash
    ReplacedInTrash,      // the entry `path` was trashed anew since it was chosen
    IsMountPoint,         // the entry `path` is a mount point
    HoldsMountPoint,      // the entry `path` holds the mount point `otherPath`, which is never entered
    MountTableUnreadable, // the mount table cannot be read to check the entry `path`
    DeletedPartly,        // the entry `path` could not be deleted completely
    Quitting,             // the program quit before it came to the entry `path`
    NoInfoFile,           // the entry `path` has no info file: its original place is unknown
    InfoUnreadable,       // the info file of the entry `path` cannot be read
    NoOriginalPlace,      // the info file of the entry `path` names no usable original place
    PlaceInsideTrash,     // the place `path` is inside the Trash
    PlaceTaken,           // something else is at `path`
    ThroughLink,          // the way there leads through the link `path`
    NotAFolder,           // `path`, on the way there, is not a folder
    FolderMissing,        // the folder `path` does not exist
    FolderNotMade,        // the folder `path` cannot be made
    OtherFileSystem,      // the place `path` is on another file system than the entry's trash
};

struct TrashError {
    TrashServiceError kind = TrashServiceError::FileSystem;
    // errno of the failure, when there was one.
    int errorCode = 0;
    // An English sentence for the log and the command line; the interface words its own line from
    // `reason` and the paths, or from `kind` for a whole operation that failed.
    QString message;
    TrashFailure reason = TrashFailure::Other;
    // What `reason` is about (exact bytes), and the second path some reasons name. Initialised here so
    // that the many errors built from the first three fields alone stay complete aggregates.
    QByteArray path = {};
    QByteArray otherPath = {};

    bool operator==(const TrashError&) const = default;
};

struct TrashCleanupResult {
    int removedCount = 0;
    qint64 freedBytes = 0;
    // Entries that could not be deleted completely; they stay listed with their info files.
    int failedCount = 0;
    // What the user must be told, one each: trash folders that could not be used or listed, and
    // entries that hold a mount point (named). Not empty means the emptying was not complete.
    QList<TrashError> problems;
    // Entries an age pass kept because no deletion date could be read for them (no info file, or
    // none that gives a date): they may be as old as any, so the Trash is not known to hold nothing
    // older than the cut-off. Not counted in complete(), which is about what could not be deleted.
    int undatedCount = 0;

    bool complete() const { return failedCount == 0 && problems.isEmpty(); }
    // The problems' sentences, for the log and the command line.
    QStringList problemMessages() const
    {
        QStringList messages;
        for (const TrashError& problem : problems)
            messages.append(problem.message);
        return messages;
    }

    bool operator==(const TrashCleanupResult&) const = default;
};

// One entry of a trash folder: its name in files/ (raw bytes) and the folder it is in.
struct TrashEntryRef {
    QByteArray trashFolder;
    QByteArray name;

    bool operator==(const TrashEntryRef&) const = default;
};

// What an entry's info file was when it was seen: its inode and a digest of its bytes. A later
// action by this stamp leaves alone an entry whose info file is no longer that one (the entry was
// put back and its name given to another file since, or another program rewrote it).
struct TrashInfoStamp {
    quint64 inode = 0;
    QByteArray digest; // SHA-256

    static TrashInfoStamp of(quint64 inode, const QByteArray& content)
    {
        return {inode, QCryptographicHash::hash(content, QCryptographicHash::Sha256)};
    }
    bool operator==(const TrashInfoStamp&) const = default;
};

// What a put of several paths did. Every path is tried, whatever became of the others, as trash-put
// and gio do: one unreadable file must not keep the rest of a selection out of the Trash.
struct TrashPutReport {
    int movedCount = 0;
    // One per path that could not be moved, in the order they were given.
    QList<TrashError> failures;
    // The entries the put made, in order: exactly what undoing it puts back.
    QList<TrashEntryRef> entries;

    bool operator==(const TrashPutReport&) const = default;
};

// What a restore of several entries did. Every entry is tried, whatever became of the others.
struct TrashRestoreReport {
    // Where each restored entry went, in the order given (a free name beside the original with
    // `rename`).
    QList<QByteArray> restoredPaths;
    // One per entry that stayed in the Trash, naming it and saying why.
    QList<TrashError> failures;
    // The entry each of `failures` is about, in the same order.
    QList<TrashEntryRef> failedEntries;

    bool operator==(const TrashRestoreReport&) const = default;
};

// What a deletion of chosen entries did. Every entry is tried, whatever became of the others.
struct TrashRemoveReport {
    // The entries deleted for good, in the order given.
    QList<TrashEntryRef> removed;
    // What deleting them freed, as emptying counts it.
    qint64 freedBytes = 0;
    // One per entry that is not gone, naming it and saying why. An entry that failed part way keeps
    // its info file and stays listed, as after an emptying.
    QList<TrashError> failures;

    bool operator==(const TrashRemoveReport&) const = default;
};

using TrashStatusResult = Result<TrashStatus, TrashError>;
using TrashCleanupOutcome = Result<TrashCleanupResult, TrashError>;
// The absolute path the file was moved from.
using TrashPutResult = Result<QByteArray, TrashError>;

} // namespace rubbly
