#include "TrashService.h"

#include "Scheduler.h"

namespace rubbly {

TrashService::TrashService(Scheduler* scheduler, TrashLocations locations, WalkOptions walkOptions, QTimeZone zone,
                           QObject* parent)
    : QObject(parent)
    , m_scheduler(scheduler)
    , m_zone(zone)
    , m_store(std::move(locations), walkOptions, std::move(zone))
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

QCoro::Task<TrashStatusResult> TrashService::listEntries(TrashEntryOrder order,
                                                         std::function<void(const TrashStatus&)> begin,
                                                         std::function<void(const TrashItemDetail&)> entry)
{
    TrashStore* store = &m_store;
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
    co_return co_await m_actor.run(std::move(job));
}

QCoro::Task<TrashCleanupOutcome> TrashService::emptyTrash()
{
    TrashStore* store = &m_store;
    co_return co_await m_actor.run([store] { return store->emptyAll(); });
}

QCoro::Task<TrashCleanupOutcome> TrashService::removeItems(int olderThanDays)
{
    TrashStore* store = &m_store;
    if (olderThanDays < 1)
        co_return co_await m_actor.run([store] { return store->emptyAll(); });
    const Timestamp before = cutoff(m_scheduler->now(), olderThanDays, m_zone);
    co_return co_await m_actor.run([store, before] { return store->removeDeletedBefore(before); });
}

QCoro::Task<TrashPutResult> TrashService::moveToTrash(QList<QByteArray> paths)
{
    TrashStore* store = &m_store;
    const Timestamp now = m_scheduler->now();
    // Built as a named object and moved in: see Actor::run() on temporaries in co_await.
    auto job = [store, paths = std::move(paths), now]() -> TrashPutResult {
        for (const QByteArray& path : paths) {
            TrashPutResult result = store->put(path, now);
            if (!result)
                return result;
        }
        return Done{};
    };
    co_return co_await m_actor.run(std::move(job));
}

} // namespace rubbly
