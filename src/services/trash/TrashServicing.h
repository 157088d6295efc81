#pragma once

#include "TrashEntryList.h"
#include "TrashTypes.h"

#include <QByteArray>
#include <QList>

#include <QCoroTask>

namespace rubbly {

// What the view model and the auto-clean rules need of the Trash.
class TrashServicing {
public:
    virtual ~TrashServicing() = default;

    // Every entry of every trash folder, sized and classified.
    virtual QCoro::Task<TrashStatusResult> fetchStatus() = 0;
    // Deletes every entry; fails only when there is no trash folder at all.
    virtual QCoro::Task<TrashCleanupOutcome> emptyTrash() = 0;
    // Deletes the entries trashed more than `days` calendar days ago (0: trashed before now). Never
    // an entry without a readable deletion date, whatever the age.
    virtual QCoro::Task<TrashCleanupOutcome> removeItems(int olderThanDays) = 0;
    // Moves the paths into the Trash in order; a path that fails is reported and the next one tried.
    virtual QCoro::Task<TrashPutReport> moveToTrash(QList<QByteArray> paths) = 0;
    // Puts the entries back where they were trashed from, in order; an entry that fails is reported
    // and the next one tried. With `rename`, a taken original place gives a free name beside it.
    virtual QCoro::Task<TrashRestoreReport> restore(QList<TrashEntryRef> entries, bool rename) = 0;
    // Every entry of every trash folder with its original path and deletion date, finished (both
    // orders sorted). An error only when no trash folder could be listed at all. KnownOnly leaves
    // the folders that were never measured without a size (TrashEntryList::kUnknownSize).
    virtual QCoro::Task<TrashEntryListResult> fetchEntryList(TrashListSizing sizing) = 0;
    // Puts the entries back into `folder` (absolute, an existing folder that is not reached through a
    // link) under the names they were trashed from, in order, with the same care as restore(). With
    // `rename`, a taken name gives a free one beside it.
    virtual QCoro::Task<TrashRestoreReport> restoreInto(QList<TrashEntryRef> entries, QByteArray folder,
                                                        bool rename) = 0;
    // Deletes the entries for good, as emptying deletes: through descriptors, never following a link,
    // never entering a mount point (an entry holding one stays), data first and the info file after,
    // the directorysizes line dropped. An entry that fails is reported and the next one tried.
    virtual QCoro::Task<TrashRemoveReport> removeEntries(QList<TrashEntryRef> entries) = 0;
    // Hands the pages of a listing the caller just let go back to the system: a list of 100 000
    // entries is about 17 MB, which the allocator would otherwise keep resident.
    virtual void releaseFreedMemory() {}
};

} // namespace rubbly
