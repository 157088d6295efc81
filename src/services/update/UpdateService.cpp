#include "UpdateService.h"

#include "AppIdentity.h"
#include "ArchiveExtractor.h"
#include "AtomicFile.h"
#include "DefaultsStore.h"
#include "Scheduler.h"
#include "StoredKeys.h"
#include "UpdateKeys.h"
#include "XdgPaths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHostAddress>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QProcess>

#include <QCoroNetworkReply>
#include <QCoroSignal>

#include <algorithm>
#include <unistd.h>

namespace rubbly {

Q_LOGGING_CATEGORY(lcUpdate, RUBBLY_APP_ID ".UpdateService")

namespace {

constexpr qint64 kMaxManifestBytes = 1 << 20;
// minisign writes a few hundred bytes; its own limits keep a signature under 10 KiB.
constexpr qint64 kMaxSignatureBytes = 64 * 1024;
// What the About pane shows, in the interface's language (translated when said, not at start).
QString defaultNotes()
{
    return QCoreApplication::translate("Update", "Stability improvements and new features.");
}

QString downloadFailedMessage()
{
    return QCoreApplication::translate("Update", "Download failed; try downloading it in a browser");
}

QString unsignedBuild()
{
    return QCoreApplication::translate(
        "Update",
        "This build has no update signing key and cannot install updates; download the new version from the website");
}

QString insecureAddress()
{
    return QCoreApplication::translate("Update", "The update address is not HTTPS; the download was refused");
}

QString signatureRefused()
{
    return QCoreApplication::translate("Update", "The signature of the update did not verify; it was not installed");
}
const QString kNothingInstalled = QStringLiteral("; nothing was installed");
const char* const kRefusedRedirect = "refusedRedirect";
const char* const kOverLimit = "overLimit";
const char* const kOverDeadline = "overDeadline";

using ReplyPointer = std::unique_ptr<QNetworkReply, void (*)(QNetworkReply*)>;
ReplyPointer owned(QNetworkReply* reply)
{
    return ReplyPointer(reply, [](QNetworkReply* r) { r->deleteLater(); });
}

// Bounds `reply` while it arrives, not once it has ended: it is aborted as soon as it announces or
// has received more than `maxBytes`, and when `deadline` has passed on the scheduler's clock however
// steadily it trickles (the transfer timeout only catches a silent server). An endless answer thus
// costs at most `maxBytes` of memory or disk. Which limit ended it is kept in the reply's properties.
void bound(QNetworkReply* reply, Scheduler& scheduler, qint64 maxBytes, std::chrono::milliseconds deadline)
{
    QObject::connect(reply, &QNetworkReply::downloadProgress, reply, [reply, maxBytes](qint64 received, qint64 total) {
        if ((received > maxBytes || total > maxBytes) && !reply->isFinished()) {
            reply->setProperty(kOverLimit, true);
            reply->abort();
        }
    });
    scheduler.singleShot(deadline, reply, [reply] {
        if (!reply->isFinished()) {
            reply->setProperty(kOverDeadline, true);
            reply->abort();
        }
    });
}

// Why bound() ended `reply`; empty when it did not.
QString cutOff(const QNetworkReply& reply, qint64 maxBytes, std::chrono::milliseconds deadline)
{
    if (reply.property(kOverLimit).toBool())
        return QStringLiteral("the answer is larger than %1 bytes").arg(maxBytes);
    if (reply.property(kOverDeadline).toBool())
        return QStringLiteral("the answer did not complete within %1 s")
            .arg(std::chrono::duration_cast<std::chrono::seconds>(deadline).count());
    return {};
}

QString shown(const QUrl& url)
{
    return url.toString(QUrl::FullyEncoded);
}

QList<qint64> versionNumbers(const QString& version)
{
    QList<qint64> numbers;
    for (const QString& piece : version.split(QLatin1Char('.'), Qt::SkipEmptyParts)) {
        // A piece must be a sign and digits only: toLongLong() also takes blanks around the digits,
        // and stops at a NUL as if the piece ended there ("1\0x" would read as 1).
        const qsizetype digits = piece.front() == QLatin1Char('+') || piece.front() == QLatin1Char('-') ? 1 : 0;
        const auto isDigit = [](QChar c) { return c >= QLatin1Char('0') && c <= QLatin1Char('9'); };
        bool ok = digits < piece.size() && std::all_of(piece.begin() + digits, piece.end(), isDigit);
        const qint64 n = ok ? piece.toLongLong(&ok, 10) : 0;
        if (ok)
            numbers.append(n);
    }
    return numbers;
}

// Network-level failures; anything above these is an HTTP answer handled by its status code.
bool isTransportError(QNetworkReply::NetworkError error)
{
    return error != QNetworkReply::NoError && error < QNetworkReply::ContentAccessDenied;
}

bool isExecutableFile(const QString& path)
{
    const QFileInfo info(path);
    return info.isFile() && info.isExecutable();
}

void makeTreeWritable(const QString& path)
{
    QDir dir(path);
    if (!dir.exists())
        return;
    QFile::setPermissions(path, QFile::permissions(path) | QFileDevice::WriteOwner | QFileDevice::ExeOwner |
                                    QFileDevice::ReadOwner);
    for (const QFileInfo& child :
         dir.entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden | QDir::NoSymLinks))
        makeTreeWritable(child.absoluteFilePath());
}

// Leaves `work` an empty folder. Whatever is not a real folder there (a link, a file) is removed
// itself: clearing through a link would empty whatever it points at.
bool prepareWorkFolder(const QString& work)
{
    const QFileInfo info(work);
    if (info.isSymLink() || (info.exists() && !info.isDir())) {
        QFile::remove(work);
    } else {
        makeTreeWritable(work);
        QDir(work).removeRecursively();
    }
    return QDir().mkpath(work);
}

// Why no usable application folder came out of an archive.
struct UnpackFailure {
    // The archive's signature did not verify: the archive is deleted, nothing unpacked. Otherwise it
    // was signed but held no usable application folder.
    bool refused = false;
    // What went wrong, when known.
    QString why;
};

QString refusal(SignatureCheck check)
{
    switch (check) {
    case SignatureCheck::Valid:
        break;
    case SignatureCheck::UnknownKey:
        return QStringLiteral("it is signed with a key this build does not trust");
    case SignatureCheck::BadSignature:
        return QStringLiteral("the archive does not match its signature");
    case SignatureCheck::BadTrustedComment:
        return QStringLiteral("the trusted comment of its signature does not verify");
    case SignatureCheck::Unreadable:
        return QStringLiteral("the downloaded archive cannot be read");
    }
    return {};
}

// Verifies `archive` against its signature and, only when it holds, unpacks it: Done when a usable
// application folder is in the work folder. A zip unpacks into the work folder; a tar archive,
// standing where a disk image would, into a staging folder "mount" from which the application folder
// is moved out before the staging folder goes.
Result<Done, UnpackFailure> verifyAndUnpack(const QString& work, const QString& archive, bool zip,
                                            const MinisignSignature& signature, const QList<MinisignKey>& keys)
{
    if (const SignatureCheck check = verifyMinisignFile(signature, keys, archive); check != SignatureCheck::Valid) {
        QFile::remove(archive);
        return UnpackFailure{true, refusal(check)};
    }
    const QString applicationFolder = work + QLatin1Char('/') + kApplicationFolderName;
    const QString into = zip ? work : work + QStringLiteral("/mount");
    if (!zip)
        QDir().mkpath(into);
    const Result<Done, QString> extracted =
        ArchiveExtractor::extract(QFile::encodeName(archive), QFile::encodeName(into));
    bool unpacked = extracted.ok();
    if (!zip) {
        const QString unpackedFolder = into + QLatin1Char('/') + kApplicationFolderName;
        unpacked = unpacked && (!QFileInfo::exists(unpackedFolder) || QDir().rename(unpackedFolder, applicationFolder));
        makeTreeWritable(into);
        QDir(into).removeRecursively();
    }
    // A rejected or half-unpacked archive is never offered for installation, even if it held the
    // application folder before the entry that stopped it; what it unpacked goes at once, so an archive stopped
    // at the size limit does not hold that much of the user's disk until the next update.
    if (unpacked && QFileInfo(applicationFolder).isDir() &&
        isExecutableFile(applicationFolder + QStringLiteral("/AppRun")))
        return Done{};
    prepareWorkFolder(work);
    return UnpackFailure{false, extracted ? QString() : extracted.error()};
}

} // namespace

