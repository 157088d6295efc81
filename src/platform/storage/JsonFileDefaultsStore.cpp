#include "JsonFileDefaultsStore.h"

#include "AppIdentity.h"
#include "Json.h"
#include "UntrustedFile.h"
#include "XdgPaths.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonObject>
#include <QSaveFile>

#include <cmath>
#include <cstring>

namespace rubbly {

Q_LOGGING_CATEGORY(lcDefaults, RUBBLY_APP_ID ".Defaults")

namespace {

QJsonObject encode(const DefaultsValue& value)
{
    QJsonObject entry;
    std::visit(
        [&entry](const auto& v) {
            using T = std::decay_t<decltype(v)>;
            if constexpr (std::is_same_v<T, bool>)
                entry.insert(QLatin1String("bool"), v);
            else if constexpr (std::is_same_v<T, qint64>)
                entry.insert(QLatin1String("int"), v);
            else if constexpr (std::is_same_v<T, double>)
                entry.insert(QLatin1String("double"), v);
            else if constexpr (std::is_same_v<T, QString>)
                entry.insert(QLatin1String("string"), v);
            else if constexpr (std::is_same_v<T, QByteArray>)
                entry.insert(QLatin1String("data"), QString::fromLatin1(v.toBase64()));
            else
                entry.insert(QLatin1String("date"), toReferenceSeconds(v));
        },
        value);
    return entry;
}

std::optional<DefaultsValue> decode(const QJsonValue& json)
{
    if (!json.isObject() || json.toObject().size() != 1)
        return std::nullopt;
    const QJsonObject entry = json.toObject();
    const QString type = entry.begin().key();
    const QJsonValue v = entry.begin().value();
    if (type == QLatin1String("bool") && v.isBool())
        return DefaultsValue{v.toBool()};
    if (type == QLatin1String("int") && v.isDouble()) {
        // toInteger() answers 0 for a whole number beyond the 64-bit range (1e300): refuse it instead.
        const double d = v.toDouble();
        const qint64 i = v.toInteger();
        if (std::trunc(d) != d || static_cast<double>(i) != d)
            return std::nullopt;
        return DefaultsValue{i};
    }
    if (type == QLatin1String("double") && v.isDouble())
        return DefaultsValue{v.toDouble()};
    if (type == QLatin1String("string") && v.isString())
        return DefaultsValue{v.toString()};
    if (type == QLatin1String("data") && v.isString()) {
        const auto decoded =
            QByteArray::fromBase64Encoding(v.toString().toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
        if (!decoded)
            return std::nullopt;
        return DefaultsValue{*decoded};
    }
    if (type == QLatin1String("date") && v.isDouble()) {
        if (const auto t = fromReferenceSeconds(v.toDouble()))
            return DefaultsValue{*t};
    }
    return std::nullopt;
}

} // namespace

JsonFileDefaultsStore::JsonFileDefaultsStore(const QString& filePath)
    : m_filePath(filePath)
{
    load();
}

QString JsonFileDefaultsStore::defaultFilePath()
{
    return xdg::configHome() + QStringLiteral("/rubbly/defaults.json");
}

void JsonFileDefaultsStore::load()
{
    using Kind = UntrustedReadError::Kind;
    const auto read = readUntrustedFile(QFile::encodeName(m_filePath), kMaxFileBytes);
    if (!read) {
        const UntrustedReadError& error = read.error();
        switch (error.kind) {
        case Kind::Missing:
            return;
        case Kind::Link:
        case Kind::NotRegular:
            // Not a file we wrote: a link (perhaps the user's own, into a dotfiles folder) is not
            // followed, and a FIFO or device is not read. Either stays as it is, and is never
            // replaced by a save.
            qCWarning(lcDefaults) << m_filePath << "is not a regular file; using default settings without saving them";
            m_writable = false;
            return;
        case Kind::TooLarge:
            break; // far beyond anything we write: kept aside below like any other unreadable content
        case Kind::Failed:
            // Unreadable but present: the user's data may be fine, so leave it alone and do not write.
            qCWarning(lcDefaults) << "cannot read" << m_filePath << std::strerror(error.error)
                                  << "- settings will not be saved";
            m_writable = false;
            return;
        }
    } else if (auto values = decodeFile(read.value())) {
        m_values = std::move(*values);
        return;
    }

    const QString aside = m_filePath + QStringLiteral(".corrupt-") +
                          QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    if (QFile::rename(m_filePath, aside)) {
        m_setAsidePath = aside;
        qCWarning(lcDefaults) << m_filePath << "is not a valid defaults file; moved it to" << aside
                              << "and started with default settings";
    } else {
        m_writable = false;
        qCWarning(lcDefaults) << m_filePath << "is not a valid defaults file and could not be moved aside;"
                              << "using default settings without saving them";
    }
}

std::optional<JsonFileDefaultsStore::Values> JsonFileDefaultsStore::decodeFile(const QByteArray& bytes)
{
    const auto root = json::parseObject(bytes);
    if (!root)
        return std::nullopt;
    Values values;
    for (auto it = root->begin(); it != root->end(); ++it) {
        const auto value = decode(it.value());
        if (!value)
            return std::nullopt;
        values.insert(it.key(), *value);
    }
    return values;
}

QByteArray JsonFileDefaultsStore::encodeFile(const Values& values)
{
    QJsonObject root;
    for (auto it = values.cbegin(); it != values.cend(); ++it)
        root.insert(it.key(), encode(it.value()));
    return json::compact(root);
}

std::optional<DefaultsValue> JsonFileDefaultsStore::value(const QString& key) const
{
    const auto it = m_values.constFind(key);
    if (it == m_values.cend())
        return std::nullopt;
    return *it;
}

void JsonFileDefaultsStore::setValue(const QString& key, const DefaultsValue& value)
{
    if (const double* d = std::get_if<double>(&value); d && !std::isfinite(*d)) {
        qCWarning(lcDefaults) << "refusing to store a non-finite number under" << key;
        return;
    }
    // The file also holds the slim snapshot: rewriting all of it for a value that did not change
    // would cost a write of every byte for nothing.
    if (const auto it = m_values.constFind(key); it != m_values.cend() && *it == value)
        return;
    m_values.insert(key, value);
    save();
}

void JsonFileDefaultsStore::removeValue(const QString& key)
{
    if (m_values.remove(key))
        save();
}

void JsonFileDefaultsStore::save()
{
    if (!m_writable)
        return;
    QDir().mkpath(QFileInfo(m_filePath).absolutePath());
    QSaveFile file(m_filePath);
    const bool ok = file.open(QIODevice::WriteOnly) && file.write(encodeFile(m_values)) >= 0 && file.commit();
    if (!ok && !m_reportedWriteFailure) {
        m_reportedWriteFailure = true;
        qCWarning(lcDefaults) << "cannot write" << m_filePath << file.errorString();
    }
}

} // namespace rubbly
