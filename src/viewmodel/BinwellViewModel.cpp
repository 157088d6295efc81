#include "BinwellViewModel.h"

#include "AutoCleanService.h"
#include "Formatting.h"
#include "GlobalShortcutService.h"
#include "NotificationService.h"
#include "PropertySetter.h"
#include "Scheduler.h"
#include "SettingsService.h"
#include "SoundHapticService.h"
#include "StoredKeys.h"
#include "StoredRecords.h"
#include "TrashAccess.h"
#include "TrashFailureText.h"
#include "TrashMonitor.h"
#include "TrashServicing.h"
#include "UpdateServicing.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include <algorithm>
#include <cerrno>

namespace rubbly {

namespace {

// Where failure lines show paths from as "~".
QByteArray homeFolder()
{
    return QFile::encodeName(QDir::homePath());
}

// A notification's body is plain text to the desktop's server, which may draw the joiners that keep
// a path whole in the panel.
QString withoutWordJoiners(QString text)
{
    return text.remove(QChar(0x2060));
}

} // namespace

BinwellViewModel::BinwellViewModel(Services services, QObject* parent)
    : QObject(parent)
    , m_services(services)
{
    m_lastCleaningRecord = loadRecord(m_services.defaults, kLastCleaningRecordKey);
    connect(&m_services.settings, &SettingsService::globalShortcutEnabledChanged, this,
            &BinwellViewModel::updateGlobalShortcut);
    // No confirmation on this path: the shortcut is the user's deliberate request.
    connect(&m_services.shortcut, &GlobalShortcutService::triggered, this, [this] { emptyTrash(); });
    updateGlobalShortcut();

    connect(this, &BinwellViewModel::dropUndoChanged, this, [this] { updateAutoCleanHold(); });
    connect(this, &BinwellViewModel::stateChanged, this, &BinwellViewModel::updateMenuBarLabelText);
    connect(&m_services.settings, &SettingsService::showSizeInMenuBarChanged, this,
            &BinwellViewModel::updateMenuBarLabelText);
    connect(&m_services.settings, &SettingsService::hideSizeWhenEmptyChanged, this,
            &BinwellViewModel::updateMenuBarLabelText);
    updateMenuBarLabelText();
    if (m_services.autoClean)
        connect(m_services.autoClean, &AutoCleanService::ageRuleKeptUndated, this,
                &BinwellViewModel::setAgeRuleKeptUndated);
}

BinwellViewModel::~BinwellViewModel()
{
    m_services.shortcut.stop();
    if (m_holdingAutoClean)
        m_services.autoClean->release();
}

Timestamp BinwellViewModel::now() const
{
    return m_services.scheduler.now();
}

QString BinwellViewModel::menuBarLabelText(const BinwellState& state, bool showSizeInMenuBar, bool hideSizeWhenEmpty)
{
    switch (state.kind()) {
    case BinwellState::Kind::Normal: {
        const TrashStatus& status = *state.status();
        // Emptiness is the entry count: a Trash of zero-byte files is not empty.
        if (!showSizeInMenuBar || (status.itemCount == 0 && hideSizeWhenEmpty))
            return {};
        return sharedByteCountFormatter().format(status.totalSize);
    }
    case BinwellState::Kind::Cleaning:
        return QCoreApplication::translate("ViewModel", "Cleaning…");
    case BinwellState::Kind::Success:
        return QCoreApplication::translate("ViewModel", "Freed %1")
            .arg(sharedByteCountFormatter().format(state.freedBytes()));
    case BinwellState::Kind::Error:
        return QCoreApplication::translate("ViewModel", "Trash");
    case BinwellState::Kind::Scanning:
        return QStringLiteral("…");
    case BinwellState::Kind::PermissionDenied:
        return {};
    }
    return {};
}

void BinwellViewModel::updateMenuBarLabelText()
{
    const SettingsService& settings = m_services.settings;
    QString text = menuBarLabelText(m_state, settings.showSizeInMenuBar(), settings.hideSizeWhenEmpty());
    if (text == m_menuBarLabelText)
        return;
    m_menuBarLabelText = std::move(text);
    Q_EMIT menuBarLabelTextChanged();
}

bool BinwellViewModel::canEmptyTrash() const
{
    return m_state.kind() == BinwellState::Kind::Normal && m_state.status()->itemCount > 0;
}

void BinwellViewModel::start()
{
    if (m_didStart)
        return;
    m_didStart = true;
    if (TrashMonitor* monitor = m_services.monitor) {
        connect(monitor, &TrashMonitor::changed, this, &BinwellViewModel::handleTrashChange);
        monitor->start();
    }
    m_pollTimer = m_services.scheduler.createTimer(this);
    connect(m_pollTimer, &Timer::timeout, this, [this] { refresh(); });
    m_pollTimer->start(kPollInterval);
    updateGlobalShortcut();
    refresh();
    if (m_services.updates && m_services.settings.automaticallyCheckForUpdates())
        m_services.updates->checkForUpdates(false);
}

void BinwellViewModel::updateGlobalShortcut()
{
    if (m_services.settings.globalShortcutEnabled())
        m_services.shortcut.start();
    else
        m_services.shortcut.stop();
}

QCoro::Task<void> BinwellViewModel::refresh()
{
    if (m_state.kind() == BinwellState::Kind::Cleaning)
        co_return;
    co_await scan();
}

QCoro::Task<void> BinwellViewModel::scan()
{
    QPointer<BinwellViewModel> self = this;
    m_lastTrashRefreshTime = m_services.scheduler.now();
    TrashStatusResult result = co_await m_services.trash.fetchStatus();
    if (!self)
        co_return;
    cancelSuccessDismissal();
    if (result) {
        // A status holds the largest entries only, so this copy is a few small ones.
        TrashStatus status = std::move(result.value());
        const bool changed = !m_state.status() || m_state.status()->itemCount != status.itemCount ||
                             m_state.status()->totalSize != status.totalSize;
        setState(BinwellState::normal(status));
        // The first scan after start always finds a change, and the list, read beside it, may
        // already hold what it found.
        const auto listed = [&status](const TrashEntryList& list) {
            return list.unsizedCount() == 0 && list.size() == status.itemCount && list.totalSize() == status.totalSize;
        };
        if (changed && m_allEntries && !m_listingAllEntries && !listed(*m_allEntries))
            listAllEntries();
        if (!m_services.autoClean || !m_services.settings.autoCleanEnabled() ||
            !m_services.settings.autoCleanByAgeEnabled())
            m_ageRuleKeptUndated = 0; // no age rule runs, so it keeps nothing
        showScanProblems(status);
        if (m_services.autoClean && m_services.settings.autoCleanEnabled()) {
            // Not awaited: the rules never change the state, and their deletions reach the display
            // through the monitor and the next scan.
            m_services.autoClean->evaluate(std::move(status), m_services.settings, this,
                                           [self](const CleaningRecord& record) {
                                               if (self)
                                                   self->setLastCleaningRecord(record);
                                           });
        }
        co_return;
    }
    const TrashError& error = result.error();
    const bool permission =
        error.kind == TrashServiceError::PermissionDenied || error.errorCode == EACCES || error.errorCode == EPERM;
    setState(permission ? BinwellState::permissionDenied()
                        : BinwellState::error(QCoreApplication::translate("ViewModel", "Trash unavailable")));
}

void BinwellViewModel::showScanProblems(const TrashStatus& status)
{
    // A trash folder that cannot be used or listed is a failure to show, not an empty folder.
    QStringList lines;
    for (const TrashFolderProblem& problem : status.folderProblems)
        lines.append(trashFolderProblemLine(problem, homeFolder()));
    // Said rather than reported as nothing to do: such an entry may be as old as any. An emptying's
    // or a put back's failure is not replaced by it; it shows once that one is gone.
    if (m_ageRuleKeptUndated > 0 && (!lines.isEmpty() || m_failureFromScan || !m_lastFailureDetail))
        lines.append(
            QCoreApplication::translate("ViewModel", "The age rule kept %1 items: their deletion date cannot be read.")
                .arg(m_ageRuleKeptUndated));
    if (!lines.isEmpty()) {
        setLastFailureDetail(lines.join(u'\n'));
        m_failureFromScan = true;
    } else if (m_failureFromScan) {
        setLastFailureDetail(std::nullopt);
        m_failureFromScan = false;
    }
}

void BinwellViewModel::setAgeRuleKeptUndated(int count)
{
    if (count == m_ageRuleKeptUndated)
        return;
    m_ageRuleKeptUndated = count;
    if (m_state.kind() == BinwellState::Kind::Normal)
        showScanProblems(*m_state.status());
}

void BinwellViewModel::refreshIfNeeded()
{
    if (m_lastTrashRefreshTime && m_services.scheduler.now() - *m_lastTrashRefreshTime < kAppearanceThrottle)
        return;
    refresh();
}

Cancellation* BinwellViewModel::renew(QPointer<Cancellation>& slot)
{
    if (slot) {
        slot->cancel();
        slot->deleteLater();
    }
    slot = new Cancellation(this);
    return slot;
}

void BinwellViewModel::cancelSuccessDismissal()
{
    if (m_successDismissal) {
        m_successDismissal->cancel();
        m_successDismissal->deleteLater();
        m_successDismissal = nullptr;
    }
}

void BinwellViewModel::handleTrashChange()
{
    rescanAfterChange(renew(m_monitorDebounce));
}

QCoro::Task<void> BinwellViewModel::rescanAfterChange(QPointer<Cancellation> cancellation)
{
    QPointer<BinwellViewModel> self = this;
    Scheduler* scheduler = &m_services.scheduler;
    const bool slept = co_await scheduler->sleep(kMonitorDebounce, cancellation.data());
    if (!self || !slept)
        co_return;
    if (m_lastTrashRefreshTime && scheduler->now() - *m_lastTrashRefreshTime < kMonitorThrottle)
        co_return;
    co_await refresh();
}

QCoro::Task<void> BinwellViewModel::dismissSuccessLater(QPointer<Cancellation> cancellation)
{
    QPointer<BinwellViewModel> self = this;
    Scheduler* scheduler = &m_services.scheduler;
    const bool slept = co_await scheduler->sleep(kSuccessDisplay, cancellation.data());
    if (!self || !slept)
        co_return;
    co_await refresh();
}

void BinwellViewModel::recordCleaning(qint64 freedBytes, int removedCount)
{
    const CleaningRecord record{m_services.scheduler.now(), freedBytes, removedCount};
    saveRecord(m_services.defaults, record, kLastCleaningRecordKey);
    setLastCleaningRecord(record);
}

QCoro::Task<void> BinwellViewModel::emptyTrash()
{
    if (!canEmptyTrash())
        co_return;
    QPointer<BinwellViewModel> self = this;
    const TrashStatus before = *m_state.status();
    cancelSuccessDismissal();
    setState(BinwellState::cleaning(before));
    // What the drop put in is about to go for good: there is nothing left to undo. (Withdrawn once
    // cleaning, so the rules it held back do not start a scan of their own.)
    dismissDropUndo();

    const TrashCleanupOutcome outcome = co_await m_services.trash.emptyTrash();
    if (!self)
        co_return;
    if (!outcome) {
        setState(BinwellState::error(QCoreApplication::translate("ViewModel", "Could not empty the Trash")));
        co_return;
    }
    const TrashCleanupResult counts = outcome.value();
    SettingsService& settings = m_services.settings;
    if (counts.complete()) {
        recordCleaning(counts.freedBytes, counts.removedCount);
        setLastFailureDetail(std::nullopt);
        m_failureFromScan = false;
        m_services.feedback.emptyTrashFeedback(settings.soundFeedbackEnabled(), settings.hapticFeedbackEnabled());
        if (settings.notifyAfterCleaning())
            m_services.notifications.notifyCleaningFinished(counts.freedBytes, counts.removedCount);
        setState(BinwellState::success(counts.freedBytes));
        dismissSuccessLater(renew(m_successDismissal));
        co_return;
    }

    if (counts.removedCount >= 1)
        recordCleaning(counts.freedBytes, counts.removedCount);
    const int total = counts.removedCount + counts.failedCount;
    // Entries that stayed, then what the engine says of folders it could not use or listed, and of
    // mount points it did not enter (named).
    QStringList lines;
    if (counts.failedCount > 0)
        lines.append(trashCountLine(TrashCountLine::Removed, counts.removedCount, total, counts.failedCount));
    else
        lines.append(counts.removedCount == 1
                         ? QCoreApplication::translate("ViewModel", "Removed 1 item.")
                         : QCoreApplication::translate("ViewModel", "Removed %1 items.").arg(counts.removedCount));
    for (const TrashError& problem : counts.problems)
        lines.append(trashFailureLine(problem, homeFolder()));
    setLastFailureDetail(lines.join(u'\n'));
    m_failureFromScan = false;
    if (settings.notifyAfterCleaning()) {
        if (counts.failedCount > 0)
            m_services.notifications.notifyCleaningIncomplete(counts.removedCount, total, counts.failedCount);
        else
            m_services.notifications.notify(
                QCoreApplication::translate("ViewModel", "The Trash could not be emptied completely"),
                withoutWordJoiners(trashFailureLine(counts.problems.first(), homeFolder())));
    }
    // Straight to the scan: the cleaning state must not block this one.
    co_await scan();
}

void BinwellViewModel::updateAutoCleanHold(bool rescan)
{
    const bool hold = m_dropFlows > 0 || m_dropUndo.has_value();
    if (!m_services.autoClean || hold == m_holdingAutoClean)
        return;
    m_holdingAutoClean = hold;
    if (hold)
        m_services.autoClean->hold();
    else if (m_services.autoClean->release() && rescan)
        refresh();
}

QCoro::Task<void> BinwellViewModel::moveToTrash(QList<QByteArray> paths)
{
    QPointer<BinwellViewModel> self = this;
    // Held before the put is queued: an emptying queued after it would delete what the undo offers.
    ++m_dropFlows;
    updateAutoCleanHold();
    const TrashPutReport report = co_await m_services.trash.moveToTrash(std::move(paths));
    if (!self)
        co_return;
    --m_dropFlows;
    const auto failed = report.failures.size();
    if (failed > 0) {
        setLastFailureDetail(
            trashCountLine(TrashCountLine::Moved, report.movedCount, report.movedCount + failed, failed));
    }
    if (failed > 0 && report.movedCount == 0) {
        setState(BinwellState::error(QCoreApplication::translate("ViewModel", "Could not move to the Trash")));
        updateAutoCleanHold(false); // a rescan now would hide the error; the poll brings the rules
        co_return;
    }
    // Some went in: the list shows them, and the failure line says what stayed out.
    m_services.feedback.moveToTrashFeedback();
    if (!report.entries.isEmpty()) {
        setDropUndo(DropUndo{report.movedCount, report.entries});
        dismissDropUndoLater(renew(m_dropUndoExpiry));
    }
    updateAutoCleanHold();
    co_await refresh();
}

QCoro::Task<void> BinwellViewModel::dismissDropUndoLater(QPointer<Cancellation> cancellation)
{
    QPointer<BinwellViewModel> self = this;
    const bool slept = co_await m_services.scheduler.sleep(kDropUndoDisplay, cancellation.data());
    if (self && slept)
        setDropUndo(std::nullopt);
}

void BinwellViewModel::dismissDropUndo()
{
    if (m_dropUndoExpiry) {
        m_dropUndoExpiry->cancel();
        m_dropUndoExpiry->deleteLater();
        m_dropUndoExpiry = nullptr;
    }
    setDropUndo(std::nullopt);
}

TrashEntryRef BinwellViewModel::entryOf(const TrashItemDetail& item)
{
    return TrashEntryRef{item.trashFolder, item.path.mid(item.path.lastIndexOf('/') + 1)};
}

QCoro::Task<void> BinwellViewModel::undoLastDrop()
{
    if (!m_dropUndo)
        co_return;
    QPointer<BinwellViewModel> self = this;
    QList<TrashEntryRef> entries = m_dropUndo->entries;
    // The rules stay held until the entries are back: the scan that follows sees what they may take.
    ++m_dropFlows;
    dismissDropUndo();
    const bool alive = co_await putBack(std::move(entries));
    if (!alive || !self)
        co_return;
    --m_dropFlows;
    updateAutoCleanHold(false);
    co_await refresh();
}

QCoro::Task<void> BinwellViewModel::restore(QList<TrashEntryRef> entries, bool beside)
{
    if (entries.isEmpty())
        co_return;
    QPointer<BinwellViewModel> self = this;
    const bool alive = co_await putBack(std::move(entries), beside);
    if (alive && self)
        co_await refresh();
}

void BinwellViewModel::setTakenPlaces(QList<TrashEntryRef> entries)
{
    if (entries == m_takenPlaces)
        return;
    m_takenPlaces = std::move(entries);
    Q_EMIT takenPlacesChanged();
}

QCoro::Task<void> BinwellViewModel::listAllEntries()
{
    QPointer<BinwellViewModel> self = this;
    const quint64 generation = m_listingGeneration;
    m_listingAllEntries = true;
    TrashEntryListResult result = co_await m_services.trash.fetchEntryList(TrashListSizing::KnownOrEarlier);
    if (!self)
        co_return;
    // What the last listing found, while the Trash changed since: shown at once, then replaced by the
    // current listing, which reads what changed.
    const auto show = [this](TrashEntryList list) {
        m_allEntries = std::make_shared<const TrashEntryList>(std::move(list));
        Q_EMIT allEntriesChanged();
    };
    const bool showsEarlier = generation == m_listingGeneration && result && result->isEarlier();
    if (showsEarlier) {
        show(std::move(result).value());
        result = co_await m_services.trash.fetchEntryList(TrashListSizing::KnownOnly);
        if (!self)
            co_return;
    }
    // Shown at once; the sizes follow from the actor, after whatever it is doing. A listing that
    // could not read on its own (no home trash yet, say) is left to the one that may create it.
    if (generation == m_listingGeneration && (!result || result->unsizedCount() > 0)) {
        if (result)
            show(std::move(result).value());
        result = co_await m_services.trash.fetchEntryList(TrashListSizing::Measured);
        if (!self)
            co_return;
    }
    m_listingAllEntries = false;
    if (generation != m_listingGeneration)
        co_return; // let go while it was under way
    if (!result) {
        // The scan that runs beside every change words the failure for the panel.
        if (!m_allEntries)
            m_allEntries = std::make_shared<const TrashEntryList>();
        Q_EMIT allEntriesChanged();
        co_return;
    }
    show(std::move(result).value());
    // The earlier list is gone from every view by now.
    if (showsEarlier)
        m_services.trash.releaseFreedMemory();
}

void BinwellViewModel::releaseAllEntries()
{
    ++m_listingGeneration;
    setTakenPlaces({});
    if (!m_allEntries)
        return;
    m_allEntries.reset();
    Q_EMIT allEntriesChanged();
}

QCoro::Task<void> BinwellViewModel::deleteEntries(QList<TrashEntryRef> entries)
{
    // Emptying owns the Trash until it ends; the list offers nothing to delete meanwhile.
    if (entries.isEmpty() || m_state.kind() == BinwellState::Kind::Cleaning)
        co_return;
    QPointer<BinwellViewModel> self = this;
    const auto total = entries.size();
    const TrashRemoveReport report = co_await m_services.trash.removeEntries(std::move(entries));
    if (!self)
        co_return;
    if (!report.failures.isEmpty()) {
        QStringList lines{
            trashCountLine(TrashCountLine::Deleted, report.removed.size(), total, report.failures.size())};
        for (const TrashError& failure : report.failures)
            lines.append(trashFailureLine(failure, homeFolder()));
        setLastFailureDetail(lines.join(u'\n'));
        m_failureFromScan = false;
    }
    co_await refresh();
}

QCoro::Task<bool> BinwellViewModel::putBack(QList<TrashEntryRef> entries, bool beside)
{
    QPointer<BinwellViewModel> self = this;
    const auto total = entries.size();
    const TrashRestoreReport report = co_await m_services.trash.restore(std::move(entries), beside);
    if (!self)
        co_return false;
    QList<TrashEntryRef> taken;
    for (qsizetype i = 0; i < report.failures.size() && i < report.failedEntries.size(); ++i) {
        if (report.failures[i].errorCode == EEXIST)
            taken.append(report.failedEntries[i]);
    }
    setTakenPlaces(std::move(taken));
    if (!report.failures.isEmpty()) {
        // The count, then each entry's reason with the place it names. An entry
        // that is no longer in the Trash did not stay there: something emptied it meanwhile.
        const auto gone = std::count_if(report.failures.cbegin(), report.failures.cend(),
                                        [](const TrashError& failure) { return failure.errorCode == ENOENT; });
        const auto stayed = report.failures.size() - gone;
        QStringList lines;
        if (stayed > 0)
            lines.append(trashCountLine(TrashCountLine::PutBack, report.restoredPaths.size(), total, stayed));
        if (gone > 0)
            lines.append(trashCountLine(TrashCountLine::PutBackGone, report.restoredPaths.size(), total, gone));
        for (const TrashError& failure : report.failures)
            lines.append(trashFailureLine(failure, homeFolder()));
        setLastFailureDetail(lines.join(u'\n'));
        m_failureFromScan = false;
    }
    co_return true;
}

RUBBLY_PROPERTY_SETTER(BinwellViewModel, setState, m_state, BinwellState, stateChanged)
RUBBLY_PROPERTY_SETTER(BinwellViewModel, setLastCleaningRecord, m_lastCleaningRecord, std::optional<CleaningRecord>,
                       lastCleaningRecordChanged)
RUBBLY_PROPERTY_SETTER(BinwellViewModel, setLastFailureDetail, m_lastFailureDetail, std::optional<QString>,
                       lastFailureDetailChanged)
RUBBLY_PROPERTY_SETTER(BinwellViewModel, setDropUndo, m_dropUndo, std::optional<DropUndo>, dropUndoChanged)

} // namespace rubbly
