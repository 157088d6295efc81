#include "DefaultsStore.h"

#include <cmath>

namespace rubbly {

namespace {
template <typename T> std::optional<T> exactly(const std::optional<DefaultsValue>& value)
{
    if (value && std::holds_alternative<T>(*value))
        return std::get<T>(*value);
    return std::nullopt;
}
} // namespace

std::optional<bool> DefaultsStore::boolValue(const QString& key) const
{
    return exactly<bool>(value(key));
}

std::optional<qint64> DefaultsStore::intValue(const QString& key) const
{
    const auto stored = value(key);
    if (stored && std::holds_alternative<double>(*stored)) {
        const double d = std::get<double>(*stored);
        // Only doubles that are whole and well inside the qint64 range convert without loss.
        if (std::isfinite(d) && std::trunc(d) == d && std::fabs(d) < 9.0e18)
            return static_cast<qint64>(d);
        return std::nullopt;
    }
    return exactly<qint64>(stored);
}

std::optional<double> DefaultsStore::doubleValue(const QString& key) const
{
    const auto stored = value(key);
    if (stored && std::holds_alternative<qint64>(*stored))
        return static_cast<double>(std::get<qint64>(*stored));
    return exactly<double>(stored);
}

std::optional<QString> DefaultsStore::stringValue(const QString& key) const
{
    return exactly<QString>(value(key));
}

std::optional<QByteArray> DefaultsStore::dataValue(const QString& key) const
{
    return exactly<QByteArray>(value(key));
}

std::optional<Timestamp> DefaultsStore::dateValue(const QString& key) const
{
    return exactly<Timestamp>(value(key));
}

} // namespace rubbly
