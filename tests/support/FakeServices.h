#pragma once

#include "DiskSlimServicing.h"
#include "HapticPerformer.h"
#include "KeyGrabber.h"
#include "NotificationCenter.h"
#include "Scheduler.h"
#include "SoundPlayer.h"
#include "TrashServicing.h"
#include "UpdateServicing.h"

#include <QCoreApplication>
#include <QCoroTimer>
#include <QList>
#include <QPair>
#include <QPointer>
#include <QStringList>

namespace rubbly::test {

// A trash service whose answers the test sets; it records the scans and cleanings it was asked
// for, and what it was asked to move or put back.
class FakeTrashService final : public TrashServicing {
public:
    QCoro::Task<TrashStatusResult> fetchStatus() override
    {
        calls.append(QStringLiteral("fetchStatus"));
        co_await passGate(scanGate);
        co_await answerLater();
        // Copies: QCoro's co_return moves from an lvalue, which would empty these members.
        co_return TrashStatusResult(status);
    }
    QCoro::Task<TrashCleanupOutcome> emptyTrash() override
    {
        calls.append(QStringLiteral("emptyTrash"));
        co_await passGate(emptyGate);
        co_await answerLater();
        co_return TrashCleanupOutcome(emptyResult);
    }
    QCoro::Task<TrashCleanupOutcome> removeItems(int olderThanDays) override
    {
        calls.append(QStringLiteral("removeItems(%1)").arg(olderThanDays));
        co_await answerLater();
        co_return TrashCleanupOutcome(removeResult);
    }
    QCoro::Task<TrashPutReport> moveToTrash(QList<QByteArray> paths) override
    {
        moved.append(paths);
        TrashPutReport report = putReport.value_or(TrashPutReport{static_cast<int>(paths.size()), {}, {}});
        if (!putReport)
            for (const QByteArray& path : paths)
                report.entries.append(TrashEntryRef{"/trash", path.mid(path.lastIndexOf('/') + 1)});
        co_await answerLater();
        co_return report;
    }

    QCoro::Task<TrashRestoreReport> restore(QList<TrashEntryRef> entries, bool rename) override
    {
        restored.append(entries);
        renames.append(rename);
        co_await answerLater();
        co_return restoreReport.value_or(TrashRestoreReport{});
    }
    QCoro::Task<TrashEntryListResult> fetchEntryList(TrashListSizing sizing) override
    {
        const bool measured = sizing == TrashListSizing::Measured;
        if (sizing == TrashListSizing::KnownOrEarlier && earlierList) {
            calls.append(QStringLiteral("fetchEntryList(earlier)"));
            co_await answerLater();
            TrashEntryList earlier = *earlierList;
            earlier.setEarlier(true);
            co_return TrashEntryListResult(std::move(earlier));
        }
        calls.append(measured ? QStringLiteral("fetchEntryList(measured)") : QStringLiteral("fetchEntryList"));
        co_await answerLater();
        co_return TrashEntryListResult(measured || !unmeasuredList ? entryList : *unmeasuredList);
    }
    QCoro::Task<TrashRestoreReport> restoreInto(QList<TrashEntryRef> entries, QByteArray folder, bool) override
    {
        calls.append(QStringLiteral("restoreInto(%1)").arg(QString::fromUtf8(folder)));
        restored.append(entries);
        co_await answerLater();
        co_return restoreReport.value_or(TrashRestoreReport{});
    }
    QCoro::Task<TrashRemoveReport> removeEntries(QList<TrashEntryRef> entries) override
    {
        removed.append(entries);
        co_await answerLater();
        co_return removeReport.value_or(TrashRemoveReport{entries, 0, {}});
    }

    // Waits while `gate` is set and not yet cancelled (destroying it cancels it). The resumption is
    // queued on the application, not on the gate, which may be mid-destruction when it opens.
    struct Gate {
        QPointer<Cancellation> gate;
        QMetaObject::Connection connection;
        bool await_ready() const { return !gate || gate->isCancelled(); }
        void await_suspend(std::coroutine_handle<> handle)
        {
            connection = QObject::connect(gate.data(), &Cancellation::cancelled, [this, handle] {
                QObject::disconnect(connection);
                QMetaObject::invokeMethod(
                    QCoreApplication::instance(), [handle] { handle.resume(); }, Qt::QueuedConnection);
            });
        }
        void await_resume() {}
    };
    static QCoro::Task<void> passGate(QPointer<Cancellation> gate)
    {
        Gate awaiter{gate, {}};
        co_await awaiter;
    }

    // With `deferred`, answers come in a later event-loop turn, as the real actor's do.
    QCoro::Task<void> answerLater()
    {
        if (deferred)
            co_await QCoro::sleepFor(std::chrono::milliseconds(0));
    }

