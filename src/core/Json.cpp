#include "Json.h"

#include <QJsonDocument>

#include <cmath>

namespace rubbly::json {

namespace {
constexpr double kMaxExactInteger = 9007199254740992.0; // 2^53
}

std::optional<qint64> integer(const QJsonObject& object, QLatin1StringView key)
{
    const QJsonValue value = object.value(key);
    if (!value.isDouble())
        return std::nullopt;
    const double d = value.toDouble();
    if (std::trunc(d) != d || std::fabs(d) > kMaxExactInteger)
        return std::nullopt;
    return value.toInteger();
}

std::optional<double> number(const QJsonObject& object, QLatin1StringView key)
{
    const QJsonValue value = object.value(key);
    if (!value.isDouble())
        return std::nullopt;
    return value.toDouble();
}

std::optional<bool> boolean(const QJsonObject& object, QLatin1StringView key)
{
    const QJsonValue value = object.value(key);
    if (!value.isBool())
        return std::nullopt;
    return value.toBool();
}

std::optional<QString> string(const QJsonObject& object, QLatin1StringView key)
{
    const QJsonValue value = object.value(key);
    if (!value.isString())
        return std::nullopt;
    return value.toString();
}

std::optional<QJsonObject> parseObject(const QByteArray& bytes)
{
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return std::nullopt;
    return document.object();
}

QByteArray compact(const QJsonObject& object)
{
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

void appendString(QByteArray& out, const QString& text)
{
    static constexpr char kHex[] = "0123456789abcdef";
    const auto escape = [&out](char16_t u) {
        const char chars[] = {'\\', 'u', kHex[u >> 12], kHex[(u >> 8) & 0xf], kHex[(u >> 4) & 0xf], kHex[u & 0xf]};
        out.append(chars, sizeof chars);
    };
    out.append('"');
    const auto* const end = reinterpret_cast<const char16_t*>(text.utf16()) + text.size();
    for (auto* p = reinterpret_cast<const char16_t*>(text.utf16()); p != end; ++p) {
        const char16_t u = *p;
        if (u >= 0x20 && u < 0x80 && u != '"' && u != '\\') {
            out.append(char(u));
        } else if (u < 0x80) {
            const char* const shortForm = u == '"'    ? "\\\""
                                          : u == '\\' ? "\\\\"
                                          : u == '\b' ? "\\b"
                                          : u == '\f' ? "\\f"
                                          : u == '\n' ? "\\n"
                                          : u == '\r' ? "\\r"
                                          : u == '\t' ? "\\t"
                                                      : nullptr;
            if (shortForm)
                out.append(shortForm);
            else
                escape(u);
        } else if (QChar::isHighSurrogate(u) && p + 1 != end && QChar::isLowSurrogate(p[1])) {
            const char32_t c = QChar::surrogateToUcs4(u, p[1]);
            const char bytes[] = {char(0xf0 | (c >> 18)), char(0x80 | ((c >> 12) & 0x3f)),
                                  char(0x80 | ((c >> 6) & 0x3f)), char(0x80 | (c & 0x3f))};
            out.append(bytes, sizeof bytes);
            ++p;
        } else if (QChar::isSurrogate(u)) {
            escape(u);
        } else if (u < 0x800) {
            const char bytes[] = {char(0xc0 | (u >> 6)), char(0x80 | (u & 0x3f))};
            out.append(bytes, sizeof bytes);
        } else {
            const char bytes[] = {char(0xe0 | (u >> 12)), char(0x80 | ((u >> 6) & 0x3f)), char(0x80 | (u & 0x3f))};
            out.append(bytes, sizeof bytes);
        }
    }
    out.append('"');
}

} // namespace rubbly::json
