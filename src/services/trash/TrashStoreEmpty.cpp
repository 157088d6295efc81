#include "TrashStoreShared.h"

#include "ByteCounts.h"
#include "DirectoryListing.h"
#include "TreeRemover.h"

#include <QFile>

#include <cerrno>
#include <unistd.h>

// Emptying and deleting chosen entries: each entry's data goes first, through the trash folder's
// descriptor and never across a link or into a mount point, and its info file only after.

namespace rubbly {

using namespace trashstore;

namespace {

// Removes the info file `name` of a removed entry if it is still the one looked at before the
// removal (`seen`). A put may claim a freed name at once; its new info file is not ours to take.
// `onlyIfOlderThan`, when given, also spares an info file whose mtime is later.
void removeInfoFile(int infoFd, const QByteArray& name, const struct stat& seen,
                    std::optional<time_t> onlyIfOlderThan = std::nullopt)
{
    char infoName[kNameMax + 16];
    struct stat now = {};
    if (!infoFileName(name, infoName) || ::fstatat(infoFd, infoName, &now, AT_SYMLINK_NOFOLLOW) != 0 ||
        now.st_ino != seen.st_ino || now.st_dev != seen.st_dev)
        return;
    if (onlyIfOlderThan && now.st_mtim.tv_sec > *onlyIfOlderThan)
        return;
    ::unlinkat(infoFd, infoName, 0);
}

// Info files without data: left behind by a put that failed, or by another program. One written
// lately may be a put in flight (its data not moved yet), so it waits until `settledBefore`.
void removeInfoFilesWithoutData(const OpenTrashFolder& folder, time_t settledBefore, TrashCleanupResult& result)
{
    const int filesFd = folder.files.get();
    const int infoFd = folder.info.get();
    int infoError = 0;
    for (const QByteArray& infoName : readDirectoryNames(infoFd, false, &infoError)) {
        if (!infoName.endsWith(kInfoSuffix))
            continue;
        const QByteArray name = infoName.left(infoName.size() - kInfoSuffix.size());
        struct stat data = {};
        struct stat infoStat = {};
        if (::fstatat(filesFd, name.constData(), &data, AT_SYMLINK_NOFOLLOW) != 0 && errno == ENOENT &&
            ::fstatat(infoFd, infoName.constData(), &infoStat, AT_SYMLINK_NOFOLLOW) == 0 &&
            infoStat.st_mtim.tv_sec <= settledBefore)
            ::unlinkat(infoFd, infoName.constData(), 0);
    }
    if (infoError != 0) {
        const TrashFolderProblem problem{
            folder.directory.path, QStringLiteral("info/ cannot be listed: %1").arg(describe(infoError)), infoError};
        result.problems.append(folderFailure(problem, TrashFailure::FolderUnlistable));
    }
}

} // namespace

TrashCleanupOutcome TrashStore::emptyAll()
{
    // Our own changes would show in the stamps too; dropping what we knew says so plainly.
    m_lastScan.reset();
    m_ageGate.reset();
    OpenFolders open = openFolders();
    if (open.folders.empty() && open.problems.isEmpty())
        return TrashError{TrashServiceError::TrashURLUnavailable, 0, QStringLiteral("no trash folder was found")};

    TrashCleanupResult result = cleanupOf(open.problems);
    const time_t settledBefore = secondsNow() - kPutInFlightMargin.count();
    for (const OpenTrashFolder& folder : open.folders) {
        std::vector<Doomed> doomed;
        const int listError = forEachDirectoryName(
            folder.files.get(), [&](QByteArrayView name) { doomed.push_back(Doomed{name.toByteArray()}); });
        if (listError != 0) {
            const TrashFolderProblem problem = unlistable(folder.directory, listError);
            report(problem);
            result.problems.append(folderFailure(problem, TrashFailure::FolderUnlistable));
            continue;
        }
        removeEntries(folder, doomed, settledBefore, result);
        if (!m_stop.load(std::memory_order_relaxed))
            removeInfoFilesWithoutData(folder, settledBefore, result);
    }
    return result;
}

void TrashStore::removeEntries(const OpenTrashFolder& folder, const std::vector<Doomed>& doomed, time_t settledBefore,
                               TrashCleanupResult& result, const EntryFate& fate)
{
    const TrashDirectory& directory = folder.directory;
    const int filesFd = folder.files.get();
    const int infoFd = folder.info.get();
    bool untrusted = false;
    SizeCache sizes = readSizeCache(folder, &untrusted);
    const qsizetype cachedBefore = sizes.size();
    const auto entryPath = [&](const QByteArray& name) { return directory.filesPath() + '/' + name; };
    // `sentence` names the entry as %1 and the other path, when given, as %2.
    const auto failure = [&](TrashFailure reason, const QByteArray& name, const QString& sentence,
                             const QByteArray& otherPath = {}) {
        const QByteArray path = entryPath(name);
        const QString message = otherPath.isEmpty()
                                    ? sentence.arg(QFile::decodeName(path))
                                    : sentence.arg(QFile::decodeName(path), QFile::decodeName(otherPath));
        return TrashError{TrashServiceError::FileSystem, 0, message, reason, path, otherPath};
    };
    for (std::size_t index = 0; index < doomed.size(); ++index) {
        const Doomed& entry = doomed[index];
        if (m_stop.load(std::memory_order_relaxed))
            break;
        const QByteArray& name = entry.name;
        struct stat infoSt = {};
        const bool hasInfo = statInfo(infoFd, name, &infoSt);
        // Picked by an info file that is no longer there: the name was freed and trashed anew since.
        if (entry.checked && (!hasInfo || !sameFile(infoSt, entry.mtimeNs, entry.size, entry.inode))) {
            if (fate)
                fate(index, false, 0,
                     failure(TrashFailure::ReplacedInTrash, name,
                             QStringLiteral("%1 was replaced in the Trash meanwhile: it stays")));
            continue;
        }
        std::optional<qint64> knownSize;
        if (const auto cached = sizes.constFind(name);
            hasInfo && cached != sizes.cend() && cached->measured && cached->matches(infoSt.st_mtim))
            knownSize = cached->size;

        TreeRemover remover(RemovalOptions{!knownSize.has_value(), true, nullptr, &m_stop});
        const RemovalResult removal = remover.remove(filesFd, name.constData());
        if (!removal.complete) {
            // The info file stays so the entry stays listed and can be retried or restored.
            ++result.failedCount;
            const QByteArray mountPoint = removal.mountPoint.isEmpty() ? QByteArray() : entryPath(removal.mountPoint);
            const TrashError why =
                removal.mountPoint.isEmpty()
                    ? failure(TrashFailure::DeletedPartly, name,
                              QStringLiteral("%1 could not be deleted completely: it stays in the Trash"))
                    : failure(
                          TrashFailure::HoldsMountPoint, name,
                          QStringLiteral("%1 holds the mount point %2, which is never entered: it stays in the Trash"),
                          mountPoint);
            if (!removal.mountPoint.isEmpty())
                result.problems.append(why);
            if (fate)
                fate(index, false, 0, why);
            continue;
        }
        sizes.remove(name);
        // The data is gone, so its info file goes. Data that was gone before we came (another
        // emptying got there first, and removes the info file itself) may also be a put's name
        // freed and claimed again: then the info file is only taken once no put can be in flight.
        if (hasInfo)
            removeInfoFile(infoFd, name, infoSt,
                           removal.alreadyGone ? std::optional<time_t>(settledBefore) : std::nullopt);
        if (removal.alreadyGone) {
            if (fate)
                fate(index, false, 0,
                     failure(TrashFailure::GoneFromTrash, name, QStringLiteral("%1 is no longer in the Trash")));
            continue;
        }
        ++result.removedCount;
        const qint64 freed = knownSize.value_or(removal.removedBytes);
        result.freedBytes = saturatingAdd(result.freedBytes, freed);
        if (fate)
            fate(index, true, freed, {});
    }
    if (untrusted || sizes.size() != cachedBefore)
        writeSizeCache(folder, sizes);
}

TrashRemoveReport TrashStore::removeNamed(const QList<TrashEntryRef>& entries)
{
    m_lastScan.reset();
    m_ageGate.reset();
    struct Fate {
        bool decided = false;
        bool removed = false;
        qint64 freed = 0;
        TrashError why;
    };
    std::vector<Fate> fates(static_cast<std::size_t>(entries.size()));
    const auto failure = [&](qsizetype i, TrashFailure reason, const QString& sentence) {
        const QByteArray path = entries[i].trashFolder + "/files/" + entries[i].name;
        return TrashError{TrashServiceError::FileSystem, 0, sentence.arg(QFile::decodeName(path)), reason, path, {}};
    };
    for (qsizetype i = 0; i < entries.size(); ++i) {
        const QByteArray& name = entries[i].name;
        if (name.isEmpty() || name.contains('/') || name == "." || name == ".." || name.size() > kNameMax)
            fates[std::size_t(i)] = Fate{
                true, false, 0, failure(i, TrashFailure::NotAnEntry, QStringLiteral("%1 is not the name of an entry"))};
    }
    OpenFolders open = openFolders();
    const time_t settledBefore = secondsNow() - kPutInFlightMargin.count();
    for (const OpenTrashFolder& folder : open.folders) {
        std::vector<Doomed> doomed;
        std::vector<std::size_t> positions;
        for (qsizetype i = 0; i < entries.size(); ++i) {
            if (!fates[std::size_t(i)].decided && entries[i].trashFolder == folder.directory.path) {
                doomed.push_back(Doomed{entries[i].name});
                positions.push_back(std::size_t(i));
                // Marked now: an entry named twice is deleted once, and the second time is gone.
                fates[std::size_t(i)].decided = true;
                fates[std::size_t(i)].why =
                    failure(i, TrashFailure::Quitting, QStringLiteral("%1 was not deleted: the program is quitting"));
            }
        }
        if (doomed.empty())
            continue;
        TrashCleanupResult counts;
        removeEntries(folder, doomed, settledBefore, counts,
                      [&](std::size_t index, bool removed, qint64 freed, const TrashError& why) {
                          fates[positions[index]] = Fate{true, removed, freed, why};
                      });
    }
    TrashRemoveReport report;
    for (qsizetype i = 0; i < entries.size(); ++i) {
        const Fate& fate = fates[std::size_t(i)];
        if (fate.removed) {
            report.removed.append(entries[i]);
            report.freedBytes = saturatingAdd(report.freedBytes, fate.freed);
            continue;
        }
        TrashError why = fate.why;
        if (!fate.decided) {
            // Its folder was not opened: say why when it is one that cannot be used.
            why = failure(i, TrashFailure::NotInTrashInUse, QStringLiteral("%1 is not in a trash folder in use"));
            for (const TrashFolderProblem& problem : std::as_const(open.problems)) {
                if (problem.path == entries[i].trashFolder)
                    why = TrashError{TrashServiceError::FileSystem,
                                     problem.errorCode,
                                     QStringLiteral("%1 stays: %2")
                                         .arg(QFile::decodeName(entries[i].trashFolder + "/files/" + entries[i].name),
                                              problem.message()),
                                     TrashFailure::FolderUnusable,
                                     problem.path,
                                     {}};
            }
        }
        report.failures.append(why);
    }
    return report;
}

} // namespace rubbly
