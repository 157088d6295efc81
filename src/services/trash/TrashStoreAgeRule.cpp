#include "TrashStoreShared.h"

#include "DirectoryListing.h"

#include <algorithm>

// The age rule: entries trashed before a cut-off are deleted as emptying deletes them; the dates
// learnt are kept per info file so that an unchanged Trash is not listed again for nothing.

namespace rubbly {

using namespace trashstore;

TrashCleanupOutcome TrashStore::removeDeletedBefore(Timestamp cutoff)
{
    // The rule runs after every scan; on an unchanged Trash whose oldest entry is younger than the
    // cut-off, listing it again would find nothing to remove.
    timespec startedAt{};
    ::clock_gettime(CLOCK_REALTIME, &startedAt);
    OpenFolders open = openFolders();
    if (open.folders.empty() && open.problems.isEmpty())
        return TrashError{TrashServiceError::TrashURLUnavailable, 0, QStringLiteral("no trash folder was found")};
    Snapshot before = snapshot(open, startedAt);
    if (m_ageGate && unchangedSince(before, m_ageGate->snapshot) &&
        (!m_ageGate->oldest || *m_ageGate->oldest >= cutoff)) {
        TrashCleanupResult unchanged;
        unchanged.undatedCount = m_ageGate->undated;
        return unchanged;
    }
    m_ageGate.reset();
    ++m_listings;
    bool complete = before.complete;
    std::optional<Timestamp> oldest;
    QHash<QByteArray, std::vector<KnownDate>> knownDates;
    TrashCleanupResult result = cleanupOf(open.problems);
    const time_t settledBefore = secondsNow() - kPutInFlightMargin.count();

    for (const OpenTrashFolder& folder : open.folders) {
        const TrashDirectory& directory = folder.directory;
        const int infoFd = folder.info.get();
        const std::vector<KnownDate> previous = m_knownDates.value(directory.path);
        std::vector<KnownDate>& known = knownDates[directory.path];
        // The old entries are gathered first and deleted once the listing is done, so the folder
        // never changes under its own listing; the others cost no name.
        std::vector<Doomed> old;
        int undated = 0;
        const int listError = forEachDirectoryName(folder.files.get(), [&](QByteArrayView name) {
            struct stat infoSt = {};
            if (!statInfo(infoFd, name, &infoSt)) {
                ++undated; // no info file, no date: never removed by age
                return;
            }
            const quint64 hash = qHash(name, 0);
            auto hit = std::lower_bound(previous.cbegin(), previous.cend(), hash,
                                        [](const KnownDate& k, quint64 h) { return k.nameHash < h; });
            while (hit != previous.cend() && hit->nameHash == hash &&
                   !sameFile(infoSt, hit->mtimeNs, hit->size, hit->inode))
                ++hit;
            std::optional<Timestamp> date;
            if (hit != previous.cend() && hit->nameHash == hash) {
                date = fromMicros(hit->deletedUs);
            } else if (const auto info = readInfo(infoFd, name)) {
                date = info->deletionDate;
            }
            known.push_back(
                KnownDate{hash, infoSt.st_ino, nanoseconds(infoSt.st_mtim), infoSt.st_size, toMicros(date)});
            if (date && *date < cutoff)
                old.push_back(
                    Doomed{name.toByteArray(), true, infoSt.st_ino, nanoseconds(infoSt.st_mtim), infoSt.st_size});
            else if (date && (!oldest || *date < *oldest))
                oldest = date;
            else if (!date)
                ++undated;
        });
        if (listError != 0) {
            complete = false;
            const TrashFolderProblem problem = unlistable(directory, listError);
            report(problem);
            result.problems.append(folderFailure(problem, TrashFailure::FolderUnlistable));
            // What could be read of a folder is not trusted: an entry may have been listed twice.
            known.clear();
            continue;
        }
        result.undatedCount += undated;
        std::sort(known.begin(), known.end(),
                  [](const KnownDate& a, const KnownDate& b) { return a.nameHash < b.nameHash; });
        if (!old.empty())
            removeEntries(folder, old, settledBefore, result);
    }
    m_knownDates = std::move(knownDates);
    if (result.removedCount > 0 || result.failedCount > 0)
        m_lastScan.reset();
    else if (complete)
        m_ageGate = AgeGate{std::move(before), oldest, result.undatedCount};
    return result;
}

} // namespace rubbly
