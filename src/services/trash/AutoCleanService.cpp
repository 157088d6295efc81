#include "AutoCleanService.h"

#include "Formatting.h"
#include "NotificationService.h"
#include "Scheduler.h"
#include "SettingsService.h"
#include "StoredKeys.h"
#include "StoredRecords.h"
#include "TrashServicing.h"

#include <QCoreApplication>
#include <cmath>
#include <utility>

namespace rubbly {

AutoCleanService::AutoCleanService(TrashServicing& trash, NotificationService& notifications, DefaultsStore& defaults,
                                   Scheduler* scheduler, QObject* parent)
    : QObject(parent)
    , m_trash(trash)
    , m_notifications(notifications)
    , m_defaults(defaults)
    , m_scheduler(scheduler)
{
}

std::optional<qint64> AutoCleanService::thresholdBytes(double gigabytes)
{
    const double bytes = std::trunc(gigabytes * 1024.0 * 1024.0 * 1024.0);
    if (!std::isfinite(bytes) || bytes < 0 || bytes >= 9.2e18)
        return std::nullopt;
    return static_cast<qint64>(bytes);
}

bool AutoCleanService::release()
{
    if (m_holds == 0 || --m_holds > 0)
        return false;
    return std::exchange(m_skippedWhileHeld, false);
}

void AutoCleanService::record(qint64 freedBytes, int removedCount, const QPointer<QObject>& receiver,
                              const std::function<void(const CleaningRecord&)>& onRecord)
{
    const CleaningRecord cleaning{m_scheduler->now(), freedBytes, removedCount};
    saveRecord(m_defaults, cleaning, kLastCleaningRecordKey);
    if (receiver && onRecord)
        onRecord(cleaning);
}

QCoro::Task<void> AutoCleanService::evaluate(TrashStatus status, const SettingsService& settings,
                                             QPointer<QObject> receiver,
                                             std::function<void(const CleaningRecord&)> onRecord)
{
    QPointer<AutoCleanService> self = this;
    const auto turn = co_await m_turn.lock();
    if (!self)
        co_return;

    // The settings as they are now, once, in one place.
    const bool enabled = settings.autoCleanEnabled();
    const bool byAge = settings.autoCleanByAgeEnabled();
    const int days = settings.autoCleanDays();
    const bool bySize = settings.autoCleanBySizeEnabled();
    const double thresholdGB = settings.autoCleanSizeThresholdGB();
    const bool silent = settings.autoCleanActionIsSilent();
    const bool notify = settings.notifyAfterCleaning();

    if (!enabled || status.itemCount == 0)
        co_return;
    // Checked right before each call that deletes: the trash service runs calls in order, so what a
    // put queued after this check sees is not in the way of an emptying queued before it.
    const auto held = [this] {
        m_skippedWhileHeld = m_skippedWhileHeld || m_holds > 0;
        return m_holds > 0;
    };
    if (held())
        co_return;

    const std::optional<qint64> threshold = thresholdBytes(thresholdGB);
    if (bySize && threshold && status.totalSize >= *threshold) {
        if (silent) {
            const TrashCleanupOutcome emptied = co_await m_trash.emptyTrash();
            if (!self)
                co_return;
            if (emptied) {
                if (emptied->removedCount >= 1) {
                    if (notify)
                        m_notifications.notifyCleaningFinished(emptied->freedBytes, emptied->removedCount);
                    record(emptied->freedBytes, emptied->removedCount, receiver, onRecord);
                }
                co_return; // a successful silent emptying ends the evaluation
            }
            // A failed emptying is dropped; the age rule still runs.
        } else {
            const Timestamp now = m_scheduler->now();
            if (!m_lastThresholdNotifyDate || now - *m_lastThresholdNotifyDate > kWarningInterval) {
                m_lastThresholdNotifyDate = now;
                m_notifications.notify(
                    QCoreApplication::translate("AutoClean", "The Trash holds more than %1 GB")
                        .arg(static_cast<qint64>(std::trunc(thresholdGB))),
                    QCoreApplication::translate("AutoClean",
                                                "It now holds %1 (%2 items). Empty it soon to free the disk space.")
                        .arg(sharedByteCountFormatter().format(status.totalSize))
                        .arg(status.itemCount));
            }
        }
    }

    if (byAge && days >= 1) {
        if (held())
            co_return;
        const TrashCleanupOutcome removed = co_await m_trash.removeItems(days);
        if (!self)
            co_return;
        Q_EMIT ageRuleKeptUndated(removed ? removed->undatedCount : 0);
        if (!removed || removed->removedCount < 1)
            co_return;
        if (notify)
            m_notifications.notifyCleaningFinished(removed->freedBytes, removed->removedCount);
        record(removed->freedBytes, removed->removedCount, receiver, onRecord);
    }
}

} // namespace rubbly
