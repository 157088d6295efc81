#pragma once

#include "DiskSlimCatalogue.h"
#include "Timestamp.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>

namespace rubbly {

// One removable folder or file inside a category.
struct DiskSlimSubItem {
    QString name;
    // Absolute path as raw bytes; the identity of the row.
    QByteArray path;
    qint64 size = 0;
    std::optional<Timestamp> modificationDate;
    bool isDirectory = false;
    bool isSelected = true;

    const QByteArray& id() const { return path; }
    bool operator==(const DiskSlimSubItem&) const = default;
};

// One category's scan result.
struct DiskSlimItem {
    DiskSlimCategory category = DiskSlimCategory::AiWorkspaces;
    qint64 size = 0;
    qint64 fileCount = 0;
    bool isSelected = true;
    // The largest sub-items, at most kDiskSlimListedSubItems of them.
    QList<DiskSlimSubItem> subItems;
    // What the scan found beyond the listed sub-items: how many entries and what they take (both part
    // of size). They are not shown one by one, and go with the category's tick.
    qint64 unlistedCount = 0;
    qint64 unlistedSize = 0;
    // The latest status change (ctime) among every entry the scan offered. A purge deletes an entry
    // that is not listed only when it has not changed since: what arrived after the scan was never
    // shown to anyone.
    std::optional<Timestamp> changedUpTo{};

    DiskSlimCategory id() const { return category; }
    bool operator==(const DiskSlimItem&) const = default;
};

// How many sub-items of a category a scan lists, the largest first. A person reads a few dozen rows;
// a Downloads folder of 300 000 installers must not cost a row, a path and a line of the stored
// snapshot each.
inline constexpr qsizetype kDiskSlimListedSubItems = 200;

// A saved scan result, as JSON:
//   {"scannedAt": <seconds since 2001-01-01 UTC>, "items": [{"category": <title>, "size", "fileCount",
//    "isSelected", "unlistedCount"?, "unlistedSize"?, "changedUpTo"?, "subItems": [{"name",
//    "url": "file:///…", "size", "modificationDate"?, "isDirectory", "isSelected"}]}]}
struct DiskSlimSnapshot {
    Timestamp scannedAt{};
    QList<DiskSlimItem> items;

    QByteArray toJson() const;
    // The same, with each item's smallest listed sub-items moved to its unlisted ones until the text
    // takes at most `limit` bytes (or nothing is listed any more).
    QByteArray toJson(qint64 limit) const;
    // Empty when anything does not decode: malformed JSON, a missing key, a value of another type, a
    // title not in the catalogue or a URL that is not an absolute file URL.
    static std::optional<DiskSlimSnapshot> fromJson(const QByteArray& json);

    bool operator==(const DiskSlimSnapshot&) const = default;
};

// "file://" plus the path with every byte outside the unreserved set and '/' percent-encoded, so
// names that are not UTF-8 survive.
QString fileUrlString(const QByteArray& path);
// The path of an absolute file URL string; empty when it is not one.
std::optional<QByteArray> pathFromFileUrl(const QString& url);

} // namespace rubbly
