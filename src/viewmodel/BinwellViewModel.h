#pragma once

#include "BinwellState.h"
#include "CleaningRecord.h"
#include "DiskSlimSnapshot.h"
#include "Timestamp.h"
#include "TrashEntryList.h"
#include "TrashTypes.h"

#include <QObject>
#include <QPointer>

#include <QCoroTask>

#include <memory>
#include <optional>

namespace rubbly {

class AutoCleanService;
class Cancellation;
class DefaultsStore;
class DiskSlimServicing;
class GlobalShortcutService;
class InstalledAppDetector;
class NotificationService;
class Scheduler;
class SettingsService;
class SoundHapticService;
class Timer;
class TrashMonitor;
class TrashServicing;
class UpdateServicing;
struct SlimScanProgress;
namespace test {
struct ViewModelRig;
}

// The one object behind every view of the panel: it holds the Trash state machine and the slim
// tab's state, decides when the Trash is scanned, and runs every user-visible flow. Views only read
// it and call its operations. Lives on the GUI thread; every timer and "now" comes from the
// Scheduler, and every flow checks after each suspension that the view model still exists.
class BinwellViewModel final : public QObject {
    Q_OBJECT
public:
    // What the view model works with. None is owned; all must outlive it except where noted.
    struct Services {
        TrashServicing& trash;
        SettingsService& settings;
        DefaultsStore& defaults;
        Scheduler& scheduler;
        NotificationService& notifications;
        SoundHapticService& feedback;
        GlobalShortcutService& shortcut;
        DiskSlimServicing& slim;
        InstalledAppDetector& apps;
        TrashMonitor* monitor = nullptr;       // none: only the poll keeps the display current
        AutoCleanService* autoClean = nullptr; // none: no automatic cleaning
        UpdateServicing* updates = nullptr;    // none: no update check at start
    };

    static constexpr std::chrono::seconds kPollInterval{60};
    static constexpr std::chrono::milliseconds kMonitorDebounce{1500};
    static constexpr std::chrono::milliseconds kMonitorThrottle{2000};
    static constexpr std::chrono::milliseconds kAppearanceThrottle{1000};
    static constexpr std::chrono::milliseconds kSuccessDisplay{2000};
    static constexpr std::chrono::seconds kSlimFreshness{1800};
    static constexpr std::chrono::milliseconds kSlimThrottle{8000};
    static constexpr std::chrono::seconds kDropUndoDisplay{10};

    // What the last drop moved to the Trash, while its undo is offered: the entries that drop made
    // and no other, even when another entry came from the same place.
    struct DropUndo {
        int movedCount = 0;
        QList<TrashEntryRef> entries;
        bool operator==(const DropUndo&) const = default;
    };

    // Loads the two cleaning records and the stored slim snapshot, and applies the global-shortcut
    // setting now and whenever it changes.
    explicit BinwellViewModel(Services services, QObject* parent = nullptr);
    ~BinwellViewModel() override;

    const BinwellState& state() const { return m_state; }
    const std::optional<CleaningRecord>& lastCleaningRecord() const { return m_lastCleaningRecord; }
    const std::optional<CleaningRecord>& lastSlimCleaningRecord() const { return m_lastSlimCleaningRecord; }
    const std::optional<QString>& lastFailureDetail() const { return m_lastFailureDetail; }
    const std::optional<DropUndo>& dropUndo() const { return m_dropUndo; }
    const QList<DiskSlimItem>& diskSlimItems() const { return m_diskSlimItems; }
    bool isScanningSlim() const { return m_isScanningSlim; }
    bool isCleaningSlim() const { return m_isCleaningSlim; }
    const std::optional<QString>& slimScanProgressText() const { return m_slimScanProgressText; }
    double slimScanProgressValue() const { return m_slimScanProgressValue; }
    const std::optional<QString>& slimCleanProgressText() const { return m_slimCleanProgressText; }
    const std::optional<Timestamp>& lastSlimScanDate() const { return m_lastSlimScanDate; }
    SettingsService& settings() const { return m_services.settings; }
    // The scheduler's "now": views format relative times with it and never read the system clock.
    Timestamp now() const;

