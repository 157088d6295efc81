#pragma once

#include "Actor.h"
#include "TrashStore.h"
#include "TrashTypes.h"

#include <QObject>
#include <QPointer>

#include <QCoroTask>

namespace rubbly {

class Scheduler;

// What the view model and the auto-clean rules need of the Trash.
class TrashServicing {
public:
    virtual ~TrashServicing() = default;

    // Every entry of every trash folder, sized and classified.
    virtual QCoro::Task<TrashStatusResult> fetchStatus() = 0;
    // Deletes every entry; fails only when there is no trash folder at all.
    virtual QCoro::Task<TrashCleanupOutcome> emptyTrash() = 0;
    // Deletes the entries trashed more than `days` calendar days ago; below 1, empties everything.
    virtual QCoro::Task<TrashCleanupOutcome> removeItems(int olderThanDays) = 0;
    // Moves the paths into the Trash in order, stopping at the first that fails.
    virtual QCoro::Task<TrashPutResult> moveToTrash(QList<QByteArray> paths) = 0;
};

// The only code that reads or changes the Trash. All disk work runs on its own actor, one operation
// at a time in call order; results come back on the caller's thread.
class TrashService final : public QObject, public TrashServicing {
    Q_OBJECT
public:
    TrashService(Scheduler* scheduler, TrashLocations locations, WalkOptions walkOptions = {},
                 QTimeZone zone = QTimeZone::systemTimeZone(), QObject* parent = nullptr);

    QCoro::Task<TrashStatusResult> fetchStatus() override;
    QCoro::Task<TrashCleanupOutcome> emptyTrash() override;
    QCoro::Task<TrashCleanupOutcome> removeItems(int olderThanDays) override;
    QCoro::Task<TrashPutResult> moveToTrash(QList<QByteArray> paths) override;

    // Every entry, for the command line's full listings: `begin` gets the status (stamped), then
    // `entry` each entry in `order`, one at a time. Both are called on the service's actor before the
    // task completes, so they must not touch objects of the caller's thread that it uses meanwhile.
    QCoro::Task<TrashStatusResult> listEntries(TrashEntryOrder order, std::function<void(const TrashStatus&)> begin,
                                               std::function<void(const TrashItemDetail&)> entry);

    // Calendar-day cut-off of removeItems(): `days` days before `now` in `zone`.
    static Timestamp cutoff(Timestamp now, int days, const QTimeZone& zone);

private:
    QPointer<Scheduler> m_scheduler;
    QTimeZone m_zone;
    TrashStore m_store;
    // Last: destroyed first, so no work runs against the store once teardown begins.
    Actor m_actor;
};

} // namespace rubbly
