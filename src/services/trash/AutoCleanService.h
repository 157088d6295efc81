#pragma once

#include "AsyncMutex.h"
#include "CleaningRecord.h"
#include "Timestamp.h"
#include "TrashStatus.h"

#include <QObject>
#include <QPointer>

#include <QCoroTask>

#include <functional>
#include <optional>

namespace rubbly {

class DefaultsStore;
class NotificationService;
class Scheduler;
class SettingsService;
class TrashServicing;

// The automatic cleaning rules: a size threshold (empty silently, or warn at most every 12 hours)
// and an age limit. Evaluations run one after another; the disk work runs on the trash service's
// actor. Lives on the GUI thread.
class AutoCleanService final : public QObject {
    Q_OBJECT
public:
    AutoCleanService(TrashServicing& trash, NotificationService& notifications, DefaultsStore& defaults,
                     Scheduler* scheduler, QObject* parent = nullptr);

    // Applies the rules to `status` with the current settings. A cleaning is saved as the last
    // cleaning record and handed to `onRecord`, unless `receiver` is gone by then. Errors of the
    // trash service are dropped silently.
    QCoro::Task<void> evaluate(TrashStatus status, const SettingsService& settings, QPointer<QObject> receiver,
                               std::function<void(const CleaningRecord&)> onRecord);

    // Holds the rules back while the Trash holds entries that the user can still take back with one
    // click (a drop's undo): an emptying then would delete what the offer promises to put back.
    // Holds nest; an evaluation that meets one, when it starts or between its rules, applies nothing
    // more. release() is true when the last hold ended and an evaluation was skipped meanwhile: the
    // caller then evaluates a fresh status.
    void hold() { ++m_holds; }
    bool release();
    bool isHeld() const { return m_holds > 0; }

    // The threshold in bytes (binary gigabytes, truncated); empty for values that fit no byte count
    // (negative, not finite, or beyond 2^63), which disables the size rule.
    static std::optional<qint64> thresholdBytes(double gigabytes);
    static constexpr std::chrono::seconds kWarningInterval{43200};

Q_SIGNALS:
    // After each pass of the age rule: how many entries it kept because no deletion date can be read
    // for them (0 when none, or when the pass failed). They may be as old as any.
    void ageRuleKeptUndated(int count);

private:
    void record(qint64 freedBytes, int removedCount, const QPointer<QObject>& receiver,
                const std::function<void(const CleaningRecord&)>& onRecord);

    TrashServicing& m_trash;
    NotificationService& m_notifications;
    DefaultsStore& m_defaults;
    Scheduler* m_scheduler;
    std::optional<Timestamp> m_lastThresholdNotifyDate;
    AsyncMutex m_turn;
    int m_holds = 0;
    bool m_skippedWhileHeld = false;
};

} // namespace rubbly
