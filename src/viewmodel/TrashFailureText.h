#pragma once

#include "TrashStatus.h"
#include "TrashTypes.h"

#include <QByteArray>
#include <QString>

namespace rubbly {

// The panel's sentence for one failure of the engine, in the interface's language: its reason with
// the paths it names, shown from `home` and kept whole where the line wraps (displayedPath()). A
// failure without a reason of its own says its path and the system's words for its errno, or, with
// neither, the engine's sentence.
QString trashFailureLine(const TrashError& failure, const QByteArray& home);

// Why the engine refused a trash folder, in the interface's language, as a clause without a capital or a
// full stop ("files/ is a symbolic link"): for "cannot be used (…)" lines. A refusal the engine gave no
// kind for keeps its English sentence.
QString trashFolderRefusal(const TrashFolderProblem& problem, const QByteArray& home);
// "Trash folder ~/… cannot be used (…)", in the interface's language.
QString trashFolderProblemLine(const TrashFolderProblem& problem, const QByteArray& home);

// What an operation on several entries did, as the first of its failure lines.
enum class TrashCountLine {
    Removed,     // an emptying: "Removed 2 of 3 items; 1 could not be deleted."
    Deleted,     // chosen entries deleted for good
    PutBack,     // entries put back, some stayed in the Trash
    PutBackGone, // entries put back, some had left the Trash meanwhile
    Moved,       // paths moved to the Trash
};
// "… `done` of `total` items; `failed` …", with "1 item" and "it" when there was only one.
QString trashCountLine(TrashCountLine kind, qsizetype done, qsizetype total, qsizetype failed);

} // namespace rubbly
