#pragma once

#include "DefaultsStore.h"

#include <QHash>
#include <QLoggingCategory>

namespace rubbly {

Q_DECLARE_LOGGING_CATEGORY(lcDefaults)

// DefaultsStore kept in one JSON file, by default $XDG_CONFIG_HOME/rubbly/defaults.json:
//   { "Rubbly.hideInDock": {"bool": true}, "Binwell.lastCleaningRecord": {"data": "<base64>"}, ... }
// Every change rewrites the file atomically; storing the value a key already holds writes nothing. A
// file that cannot be read as such is moved aside to "defaults.json.corrupt-<time>" and reported in
// the log; the store then starts empty. When even that move fails the store keeps working in memory
// and never writes over the file.
class JsonFileDefaultsStore final : public DefaultsStore {
public:
    // The file is read through readUntrustedFile(): a link, FIFO or device there is never followed or
    // read; it stays as it is, the store starts empty and never writes. A file over this size is not
    // one we wrote, and is moved aside like one that does not parse.
    static constexpr qint64 kMaxFileBytes = 64LL << 20;

    explicit JsonFileDefaultsStore(const QString& filePath);

    static QString defaultFilePath();

    std::optional<DefaultsValue> value(const QString& key) const override;
    void setValue(const QString& key, const DefaultsValue& value) override;
    void removeValue(const QString& key) override;

    using Values = QHash<QString, DefaultsValue>;
    // The values a file's bytes hold; empty when they are not one JSON object whose every entry is a
    // known type tag with a value of that type.
    static std::optional<Values> decodeFile(const QByteArray& bytes);
    // The bytes of a file that decodes to `values`.
    static QByteArray encodeFile(const Values& values);

    const QString& filePath() const { return m_filePath; }
    // Where an unreadable file was moved at load, if that happened.
    const QString& setAsidePath() const { return m_setAsidePath; }

private:
    void load();
    void save();

    QString m_filePath;
    QString m_setAsidePath;
    Values m_values;
    bool m_writable = true;
    bool m_reportedWriteFailure = false;
};

} // namespace rubbly
