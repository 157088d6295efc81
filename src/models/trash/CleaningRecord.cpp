#include "CleaningRecord.h"

#include "Json.h"

#include <QJsonObject>

#include <limits>

namespace rubbly {

QByteArray CleaningRecord::toJson() const
{
    QJsonObject object;
    object.insert(QLatin1String("cleanedAt"), toReferenceSeconds(cleanedAt));
    object.insert(QLatin1String("freedBytes"), freedBytes);
    object.insert(QLatin1String("removedItemCount"), removedItemCount);
    return json::compact(object);
}

std::optional<CleaningRecord> CleaningRecord::fromJson(const QByteArray& bytes)
{
    const auto object = json::parseObject(bytes);
    if (!object)
        return std::nullopt;
    const auto seconds = json::number(*object, QLatin1String("cleanedAt"));
    const auto freed = json::integer(*object, QLatin1String("freedBytes"));
    const auto count = json::integer(*object, QLatin1String("removedItemCount"));
    if (!seconds || !freed || !count)
        return std::nullopt;
    if (*count < std::numeric_limits<int>::min() || *count > std::numeric_limits<int>::max())
        return std::nullopt;
    const auto cleanedAt = fromReferenceSeconds(*seconds);
    if (!cleanedAt)
        return std::nullopt;
    return CleaningRecord{*cleanedAt, *freed, static_cast<int>(*count)};
}

} // namespace rubbly