    // What the status item shows beside its icon; empty for the icon alone. Follows the state and the
    // two display settings, with `menuBarLabelTextChanged` on every real change.
    const QString& menuBarLabelText() const { return m_menuBarLabelText; }
    static QString menuBarLabelText(const BinwellState& state, bool showSizeInMenuBar, bool hideSizeWhenEmpty);
    // True when emptyTrash() would act: Normal with at least one entry. Changes only with the state.
    bool canEmptyTrash() const;

    // Once: the monitor, the 60-second poll, the shortcut, the first scan and the update check.
    void start();
    // Scans the Trash and sets the state (skipped while emptying).
    QCoro::Task<void> refresh();
    // A scan, unless one started less than a second ago (the panel opening).
    void refreshIfNeeded();
    // Empties the Trash, only from Normal with entries.
    QCoro::Task<void> emptyTrash();
    // Moves dropped files or folders to the Trash, then rescans; offers to undo it for
    // kDropUndoDisplay when anything moved.
    QCoro::Task<void> moveToTrash(QList<QByteArray> paths);
    // Puts entries back where they were trashed from, then rescans; what stayed goes to the failure
    // line with the reason, and those refused because their place is taken to takenPlaces(). With
    // `beside`, a taken place gives a free name beside it ("name (2).ext").
    QCoro::Task<void> restore(QList<TrashEntryRef> entries, bool beside = false);
    // The entries the last put back left in the Trash because something else now has their original
    // place: what "put back beside it" offers to move. Cleared by the next put back.
    const QList<TrashEntryRef>& takenPlaces() const { return m_takenPlaces; }

    // Every entry of the Trash, for the panel's searchable list: none until listAllEntries() has
    // given one, and none again after releaseAllEntries(). Read-only and shared, so a filter on
    // another thread may hold it while a newer listing replaces it here.
    const std::shared_ptr<const TrashEntryList>& allEntries() const { return m_allEntries; }
    bool isListingAllEntries() const { return m_listingAllEntries; }
    // Lists every entry anew: first without measuring any folder, which waits for no scan under way;
    // when folders were left without a size, a measured listing follows and takes its place. While a
    // listing is held, every scan that finds the Trash changed from what the listing holds lists it
    // again, so the list follows puts, put backs and deletions from anywhere.
    QCoro::Task<void> listAllEntries();
    // Lets the listing go (the list closed or the panel was released): its memory returns.
    void releaseAllEntries();
    // Deletes the entries for good, with the emptying's safety rules, then rescans; what could not
    // be deleted goes to the failure line.
    QCoro::Task<void> deleteEntries(QList<TrashEntryRef> entries);
    // The entry a listed item is: its trash folder and its name in files/, as bytes.
    static TrashEntryRef entryOf(const TrashItemDetail& item);
    // Puts back exactly what the last drop moved, while its undo is offered.
    QCoro::Task<void> undoLastDrop();
    // Withdraws the undo offer (the panel closed).
    void dismissDropUndo();
    // Starts or stops the global shortcut as its setting says.
    void updateGlobalShortcut();
    // The monitor's callback: a rescan 1.5 s later unless a scan started within 2 s by then.
    void handleTrashChange();

    // Scans the slim catalogue unless the shown result is fresh (not with `force`) or a scan
    // started less than 8 s ago.
    QCoro::Task<void> scanSlim(bool force);
    QCoro::Task<void> purgeSelectedSlimItems();

    // Selection of the slim tab. A category toggles itself and all its paths; a path toggles itself
    // and then selects its category exactly when any of its paths is selected.
    void toggleSlimCategory(DiskSlimCategory category);
    void toggleSlimSubItem(DiskSlimCategory category, const QByteArray& path);
    // What a purge of the current selection frees, by the recorded sizes.
    qint64 selectedSlimSize() const;
    static qint64 selectedSize(const QList<DiskSlimItem>& items);

Q_SIGNALS:
    void stateChanged();
    void lastCleaningRecordChanged();
    void lastSlimCleaningRecordChanged();
    void lastFailureDetailChanged();
    void dropUndoChanged();
    void diskSlimItemsChanged();
    void isScanningSlimChanged();
    void isCleaningSlimChanged();
    void slimScanProgressTextChanged();
    void slimScanProgressValueChanged();
    void slimCleanProgressTextChanged();
    void lastSlimScanDateChanged();
    void menuBarLabelTextChanged();
    void allEntriesChanged();
    void takenPlacesChanged();

private:
    // Tests and the gallery put the slim tab into moments no flow holds still (a scan or purge
    // without its progress text).
    friend struct test::ViewModelRig;

