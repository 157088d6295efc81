#pragma once

#include "Timestamp.h"

#include <QByteArray>
#include <QString>
#include <QUrl>

#include <optional>
#include <variant>

namespace rubbly {

struct UpdateInfo {
    // The remote version without leading or trailing "v", "V" and blanks.
    QString version;
    QString releaseNotes;
    QUrl downloadURL;
    // When the newer version was found (not the manifest's pubDate).
    std::optional<Timestamp> publishedAt;

    bool operator==(const UpdateInfo&) const = default;
};

// What the About pane shows of the updater. Equality compares the case and its values.
class UpdateStatus final {
public:
    enum class Kind {
        Idle,            // nothing to show; also after a failed silent check
        Checking,        // a check is in flight
        UpToDate,        // the running version is the newest, or there is no manifest
        UpdateAvailable, // a newer version waits for the user
        Downloading,     // download or unpacking in progress
        ReadyToInstall,  // unpacked, waiting for the restart
        Error,           // a message for the user
    };

    static UpdateStatus idle() { return UpdateStatus(Kind::Idle); }
    static UpdateStatus checking() { return UpdateStatus(Kind::Checking); }
    static UpdateStatus upToDate() { return UpdateStatus(Kind::UpToDate); }
    static UpdateStatus updateAvailable(UpdateInfo info);
    static UpdateStatus downloading(double progress, UpdateInfo info);
    static UpdateStatus readyToInstall(QByteArray newAppPath, UpdateInfo info);
    // `message` is the About pane's text; `detail`, when given, says the same in plain English with
    // the particulars (addresses, key ids) for the command line and the log.
    static UpdateStatus error(QString message, QString detail = {});

    Kind kind() const { return m_kind; }
    const UpdateInfo& info() const { return m_info; }
    double progress() const { return m_progress; }
    const QByteArray& newAppPath() const { return m_newAppPath; }
    const QString& message() const { return m_message; }
    const QString& detail() const { return m_detail; }

    bool operator==(const UpdateStatus&) const = default;

private:
    explicit UpdateStatus(Kind kind)
        : m_kind(kind)
    {
    }
    Kind m_kind;
    UpdateInfo m_info;
    double m_progress = 0;
    QByteArray m_newAppPath;
    QString m_message;
    QString m_detail;
};

// The version manifest, strictly decoded: "version" must be a string; every other known key may be
// absent or null, but when present must have its type, or the whole manifest is rejected.
struct RemoteVersionManifest {
    QString version;
    std::optional<qint64> build;
    std::optional<QString> pubDate;
    std::optional<QString> title;
    std::optional<QString> releaseNotes;
    std::optional<QString> downloadURL;
    std::optional<QString> releasePageURL;

    static std::optional<RemoteVersionManifest> decode(const QByteArray& json);
};

// A manifest's version as it is compared and shown: without leading or trailing "v", "V" and blanks.
QString stripVersion(QString version);

} // namespace rubbly