void UpdateService::Config::queueApplicationQuit()
{
    if (QCoreApplication* app = QCoreApplication::instance())
        QMetaObject::invokeMethod(app, &QCoreApplication::quit, Qt::QueuedConnection);
}

UpdateService::Config UpdateService::Config::defaults()
{
    Config config;
    config.baseURL = QUrl(QStringLiteral(RUBBLY_UPDATE_BASE_URL));
    // Another host (a staging site, a test server) may stand in for the product's.
    if (const QString base = qEnvironmentVariable("RUBBLY_UPDATE_BASE_URL"); !base.isEmpty())
        config.baseURL = QUrl(base);
    config.currentVersion = QStringLiteral(RUBBLY_VERSION);
    config.trustedKeys = parseKeys(QStringLiteral(RUBBLY_UPDATE_PUBLIC_KEYS));
    // Private to the user, unlike /tmp: there another account could plant "Rubbly-Update" as a link
    // and have the next download clear whatever it points at.
    config.temporaryDirectory = xdg::cacheHome() + QStringLiteral("/rubbly");
    return config;
}

UpdateService::UpdateService(DefaultsStore& defaults, Scheduler& scheduler, QNetworkAccessManager& network,
                             Config config, QObject* parent)
    : UpdateServicing(parent)
    , m_defaults(defaults)
    , m_scheduler(scheduler)
    , m_network(network)
    , m_config(std::move(config))
    , m_lastCheckDate(defaults.dateValue(kLastUpdateCheckDateKey))
    , m_actor(kAppId + QStringLiteral(".UpdateService"))
{
}

