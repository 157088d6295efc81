#pragma once

#include "Actor.h"
#include "Minisign.h"
#include "UpdateServicing.h"
#include "UpdateTypes.h"

#include <QLoggingCategory>
#include <QObject>
#include <QPointer>
#include <QUrl>

#include <QCoroTask>

#include <chrono>
#include <functional>

class QNetworkAccessManager;
class QNetworkReply;
class QNetworkRequest;

namespace rubbly {

class DefaultsStore;
class Scheduler;

Q_DECLARE_LOGGING_CATEGORY(lcUpdate)

// Keeps the program current: checks the version manifest, downloads and unpacks a newer version
// into a work folder, and replaces the running application folder with it through a relaunch
// script. Lives on the GUI thread; the About pane and the view model share one instance.
// Everything is fetched over https (plain http only from a loopback test server), and an archive is
// unpacked only when its minisign signature (the archive's URL + ".minisig") verifies with a key
// built into the program and names the announced version.
class UpdateService final : public UpdateServicing {
    Q_OBJECT
public:
    struct Config {
        // The product's web host: the manifest is its version.json, the fallback archive its
        // downloads/Rubbly.zip.
        QUrl baseURL;
        QString currentVersion;
        // Where the work folder "Rubbly-Update" lives (by default $XDG_CACHE_HOME/rubbly).
        QString temporaryDirectory;
        // How long a server may stay silent (on the system clock, the network's own timer).
        std::chrono::milliseconds checkTimeout{10000};
        std::chrono::milliseconds downloadTimeout{90000};
        // How long a whole answer may take, however steadily it arrives (on the scheduler's clock):
        // the manifest and a signature, and the archive.
        std::chrono::milliseconds checkDeadline{60000};
        std::chrono::milliseconds downloadDeadline{std::chrono::hours(1)};
        // Archives above this are refused, while they arrive.
        qint64 maxDownloadBytes = 1LL << 30;
        // The keys an archive's signature must be made with; none: updates cannot be installed.
        QList<MinisignKey> trustedKeys;
        // The Rubbly.app folder to replace; empty: found from the running program's location.
        QString runningApplicationFolder;
        // The process the relaunch script waits for; 0: this one. Should it still run after
        // `quitWait`, the script installs nothing and says so in update.log beside the work folder.
        qint64 processId = 0;
        std::chrono::milliseconds quitWait{10000};
        // Asks this process to end once the relaunch script runs (the script waits for that). By
        // default a queued QCoreApplication::quit(), so the caller's turn of the event loop finishes.
        std::function<void()> quit = queueApplicationQuit;

        // The build's settings (host, version, keys) and the user's cache folder.
        static Config defaults();
        static void queueApplicationQuit();
    };

    UpdateService(DefaultsStore& defaults, Scheduler& scheduler, QNetworkAccessManager& network, Config config,
                  QObject* parent = nullptr);

    const UpdateStatus& status() const override { return m_status; }
    std::optional<Timestamp> lastCheckDate() const override { return m_lastCheckDate; }
    const QString& currentVersion() const { return m_config.currentVersion; }
    QUrl versionManifestURL() const;
    QUrl fallbackDownloadURL() const;
    QString workFolder() const;

    QCoro::Task<void> checkForUpdates(bool manual) override;
    // Starts the download; the status follows it. Returns the task for callers that wait.
    QCoro::Task<void> downloadUpdate(UpdateInfo info) override;
    // Writes and starts the relaunch script and asks the application to quit; true when that happened.
    // When the program does not run from a Rubbly.app folder the user owns, or the script cannot run,
    // nothing is replaced: the new version is started from the work folder and false is returned.
    bool installAndRelaunch(const QByteArray& newAppPath) override;

    // Whether updates may be fetched from `url`: https with a host, or http from a loopback address.
    static bool isSecureURL(const QUrl& url);
    // Where the signature of the archive at `archiveURL` is: the same address with ".minisig" added.
    static QUrl signatureURL(const QUrl& archiveURL);
    // The keys in the blank-separated list of base64 key lines; a key that does not parse is left out.
    static QList<MinisignKey> parseKeys(const QString& keyLines);

    // Numeric comparison of dotted versions; pieces that are not integers are dropped.
    static bool isVersion(const QString& a, const QString& newerThan);
    // The Rubbly.app folder holding `programPath`, when it is one the user owns and may replace.
    static QString replaceableApplicationFolder(const QString& programPath);
    // The relaunch script; the paths reach it as arguments, never as part of its text:
    // PID SRC DEST WORK [WAIT in tenths of a second] [LOG].
    static QString relaunchScript();

private:
    void setStatus(UpdateStatus status);
    // A GET whose redirects are followed only to addresses isSecureURL() accepts; one that is not is
    // aborted and its address kept in the reply's property "refusedRedirect".
    QNetworkReply* secureGet(const QNetworkRequest& request);
    // The archive's signature, fetched and checked as far as it can be without the archive: from a
    // trusted key, its trusted comment intact and naming `version`. Empty with the status set to the
    // error when not.
    QCoro::Task<std::optional<MinisignSignature>> fetchSignature(QUrl url, QString version);

    DefaultsStore& m_defaults;
    Scheduler& m_scheduler;
    QNetworkAccessManager& m_network;
    Config m_config;
    UpdateStatus m_status = UpdateStatus::idle();
    std::optional<Timestamp> m_lastCheckDate;
    // Clears the work folder and unpacks, off the GUI thread. Last, so it stops before the rest goes.
    Actor m_actor;
};

} // namespace rubbly
