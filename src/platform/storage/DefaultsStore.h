#pragma once

#include "Timestamp.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QStringList>

#include <optional>
#include <variant>

namespace rubbly {

// A typed value of the defaults store. The alternative is the type, and it survives a restart.
using DefaultsValue = std::variant<bool, qint64, double, QString, QByteArray, Timestamp>;

// The user's key-value preferences and records. Lives on the thread that made it.
class DefaultsStore : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    ~DefaultsStore() override = default;

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

Q_SIGNALS:
    // Another program (or another store on the same file) changed, added or removed these keys, and
    // value() already answers with what it stored. Never emitted for this store's own changes.
    void valuesChangedElsewhere(const QStringList& keys);
};

} // namespace rubbly