QUrl UpdateService::versionManifestURL() const
{
    return m_config.baseURL.resolved(QUrl(QStringLiteral("version.json")));
}

QUrl UpdateService::fallbackDownloadURL() const
{
    return m_config.baseURL.resolved(QUrl(QStringLiteral("downloads/Rubbly.zip")));
}

QString UpdateService::workFolder() const
{
    return m_config.temporaryDirectory + QStringLiteral("/Rubbly-Update");
}

bool UpdateService::isSecureURL(const QUrl& url)
{
    if (!url.isValid() || url.host().isEmpty())
        return false;
    if (url.scheme() == QLatin1String("https"))
        return true;
    // The local test server: nothing crosses a network on the way.
    const QHostAddress address(url.host());
    return url.scheme() == QLatin1String("http") &&
           (address.isLoopback() || url.host().compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0);
}

QUrl UpdateService::signatureURL(const QUrl& archiveURL)
{
    QUrl url = archiveURL;
    url.setPath(archiveURL.path(QUrl::FullyEncoded) + QStringLiteral(".minisig"), QUrl::StrictMode);
    return url;
}

QList<MinisignKey> UpdateService::parseKeys(const QString& keyLines)
{
    QList<MinisignKey> keys;
    for (const QString& line : keyLines.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        if (const auto key = MinisignKey::parse(line.toLatin1()))
            keys.append(*key);
        else
            qCCritical(lcUpdate).noquote()
                << QStringLiteral("the built-in update key %1 is not a minisign key").arg(line);
    }
    return keys;
}

QNetworkReply* UpdateService::secureGet(const QNetworkRequest& request)
{
    QNetworkRequest guarded = request;
    guarded.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::UserVerifiedRedirectPolicy);
    QNetworkReply* reply = m_network.get(guarded);
    connect(reply, &QNetworkReply::redirected, reply, [reply](const QUrl& to) {
        if (isSecureURL(to)) {
            Q_EMIT reply->redirectAllowed();
            return;
        }
        reply->setProperty(kRefusedRedirect, to);
        // Not from inside the reply's own signal: aborting finishes the reply, and whoever awaits
        // that would resume in the middle of the emission.
        QMetaObject::invokeMethod(reply, &QNetworkReply::abort, Qt::QueuedConnection);
    });
    return reply;
}

void UpdateService::setStatus(UpdateStatus status)
{
    if (m_status == status)
        return;
    m_status = std::move(status);
    Q_EMIT statusChanged();
}

bool UpdateService::isVersion(const QString& a, const QString& newerThan)
{
    const QList<qint64> left = versionNumbers(a);
    const QList<qint64> right = versionNumbers(newerThan);
    for (qsizetype i = 0; i < std::max(left.size(), right.size()); ++i) {
        const qint64 l = i < left.size() ? left[i] : 0;
        const qint64 r = i < right.size() ? right[i] : 0;
        if (l != r)
            return l > r;
    }
    return false;
}