    QCoro::Task<void> scan();
    // The slim scan behind scanSlim(); `throttled` false skips the 8-second throttle.
    QCoro::Task<void> runSlimScan(bool force, bool throttled);
    void updateMenuBarLabelText();
    QCoro::Task<void> dismissSuccessLater(QPointer<Cancellation> cancellation);
    QCoro::Task<void> rescanAfterChange(QPointer<Cancellation> cancellation);
    QCoro::Task<void> dismissDropUndoLater(QPointer<Cancellation> cancellation);
    // A fresh cancellation in `slot`, cancelling what was there.
    Cancellation* renew(QPointer<Cancellation>& slot);
    void cancelSuccessDismissal();
    void recordCleaning(qint64 freedBytes, int removedCount);
    // Holds the automatic rules while a drop is on its way in, its undo is offered, or the undo is
    // putting it back; on the release, with `rescan`, a status is scanned for the rules if they
    // skipped one.
    void updateAutoCleanHold(bool rescan = true);
    // Restore without the rescan; false when the view model is gone by the end.
    QCoro::Task<bool> putBack(QList<TrashEntryRef> entries, bool beside = false);
    void setTakenPlaces(QList<TrashEntryRef> entries);
    void onSlimScanProgress(const SlimScanProgress& progress, QList<DiskSlimItem>& found);
    // The failure line for what a scan found: the trash folders it could not use, and the entries
    // the age rule keeps for want of a date.
    void showScanProblems(const TrashStatus& status);
    void setAgeRuleKeptUndated(int count);

    void setState(BinwellState state);
    void setLastCleaningRecord(std::optional<CleaningRecord> record);
    void setLastSlimCleaningRecord(std::optional<CleaningRecord> record);
    void setLastFailureDetail(std::optional<QString> text);
    void setDropUndo(std::optional<DropUndo> undo);
    void setDiskSlimItems(QList<DiskSlimItem> items);
    void setIsScanningSlim(bool value);
    void setIsCleaningSlim(bool value);
    void setSlimScanProgressText(std::optional<QString> text);
    void setSlimScanProgressValue(double value);
    void setSlimCleanProgressText(std::optional<QString> text);
    void setLastSlimScanDate(std::optional<Timestamp> date);

    Services m_services;
    BinwellState m_state = BinwellState::scanning();
    std::optional<CleaningRecord> m_lastCleaningRecord;
    std::optional<CleaningRecord> m_lastSlimCleaningRecord;
    std::optional<QString> m_lastFailureDetail;
    std::optional<DropUndo> m_dropUndo;
    QPointer<Cancellation> m_dropUndoExpiry;
    // Drops and undos under way; with an offered undo they hold the automatic rules.
    int m_dropFlows = 0;
    bool m_holdingAutoClean = false;
    // The failure line names trash folders the last scan could not use (not an emptying's failure):
    // the next scan that can use them all clears it.
    bool m_failureFromScan = false;
    // Entries the last pass of the age rule kept because no deletion date can be read for them.
    int m_ageRuleKeptUndated = 0;
    QList<DiskSlimItem> m_diskSlimItems;
    bool m_isScanningSlim = false;
    bool m_isCleaningSlim = false;
    std::optional<QString> m_slimScanProgressText;
    double m_slimScanProgressValue = 0;
    std::optional<QString> m_slimCleanProgressText;
    std::optional<Timestamp> m_lastSlimScanDate;
    QString m_menuBarLabelText;
    std::shared_ptr<const TrashEntryList> m_allEntries;
    bool m_listingAllEntries = false;
    // Set by releaseAllEntries(): a listing under way then is dropped when it arrives.
    quint64 m_listingGeneration = 0;
    QList<TrashEntryRef> m_takenPlaces;

    bool m_didStart = false;
    Timer* m_pollTimer = nullptr;
    QPointer<Cancellation> m_successDismissal;
    QPointer<Cancellation> m_monitorDebounce;
    std::optional<Timestamp> m_lastTrashRefreshTime;
    std::optional<Timestamp> m_lastSlimScanStartTime;
    // A purge ended while a scan was running: scan once more when it ends, or the list would keep
    // what the purge deleted.
    bool m_slimRescanPending = false;
};

} // namespace rubbly
