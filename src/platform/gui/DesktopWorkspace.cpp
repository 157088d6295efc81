#include "DesktopWorkspace.h"

#include "DiskSlimSnapshot.h"
#include "XdgPaths.h"

#include <QClipboard>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDesktopServices>
#include <QFile>
#include <QGuiApplication>

#include <unistd.h>

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

bool DesktopWorkspace::openFolder(const QByteArray& path)
{
    return openUrl(fileUrl(path));
}

bool DesktopWorkspace::copyText(const QString& text)
{
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (!clipboard)
        return false;
    clipboard->setText(text);
    return true;
}

std::optional<TrashAccessProblem> DesktopWorkspace::checkTrashAccess()
{
    const TrashLocations locations = TrashLocations::fromEnvironment(m_config.environment);
    return rubbly::checkTrashAccess(locations, locations.trashDirectories());
}

QByteArray DesktopWorkspace::homeFolder() const
{
    return QFile::encodeName(m_config.environment.value(QStringLiteral("HOME")));
}

} // namespace rubbly
