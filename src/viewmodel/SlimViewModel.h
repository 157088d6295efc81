#pragma once

#include "CleaningRecord.h"
#include "DiskSlimSnapshot.h"
#include "Timestamp.h"

#include <QObject>

#include <QCoroTask>

#include <chrono>
#include <optional>

namespace rubbly {

class DefaultsStore;
class DiskSlimServicing;
class InstalledAppDetector;
class NotificationService;
class Scheduler;
class SettingsService;
class SoundHapticService;
struct SlimScanProgress;
namespace test {
struct ViewModelRig;
}

// The slim tab's state and flows: the found items and their ticks, a scan with its progress, a purge
// with its record. Kept apart from the Trash's view model because the two share no state: a slim scan
// never waits for the Trash, nor the Trash for a purge. Lives on the GUI thread; every "now" comes
// from the Scheduler, and every flow checks after each suspension that the view model still exists.
class SlimViewModel final : public QObject {
    Q_OBJECT
public:
    // What the view model works with. None is owned; all must outlive it.
    struct Services {
        DiskSlimServicing& slim;
        InstalledAppDetector& apps;
        SettingsService& settings;
        DefaultsStore& defaults;
        Scheduler& scheduler;
        NotificationService& notifications;
        SoundHapticService& feedback;
    };

    static constexpr std::chrono::seconds kSlimFreshness{1800};
    static constexpr std::chrono::milliseconds kSlimThrottle{8000};

    // Loads the slim cleaning record and the stored snapshot, so the tab shows the last scan at once.
    explicit SlimViewModel(Services services, QObject* parent = nullptr);

    const QList<DiskSlimItem>& diskSlimItems() const { return m_diskSlimItems; }
    bool isScanningSlim() const { return m_isScanningSlim; }
    bool isCleaningSlim() const { return m_isCleaningSlim; }
    const std::optional<QString>& slimScanProgressText() const { return m_slimScanProgressText; }
    double slimScanProgressValue() const { return m_slimScanProgressValue; }
    const std::optional<QString>& slimCleanProgressText() const { return m_slimCleanProgressText; }
    const std::optional<Timestamp>& lastSlimScanDate() const { return m_lastSlimScanDate; }
    const std::optional<CleaningRecord>& lastSlimCleaningRecord() const { return m_lastSlimCleaningRecord; }
    // The scheduler's "now": views format relative times with it and never read the system clock.
    Timestamp now() const;

    // Scans the slim catalogue unless the shown result is fresh (not with `force`) or a scan
    // started less than 8 s ago.
    QCoro::Task<void> scanSlim(bool force);
    // Deletes what is ticked, records what that freed, then scans again so the list shows what is left.
    QCoro::Task<void> purgeSelectedSlimItems();

    // A category toggles itself and all its paths; a path toggles itself and then selects its
    // category exactly when any of its paths is selected.
    void toggleSlimCategory(DiskSlimCategory category);
    void toggleSlimSubItem(DiskSlimCategory category, const QByteArray& path);
    // What a purge of the current selection frees, by the recorded sizes.
    qint64 selectedSlimSize() const;
    static qint64 selectedSize(const QList<DiskSlimItem>& items);

Q_SIGNALS:
    void diskSlimItemsChanged();
    void isScanningSlimChanged();
    void isCleaningSlimChanged();
    void slimScanProgressTextChanged();
    void slimScanProgressValueChanged();
    void slimCleanProgressTextChanged();
    void lastSlimScanDateChanged();
    void lastSlimCleaningRecordChanged();

private:
    // Tests and the gallery put the tab into moments no flow holds still (a scan or purge without
    // its progress text).
    friend struct test::ViewModelRig;

    // The scan behind scanSlim(); `throttled` false skips the 8-second throttle.
    QCoro::Task<void> runSlimScan(bool force, bool throttled);
    void onSlimScanProgress(const SlimScanProgress& progress, QList<DiskSlimItem>& found);

    void setDiskSlimItems(QList<DiskSlimItem> items);
    void setIsScanningSlim(bool value);
    void setIsCleaningSlim(bool value);
    void setSlimScanProgressText(std::optional<QString> text);
    void setSlimScanProgressValue(double value);
    void setSlimCleanProgressText(std::optional<QString> text);
    void setLastSlimScanDate(std::optional<Timestamp> date);
    void setLastSlimCleaningRecord(std::optional<CleaningRecord> record);

    Services m_services;
    QList<DiskSlimItem> m_diskSlimItems;
    bool m_isScanningSlim = false;
    bool m_isCleaningSlim = false;
    std::optional<QString> m_slimScanProgressText;
    double m_slimScanProgressValue = 0;
    std::optional<QString> m_slimCleanProgressText;
    std::optional<Timestamp> m_lastSlimScanDate;
    std::optional<CleaningRecord> m_lastSlimCleaningRecord;
    std::optional<Timestamp> m_lastSlimScanStartTime;
    // A purge ended while a scan was running: scan once more when it ends, or the list would keep
    // what the purge deleted.
    bool m_slimRescanPending = false;
};

} // namespace rubbly
