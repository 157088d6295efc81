#include "SlimViewModel.h"

#include "DefaultsStore.h"
#include "DiskSlimServicing.h"
#include "Formatting.h"
#include "InstalledAppDetector.h"
#include "NotificationService.h"
#include "PropertySetter.h"
#include "Scheduler.h"
#include "SettingsService.h"
#include "SoundHapticService.h"
#include "StoredKeys.h"
#include "StoredRecords.h"

#include <QCoreApplication>
#include <QPointer>

#include <algorithm>
#include <memory>
#include <utility>

namespace rubbly {

SlimViewModel::SlimViewModel(Services services, QObject* parent)
    : QObject(parent)
    , m_services(services)
{
    m_lastSlimCleaningRecord = loadRecord(m_services.defaults, kLastSlimCleaningRecordKey);
    if (const auto snapshot = loadSlimSnapshot(m_services.defaults)) {
        m_diskSlimItems = snapshot->items;
        m_lastSlimScanDate = snapshot->scannedAt;
    }
}

Timestamp SlimViewModel::now() const
{
    return m_services.scheduler.now();
}

void SlimViewModel::onSlimScanProgress(const SlimScanProgress& progress, QList<DiskSlimItem>& found)
{
    setSlimScanProgressValue(static_cast<double>(progress.position) / static_cast<double>(progress.count));
    const QString title = diskSlimDisplayTitle(progress.category);
    if (!progress.item) {
        setSlimScanProgressText(QCoreApplication::translate("ViewModel", "Scanning %1... (%2/%3)")
                                    .arg(title)
                                    .arg(progress.position)
                                    .arg(progress.count));
        return;
    }
    const bool known = std::any_of(found.cbegin(), found.cend(), [&progress](const DiskSlimItem& item) {
        return item.category == progress.category;
    });
    if (!known)
        found.append(*progress.item);
    setDiskSlimItems(found);
    setSlimScanProgressText(QCoreApplication::translate("ViewModel", "Finished %1 · found %2")
                                .arg(title, sharedByteCountFormatter().format(progress.item->size)));
}

QCoro::Task<void> SlimViewModel::scanSlim(bool force)
{
    return runSlimScan(force, true);
}

QCoro::Task<void> SlimViewModel::runSlimScan(bool force, bool throttled)
{
    const Timestamp now = m_services.scheduler.now();
    if (!force && m_lastSlimScanDate && now - *m_lastSlimScanDate < kSlimFreshness && !m_diskSlimItems.isEmpty())
        co_return;
    if (throttled && m_lastSlimScanStartTime && now - *m_lastSlimScanStartTime < kSlimThrottle)
        co_return;
    if (m_isScanningSlim)
        co_return;
    QPointer<SlimViewModel> self = this;
    setIsScanningSlim(true);
    m_lastSlimScanStartTime = now;
    setSlimScanProgressValue(0);
    setSlimScanProgressText(QCoreApplication::translate("ViewModel", "Finding installed applications…"));

    const QSet<QString> installed = co_await m_services.apps.installedBundleIDs(force);
    if (!self)
        co_return;
    auto found = std::make_shared<QList<DiskSlimItem>>();
    auto progress = [self, found](const SlimScanProgress& p) {
        if (self)
            self->onSlimScanProgress(p, *found);
    };
    QList<DiskSlimItem> items = co_await m_services.slim.scan(installed, std::move(progress));
    if (!self)
        co_return;
    const Timestamp finished = m_services.scheduler.now();
    setDiskSlimItems(items);
    setLastSlimScanDate(finished);
    saveSlimSnapshot(m_services.defaults, DiskSlimSnapshot{finished, items});
    setSlimScanProgressText(std::nullopt);
    setIsScanningSlim(false);
    if (std::exchange(m_slimRescanPending, false))
        co_await runSlimScan(true, false);
}

QCoro::Task<void> SlimViewModel::purgeSelectedSlimItems()
{
    if (m_isCleaningSlim)
        co_return;
    const bool anySelected = std::any_of(m_diskSlimItems.cbegin(), m_diskSlimItems.cend(),
                                         [](const DiskSlimItem& item) { return item.isSelected; });
    if (!anySelected)
        co_return;
    QPointer<SlimViewModel> self = this;
    setIsCleaningSlim(true);
    setSlimCleanProgressText(QCoreApplication::translate("ViewModel", "Starting the purge…"));
    auto progress = [self](const SlimPurgeProgress& p) {
        if (self)
            self->setSlimCleanProgressText(QCoreApplication::translate("ViewModel", "Purging %2/%3: %1")
                                               .arg(diskSlimDisplayTitle(p.category))
                                               .arg(p.position)
                                               .arg(p.count));
    };
    const SlimPurgeResult result = co_await m_services.slim.purge(m_diskSlimItems, std::move(progress));
    if (!self)
        co_return;
    setSlimCleanProgressText(std::nullopt);
    setIsCleaningSlim(false);
    if (result.freedBytes >= 1) {
        const CleaningRecord record{m_services.scheduler.now(), result.freedBytes, result.removedCount};
        saveRecord(m_services.defaults, record, kLastSlimCleaningRecordKey);
        setLastSlimCleaningRecord(record);
        SettingsService& settings = m_services.settings;
        m_services.feedback.emptyTrashFeedback(settings.soundFeedbackEnabled(), settings.hapticFeedbackEnabled());
        if (settings.notifyAfterCleaning())
            m_services.notifications.notifyCleaningFinished(result.freedBytes, result.removedCount);
    }
    // Not throttled: a purge that ends soon after a scan started would otherwise leave the deleted
    // folders listed with their old sizes, ready to be "freed" a second time. A scan that is running
    // now may have measured them before they went, so it is followed by one more.
    if (m_isScanningSlim)
        m_slimRescanPending = true;
    else
        co_await runSlimScan(true, false);
}

void SlimViewModel::toggleSlimCategory(DiskSlimCategory category)
{
    QList<DiskSlimItem> items = m_diskSlimItems;
    for (DiskSlimItem& item : items) {
        if (item.category != category)
            continue;
        item.isSelected = !item.isSelected;
        for (DiskSlimSubItem& sub : item.subItems)
            sub.isSelected = item.isSelected;
    }
    setDiskSlimItems(std::move(items));
}

void SlimViewModel::toggleSlimSubItem(DiskSlimCategory category, const QByteArray& path)
{
    QList<DiskSlimItem> items = m_diskSlimItems;
    for (DiskSlimItem& item : items) {
        if (item.category != category)
            continue;
        for (DiskSlimSubItem& sub : item.subItems) {
            if (sub.path == path)
                sub.isSelected = !sub.isSelected;
        }
        item.isSelected = std::any_of(item.subItems.cbegin(), item.subItems.cend(),
                                      [](const DiskSlimSubItem& sub) { return sub.isSelected; });
    }
    setDiskSlimItems(std::move(items));
}

qint64 SlimViewModel::selectedSize(const QList<DiskSlimItem>& items)
{
    qint64 total = 0;
    for (const DiskSlimItem& item : items) {
        if (item.subItems.isEmpty()) {
            if (item.isSelected)
                total += item.size;
            continue;
        }
        for (const DiskSlimSubItem& sub : item.subItems) {
            if (sub.isSelected)
                total += sub.size;
        }
        // What the item does not list goes with its tick.
        if (item.isSelected)
            total += item.unlistedSize;
    }
    return total;
}

qint64 SlimViewModel::selectedSlimSize() const
{
    return selectedSize(m_diskSlimItems);
}

RUBBLY_PROPERTY_SETTER(SlimViewModel, setDiskSlimItems, m_diskSlimItems, QList<DiskSlimItem>, diskSlimItemsChanged)
RUBBLY_PROPERTY_SETTER(SlimViewModel, setIsScanningSlim, m_isScanningSlim, bool, isScanningSlimChanged)
RUBBLY_PROPERTY_SETTER(SlimViewModel, setIsCleaningSlim, m_isCleaningSlim, bool, isCleaningSlimChanged)
RUBBLY_PROPERTY_SETTER(SlimViewModel, setSlimScanProgressText, m_slimScanProgressText, std::optional<QString>,
                       slimScanProgressTextChanged)
RUBBLY_PROPERTY_SETTER(SlimViewModel, setSlimScanProgressValue, m_slimScanProgressValue, double,
                       slimScanProgressValueChanged)
RUBBLY_PROPERTY_SETTER(SlimViewModel, setSlimCleanProgressText, m_slimCleanProgressText, std::optional<QString>,
                       slimCleanProgressTextChanged)
RUBBLY_PROPERTY_SETTER(SlimViewModel, setLastSlimScanDate, m_lastSlimScanDate, std::optional<Timestamp>,
                       lastSlimScanDateChanged)
RUBBLY_PROPERTY_SETTER(SlimViewModel, setLastSlimCleaningRecord, m_lastSlimCleaningRecord,
                       std::optional<CleaningRecord>, lastSlimCleaningRecordChanged)

} // namespace rubbly
