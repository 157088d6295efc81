#pragma once

#include "BinwellState.h"
#include "CleaningRecord.h"
#include "DiskSlimCatalogue.h"
#include "DiskSlimSnapshot.h"
#include "FileCategory.h"

#include <QByteArrayList>
#include <QList>
#include <QSet>
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

// One line of the slim tab's list: a group header, a category, or one of a category's paths (when
// the category is unfolded), and after them the count of the paths not listed one by one. `top` and `height` place it
// in the list; `item` and `sub` index the view model's items and the item's paths.
struct SlimRow {
    enum class Kind { Group, Category, Path, More };
    Kind kind = Kind::Group;
    int item = -1;
    int sub = -1;
    DiskSlimGroup group = DiskSlimGroup::Ai;
    // A group header's: what its categories hold together.
    qint64 groupSize = 0;
    qreal top = 0;
    qreal height = 0;
    // "// TAG" for a group header, the title for a category, the path (as a file URL's path, unique
    // for any bytes) for a path.
    QString id;
};
// The rows of `items`, groups in display order and categories in their order within the items; a
// group without results has no header. Category and path rows are 26 high, headers `headerHeight`.
QList<SlimRow> slimRows(const QList<DiskSlimItem>& items, const QSet<DiskSlimCategory>& expanded, qreal headerHeight);
// The height the rows fill.
qreal slimRowsHeight(const QList<SlimRow>& rows);
// What a row shows, kept across rebuilds of the list: its category and, for a path row, the path.
struct SlimRowKey {
    DiskSlimCategory category{};
    QByteArray path;
    bool operator==(const SlimRowKey&) const = default;
};
// The key of a category or path row of `items`; none for a group header.
std::optional<SlimRowKey> slimRowKey(const SlimRow& row, const QList<DiskSlimItem>& items);
// Where the row showing `key` is now: its index, or, for a path whose category was folded, the
// category's; -1 when the category is gone or there is no key.
int slimRowIndex(const QList<SlimRow>& rows, const QList<DiskSlimItem>& items, const std::optional<SlimRowKey>& key);
// The row the keyboard moves to from row `from` (-1: none yet): the next or previous category or
// path row, staying at the first and the last; without a current row, the first. -1 when no row
// can hold the focus.
enum class SlimStep { Next, Previous };
int stepSlimFocus(const QList<SlimRow>& rows, int from, SlimStep step);

// What a key does in the list of every entry. `inSearch`: the search field has the focus; `hasQuery`:
// it holds text; `confirming`: a deletion waits for its answer. Typing anywhere goes to the search,
// the arrows move through the rows, Return puts back (with Control: shows in the file manager),
// Delete deletes (in the search only while it is empty, where it would erase nothing), Escape clears
// the search first and leaves the list when it is empty; while a deletion waits, Return confirms it
// and Escape cancels it.
enum class AllItemsKey { Pass, Type, Previous, Next, PutBack, Reveal, Delete, ClearSearch, Leave, Confirm, Cancel };
AllItemsKey allItemsKeyAction(int key, Qt::KeyboardModifiers modifiers, const QString& text, bool inSearch,
                              bool hasQuery, bool confirming);

} // namespace rubbly
