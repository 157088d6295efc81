#include "FileCategory.h"

#include <QFile>

#include <algorithm>
#include <initializer_list>

namespace rubbly {

QString fileCategoryTitle(FileCategory category)
{
    switch (category) {
    case FileCategory::Video:
        return QStringLiteral("视频");
    case FileCategory::Image:
        return QStringLiteral("图片");
    case FileCategory::Audio:
        return QStringLiteral("音频");
    case FileCategory::Archive:
        return QStringLiteral("压缩与安装包");
    case FileCategory::Document:
        return QStringLiteral("文档");
    case FileCategory::Development:
        return QStringLiteral("代码与工程");
    case FileCategory::Other:
        return QStringLiteral("其他");
    }
    return QStringLiteral("其他");
}

std::optional<FileCategory> fileCategoryFromTitle(QStringView title)
{
    for (FileCategory category : kAllFileCategories) {
        if (fileCategoryTitle(category) == title)
            return category;
    }
    return std::nullopt;
}

namespace {

struct ExtensionList {
    FileCategory category;
    std::initializer_list<const char*> extensions;
};

// Order matters: the first list holding the extension wins.
const ExtensionList kExtensionLists[] = {
    {FileCategory::Video, {"mp4", "mov", "mkv", "avi", "wmv", "flv", "m4v", "webm"}},
    {FileCategory::Image, {"png", "jpg", "jpeg", "heic", "gif", "webp", "svg", "bmp", "tiff", "psd", "ai"}},
    {FileCategory::Audio, {"mp3", "wav", "flac", "aac", "m4a", "ogg", "wma"}},
    {FileCategory::Archive, {"zip", "tar", "gz", "tgz", "bz2", "7z", "rar", "dmg", "pkg", "iso", "app"}},
    {FileCategory::Document,
     {"pdf", "doc", "docx", "xls", "xlsx", "ppt", "pptx", "txt", "md", "csv", "rtf", "pages", "numbers", "key"}},
    {FileCategory::Development, {"swift", "c",   "cpp",  "h",   "m",    "py",  "js", "ts", "jsx", "tsx",
                                 "html",  "css", "json", "xml", "yaml", "yml", "sh", "rs", "go",  "java"}},
};

} // namespace

namespace {

// KDE's trash names a clash "dup.txt (1)", "dup.txt (2)", …: without the suffix the name is the
// file's own again. For names as text and as the file system's bytes alike.
int codeAt(QStringView name, qsizetype i)
{
    return name[i].unicode();
}
int codeAt(QByteArrayView name, qsizetype i)
{
    return static_cast<unsigned char>(name[i]);
}

template <typename View> View withoutClashSuffix(View name)
{
    const qsizetype size = name.size();
    if (size == 0 || codeAt(name, size - 1) != ')')
        return name;
    qsizetype open = size - 2;
    while (open >= 0 && codeAt(name, open) >= '0' && codeAt(name, open) <= '9')
        --open;
    // At least one digit, in "(…)" after a space and a name of its own.
    if (open < 2 || open == size - 2 || codeAt(name, open) != '(' || codeAt(name, open - 1) != ' ')
        return name;
    return name.first(open - 1);
}

} // namespace

FileCategory categoryFor(QStringView fileName)
{
    fileName = withoutClashSuffix(fileName);
    const qsizetype dot = fileName.lastIndexOf(QLatin1Char('.'));
    if (dot < 0)
        return FileCategory::Other;
    // Compared without lower-casing into a new string: this runs for every trash entry on every scan.
    const QStringView extension = fileName.mid(dot + 1);
    if (extension.isEmpty() || extension.size() > 8)
        return FileCategory::Other;
    for (const ExtensionList& list : kExtensionLists) {
        for (const char* candidate : list.extensions) {
            if (extension.compare(QLatin1String(candidate), Qt::CaseInsensitive) == 0)
                return list.category;
        }
    }
    return FileCategory::Other;
}

FileCategory categoryForRawName(QByteArrayView fileName)
{
    fileName = withoutClashSuffix(fileName);
    const qsizetype dot = fileName.lastIndexOf('.');
    if (dot < 0)
        return FileCategory::Other;
    const QByteArrayView extension = fileName.sliced(dot + 1);
    const bool ascii =
        std::all_of(extension.begin(), extension.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    // Beyond ASCII, case folding is Unicode's (the Kelvin sign folds to "k"): decode and compare as
    // names are compared everywhere else. A '.' byte never occurs inside a UTF-8 sequence, so the
    // extension is the same in both forms.
    if (!ascii)
        return categoryFor(QFile::decodeName(fileName.toByteArray()));
    if (extension.isEmpty() || extension.size() > 8)
        return FileCategory::Other;
    for (const ExtensionList& list : kExtensionLists) {
        for (const char* candidate : list.extensions) {
            if (extension.compare(candidate, Qt::CaseInsensitive) == 0)
                return list.category;
        }
    }
    return FileCategory::Other;
}

} // namespace rubbly
