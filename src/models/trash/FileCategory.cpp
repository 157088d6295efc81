#include "FileCategory.h"

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
// file's own again.
QStringView withoutClashSuffix(QStringView name)
{
    if (!name.endsWith(QLatin1Char(')')))
        return name;
    const qsizetype open = name.lastIndexOf(QLatin1Char('('));
    if (open < 2 || name[open - 1] != QLatin1Char(' ') || open + 2 == name.size())
        return name;
    for (qsizetype i = open + 1; i + 1 < name.size(); ++i) {
        if (name[i] < QLatin1Char('0') || name[i] > QLatin1Char('9'))
            return name;
    }
    return name.left(open - 1);
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

} // namespace rubbly
