#pragma once

#include "BinwellState.h"
#include "CleaningRecord.h"
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
class GlobalShortcutService;
class NotificationService;
class Scheduler;
class SettingsService;
class SoundHapticService;
class Timer;
class TrashMonitor;
class TrashServicing;
class UpdateServicing;

// The object behind the Trash's part of the panel and the tray label: it holds the Trash state
// machine, decides when the Trash is scanned, and runs every flow that changes the Trash (the slim
// tab has SlimViewModel). Views only read it and call its operations. Lives on the GUI thread; every
// timer and "now" comes from the Scheduler, and every flow checks after each suspension that the
// view model still exists.
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
        TrashMonitor* monitor = nullptr;       // none: only the poll keeps the display current
        AutoCleanService* autoClean = nullptr; // none: no automatic cleaning
        UpdateServicing* updates = nullptr;    // none: no update check at start
    };

    static constexpr std::chrono::seconds kPollInterval{60};
    static constexpr std::chrono::milliseconds kMonitorDebounce{1500};
    static constexpr std::chrono::milliseconds kMonitorThrottle{2000};
    static constexpr std::chrono::milliseconds kAppearanceThrottle{1000};
    static constexpr std::chrono::milliseconds kSuccessDisplay{2000};
    static constexpr std::chrono::seconds kDropUndoDisplay{10};

    // What the last drop moved to the Trash, while its undo is offered: the entries that drop made
    // and no other, even when another entry came from the same place.
    struct DropUndo {
        int movedCount = 0;
        QList<TrashEntryRef> entries;
        bool operator==(const DropUndo&) const = default;
    };

    // Loads the last cleaning record, and applies the global-shortcut
    // setting now and whenever it changes.
    explicit BinwellViewModel(Services services, QObject* parent = nullptr);
    ~BinwellViewModel() override;

    const BinwellState& state() const { return m_state; }
    const std::optional<CleaningRecord>& lastCleaningRecord() const { return m_lastCleaningRecord; }
    const std::optional<QString>& lastFailureDetail() const { return m_lastFailureDetail; }
    const std::optional<DropUndo>& dropUndo() const { return m_dropUndo; }
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

Q_SIGNALS:
    void stateChanged();
    void lastCleaningRecordChanged();
    void lastFailureDetailChanged();
    void dropUndoChanged();
    void menuBarLabelTextChanged();
    void allEntriesChanged();
    void takenPlacesChanged();

private:
    QCoro::Task<void> scan();
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
    // The failure line for what a scan found: the trash folders it could not use, and the entries
    // the age rule keeps for want of a date.
    void showScanProblems(const TrashStatus& status);
    void setAgeRuleKeptUndated(int count);

    void setState(BinwellState state);
    void setLastCleaningRecord(std::optional<CleaningRecord> record);
    void setLastFailureDetail(std::optional<QString> text);
    void setDropUndo(std::optional<DropUndo> undo);

    Services m_services;
    BinwellState m_state = BinwellState::scanning();
    std::optional<CleaningRecord> m_lastCleaningRecord;
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
};

} // namespace rubbly
