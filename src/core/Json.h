#pragma once

#include <QJsonObject>
#include <QJsonValue>

#include <optional>

namespace rubbly::json {

// Strict readers for decoding stored and downloaded JSON: each is empty when the key is missing or the
// value is not exactly of the wanted type (an integer reader refuses 1.5 and numbers beyond 2^53,
// where a double no longer holds every integer).
std::optional<qint64> integer(const QJsonObject& object, QLatin1StringView key);
std::optional<double> number(const QJsonObject& object, QLatin1StringView key);
std::optional<bool> boolean(const QJsonObject& object, QLatin1StringView key);
std::optional<QString> string(const QJsonObject& object, QLatin1StringView key);

// Parses `bytes` as one JSON object; empty for anything else.
std::optional<QJsonObject> parseObject(const QByteArray& bytes);

// Compact serialisation, as stored in the defaults.
QByteArray compact(const QJsonObject& object);

} // namespace rubbly::json
