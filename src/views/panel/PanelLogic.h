#pragma once

#include "BinwellState.h"
#include "CleaningRecord.h"
#include "DiskSlimCatalogue.h"
#include "DiskSlimSnapshot.h"
#include "FileCategory.h"

#include <QByteArrayList>
#include <QList>
#include <QString>

#include <array>
#include <optional>
#include <utility>

// What the panel shows that could be computed wrong lives here, as plain functions of the view
// model's values, so tests reach it without a widget.
namespace rubbly {

// The panel's two tabs; the titles are what the tab bar shows.
enum class MenuBarTab { Trash, Slim };
inline constexpr std::array<MenuBarTab, 2> kAllMenuBarTabs{MenuBarTab::Trash, MenuBarTab::Slim};
QString menuBarTabTitle(MenuBarTab tab);

// The header's size summary before " total": the Trash's size in Normal (else "0B"), or on the slim
// tab what the current selection frees.
QString selectedSizeText(MenuBarTab tab, const BinwellState& state, const QList<DiskSlimItem>& slimItems);
// The refresh button spins and is disabled while the tab's own scan runs.
bool isBusy(MenuBarTab tab, const BinwellState& state, bool isScanningSlim);
// The "// last ..." line under the content, if the tab has one.
std::optional<QString> recordLine(MenuBarTab tab, const std::optional<CleaningRecord>& lastCleaning,
                                  const std::optional<CleaningRecord>& lastSlimCleaning,
                                  const std::optional<Timestamp>& lastSlimScan, Timestamp now);
QString confirmationSentence(const TrashStatus& status);

// The terminal label and spectrum colour index of a file kind.
QString fileCategoryLabel(FileCategory category);
int fileCategoryColorIndex(FileCategory category);
// "cat-<title>" and "file-<path>": the hover identities of the trash tab's rows.
QString distributionRowID(FileCategory category);
QString topItemRowID(const TrashItemDetail& item);
// The kinds that hold bytes, largest first.
QList<std::pair<FileCategory, qint64>> distributionOrder(const TrashStatus& status);
// Each segment's width in a strip `stripWidth` wide: its share of the total, but never under 2 % of
// the strip nor under 3. The segments may add up to more than the strip; the strip clips them.
QList<qreal> segmentWidths(qreal stripWidth, const QList<qint64>& sizes, qint64 totalSize);

// The slim tab's group tags, groups in display order.
QString diskSlimGroupTag(DiskSlimGroup group);
inline constexpr std::array<DiskSlimGroup, 7> kSlimGroupOrder{
    DiskSlimGroup::Ai,          DiskSlimGroup::ImOffice,    DiskSlimGroup::Browser, DiskSlimGroup::Design,
    DiskSlimGroup::Development, DiskSlimGroup::BackupLarge, DiskSlimGroup::System,
};
// The latest modification among an item's paths, if any has one.
std::optional<Timestamp> latestModification(const DiskSlimItem& item);
// The slim list's height: 45 % of the screen's available height less 100, at least 320 (320 when
// there is no screen).
qreal slimListHeight(std::optional<qreal> availableScreenHeight);

// The local paths among the dropped items of a text/uri-list, in order, as exact bytes: only file
// URLs of this machine count; other URLs, comments and malformed lines are skipped.
QByteArrayList localPathsFromUriList(const QByteArray& uriList);

} // namespace rubbly