    bool deferred = false;
    // While set, scans wait until it is cancelled (a scan "in flight").
    QPointer<Cancellation> scanGate;
    QPointer<Cancellation> emptyGate;
    TrashStatusResult status = TrashStatus{};
    TrashCleanupOutcome emptyResult = TrashCleanupResult{};
    TrashCleanupOutcome removeResult = TrashCleanupResult{};
    // What the next puts report; by default every path went in.
    std::optional<TrashPutReport> putReport;
    // What the next restores report; by default no failure (the view model reads the put-back
    // paths only to count them beside failures).
    std::optional<TrashRestoreReport> restoreReport;
    // What listings of every entry give.
    TrashEntryListResult entryList = TrashEntryList{};
    // What a listing that measures nothing gives, when not the same.
    std::optional<TrashEntryListResult> unmeasuredList;
    // What the listing index kept before the Trash changed: given first when set.
    std::optional<TrashEntryList> earlierList;
    // What the next deletions of chosen entries report; by default every one went.
    std::optional<TrashRemoveReport> removeReport;
    QList<TrashEntryRef> removed;
    QStringList calls;
    QList<QList<QByteArray>> moved;
    QList<TrashEntryRef> restored;
    // The rename flag of each restore() call.
    QList<bool> renames;
};

// A notification center that records what it was asked to show.
class FakeNotificationCenter final : public NotificationCenter {
public:
    QCoro::Task<bool> isAuthorized() override
    {
        ++authorizationChecks;
        co_return bool(authorized);
    }
    void post(const QString& title, const QString& body) override { posted.append({title, body}); }

    bool authorized = true;
    int authorizationChecks = 0;
    QList<QPair<QString, QString>> posted;
};

// A sound player that plays the events the test lets it play.
class FakeSoundPlayer final : public SoundPlayer {
public:
    bool play(std::uint32_t slot, const QString& eventId) override
    {
        log.append(QStringLiteral("play %1 %2").arg(slot).arg(eventId));
        return available.contains(eventId);
    }
    void cancel(std::uint32_t slot) override { log.append(QStringLiteral("cancel %1").arg(slot)); }
    void beep() override { log.append(QStringLiteral("beep")); }

    QStringList available{QStringLiteral("trash-empty"), QStringLiteral("bell"), QStringLiteral("audio-volume-change")};
    QStringList log;
};

// A key grabber that is always available; the test emits activated() itself.
class FakeGrabber final : public KeyGrabber {
public:
    void start() override
    {
        ++starts;
        active = true;
    }
    void stop() override { active = false; }
    Status status() const override { return forced.value_or(active ? Status::Active : Status::Inactive); }
    QString detail() const override { return forcedDetail; }
    bool anonymous() const override { return forcedAnonymous; }
    // What the desktop made of the grab, when it was not simply taken.
    void force(Status status, const QString& detail = {}, bool anonymous = false)
    {
        forced = status;
        forcedDetail = detail;
        forcedAnonymous = anonymous;
        Q_EMIT statusChanged();
    }
    int starts = 0;
    bool active = false;
    std::optional<Status> forced;
    QString forcedDetail;
    bool forcedAnonymous = false;
};

class FakeHaptics final : public HapticPerformer {
public:
    void performGeneric() override { ++taps; }
    int taps = 0;
};

// A slim engine that reports `result` as found, category by category, and purges by decree. With
// `scanGate` set the scan stops after reporting `reportBeforeGate` categories until the gate opens.
class FakeSlimService final : public DiskSlimServicing {
public:
    QCoro::Task<QList<DiskSlimItem>> scan(QSet<QString>, std::function<void(const SlimScanProgress&)> progress) override
    {
        ++scans;
        const QList<DiskSlimItem> items = result;
        const int count = std::max(categoryCount, static_cast<int>(items.size()));
        for (int k = 0; k < items.size(); ++k) {
            if (scanGate && k == reportBeforeGate)
                co_await FakeTrashService::passGate(scanGate);
            if (progress) {
                progress(SlimScanProgress{items[k].category, k + 1, count, std::nullopt});
                progress(SlimScanProgress{items[k].category, k + 1, count, items[k]});
            }
        }
        if (scanGate && reportBeforeGate >= items.size())
            co_await FakeTrashService::passGate(scanGate);
        co_return items;
    }
    QCoro::Task<SlimPurgeResult> purge(QList<DiskSlimItem> items,
                                       std::function<void(const SlimPurgeProgress&)> progress) override
    {
        purged.append(items);
        for (int k = 0; k < items.size(); ++k) {
            if (progress && items[k].isSelected)
                progress(SlimPurgeProgress{items[k].category, k + 1, static_cast<int>(items.size())});
        }
        co_await FakeTrashService::passGate(purgeGate);
        co_return SlimPurgeResult(purgeResult);
    }

    QList<DiskSlimItem> result;
    int categoryCount = 0;
    int reportBeforeGate = 0;
    QPointer<Cancellation> scanGate;
    QPointer<Cancellation> purgeGate;
    SlimPurgeResult purgeResult;
    int scans = 0;
    QList<QList<DiskSlimItem>> purged;
};

// An updater whose status the test sets; it records every call.
class FakeUpdateService final : public UpdateServicing {
public:
    const UpdateStatus& status() const override { return m_status; }
    std::optional<Timestamp> lastCheckDate() const override { return std::nullopt; }
    QCoro::Task<void> checkForUpdates(bool manual) override
    {
        calls.append(manual ? QStringLiteral("check manual") : QStringLiteral("check silent"));
        co_return;
    }
    QCoro::Task<void> downloadUpdate(UpdateInfo info) override
    {
        calls.append(QStringLiteral("download ") + info.version);
        co_return;
    }
    bool installAndRelaunch(const QByteArray& newAppPath) override
    {
        calls.append(QStringLiteral("install ") + QString::fromUtf8(newAppPath));
        return true;
    }
    void setStatus(UpdateStatus status)
    {
        m_status = std::move(status);
        Q_EMIT statusChanged();
    }

    QStringList calls;

private:
    UpdateStatus m_status = UpdateStatus::idle();
};

} // namespace rubbly::test
