#pragma once

#include "Timestamp.h"

#include <QByteArray>
#include <QString>

#include <optional>
#include <variant>

namespace rubbly {

// A typed value of the defaults store. The alternative is the type, and it survives a restart.
using DefaultsValue = std::variant<bool, qint64, double, QString, QByteArray, Timestamp>;

// The user's key-value preferences and records.
class DefaultsStore {
public:
    virtual ~DefaultsStore() = default;

    // The stored value, or empty when the key is absent.
    virtual std::optional<DefaultsValue> value(const QString& key) const = 0;
    virtual void setValue(const QString& key, const DefaultsValue& value) = 0;
    virtual void removeValue(const QString& key) = 0;

    bool contains(const QString& key) const { return value(key).has_value(); }

    // Typed reads: empty when the key is absent or holds a value that is not of that type. A number
    // converts where nothing is lost (an int reads as a double; a whole double reads as an int).
    std::optional<bool> boolValue(const QString& key) const;
    std::optional<qint64> intValue(const QString& key) const;
    std::optional<double> doubleValue(const QString& key) const;
    std::optional<QString> stringValue(const QString& key) const;
    std::optional<QByteArray> dataValue(const QString& key) const;
    std::optional<Timestamp> dateValue(const QString& key) const;
};

} // namespace rubbly
