#pragma once

#include "FileCategory.h"
#include "Timestamp.h"
#include "TrashItemDetail.h"

#include <QList>

#include <map>

namespace rubbly {

// Why a trash folder was refused, so that the interface can say it in its own language.
enum class TrashFolderFault : quint8 {
    Other,        // only `reason` says it
    NotAbsolute,  // the folder's path is not absolute
    CannotOpen,   // the folder above it (`above`) cannot be opened
    CannotCreate, // `part` is missing and cannot be made
    Link,         // `part` is a symbolic link
    NotAFolder,   // `part` is no folder
    Missing,      // `part` does not exist
    Unreadable,   // `part` cannot be opened or looked at (see errorCode)
    OtherOwner,   // `part` belongs to the user `owner`
    MountPoint,   // `part` is a mount point
    NotSticky,    // the volume's shared .Trash lacks the sticky bit: anyone may replace its folders
    NotAnswering, // the volume does not answer; it is skipped until it does
    NotLookedAt,  // the volume could not be looked at this time
    Unlistable,   // files/ cannot be listed to the end (see errorCode)
};

// Which part of a trash folder a fault is about.
enum class TrashFolderPart : quint8 { Folder, Files, Info, SharedTrash };
// How the part is written in a reason: "files/", "info/", ".Trash"; empty for the trash folder itself,
// which each language names in its own words.
QString trashFolderPartPath(TrashFolderPart part);

// A trash folder that could not be used or listed, and why (for the log and the user).
struct TrashFolderProblem {
    QByteArray path;
    // An English sentence for the log and the command line.
    QString reason;
    // errno of the failure, when there was one (EACCES: the user lacks permission).
    int errorCode = 0;
    // The same reason, for the interface to word (set wherever the folder is opened or listed).
    TrashFolderFault fault = TrashFolderFault::Other;
    TrashFolderPart part = TrashFolderPart::Folder;
    quint32 owner = 0;
    QByteArray above = {};

    // "trash folder <path> not used: <reason>"
    QString message() const;
    bool operator==(const TrashFolderProblem&) const = default;
};

// One snapshot of every trash folder: what the interface shows of it. It holds the largest entries
// only, so its size does not grow with the Trash; the command line's full listings stream every
// entry from the scan instead (TrashStore::list()).
struct TrashStatus {
    // As many entries as the panel shows.
    static constexpr qsizetype kTopItemLimit = 5;

    qint64 totalSize = 0;
    int itemCount = 0;
    Timestamp lastUpdatedAt{};
    // The largest entries, at most kTopItemLimit, largest first; equal sizes keep their listing order.
    QList<TrashItemDetail> topItems;
    // Bytes per category; a category without entries is absent.
    std::map<FileCategory, qint64> categoryDistribution;
    // The trash folders listed, in order, and those present that could not be used or listed: their
    // entries are missing here, so the Trash is not known to be as empty as it looks.
    QList<QByteArray> trashFolders;
    QList<TrashFolderProblem> folderProblems;

    // The five largest entries when there are six or more, otherwise all of them.
    QList<TrashItemDetail> previewItems() const;

    bool operator==(const TrashStatus&) const = default;
};

} // namespace rubbly
