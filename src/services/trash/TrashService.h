#pragma once

#include "Actor.h"
#include "KdeTrashPeer.h"
#include "LastPutRecord.h"
#include "TrashRestorer.h"
#include "TrashServicing.h"
#include "TrashStore.h"
#include "TrashTypes.h"

#include <QObject>
#include <QPointer>

#include <chrono>
#include <memory>

#include <QCoroTask>

namespace rubbly {

class Scheduler;

// The only code that reads or changes the Trash. All disk work runs on its own actor, one operation
// at a time in call order; results come back on the caller's thread. After every change KDE's view
// of the Trash is brought up to date (KdeTrashPeer).
class TrashService final : public QObject, public TrashServicing {
    Q_OBJECT
public:
    TrashService(Scheduler* scheduler, TrashLocations locations, WalkOptions walkOptions = {},
                 QTimeZone zone = localZone(), QObject* parent = nullptr);
    // Asks the operation in flight to stop at its next entry, drops the queued ones and waits at
    // most kStopWait for it: quitting never waits without bound for the disk.
    ~TrashService() override;

    static constexpr std::chrono::milliseconds kStopWait{3000};

    QCoro::Task<TrashStatusResult> fetchStatus() override;
    QCoro::Task<TrashCleanupOutcome> emptyTrash() override;
    QCoro::Task<TrashCleanupOutcome> removeItems(int olderThanDays) override;
    QCoro::Task<TrashPutReport> moveToTrash(QList<QByteArray> paths) override;
    QCoro::Task<TrashRestoreReport> restore(QList<TrashEntryRef> entries, bool rename) override;
    // Measured: on the trash actor, after the work queued before it. KnownOnly: on a reader of its
    // own, which waits for nothing the actor is doing.
    QCoro::Task<TrashEntryListResult> fetchEntryList(TrashListSizing sizing) override;
    void releaseFreedMemory() override;
    QCoro::Task<TrashRestoreReport> restoreInto(QList<TrashEntryRef> entries, QByteArray folder, bool rename) override;
    QCoro::Task<TrashRemoveReport> removeEntries(QList<TrashEntryRef> entries) override;
    // Puts back what the last moveToTrash() moved (of this process or another using the same state
    // folder), as restore() does, except entries whose info file has changed since. The record then
    // keeps only the entries that stayed, for a second try. An error when no put is recorded, the
    // record cannot be read, or nothing of it is left to put back.
    QCoro::Task<Result<TrashRestoreReport, TrashError>> restoreLastPut(bool rename);
    // Where moveToTrash() records its entries (LastPutRecord::defaultPath() unless set); before any
    // other call.
    void setLastPutRecordPath(QByteArray path);
    // Every entry of every trash folder with the original path and date its info file gives, for the
    // command line to find what a user names, with the folders that cannot be used or do not answer.
    QCoro::Task<TrashRestorer::Listing> restorableEntries();

    // Every entry, for the command line's full listings: `begin` gets the status (stamped), then
    // `entry` each entry in `order`, one at a time. Both are called on the service's actor before the
    // task completes, so they must not touch objects of the caller's thread that it uses meanwhile.
    QCoro::Task<TrashStatusResult> listEntries(TrashEntryOrder order, std::function<void(const TrashStatus&)> begin,
                                               std::function<void(const TrashItemDetail&)> entry);

    // Calendar-day cut-off of removeItems(): `days` days before `now` in `zone`. It saturates: an
    // age beyond every date a trash can hold gives the earliest time, before which nothing lies.
    static Timestamp cutoff(Timestamp now, int days, const QTimeZone& zone);

private:
    QPointer<Scheduler> m_scheduler;
    QTimeZone m_zone;
    // The store and the actor that runs it, kept together: if work in flight outlasts kStopWait at
    // destruction, both are left alive for that thread until the process ends.
    struct Engine {
        Engine(TrashLocations locations, WalkOptions walkOptions, QTimeZone zone);
        TrashStore store;
        KdeTrashPeer kde;
        LastPutRecord lastPut;
        // Last: destroyed first, so no work runs against the store once teardown begins.
        Actor actor;
    };
    std::unique_ptr<Engine> m_engine;
    // A second store that only ever reads (TrashStore::entryList with KnownOnly), so the panel's list
    // does not queue behind a scan, a walk or an emptying of the actor above. Reading beside them is
    // what `rubbly trash list` in another process does too.
    struct Reader {
        Reader(TrashLocations locations, WalkOptions walkOptions, QTimeZone zone);
        TrashStore store;
        Actor actor; // last, as above
    };
    std::unique_ptr<Reader> m_reader;
};

} // namespace rubbly