QCoro::Task<void> UpdateService::checkForUpdates(bool manual)
{
    qCInfo(lcUpdate).noquote() << QStringLiteral("update check (%1), running v%2")
                                      .arg(manual ? QStringLiteral("asked for") : QStringLiteral("in the background"),
                                           m_config.currentVersion);
    // A check would replace the status a running download reports, and with it the About pane's bar.
    if (m_status.kind() == UpdateStatus::Kind::Checking || m_status.kind() == UpdateStatus::Kind::Downloading) {
        qCDebug(lcUpdate).noquote() << QStringLiteral(
            "an update check or download is already running; this check is skipped");
        co_return;
    }
    const Timestamp now = m_scheduler.now();
    if (!manual && m_lastCheckDate && now - *m_lastCheckDate < std::chrono::hours(24)) {
        qCInfo(lcUpdate).noquote()
            << QStringLiteral("the last update check (%1) was less than 24 hours ago; the background check is skipped")
                   .arg(toDateTime(*m_lastCheckDate).toString(Qt::ISODate));
        co_return;
    }
    setStatus(UpdateStatus::checking());
    m_lastCheckDate = now;
    m_defaults.setValue(kLastUpdateCheckDateKey, now);
    Q_EMIT lastCheckDateChanged();

    const QUrl url = versionManifestURL();
    if (!url.isValid() || url.isRelative() || url.host().isEmpty() || !isSecureURL(url)) {
        qCCritical(lcUpdate).noquote() << QStringLiteral("the update address is not valid: %1").arg(url.toString());
        setStatus(UpdateStatus::error(
            QCoreApplication::translate("Update", "Invalid update address"),
            QStringLiteral("the update address %1 is not an https:// URL (plain http only for a loopback test server)")
                .arg(url.toString())));
        co_return;
    }
    QNetworkRequest request(url);
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
    request.setTransferTimeout(static_cast<int>(m_config.checkTimeout.count()));
    request.setRawHeader("Accept", "application/json");
    request.setRawHeader("User-Agent", kUserAgent);
    qCDebug(lcUpdate).noquote()
        << QStringLiteral("asking %1 for the version manifest: %2").arg(url.host(), url.toString());

    QPointer<UpdateService> self = this;
    ReplyPointer reply = owned(m_network.get(request));
    bound(reply.get(), m_scheduler, kMaxManifestBytes, m_config.checkDeadline);
    if (!reply->isFinished()) {
        auto finished = qCoro(reply.get(), &QNetworkReply::finished);
        co_await finished;
    }
    if (!self)
        co_return;

    const QVariant code = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    const QString cut = cutOff(*reply, kMaxManifestBytes, m_config.checkDeadline);
    if (reply->property(kOverLimit).toBool()) {
        qCCritical(lcUpdate).noquote() << QStringLiteral("the version manifest from %1 cannot be read").arg(url.host());
        setStatus(UpdateStatus::error(QCoreApplication::translate("Update", "Could not read the update information"),
                                      QStringLiteral("%1 is not a valid version manifest: %2").arg(shown(url), cut)));
        co_return;
    }
    if (isTransportError(reply->error()) || (!code.isValid() && reply->error() != QNetworkReply::NoError)) {
        const QString why = cut.isEmpty() ? reply->errorString() : cut;
        qCCritical(lcUpdate).noquote() << QStringLiteral("the update check failed: %1").arg(why);
        setStatus(
            manual ? UpdateStatus::error(QCoreApplication::translate("Update", "Network error; please try again later"),
                                         QStringLiteral("cannot reach the update server: %1").arg(why))
                   : UpdateStatus::idle());
        co_return;
    }
    if (!code.isValid()) {
        qCCritical(lcUpdate).noquote() << QStringLiteral("the update server's answer is not an HTTP response");
        setStatus(UpdateStatus::error(QCoreApplication::translate("Update", "Unexpected network response"),
                                      QStringLiteral("the update server's answer is not an HTTP response")));
        co_return;
    }
    const int status = code.toInt();
    qCDebug(lcUpdate).noquote() << QStringLiteral("%1 answered HTTP %2").arg(url.host()).arg(status);
    if (status == 404) {
        qCInfo(lcUpdate).noquote()
            << QStringLiteral("%1 has no version manifest yet; this version counts as the newest").arg(url.host());
        setStatus(UpdateStatus::upToDate());
        co_return;
    }
    if (status != 200) {
        qCCritical(lcUpdate).noquote()
            << QStringLiteral("the update check failed: %1 answered HTTP %2").arg(url.host()).arg(status);
        setStatus(UpdateStatus::error(
            QCoreApplication::translate("Update", "Cannot reach the update server right now"),
            QStringLiteral("the update server answered HTTP %1 for %2").arg(status).arg(shown(url))));
        co_return;
    }
    // A manifest is a few hundred bytes; a huge body is not one.
    const QByteArray body = reply->read(kMaxManifestBytes + 1);
    const auto manifest = body.size() > kMaxManifestBytes ? std::nullopt : RemoteVersionManifest::decode(body);
    if (!manifest) {
        qCCritical(lcUpdate).noquote() << QStringLiteral("the version manifest from %1 cannot be read").arg(url.host());
        setStatus(UpdateStatus::error(QCoreApplication::translate("Update", "Could not read the update information"),
                                      QStringLiteral("%1 is not a valid version manifest").arg(shown(url))));
        co_return;
    }
    const QString remote = stripVersion(manifest->version);
    const QString notes = manifest->releaseNotes.value_or(defaultNotes());
    QUrl download = manifest->downloadURL ? QUrl(*manifest->downloadURL, QUrl::StrictMode) : QUrl();
    // An address that is no URL falls back to the host's own archive; one in the clear is refused, not
    // replaced, since a manifest that names one was not written for this program.
    if (download.isValid() && !download.isRelative() && !isSecureURL(download)) {
        const QString detail =
            QStringLiteral("refused the update: the manifest names %1, which is not an https:// address")
                .arg(shown(download));
        qCCritical(lcUpdate).noquote() << detail;
        setStatus(UpdateStatus::error(insecureAddress(), detail));
        co_return;
    }
    if (!download.isValid() || download.isRelative() || download.host().isEmpty())
        download = fallbackDownloadURL();
    qCInfo(lcUpdate).noquote()
        << QStringLiteral("the newest version is v%1; this is v%2").arg(remote, m_config.currentVersion);
    if (!isVersion(remote, m_config.currentVersion)) {
        qCInfo(lcUpdate).noquote() << QStringLiteral("v%1 is up to date").arg(m_config.currentVersion);
        setStatus(UpdateStatus::upToDate());
        co_return;
    }
    UpdateInfo info{remote, notes, download, m_scheduler.now()};
    qCInfo(lcUpdate).noquote()
        << QStringLiteral("v%1 is available at %2").arg(remote, download.toString(QUrl::FullyEncoded));
    setStatus(UpdateStatus::updateAvailable(std::move(info)));
}

