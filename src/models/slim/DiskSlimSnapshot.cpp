#include "DiskSlimSnapshot.h"

#include "Json.h"
#include "PercentDecoding.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QUrl>

namespace rubbly {

QString fileUrlString(const QByteArray& path)
{
    return QStringLiteral("file://") + QString::fromLatin1(path.toPercentEncoding("/"));
}

std::optional<QByteArray> pathFromFileUrl(const QString& url)
{
    const QUrl parsed(url, QUrl::StrictMode);
    if (!parsed.isValid() || parsed.scheme() != QLatin1String("file") || !parsed.host().isEmpty() ||
        !url.startsWith(QLatin1String("file:///")))
        return std::nullopt;
    std::optional<QByteArray> path = percentDecoded(url.mid(7).toUtf8());
    if (!path || path->contains('\0'))
        return std::nullopt;
    // Directory URLs written by other encoders end in a slash.
    while (path->size() > 1 && path->endsWith('/'))
        path->chop(1);
    return path;
}

QByteArray DiskSlimSnapshot::toJson() const
{
    QJsonArray itemsJson;
    for (const DiskSlimItem& item : items) {
        QJsonArray subJson;
        for (const DiskSlimSubItem& sub : item.subItems) {
            QJsonObject s{
                {QStringLiteral("name"), sub.name},
                {QStringLiteral("url"), fileUrlString(sub.path)},
                {QStringLiteral("size"), sub.size},
                {QStringLiteral("isDirectory"), sub.isDirectory},
                {QStringLiteral("isSelected"), sub.isSelected},
            };
            if (sub.modificationDate)
                s.insert(QStringLiteral("modificationDate"), toReferenceSeconds(*sub.modificationDate));
            subJson.append(s);
        }
        QJsonObject o{
            {QStringLiteral("category"), diskSlimTitle(item.category)},
            {QStringLiteral("size"), item.size},
            {QStringLiteral("fileCount"), item.fileCount},
            {QStringLiteral("isSelected"), item.isSelected},
            {QStringLiteral("subItems"), subJson},
        };
        if (item.unlistedCount > 0) {
            o.insert(QStringLiteral("unlistedCount"), item.unlistedCount);
            o.insert(QStringLiteral("unlistedSize"), item.unlistedSize);
        }
        if (item.changedUpTo)
            o.insert(QStringLiteral("changedUpTo"), toReferenceSeconds(*item.changedUpTo));
        itemsJson.append(o);
    }
    return json::compact(QJsonObject{{QStringLiteral("scannedAt"), toReferenceSeconds(scannedAt)},
                                     {QStringLiteral("items"), itemsJson}});
}

QByteArray DiskSlimSnapshot::toJson(qint64 limit) const
{
    DiskSlimSnapshot smaller = *this;
    QByteArray json = toJson();
    for (qsizetype listed = kDiskSlimListedSubItems; json.size() > limit && listed > 0;) {
        listed /= 2;
        for (DiskSlimItem& item : smaller.items) {
            while (item.subItems.size() > listed) {
                // Listed largest first: the smallest go.
                item.unlistedCount += 1;
                item.unlistedSize += item.subItems.last().size;
                item.subItems.removeLast();
            }
        }
        json = smaller.toJson();
    }
    return json;
}

namespace {

std::optional<DiskSlimSubItem> decodeSubItem(const QJsonValue& value)
{
    if (!value.isObject())
        return std::nullopt;
    const QJsonObject o = value.toObject();
    const auto name = json::string(o, QLatin1String("name"));
    const auto url = json::string(o, QLatin1String("url"));
    const auto size = json::integer(o, QLatin1String("size"));
    const auto isDirectory = json::boolean(o, QLatin1String("isDirectory"));
    const auto isSelected = json::boolean(o, QLatin1String("isSelected"));
    if (!name || !url || !size || !isDirectory || !isSelected)
        return std::nullopt;
    const auto path = pathFromFileUrl(*url);
    if (!path)
        return std::nullopt;
    DiskSlimSubItem sub{*name, *path, *size, std::nullopt, *isDirectory, *isSelected};
    if (o.contains(QLatin1String("modificationDate"))) {
        const auto seconds = json::number(o, QLatin1String("modificationDate"));
        const auto date = seconds ? fromReferenceSeconds(*seconds) : std::nullopt;
        if (!date)
            return std::nullopt;
        sub.modificationDate = date;
    }
    return sub;
}

std::optional<DiskSlimItem> decodeItem(const QJsonValue& value)
{
    if (!value.isObject())
        return std::nullopt;
    const QJsonObject o = value.toObject();
    const auto title = json::string(o, QLatin1String("category"));
    const auto category = title ? diskSlimCategoryFromTitle(*title) : std::nullopt;
    const auto size = json::integer(o, QLatin1String("size"));
    const auto fileCount = json::integer(o, QLatin1String("fileCount"));
    const auto isSelected = json::boolean(o, QLatin1String("isSelected"));
    const QJsonValue subs = o.value(QLatin1String("subItems"));
    if (!category || !size || !fileCount || !isSelected || !subs.isArray())
        return std::nullopt;
    DiskSlimItem item{*category, *size, *fileCount, *isSelected, {}};
    if (o.contains(QLatin1String("unlistedCount")) || o.contains(QLatin1String("unlistedSize"))) {
        const auto count = json::integer(o, QLatin1String("unlistedCount"));
        const auto bytes = json::integer(o, QLatin1String("unlistedSize"));
        if (!count || !bytes || *count < 0 || *bytes < 0)
            return std::nullopt;
        item.unlistedCount = *count;
        item.unlistedSize = *bytes;
    }
    if (o.contains(QLatin1String("changedUpTo"))) {
        const auto seconds = json::number(o, QLatin1String("changedUpTo"));
        item.changedUpTo = seconds ? fromReferenceSeconds(*seconds) : std::nullopt;
        if (!item.changedUpTo)
            return std::nullopt;
    }
    // Through a const array: a temporary one would detach (copy every element) at begin(), and its
    // elements are references that convert to QJsonValue anyway.
    const QJsonArray subArray = subs.toArray();
    for (const QJsonValue sub : subArray) {
        auto decoded = decodeSubItem(sub);
        if (!decoded)
            return std::nullopt;
        item.subItems.append(std::move(*decoded));
    }
    return item;
}

} // namespace

std::optional<DiskSlimSnapshot> DiskSlimSnapshot::fromJson(const QByteArray& bytes)
{
    const auto root = json::parseObject(bytes);
    if (!root)
        return std::nullopt;
    const auto seconds = json::number(*root, QLatin1String("scannedAt"));
    const auto scannedAt = seconds ? fromReferenceSeconds(*seconds) : std::nullopt;
    const QJsonValue items = root->value(QLatin1String("items"));
    if (!scannedAt || !items.isArray())
        return std::nullopt;
    DiskSlimSnapshot snapshot{*scannedAt, {}};
    const QJsonArray itemArray = items.toArray();
    for (const QJsonValue value : itemArray) {
        auto item = decodeItem(value);
        if (!item)
            return std::nullopt;
        snapshot.items.append(std::move(*item));
    }
    return snapshot;
}

} // namespace rubbly
