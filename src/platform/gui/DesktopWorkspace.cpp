#include "DesktopWorkspace.h"

#include "AppIdentity.h"
#include "DiskSlimSnapshot.h"
#include "XdgPaths.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDesktopServices>
#include <QFile>
#include <QProcess>

namespace rubbly {

namespace {

QUrl fileUrl(const QByteArray& path)
{
    return QUrl::fromEncoded(fileUrlString(path).toLatin1(), QUrl::StrictMode);
}

QByteArray parentOf(const QByteArray& path)
{
    const qsizetype slash = path.lastIndexOf('/');
    return slash <= 0 ? QByteArray("/") : path.left(slash);
}

bool fileNamesHandler(const QString& file, const QString& key)
{
    QFile list(file);
    if (!list.open(QIODevice::ReadOnly))
        return false;
    const QByteArray prefix = key.toUtf8() + '=';
    bool removedSection = false;
    while (!list.atEnd()) {
        const QByteArray line = list.readLine().trimmed();
        if (line.startsWith('['))
            removedSection = line == "[Removed Associations]";
        else if (!removedSection && line.startsWith(prefix) && line.size() > prefix.size())
            return true;
    }
    return false;
}

} // namespace

DesktopWorkspace::DesktopWorkspace(Config config)
    : m_config(std::move(config))
{
}

bool DesktopWorkspace::hasSchemeHandler(const QString& scheme, const QProcessEnvironment& env)
{
    const QString key = QStringLiteral("x-scheme-handler/") + scheme;
    QStringList files;
    for (const QString& dir : QStringList{xdg::configHome(env)} + xdg::configDirs(env))
        files << dir + QStringLiteral("/mimeapps.list");
    for (const QString& dir : QStringList{xdg::dataHome(env)} + xdg::dataDirs(env)) {
        files << dir + QStringLiteral("/applications/mimeapps.list")
              << dir + QStringLiteral("/applications/mimeinfo.cache");
    }
    return std::any_of(files.cbegin(), files.cend(),
                       [&key](const QString& file) { return fileNamesHandler(file, key); });
}

bool DesktopWorkspace::openTrash()
{
    if (hasSchemeHandler(QStringLiteral("trash"), m_config.environment))
        return openUrl(QUrl(QStringLiteral("trash:///")));
    return openUrl(fileUrl(m_config.homeTrash + "/files"));
}

bool DesktopWorkspace::reveal(const QByteArray& path)
{
    const QString service = QStringLiteral("org.freedesktop.FileManager1");
    QDBusConnectionInterface* bus = m_config.bus.interface();
    const bool reachable =
        bus && (bus->isServiceRegistered(service).value() || bus->activatableServiceNames().value().contains(service));
    if (!reachable)
        return openUrl(fileUrl(parentOf(path)));
    QDBusMessage call = QDBusMessage::createMethodCall(service, QStringLiteral("/org/freedesktop/FileManager1"),
                                                       service, QStringLiteral("ShowItems"));
    call << QStringList{fileUrlString(path)} << QString();
    auto* watcher = new QDBusPendingCallWatcher(m_config.bus.asyncCall(call));
    const QUrl parent = fileUrl(parentOf(path));
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, [watcher, parent] {
        // A file manager that owns the name but fails still leaves the user a way to the file.
        if (watcher->isError())
            QDesktopServices::openUrl(parent);
        watcher->deleteLater();
    });
    return true;
}

bool DesktopWorkspace::openUrl(const QUrl& url)
{
    return url.isValid() && QDesktopServices::openUrl(url);
}

bool DesktopWorkspace::openFullDiskAccessSettings()
{
    if (m_config.sandboxed) {
        // The permission that matters in a sandbox is the app's file-system access, which the
        // desktop's settings (or Flatseal) grant.
        const QString app = kAppId;
        if (m_config.desktop.contains(QLatin1String("GNOME")) &&
            QProcess::startDetached(QStringLiteral("gnome-control-center"), {QStringLiteral("applications"), app}))
            return true;
        if (m_config.desktop.contains(QLatin1String("KDE")) &&
            QProcess::startDetached(QStringLiteral("systemsettings"), {QStringLiteral("kcm_flatpak"), app}))
            return true;
        return openUrl(QUrl(QStringLiteral("appstream://com.github.tchx84.Flatseal")));
    }
    // Outside a sandbox the Trash is unreadable because of its owner or mode: show it selected in its
    // folder, where the file manager can show and change both.
    return reveal(m_config.homeTrash);
}

} // namespace rubbly