QCoro::Task<std::optional<MinisignSignature>> UpdateService::fetchSignature(QUrl url, QString version)
{
    QPointer<UpdateService> self = this;
    const auto refuse = [this, &url](const QString& why) {
        const QString detail = QStringLiteral("refused the update: %1 (%2)").arg(why, shown(url)) + kNothingInstalled;
        qCCritical(lcUpdate).noquote() << detail;
        setStatus(UpdateStatus::error(signatureRefused(), detail));
    };
    QNetworkRequest request(url);
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    request.setTransferTimeout(static_cast<int>(m_config.downloadTimeout.count()));
    request.setRawHeader("User-Agent", kUserAgent);
    ReplyPointer reply = owned(secureGet(request));
    bound(reply.get(), m_scheduler, kMaxSignatureBytes, m_config.checkDeadline);
    if (!reply->isFinished()) {
        auto finished = qCoro(reply.get(), &QNetworkReply::finished);
        co_await finished;
    }
    if (!self)
        co_return std::nullopt;
    if (const QString cut = cutOff(*reply, kMaxSignatureBytes, m_config.checkDeadline); !cut.isEmpty()) {
        refuse(QStringLiteral("its signature could not be fetched: %1").arg(cut));
        co_return std::nullopt;
    }
    if (const QUrl to = reply->property(kRefusedRedirect).toUrl(); to.isValid()) {
        const QString detail =
            QStringLiteral("refused to follow %1 to %2, which is not an https:// address").arg(shown(url), shown(to)) +
            kNothingInstalled;
        qCCritical(lcUpdate).noquote() << detail;
        setStatus(UpdateStatus::error(insecureAddress(), detail));
        co_return std::nullopt;
    }
    if (isTransportError(reply->error())) {
        qCCritical(lcUpdate).noquote() << QStringLiteral("the update download failed: %1").arg(reply->errorString());
        setStatus(
            UpdateStatus::error(downloadFailedMessage(),
                                QStringLiteral("the download of %1 failed: %2").arg(shown(url), reply->errorString())));
        co_return std::nullopt;
    }
    // Unlike the archive's, the signature's status code counts: a missing one must not read as a
    // malformed one.
    const int code = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (code != 200) {
        refuse(QStringLiteral("the archive has no signature, the server answered HTTP %1").arg(code));
        co_return std::nullopt;
    }
    const QByteArray body = reply->read(kMaxSignatureBytes + 1);
    const Result<MinisignSignature, QString> signature =
        body.size() > kMaxSignatureBytes ? Result<MinisignSignature, QString>(QStringLiteral("too large"))
                                         : MinisignSignature::parse(body);
    if (!signature) {
        refuse(QStringLiteral("its signature is malformed: %1").arg(signature.error()));
        co_return std::nullopt;
    }
    // What can be known before the archive comes: who signed, and that the comment is theirs.
    switch (checkMinisignComment(*signature, m_config.trustedKeys)) {
    case SignatureCheck::UnknownKey: {
        QStringList trusted;
        for (const MinisignKey& key : m_config.trustedKeys)
            trusted.append(key.keyIdText());
        refuse(QStringLiteral("it is signed with key %1, which this build does not trust (it trusts %2)")
                   .arg(signature->keyIdText(), trusted.join(QStringLiteral(", "))));
        co_return std::nullopt;
    }
    case SignatureCheck::Valid:
        break;
    default:
        refuse(QStringLiteral("the trusted comment of its signature does not verify"));
        co_return std::nullopt;
    }
    // The signed version must be the one announced, or an old signed archive could be passed off as
    // new and take the program back to a version with known faults.
    const QByteArray signedVersion = trustedCommentField(signature->trustedComment, "version").value_or(QByteArray());
    if (stripVersion(QString::fromUtf8(signedVersion)) != version || signedVersion.isEmpty()) {
        refuse(signedVersion.isEmpty() ? QStringLiteral("its signature names no version")
                                       : QStringLiteral("it is signed as version %1, not the announced %2")
                                             .arg(QString::fromUtf8(signedVersion), version));
        co_return std::nullopt;
    }
    co_return signature.value();
}

