#pragma once

#include "FileCategory.h"
#include "Timestamp.h"

#include <QByteArray>
#include <QString>
#include <QUrl>

#include <optional>

namespace rubbly {

// One top-level entry of a trash folder's files/ directory.
struct TrashItemDetail {
    // File name as stored in the trash, decoded for display (undecodable bytes become U+FFFD).
    QString name;
    // Absolute path of the entry, as raw bytes: Linux names need not be UTF-8, and deleting or
    // revealing must use the exact bytes.
    QByteArray path;
    qint64 size = 0;
    std::optional<Timestamp> modificationDate;
    FileCategory category = FileCategory::Other;
    bool isDirectory = false;

    // Linux additions, from the freedesktop trash layout.
    // The trash directory (the one holding files/ and info/) this entry belongs to.
    QByteArray trashFolder;
    // Path=/DeletionDate= of the entry's .trashinfo file, when it has one that says so.
    std::optional<QByteArray> originalPath;
    std::optional<Timestamp> deletionDate;

    // file:// URL of `path`, for opening and revealing.
    QUrl url() const;

    bool operator==(const TrashItemDetail&) const = default;
};

} // namespace rubbly
