#include "TrashService.h"

#include "AppIdentity.h"
#include "Scheduler.h"

#include <QLoggingCategory>

#include <algorithm>
#include <cerrno>
#include <malloc.h>

namespace rubbly {

namespace {
Q_LOGGING_CATEGORY(lcService, "com.tolvik.Rubbly.TrashService")
}

TrashService::Engine::Engine(TrashLocations locations, WalkOptions walkOptions, QTimeZone zone)
    : store(std::move(locations), walkOptions, std::move(zone))
    , kde(KdeTrashPeer::fromEnvironment())
    , lastPut(LastPutRecord::defaultPath())
    , actor(kAppId + QStringLiteral(".TrashService"))
{
    store.setListingIndexPath(TrashStore::defaultListingIndexPath());
}

TrashService::Reader::Reader(TrashLocations locations, WalkOptions walkOptions, QTimeZone zone)
    : store(std::move(locations), walkOptions, std::move(zone))
    , actor(kAppId + QStringLiteral(".TrashService.Reader"))
{
    store.setListingIndexPath(TrashStore::defaultListingIndexPath());
}

TrashService::TrashService(Scheduler* scheduler, TrashLocations locations, WalkOptions walkOptions, QTimeZone zone,
                           QObject* parent)
    : QObject(parent)
    , m_scheduler(scheduler)
    , m_zone(zone)
    , m_engine(std::make_unique<Engine>(locations, walkOptions, zone))
    , m_reader(std::make_unique<Reader>(std::move(locations), walkOptions, std::move(zone)))
{
}

TrashService::~TrashService()
{
    m_engine->store.requestStop();
    m_reader->store.requestStop();
    // Both together get kStopWait, not one each.
    const auto deadline = std::chrono::steady_clock::now() + kStopWait;
    const auto left = [deadline] {
        return std::max(std::chrono::milliseconds(0), std::chrono::duration_cast<std::chrono::milliseconds>(
                                                          deadline - std::chrono::steady_clock::now()));
    };
    // Still running after the wait, stuck in the kernel (a hung disk): the process is ending, so
    // the engine is left to that thread rather than destroyed under it. Kept reachable, so leak
    // checkers do not count it. Never destroyed, which is why it is made with new; an allocation
    // that fails here, at exit, ends the process as it is ending anyway.
    if (!m_engine->actor.stop(left())) {
        static auto* abandoned =
            new std::vector<std::unique_ptr<Engine>>; // NOLINT(bugprone-unhandled-exception-at-new)
        abandoned->push_back(std::move(m_engine));
    }
    if (!m_reader->actor.stop(left())) {
        static auto* abandoned =
            new std::vector<std::unique_ptr<Reader>>; // NOLINT(bugprone-unhandled-exception-at-new)
        abandoned->push_back(std::move(m_reader));
    }
}

Timestamp TrashService::cutoff(Timestamp now, int days, const QTimeZone& zone)
{
    if (days <= 0)
        return now;
    // A DeletionDate has a four-digit year: ten thousand years before now is before every one of
    // them, and still far inside what a microsecond Timestamp holds (about 292 000 years).
    constexpr int kBeyondEveryDate = 3'660'000;
    if (days > kBeyondEveryDate)
        return Timestamp::min();
    const QDateTime local = toDateTime(now).toTimeZone(zone);
    const QDateTime earlier = local.addDays(-days);
    if (!earlier.isValid())
        return Timestamp::min();
    // Keep the sub-millisecond part QDateTime cannot carry.
    return fromDateTime(earlier) + (now - fromDateTime(local));
}

QCoro::Task<TrashStatusResult> TrashService::fetchStatus()
{
    QPointer<TrashService> self = this;
    TrashStore* store = &m_engine->store;
    TrashStatusResult result = co_await m_engine->actor.run([store] { return store->scan(); });
    if (!self)
        co_return result;
    if (result && m_scheduler)
        result.value().lastUpdatedAt = m_scheduler->now();
    co_return result;
}

QCoro::Task<TrashStatusResult> TrashService::listEntries(TrashEntryOrder order,
                                                         std::function<void(const TrashStatus&)> begin,
                                                         std::function<void(const TrashItemDetail&)> entry)
{
    TrashStore* store = &m_engine->store;
    // The system clock is safe to read from the actor; a test's virtual one is only read while the
    // test waits for this task.
    Scheduler* scheduler = m_scheduler.data();
    auto job = [store, scheduler, order, begin = std::move(begin), entry = std::move(entry)] {
        Timestamp stamped{};
        TrashStatusResult result = store->list(
            order,
            [&](const TrashStatus& status) {
                TrashStatus shown = status;
                if (scheduler)
                    shown.lastUpdatedAt = stamped = scheduler->now();
                begin(shown);
            },
            entry);
        if (result)
            result.value().lastUpdatedAt = stamped;
        return result;
    };
    co_return co_await m_engine->actor.run(std::move(job));
}

namespace {

// KDE is told only when something left the Trash: the age rule runs after every scan, and a
// signal each time would make every open view of the Trash list it again for nothing.
TrashCleanupOutcome tellKde(TrashCleanupOutcome outcome, const TrashStore& store, KdeTrashPeer& kde)
{
    if (outcome && outcome->removedCount > 0)
        kde.afterRemoval(store.isEmpty());
    return outcome;
}

// Puts each entry back with `restoreOne`, every one tried, and tells KDE once when any went.
template <typename RestoreOne>
TrashRestoreReport restoreEach(const QList<TrashEntryRef>& entries, const TrashStore& store, KdeTrashPeer& kde,
                               RestoreOne restoreOne)
{
    TrashRestoreReport report;
    for (const TrashEntryRef& entry : entries) {
        Result<QByteArray, TrashError> result = restoreOne(entry);
        if (result) {
            report.restoredPaths.append(std::move(result).value());
        } else {
            report.failures.append(result.error());
            report.failedEntries.append(entry);
        }
    }
    if (!report.restoredPaths.isEmpty())
        kde.afterRemoval(store.isEmpty(), report.restoredPaths);
    return report;
}

} // namespace

QCoro::Task<TrashCleanupOutcome> TrashService::emptyTrash()
{
    TrashStore* store = &m_engine->store;
    KdeTrashPeer* kde = &m_engine->kde;
    co_return co_await m_engine->actor.run([store, kde] { return tellKde(store->emptyAll(), *store, *kde); });
}

QCoro::Task<TrashCleanupOutcome> TrashService::removeItems(int olderThanDays)
{
    // Zero days is "trashed before now", never a full emptying: the age rule leaves every entry
    // without a readable date, whatever the age.
    TrashStore* store = &m_engine->store;
    KdeTrashPeer* kde = &m_engine->kde;
    const Timestamp before = cutoff(m_scheduler->now(), olderThanDays, m_zone);
    co_return co_await m_engine->actor.run(
        [store, kde, before] { return tellKde(store->removeDeletedBefore(before), *store, *kde); });
}

QCoro::Task<TrashPutReport> TrashService::moveToTrash(QList<QByteArray> paths)
{
    TrashStore* store = &m_engine->store;
    KdeTrashPeer* kde = &m_engine->kde;
    const Timestamp now = m_scheduler->now();
    // Built as a named object and moved in: see Actor::run() on temporaries in co_await.
    const LastPutRecord* lastPut = &m_engine->lastPut;
    auto job = [store, kde, lastPut, paths = std::move(paths), now]() -> TrashPutReport {
        TrashPutReport report;
        QByteArrayList moved;
        QList<LastPutRecord::Entry> recorded;
        for (const QByteArray& path : paths) {
            TrashEntryRef created;
            TrashInfoStamp stamp;
            TrashPutResult result = store->put(path, now, &created, &stamp);
            if (result) {
                moved.append(std::move(result).value());
                recorded.append(LastPutRecord::Entry{created, std::move(stamp)});
                report.entries.append(std::move(created));
            } else {
                report.failures.append(result.error());
            }
        }
        report.movedCount = static_cast<int>(moved.size());
        if (!moved.isEmpty())
            kde->afterPut(moved);
        // Even a put that moved nothing is the last one: `restore --last` must not reach back past it.
        if (auto written = lastPut->write(recorded); !written)
            qCWarning(lcService) << "the last put is not remembered:" << written.error();
        return report;
    };
    co_return co_await m_engine->actor.run(std::move(job));
}

QCoro::Task<TrashRestoreReport> TrashService::restore(QList<TrashEntryRef> entries, bool rename)
{
    TrashStore* store = &m_engine->store;
    KdeTrashPeer* kde = &m_engine->kde;
    QTimeZone zone = m_zone;
    auto job = [store, kde, entries = std::move(entries), rename, zone]() -> TrashRestoreReport {
        const TrashRestorer restorer(store->locations(), zone);
        return restoreEach(entries, *store, *kde,
                           [&restorer, rename](const TrashEntryRef& entry) { return restorer.restore(entry, rename); });
    };
    co_return co_await m_engine->actor.run(std::move(job));
}

QCoro::Task<TrashRestoreReport> TrashService::restoreInto(QList<TrashEntryRef> entries, QByteArray folder, bool rename)
{
    TrashStore* store = &m_engine->store;
    KdeTrashPeer* kde = &m_engine->kde;
    QTimeZone zone = m_zone;
    auto job = [store, kde, entries = std::move(entries), folder = std::move(folder), rename,
                zone]() -> TrashRestoreReport {
        const TrashRestorer restorer(store->locations(), zone);
        // An empty folder would mean "the original place" to the restorer: never so here.
        const QByteArray into = folder.isEmpty() ? QByteArray(".") : folder;
        return restoreEach(entries, *store, *kde, [&restorer, rename, &into](const TrashEntryRef& entry) {
            return restorer.restore(entry, rename, into);
        });
    };
    co_return co_await m_engine->actor.run(std::move(job));
}

QCoro::Task<TrashRemoveReport> TrashService::removeEntries(QList<TrashEntryRef> entries)
{
    TrashStore* store = &m_engine->store;
    KdeTrashPeer* kde = &m_engine->kde;
    auto job = [store, kde, entries = std::move(entries)]() -> TrashRemoveReport {
        TrashRemoveReport report = store->removeNamed(entries);
        if (!report.removed.isEmpty())
            kde->afterRemoval(store->isEmpty());
        return report;
    };
    co_return co_await m_engine->actor.run(std::move(job));
}

QCoro::Task<Result<TrashRestoreReport, TrashError>> TrashService::restoreLastPut(bool rename)
{
    TrashStore* store = &m_engine->store;
    KdeTrashPeer* kde = &m_engine->kde;
    const LastPutRecord* lastPut = &m_engine->lastPut;
    QTimeZone zone = m_zone;
    auto job = [store, kde, lastPut, rename, zone]() -> Result<TrashRestoreReport, TrashError> {
        auto recorded = lastPut->read();
        if (!recorded)
            return TrashError{TrashServiceError::FileSystem, 0, recorded.error()};
        if (recorded->isEmpty())
            return TrashError{TrashServiceError::FileSystem, 0,
                              QStringLiteral("the last put left nothing in the Trash to put back")};
        const TrashRestorer restorer(store->locations(), zone);
        TrashRestoreReport report;
        QList<LastPutRecord::Entry> stayed;
        for (const LastPutRecord::Entry& entry : std::as_const(recorded.value())) {
            Result<QByteArray, TrashError> result = restorer.restore(entry.ref, rename, {}, &entry.stamp);
            if (result) {
                report.restoredPaths.append(std::move(result).value());
                continue;
            }
            // Gone (put back by the panel's Undo, say, or emptied) is what the user wants already;
            // replaced is worth a word. Neither is the last put's any more, nor tried again.
            const int error = result.error().errorCode;
            if (error != ENOENT)
                report.failures.append(result.error());
            if (error != ENOENT && error != ESTALE)
                stayed.append(entry);
        }
        if (auto written = lastPut->write(stayed); !written)
            qCWarning(lcService) << "the last put's record is not updated:" << written.error();
        if (!report.restoredPaths.isEmpty())
            kde->afterRemoval(store->isEmpty(), report.restoredPaths);
        else if (report.failures.isEmpty())
            return TrashError{TrashServiceError::FileSystem, 0,
                              QStringLiteral("the last put left nothing in the Trash to put back")};
        return report;
    };
    co_return co_await m_engine->actor.run(std::move(job));
}

void TrashService::setLastPutRecordPath(QByteArray path)
{
    m_engine->lastPut = LastPutRecord(std::move(path));
}

QCoro::Task<TrashEntryListResult> TrashService::fetchEntryList(TrashListSizing sizing)
{
    const bool reading = sizing != TrashListSizing::Measured;
    TrashStore* store = reading ? &m_reader->store : &m_engine->store;
    auto job = [store, sizing] {
        TrashEntryListResult list = store->entryList(sizing);
        // Building it took about as much again as it keeps (the pass's table, the sorting): the
        // tray runs on one malloc arena, so its free pages go back now rather than staying resident
        // for as long as the panel's list is open.
        malloc_trim(0);
        return list;
    };
    co_return co_await (reading ? m_reader->actor : m_engine->actor).run(std::move(job));
}

void TrashService::releaseFreedMemory()
{
    malloc_trim(0);
}

QCoro::Task<TrashRestorer::Listing> TrashService::restorableEntries()
{
    TrashStore* store = &m_engine->store;
    QTimeZone zone = m_zone;
    auto job = [store, zone] {
        TrashRestorer::Listing listing = TrashRestorer(store->locations(), zone).entries();
        // Their entries are missing: what the user names may be on one of them.
        for (const TrashFolderProblem& problem : store->locations().volumesNotAnswering())
            listing.problems.append(problem.message());
        return listing;
    };
    co_return co_await m_engine->actor.run(std::move(job));
}

} // namespace rubbly