QCoro::Task<void> UpdateService::downloadUpdate(UpdateInfo info)
{
    qCInfo(lcUpdate).noquote()
        << QStringLiteral("downloading v%1 from %2").arg(info.version, info.downloadURL.toString(QUrl::FullyEncoded));
    // Every way to an installation passes here, so these two refusals hold for all of them.
    if (m_config.trustedKeys.isEmpty()) {
        const QString detail = QStringLiteral("this build has no update signing key, so it cannot install updates; "
                                              "get the new version from %1")
                                   .arg(m_config.baseURL.toString());
        qCCritical(lcUpdate).noquote() << detail;
        setStatus(UpdateStatus::error(unsignedBuild(), detail));
        co_return;
    }
    if (!isSecureURL(info.downloadURL)) {
        const QString detail =
            QStringLiteral("refused to download %1: updates are fetched over https only").arg(shown(info.downloadURL)) +
            kNothingInstalled;
        qCCritical(lcUpdate).noquote() << detail;
        setStatus(UpdateStatus::error(insecureAddress(), detail));
        co_return;
    }
    setStatus(UpdateStatus::downloading(0.05, info));
    QPointer<UpdateService> self = this;
    const auto downloadFailed = [this, &info](const QString& why) {
        qCCritical(lcUpdate).noquote() << QStringLiteral("the update download failed: %1").arg(why);
        setStatus(
            UpdateStatus::error(downloadFailedMessage(),
                                QStringLiteral("the download of %1 failed: %2").arg(shown(info.downloadURL), why)));
    };

    // The body goes straight to disk, into a fresh work folder; emptying the old one (a whole
    // unpacked application folder) is the worker's job.
    const QString work = workFolder();
    const QString lastComponent = info.downloadURL.fileName();
    const bool zip = QFileInfo(lastComponent).suffix().compare(QLatin1String("zip"), Qt::CaseInsensitive) == 0 ||
                     lastComponent.endsWith(QLatin1String(".zip"), Qt::CaseInsensitive);
    const QString archive = work + (zip ? QStringLiteral("/update.zip") : QStringLiteral("/update.tar"));
    auto prepare = [work] { return prepareWorkFolder(work); };
    const bool prepared = co_await m_actor.run(std::move(prepare));
    if (!self)
        co_return;
    // The signature first: it is small, and an update it refuses is not worth its download.
    auto fetching = fetchSignature(signatureURL(info.downloadURL), info.version);
    const std::optional<MinisignSignature> signature = co_await fetching;
    if (!self || !signature)
        co_return;
    QFile file(archive);
    if (!prepared || !file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        downloadFailed(prepared ? file.errorString() : QStringLiteral("cannot create %1").arg(work));
        co_return;
    }

    QNetworkRequest request(info.downloadURL);
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    request.setTransferTimeout(static_cast<int>(m_config.downloadTimeout.count()));
    request.setRawHeader("User-Agent", kUserAgent);
    ReplyPointer reply = owned(secureGet(request));
    bound(reply.get(), m_scheduler, m_config.maxDownloadBytes, m_config.downloadDeadline);
    double published = 0.05;
    qint64 expected = -1;
    qint64 received = 0;
    const qint64 limit = m_config.maxDownloadBytes;
    const QString tooLarge = QStringLiteral("the archive is larger than %1 bytes").arg(limit);
    for (;;) {
        if (reply->bytesAvailable() == 0) {
            if (reply->isFinished())
                break;
            // Whichever comes first: more bytes, or the end.
            auto more = qCoro(reply.get()).waitForReadyRead(-1);
            co_await more;
            if (!self)
                co_return;
            continue;
        }
        if (expected < 0) {
            const QVariant length = reply->header(QNetworkRequest::ContentLengthHeader);
            expected = length.isValid() ? length.toLongLong() : 0;
            if (expected > limit) {
                reply->abort();
                downloadFailed(tooLarge);
                co_return;
            }
        }
        const QByteArray chunk = reply->read(64 * 1024);
        received += chunk.size();
        if (received > limit) {
            reply->abort();
            downloadFailed(tooLarge);
            co_return;
        }
        if (file.write(chunk) != chunk.size()) {
            reply->abort();
            downloadFailed(file.errorString());
            co_return;
        }
        if (expected >= 1) {
            const double fraction = static_cast<double>(received) / static_cast<double>(expected);
            if (fraction >= 1.0 || fraction > published + 0.02) {
                published = fraction;
                setStatus(UpdateStatus::downloading(std::min(fraction, 0.99), info));
            }
        }
    }
    if (const QUrl to = reply->property(kRefusedRedirect).toUrl(); to.isValid()) {
        file.close();
        file.remove();
        const QString detail = QStringLiteral("refused to follow %1 to %2, which is not an https:// address")
                                   .arg(shown(info.downloadURL), shown(to)) +
                               kNothingInstalled;
        qCCritical(lcUpdate).noquote() << detail;
        setStatus(UpdateStatus::error(insecureAddress(), detail));
        co_return;
    }
    if (const QString cut = cutOff(*reply, limit, m_config.downloadDeadline); !cut.isEmpty()) {
        file.close();
        file.remove();
        downloadFailed(cut);
        co_return;
    }
    if (isTransportError(reply->error())) {
        downloadFailed(reply->errorString());
        co_return;
    }
    file.close();

    // Whatever body arrived is taken as the archive: a page served in its place fails its signature.
    auto unpackJob = [work, archive, zip, signature = *signature, keys = m_config.trustedKeys] {
        return verifyAndUnpack(work, archive, zip, signature, keys);
    };
    const Result<Done, UnpackFailure> unpacked = co_await m_actor.run(std::move(unpackJob));
    if (!self)
        co_return;
    const QString applicationFolder = work + QLatin1Char('/') + kApplicationFolderName;
    if (unpacked) {
        qCInfo(lcUpdate).noquote() << QStringLiteral("the new Rubbly.app is unpacked in %1").arg(applicationFolder);
        setStatus(UpdateStatus::readyToInstall(QFile::encodeName(applicationFolder), info));
        co_return;
    }
    const auto& [refused, why] = unpacked.error();
    if (refused) {
        const QString detail =
            QStringLiteral("refused the update: %1 (%2); the archive was deleted").arg(why, shown(info.downloadURL)) +
            kNothingInstalled;
        qCCritical(lcUpdate).noquote() << detail;
        setStatus(UpdateStatus::error(signatureRefused(), detail));
        co_return;
    }
    if (!why.isEmpty())
        qCWarning(lcUpdate).noquote() << why;
    qCCritical(lcUpdate).noquote() << QStringLiteral("the update archive holds no usable Rubbly.app");
    setStatus(UpdateStatus::error(
        QCoreApplication::translate("Update", "Could not unpack the update; retry or download it from the website"),
        QStringLiteral("the archive holds no usable Rubbly.app%1")
            .arg(why.isEmpty() ? QString() : QStringLiteral(": ") + why)));
}

