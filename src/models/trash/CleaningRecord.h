#pragma once

#include "Timestamp.h"

#include <QByteArray>
#include <QString>

#include <optional>

namespace rubbly {

// What one finished cleaning removed; kept across launches.
struct CleaningRecord {
    Timestamp cleanedAt{};
    qint64 freedBytes = 0;
    int removedItemCount = 0;

    // {"cleanedAt": <seconds since 2001-01-01 UTC>, "freedBytes": <int>, "removedItemCount": <int>}
    QByteArray toJson() const;
    // Empty when the text is not such an object, lacks a key or holds a value of another type.
    static std::optional<CleaningRecord> fromJson(const QByteArray& json);

    bool operator==(const CleaningRecord&) const = default;
};

} // namespace rubbly
