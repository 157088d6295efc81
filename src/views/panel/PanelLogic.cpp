#include "PanelLogic.h"

#include "Formatting.h"
#include "SlimViewModel.h"

#include <QCoreApplication>

#include <algorithm>
#include <cmath>

namespace rubbly {

QString menuBarTabTitle(MenuBarTab tab)
{
    return tab == MenuBarTab::Trash ? QCoreApplication::translate("Panel", "01 // TRASH")
                                    : QCoreApplication::translate("Panel", "02 // SLIM");
}

QString selectedSizeText(MenuBarTab tab, const BinwellState& state, const QList<DiskSlimItem>& slimItems)
{
    if (tab == MenuBarTab::Slim)
        return formatBytesCompact(SlimViewModel::selectedSize(slimItems));
    if (state.kind() == BinwellState::Kind::Normal)
        return formatBytesCompact(state.status()->totalSize);
    return QStringLiteral("0B");
}

bool isBusy(MenuBarTab tab, const BinwellState& state, bool isScanningSlim)
{
    return tab == MenuBarTab::Trash ? state.kind() == BinwellState::Kind::Scanning : isScanningSlim;
}

std::optional<QString> recordLine(MenuBarTab tab, const std::optional<CleaningRecord>& lastCleaning,
                                  const std::optional<CleaningRecord>& lastSlimCleaning,
                                  const std::optional<Timestamp>& lastSlimScan, Timestamp now)
{
    const auto describe = [now](const QString& pattern, const CleaningRecord& record) {
        return pattern.arg(formatRelativeTime(record.cleanedAt, now), formatBytesCompact(record.freedBytes));
    };
    if (tab == MenuBarTab::Trash) {
        if (lastCleaning)
            return describe(QCoreApplication::translate("Panel", "// last cleaned: %1 · %2"), *lastCleaning);
        return std::nullopt;
    }
    if (lastSlimCleaning)
        return describe(QCoreApplication::translate("Panel", "// last purged: %1 · %2"), *lastSlimCleaning);
    if (lastSlimScan)
        return QCoreApplication::translate("Panel", "// last scanned: %1").arg(formatRelativeTime(*lastSlimScan, now));
    return std::nullopt;
}

QString confirmationSentence(const TrashStatus& status)
{
    if (status.itemCount == 1)
        return QCoreApplication::translate("Panel", "Permanently delete 1 item (%1)? Action cannot be undone.")
            .arg(formatBytesCompact(status.totalSize));
    return QCoreApplication::translate("Panel", "Permanently delete %1 items (%2)? Action cannot be undone.")
        .arg(status.itemCount)
        .arg(formatBytesCompact(status.totalSize));
}

QString fileCategoryLabel(FileCategory category)
{
    switch (category) {
    case FileCategory::Video:
        return QStringLiteral("video-media");
    case FileCategory::Image:
        return QStringLiteral("image-assets");
    case FileCategory::Audio:
        return QStringLiteral("audio-tracks");
    case FileCategory::Archive:
        return QStringLiteral("archive-pkgs");
    case FileCategory::Document:
        return QStringLiteral("doc-files");
    case FileCategory::Development:
        return QStringLiteral("code-projects");
    case FileCategory::Other:
        return QStringLiteral("other-files");
    }
    return QStringLiteral("other-files");
}

int fileCategoryColorIndex(FileCategory category)
{
    switch (category) {
    case FileCategory::Video:
        return 0;
    case FileCategory::Image:
        return 5;
    case FileCategory::Audio:
        return 1;
    case FileCategory::Archive:
        return 8;
    case FileCategory::Document:
        return 6;
    case FileCategory::Development:
        return 4;
    case FileCategory::Other:
        return 9;
    }
    return 9;
}

QString distributionRowID(FileCategory category)
{
    return QStringLiteral("cat-") + fileCategoryTitle(category);
}

QString topItemRowID(const TrashItemDetail& item)
{
    return QStringLiteral("file-") + item.url().path(QUrl::FullyEncoded);
}

QList<std::pair<FileCategory, qint64>> distributionOrder(const TrashStatus& status)
{
    QList<std::pair<FileCategory, qint64>> entries;
    for (const auto& [category, size] : status.categoryDistribution) {
        if (size > 0)
            entries.append({category, size});
    }
    std::stable_sort(entries.begin(), entries.end(), [](const auto& a, const auto& b) { return a.second > b.second; });
    return entries;
}

QList<qreal> segmentWidths(qreal stripWidth, const QList<qint64>& sizes, qint64 totalSize)
{
    QList<qreal> widths;
    const double total = static_cast<double>(std::max<qint64>(totalSize, 1));
    for (qint64 size : sizes)
        widths.append(std::max(stripWidth * std::max(static_cast<double>(size) / total, 0.02), 3.0));
    return widths;
}

QString diskSlimGroupTag(DiskSlimGroup group)
{
    switch (group) {
    case DiskSlimGroup::Ai:
        return QStringLiteral("AI_MODEL");
    case DiskSlimGroup::ImOffice:
        return QStringLiteral("IM_OFFICE");
    case DiskSlimGroup::Browser:
        return QStringLiteral("BROWSERS");
    case DiskSlimGroup::Design:
        return QStringLiteral("CREATIVE");
    case DiskSlimGroup::Development:
        return QStringLiteral("DEV_ENV");
    case DiskSlimGroup::BackupLarge:
        return QStringLiteral("BACKUPS");
    case DiskSlimGroup::System:
        return QStringLiteral("SYS_LOGS");
    }
    return {};
}

std::optional<Timestamp> latestModification(const DiskSlimItem& item)
{
    std::optional<Timestamp> latest;
    for (const DiskSlimSubItem& sub : item.subItems) {
        if (sub.modificationDate && (!latest || *sub.modificationDate > *latest))
            latest = sub.modificationDate;
    }
    return latest;
}

qreal slimListHeight(std::optional<qreal> availableScreenHeight)
{
    if (!availableScreenHeight)
        return 320;
    return std::max<qreal>(*availableScreenHeight * 0.45 - 100, 320);
}

QList<SlimRow> slimRows(const QList<DiskSlimItem>& items, const QSet<DiskSlimCategory>& expanded, qreal headerHeight)
{
    constexpr qreal kRowHeight = 26;
    QList<SlimRow> rows;
    qreal y = 0;
    bool firstGroup = true;
    for (DiskSlimGroup group : kSlimGroupOrder) {
        QList<int> members;
        qint64 sum = 0;
        for (int i = 0; i < items.size(); ++i) {
            if (diskSlimInfo(items[i].category).group == group) {
                members.append(i);
                sum += items[i].size;
            }
        }
        if (members.isEmpty())
            continue;
        if (!firstGroup)
            y += 8;
        firstGroup = false;
        rows.append(SlimRow{SlimRow::Kind::Group, -1, -1, group, sum, y, headerHeight,
                            QStringLiteral("// ") + diskSlimGroupTag(group)});
        y += headerHeight + 3;
        bool firstRow = true;
        for (int index : members) {
            if (!firstRow)
                y += 2;
            firstRow = false;
            const DiskSlimItem& item = items[index];
            rows.append(
                SlimRow{SlimRow::Kind::Category, index, -1, group, 0, y, kRowHeight, diskSlimTitle(item.category)});
            y += kRowHeight;
            if (!expanded.contains(item.category))
                continue;
            for (int s = 0; s < item.subItems.size(); ++s) {
                y += 2;
                rows.append(SlimRow{SlimRow::Kind::Path, index, s, group, 0, y, kRowHeight,
                                    fileUrlString(item.subItems[s].path).mid(7)});
                y += kRowHeight;
            }
            // A category with more paths than the snapshot keeps names the rest by count: they go
            // with the category's tick, so the user must see that they are there.
            if (item.unlistedCount > 0) {
                y += 2;
                rows.append(SlimRow{SlimRow::Kind::More, index, -1, group, 0, y, kRowHeight,
                                    QStringLiteral("+ ") + diskSlimTitle(item.category)});
                y += kRowHeight;
            }
        }
    }
    return rows;
}

qreal slimRowsHeight(const QList<SlimRow>& rows)
{
    return rows.isEmpty() ? 0 : rows.last().top + rows.last().height;
}

std::optional<SlimRowKey> slimRowKey(const SlimRow& row, const QList<DiskSlimItem>& items)
{
    if (row.kind == SlimRow::Kind::Group || row.kind == SlimRow::Kind::More || row.item < 0 || row.item >= items.size())
        return std::nullopt;
    const DiskSlimItem& item = items[row.item];
    if (row.kind == SlimRow::Kind::Category)
        return SlimRowKey{item.category, {}};
    if (row.sub < 0 || row.sub >= item.subItems.size())
        return std::nullopt;
    return SlimRowKey{item.category, item.subItems[row.sub].path};
}

int slimRowIndex(const QList<SlimRow>& rows, const QList<DiskSlimItem>& items, const std::optional<SlimRowKey>& key)
{
    if (!key)
        return -1;
    int category = -1;
    for (int i = 0; i < rows.size(); ++i) {
        const std::optional<SlimRowKey> shown = slimRowKey(rows[i], items);
        if (!shown || shown->category != key->category)
            continue;
        if (shown->path == key->path)
            return i;
        if (shown->path.isEmpty())
            category = i;
    }
    return category;
}

int stepSlimFocus(const QList<SlimRow>& rows, int from, SlimStep step)
{
    QList<int> focusable;
    for (int i = 0; i < rows.size(); ++i) {
        if (rows[i].kind == SlimRow::Kind::Category || rows[i].kind == SlimRow::Kind::Path)
            focusable.append(i);
    }
    if (focusable.isEmpty())
        return -1;
    const qsizetype at = focusable.indexOf(from);
    if (at < 0)
        return focusable.first();
    const qsizetype to =
        step == SlimStep::Next ? std::min<qsizetype>(at + 1, focusable.size() - 1) : std::max<qsizetype>(at - 1, 0);
    return focusable[to];
}

AllItemsKey allItemsKeyAction(int key, Qt::KeyboardModifiers modifiers, const QString& text, bool inSearch,
                              bool hasQuery, bool confirming)
{
    const bool enter = key == Qt::Key_Return || key == Qt::Key_Enter;
    if (confirming) {
        if (enter)
            return AllItemsKey::Confirm;
        return key == Qt::Key_Escape ? AllItemsKey::Cancel : AllItemsKey::Pass;
    }
    if (key == Qt::Key_Escape)
        return hasQuery ? AllItemsKey::ClearSearch : AllItemsKey::Leave;
    if (key == Qt::Key_Up)
        return AllItemsKey::Previous;
    if (key == Qt::Key_Down)
        return AllItemsKey::Next;
    if (enter)
        return modifiers & Qt::ControlModifier ? AllItemsKey::Reveal : AllItemsKey::PutBack;
    if (key == Qt::Key_Delete && !(inSearch && hasQuery))
        return AllItemsKey::Delete;
    if (inSearch)
        return AllItemsKey::Pass;
    const bool command = modifiers & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
    if (!command && (key == Qt::Key_Backspace || (!text.isEmpty() && text.front().isPrint())))
        return AllItemsKey::Type;
    return AllItemsKey::Pass;
}

} // namespace rubbly