QString UpdateService::replaceableApplicationFolder(const QString& programPath)
{
    QDir dir = QFileInfo(programPath).absoluteDir();
    for (int depth = 0; depth < 8; ++depth) {
        if (dir.dirName() == kApplicationFolderName && isExecutableFile(dir.filePath(QStringLiteral("AppRun")))) {
            const QFileInfo info(dir.absolutePath());
            const QString parent = info.absolutePath();
            // Ours to replace: owned by us, inside a folder we may write (not a distribution package).
            if (info.ownerId() == ::geteuid() && ::access(QFile::encodeName(parent).constData(), W_OK) == 0)
                return dir.absolutePath();
            return {};
        }
        if (!dir.cdUp())
            break;
    }
    return {};
}

QString UpdateService::relaunchScript()
{
    // Paths arrive as arguments: no quote, dollar, backquote or newline in them can change a word
    // of what runs. The "# step:" lines mark where the script may be stopped; a test stops it there.
    return QStringLiteral(R"SCRIPT(#!/bin/bash
# Puts the unpacked version SRC in the place of the installed folder DEST once process PID has
# ended, and starts it. Wherever this script is stopped (a kill, a logout, a full disk), one complete
# version stays at DEST or, between the two renames, at $OLD, which the next run moves back: the new
# version is copied beside the old one and checked, two renames in the same folder swap them, and
# the old one is deleted only once the new one is in place.
PID=$1
SRC=$2
DEST=$3
WORK=$4
WAIT=${5:-100}
LOG=${6:-/dev/stderr}
OLD=$DEST.update-old
# A logout or a Ctrl-C must not stop the script half-way; it is short and its waits are bounded. Only
# a SIGKILL between the two renames can leave DEST missing, and then the old version waits at $OLD.
trap '' HUP INT TERM

fail() {
    printf 'Rubbly was not updated: %s\n' "$1" >>"$LOG"
    exit 1
}
# With the signals this script ignores back to their defaults.
start() {
    (
        trap - HUP INT TERM
        exec setsid -- "$DEST/AppRun" </dev/null >/dev/null 2>&1
    ) &
}
# The old program has quit by now: start it again rather than leave the user without one.
restart_and_fail() {
    start
    fail "$1; the installed version was started again"
}

[ -n "$DEST" ] && [ -d "$SRC" ] || fail "there is nothing to install"
if [ ! -e "$DEST" ] && [ ! -L "$DEST" ] && [ -d "$OLD" ]; then
    mv -T -- "$OLD" "$DEST" || fail "cannot move $OLD back to $DEST"
fi

# Never replace the folder under a running program: wait for it, within bounds (tenths of a second).
i=0
while kill -0 "$PID" 2>/dev/null; do
    [ "$i" -lt "$WAIT" ] || fail "the running Rubbly (process $PID) did not quit; the installed version stays"
    i=$((i + 1))
    sleep 0.1
done

# What a stopped run left: the old version of a finished swap, a copy that was never swapped in.
rm -rf -- "$OLD" "$DEST".update-new.??????
NEW=$(mktemp -d -- "$DEST.update-new.XXXXXX") || restart_and_fail "cannot create a folder beside $DEST"
# step: made
if ! error=$(cp -a -- "$SRC/." "$NEW" 2>&1 && [ -f "$NEW/AppRun" ] && [ -x "$NEW/AppRun" ] &&
    diff -r -q --no-dereference -- "$SRC" "$NEW" 2>&1 && sync -f -- "$NEW" 2>&1); then
    rm -rf -- "$NEW"
    restart_and_fail "the new version could not be copied beside $DEST (${error:-its AppRun is missing})"
fi
# step: copied
mv -T -- "$DEST" "$OLD" || {
    rm -rf -- "$NEW"
    restart_and_fail "cannot move $DEST aside"
}
# step: aside
if ! mv -T -- "$NEW" "$DEST"; then
    mv -T -- "$OLD" "$DEST"
    rm -rf -- "$NEW"
    restart_and_fail "cannot move the new version to $DEST"
fi
# step: swapped
rm -rf -- "$OLD"
start
# step: started
rm -rf -- "$WORK"
)SCRIPT");
}

