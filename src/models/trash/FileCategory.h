#pragma once

#include <QByteArrayView>
#include <QString>
#include <QStringView>

#include <array>
#include <optional>

namespace rubbly {

// Kind of a trash entry, decided from its name's extension alone. The title is also the persisted
// form, so the titles must never change.
enum class FileCategory {
    Video,
    Image,
    Audio,
    Archive,
    Document,
    Development,
    Other,
};

inline constexpr std::array<FileCategory, 7> kAllFileCategories{
    FileCategory::Video,    FileCategory::Image,       FileCategory::Audio, FileCategory::Archive,
    FileCategory::Document, FileCategory::Development, FileCategory::Other,
};

QString fileCategoryTitle(FileCategory category);
// Exact match of a title; empty for any other text.
std::optional<FileCategory> fileCategoryFromTitle(QStringView title);

// Category of a file or folder name by the extension after its last dot, compared in lower case;
// a clash suffix of KDE's trash (" (1)") is not part of the name. Never touches the disk.
FileCategory categoryFor(QStringView fileName);
// The same for a name as the file system stores it (bytes, UTF-8 or not), without decoding it when
// its extension is ASCII: a scan classifies every entry of the Trash, most of which it never shows.
FileCategory categoryForRawName(QByteArrayView fileName);

} // namespace rubbly
