#include "TrashService.h"

#include "Scheduler.h"

namespace rubbly {

TrashService::TrashService(Scheduler* scheduler, TrashLocations locations, WalkOptions walkOptions, QTimeZone zone,
                           QObject* parent)
    : QObject(parent)
    , m_scheduler(scheduler)
    , m_zone(zone)
    , m_store(std::move(locations), walkOptions, std::move(zone))
    , m_kde(KdeTrashPeer::fromEnvironment())
    , m_actor(QStringLiteral("com.tolvik.Rubbly.TrashService"))
{
}

Timestamp TrashService::cutoff(Timestamp now, int days, const QTimeZone& zone)
{
    const QDateTime local = toDateTime(now).toTimeZone(zone);
    const QDateTime earlier = local.addDays(-days);
    if (!earlier.isValid())
        return now;
    // Keep the sub-millisecond part QDateTime cannot carry.
    return fromDateTime(earlier) + (now - fromDateTime(local));
}

QCoro::Task<TrashStatusResult> TrashService::fetchStatus()
{
    QPointer<TrashService> self = this;
    TrashStore* store = &m_store;
    TrashStatusResult result = co_await m_actor.run([store] { return store->scan(); });
    if (!self)
        co_return result;
    if (result && m_scheduler)
        result.value().lastUpdatedAt = m_scheduler->now();
    co_return result;
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

} // namespace

QCoro::Task<TrashCleanupOutcome> TrashService::emptyTrash()
{
    TrashStore* store = &m_store;
    KdeTrashPeer* kde = &m_kde;
    co_return co_await m_actor.run([store, kde] { return tellKde(store->emptyAll(), *store, *kde); });
}

QCoro::Task<TrashCleanupOutcome> TrashService::removeItems(int olderThanDays)
{
    TrashStore* store = &m_store;
    KdeTrashPeer* kde = &m_kde;
    if (olderThanDays < 1)
        co_return co_await m_actor.run([store, kde] { return tellKde(store->emptyAll(), *store, *kde); });
    const Timestamp before = cutoff(m_scheduler->now(), olderThanDays, m_zone);
    co_return co_await m_actor.run(
        [store, kde, before] { return tellKde(store->removeDeletedBefore(before), *store, *kde); });
}

QCoro::Task<TrashPutReport> TrashService::moveToTrash(QList<QByteArray> paths)
{
    TrashStore* store = &m_store;
    KdeTrashPeer* kde = &m_kde;
    const Timestamp now = m_scheduler->now();
    // Built as a named object and moved in: see Actor::run() on temporaries in co_await.
    auto job = [store, kde, paths = std::move(paths), now]() -> TrashPutReport {
        TrashPutReport report;
        QByteArrayList moved;
        for (const QByteArray& path : paths) {
            TrashPutResult result = store->put(path, now);
            if (result)
                moved.append(std::move(result).value());
            else
                report.failures.append(result.error());
        }
        report.movedCount = static_cast<int>(moved.size());
        if (!moved.isEmpty())
            kde->afterPut(moved);
        return report;
    };
    co_return co_await m_actor.run(std::move(job));
}

} // namespace rubbly
