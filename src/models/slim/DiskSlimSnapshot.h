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
    QList<DiskSlimSubItem> subItems;

    DiskSlimCategory id() const { return category; }
    bool operator==(const DiskSlimItem&) const = default;
};

// A saved scan result, kept under kDiskSlimSnapshotKey as JSON data:
//   {"scannedAt": <seconds since 2001-01-01 UTC>, "items": [{"category": <title>, "size", "fileCount",
//    "isSelected", "subItems": [{"name", "url": "file:///…", "size", "modificationDate"?, "isDirectory",
//    "isSelected"}]}]}
struct DiskSlimSnapshot {
    Timestamp scannedAt{};
    QList<DiskSlimItem> items;

    QByteArray toJson() const;
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
