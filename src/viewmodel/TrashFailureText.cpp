#include "TrashFailureText.h"

#include "Formatting.h"

#include <QCoreApplication>

#include <cstring>

namespace rubbly {

namespace {

// The sentence for `reason`, with %1 for the path and %2 for the other path; empty for Other.
QString reasonSentence(TrashFailure reason)
{
    switch (reason) {
    case TrashFailure::Other:
        return {};
    case TrashFailure::NotAnEntry:
        return QCoreApplication::translate("ViewModel", "There is no entry named %1 in the Trash.");
    case TrashFailure::NotInTrashInUse:
        return QCoreApplication::translate("ViewModel", "The entry %1 is not in a trash folder in use.");
    case TrashFailure::FolderUnusable:
        return QCoreApplication::translate("ViewModel", "The trash folder %1 cannot be used.");
    case TrashFailure::FolderUnlistable:
        return QCoreApplication::translate("ViewModel", "The trash folder %1 cannot be read to the end.");
    case TrashFailure::GoneFromTrash:
        return QCoreApplication::translate("ViewModel", "The entry %1 is no longer in the Trash.");
    case TrashFailure::ReplacedInTrash:
        return QCoreApplication::translate("ViewModel", "The entry %1 was replaced in the Trash meanwhile and stays.");
    case TrashFailure::IsMountPoint:
        return QCoreApplication::translate("ViewModel", "The entry %1 is a mount point and stays in the Trash.");
    case TrashFailure::HoldsMountPoint:
        return QCoreApplication::translate(
            "ViewModel", "The entry %1 holds the mount point %2, which is never entered, and stays in the Trash.");
    case TrashFailure::MountTableUnreadable:
        return QCoreApplication::translate("ViewModel", "The mount table cannot be read, so %1 stays in the Trash.");
    case TrashFailure::DeletedPartly:
        return QCoreApplication::translate("ViewModel",
                                           "The entry %1 could not be deleted completely and stays in the Trash.");
    case TrashFailure::Quitting:
        return QCoreApplication::translate("ViewModel", "Rubbly is quitting: %1 was not deleted.");
    case TrashFailure::NoInfoFile:
        return QCoreApplication::translate("ViewModel",
                                           "The entry %1 has no info file, so its original place is unknown.");
    case TrashFailure::InfoUnreadable:
        return QCoreApplication::translate("ViewModel", "The info file of %1 cannot be read.");
    case TrashFailure::NoOriginalPlace:
        return QCoreApplication::translate("ViewModel", "The info file of %1 names no usable original place.");
    case TrashFailure::PlaceInsideTrash:
        return QCoreApplication::translate("ViewModel", "The place %1 is inside the Trash.");
    case TrashFailure::PlaceTaken:
        return QCoreApplication::translate("ViewModel", "Another file is already at %1.");
    case TrashFailure::ThroughLink:
        return QCoreApplication::translate("ViewModel",
                                           "The way there leads through the link %1, which is never followed.");
    case TrashFailure::NotAFolder:
        return QCoreApplication::translate("ViewModel", "The way there leads through %1, which is not a folder.");
    case TrashFailure::FolderMissing:
        return QCoreApplication::translate("ViewModel", "The folder %1 does not exist.");
    case TrashFailure::FolderNotMade:
        return QCoreApplication::translate("ViewModel", "The folder %1 cannot be made.");
    case TrashFailure::OtherFileSystem:
        return QCoreApplication::translate(
            "ViewModel", "The place %1 is on another file system than the trash; move it there yourself.");
    }
    return {};
}

QString systemWords(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

QString partName(TrashFolderPart part)
{
    // The trash folder the line names: "(it is a symbolic link, …)".
    return part == TrashFolderPart::Folder ? QCoreApplication::translate("ViewModel", "it") : trashFolderPartPath(part);
}

} // namespace

QString trashFolderRefusal(const TrashFolderProblem& problem, const QByteArray& home)
{
    const QString part = partName(problem.part);
    switch (problem.fault) {
    case TrashFolderFault::Other:
        break;
    case TrashFolderFault::NotAbsolute:
        return QCoreApplication::translate("ViewModel", "its path does not start at /");
    case TrashFolderFault::CannotOpen:
        return QCoreApplication::translate("ViewModel", "the folder above it, %1, cannot be opened: %2")
            .arg(displayedPath(problem.above, home), systemWords(problem.errorCode));
    case TrashFolderFault::CannotCreate:
        return QCoreApplication::translate("ViewModel", "%1 cannot be made: %2")
            .arg(part, systemWords(problem.errorCode));
    case TrashFolderFault::Link:
        return QCoreApplication::translate("ViewModel", "%1 is a symbolic link, which is never followed").arg(part);
    case TrashFolderFault::NotAFolder:
        return QCoreApplication::translate("ViewModel", "%1 is not a folder").arg(part);
    case TrashFolderFault::Missing:
        return QCoreApplication::translate("ViewModel", "%1 is missing").arg(part);
    case TrashFolderFault::Unreadable:
        return QCoreApplication::translate("ViewModel", "%1 cannot be read: %2")
            .arg(part, systemWords(problem.errorCode));
    case TrashFolderFault::OtherOwner:
        return QCoreApplication::translate("ViewModel", "%1 belongs to another user, user ID %2")
            .arg(part)
            .arg(problem.owner);
    case TrashFolderFault::MountPoint:
        return QCoreApplication::translate("ViewModel", "%1 is a mount point").arg(part);
    case TrashFolderFault::NotSticky:
        return QCoreApplication::translate("ViewModel", "%1 lets any user replace the folders in it (no sticky bit)")
            .arg(part);
    case TrashFolderFault::NotAnswering:
        return QCoreApplication::translate("ViewModel", "the volume is not answering; it is left out until it does");
    case TrashFolderFault::NotLookedAt:
        return QCoreApplication::translate("ViewModel", "the volume could not be looked at this time");
    case TrashFolderFault::Unlistable:
        return QCoreApplication::translate("ViewModel", "%1 cannot be read to the end: %2")
            .arg(part, systemWords(problem.errorCode));
    }
    return problem.reason;
}

QString trashFolderProblemLine(const TrashFolderProblem& problem, const QByteArray& home)
{
    return QCoreApplication::translate("ViewModel", "Trash folder %1 cannot be used (%2).")
        .arg(displayedPath(problem.path, home), trashFolderRefusal(problem, home));
}

QString trashFailureLine(const TrashError& failure, const QByteArray& home)
{
    const QString path = displayedPath(failure.path, home);
    const QString sentence = reasonSentence(failure.reason);
    if (!sentence.isEmpty()) {
        return failure.otherPath.isEmpty() ? sentence.arg(path)
                                           : sentence.arg(path, displayedPath(failure.otherPath, home));
    }
    if (!failure.path.isEmpty() && failure.errorCode != 0) {
        // The system's own words for the errno, in the user's language where the C library has them.
        return QCoreApplication::translate("ViewModel", "The system refused %1: %2.")
            .arg(path, systemWords(failure.errorCode));
    }
    return failure.message;
}

QString trashCountLine(TrashCountLine kind, qsizetype done, qsizetype total, qsizetype failed)
{
    const bool one = total == 1;
    QString text;
    switch (kind) {
    case TrashCountLine::Removed:
        text = one ? QCoreApplication::translate("ViewModel", "Removed %1 of 1 item; it could not be deleted.")
                   : QCoreApplication::translate("ViewModel", "Removed %1 of %2 items; %3 could not be deleted.");
        break;
    case TrashCountLine::Deleted:
        text = one ? QCoreApplication::translate("ViewModel", "Deleted %1 of 1 item; it stayed in the Trash.")
                   : QCoreApplication::translate("ViewModel", "Deleted %1 of %2 items; %3 stayed in the Trash.");
        break;
    case TrashCountLine::PutBack:
        text = one ? QCoreApplication::translate("ViewModel", "Put back %1 of 1 item; it stayed in the Trash.")
                   : QCoreApplication::translate("ViewModel", "Put back %1 of %2 items; %3 stayed in the Trash.");
        break;
    case TrashCountLine::PutBackGone:
        text =
            one ? QCoreApplication::translate("ViewModel", "Put back %1 of 1 item; it had already left the Trash.")
                : QCoreApplication::translate("ViewModel", "Put back %1 of %2 items; %3 had already left the Trash.");
        break;
    case TrashCountLine::Moved:
        text =
            one ? QCoreApplication::translate("ViewModel", "Moved %1 of 1 item to the Trash; it could not be moved.")
                : QCoreApplication::translate("ViewModel", "Moved %1 of %2 items to the Trash; %3 could not be moved.");
        break;
    }
    return one ? text.arg(done) : text.arg(done).arg(total).arg(failed);
}

} // namespace rubbly
