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

// Appends `text` as a JSON string, byte for byte as QJsonDocument writes it: UTF-8, with quote,
// backslash and the control characters escaped (the short forms where JSON has them, else \u00xx in
// lower case), and a UTF-16 surrogate without its pair as \uxxxx. For output written item by item,
// where a document per item would cost more than the rest of the work.
void appendString(QByteArray& out, const QString& text);

} // namespace rubbly::json
