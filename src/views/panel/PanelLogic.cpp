#include "PanelLogic.h"

#include "BinwellViewModel.h"
#include "Formatting.h"

#include <QSysInfo>

#include <algorithm>
#include <cmath>

namespace rubbly {

QString menuBarTabTitle(MenuBarTab tab)
{
    return tab == MenuBarTab::Trash ? QStringLiteral("01 // TRASH") : QStringLiteral("02 // SLIM");
}

QString selectedSizeText(MenuBarTab tab, const BinwellState& state, const QList<DiskSlimItem>& slimItems)
{
    if (tab == MenuBarTab::Slim)
        return formatBytesCompact(BinwellViewModel::selectedSize(slimItems));
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
    const auto describe = [now](const QString& lead, const CleaningRecord& record) {
        return lead + formatRelativeTime(record.cleanedAt, now) + QStringLiteral(" · ") +
               formatBytesCompact(record.freedBytes);
    };
    if (tab == MenuBarTab::Trash) {
        if (lastCleaning)
            return describe(QStringLiteral("// last cleaned: "), *lastCleaning);
        return std::nullopt;
    }
    if (lastSlimCleaning)
        return describe(QStringLiteral("// last purged: "), *lastSlimCleaning);
    if (lastSlimScan)
        return QStringLiteral("// last scanned: ") + formatRelativeTime(*lastSlimScan, now);
    return std::nullopt;
}

QString confirmationSentence(const TrashStatus& status)
{
    return QStringLiteral("Permanently delete %1 items (%2)? Action cannot be undone.")
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

int progressPercent(double fraction)
{
    if (!std::isfinite(fraction))
        return 0;
    return static_cast<int>(std::trunc(std::clamp(fraction, 0.0, 1.0) * 100.0));
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

QByteArrayList localPathsFromUriList(const QByteArray& uriList)
{
    QByteArrayList paths;
    static const QByteArray localHost = QSysInfo::machineHostName().toUtf8();
    for (QByteArray line : uriList.split('\n')) {
        line = line.trimmed();
        if (line.isEmpty() || line.startsWith('#') || !line.startsWith("file://"))
            continue;
        QByteArray rest = line.mid(7);
        const qsizetype slash = rest.indexOf('/');
        if (slash < 0)
            continue;
        const QByteArray host = rest.left(slash);
        if (!host.isEmpty() && host != "localhost" && host != localHost)
            continue; // another machine's file: nothing we can move
        // Percent-decoding gives the bytes back, whatever their encoding.
        const QByteArray path = QByteArray::fromPercentEncoding(rest.mid(slash));
        if (path.isEmpty() || path.contains('\0'))
            continue;
        paths.append(path);
    }
    return paths;
}

} // namespace rubbly