bool UpdateService::installAndRelaunch(const QByteArray& newAppPath)
{
    const QString source = QFile::decodeName(newAppPath);
    const QString destination = m_config.runningApplicationFolder.isEmpty()
                                    ? replaceableApplicationFolder(QCoreApplication::applicationFilePath())
                                    : m_config.runningApplicationFolder;
    const qint64 pid = m_config.processId ? m_config.processId : QCoreApplication::applicationPid();
    const QString work = workFolder();
    const QString scriptPath = work + QStringLiteral("/relaunch.sh");
    // Outside the work folder, which goes once the update is in place.
    const QString log = m_config.temporaryDirectory + QStringLiteral("/update.log");
    const auto waitTenths = std::max<qint64>(m_config.quitWait.count() / 100, 0);
    QString why;
    if (destination.isEmpty()) {
        why = QStringLiteral("the program does not run from a Rubbly.app folder it may replace");
    } else if (const auto written = fs::replaceFile(QFile::encodeName(scriptPath), relaunchScript().toUtf8(), 0700);
               !written) {
        why = written.error();
    } else if (!QProcess::startDetached(
                   QStringLiteral("/bin/bash"),
                   {scriptPath, QString::number(pid), source, destination, work, QString::number(waitTenths), log})) {
        why = QStringLiteral("cannot start /bin/bash");
    }
    if (!why.isEmpty()) {
        qCCritical(lcUpdate).noquote() << QStringLiteral("could not write or start the restart script: %1").arg(why);
        // Nothing is replaced; the new version starts from the work folder and this one keeps running.
        QProcess::startDetached(source + QStringLiteral("/AppRun"), {});
        return false;
    }
    qCInfo(lcUpdate).noquote() << QStringLiteral("the restart script is running; this version quits now");
    // The script waits for this process to end before it replaces anything.
    if (m_config.quit)
        m_config.quit();
    return true;
}

} // namespace rubbly

// Compiled here rather than with the library's other meta-objects: a program that links the
// library without this class (`rubbly`) then links none of the libraries it calls either.
#include "moc_UpdateService.cpp" // NOLINT(bugprone-suspicious-include): moc's output, on purpose
