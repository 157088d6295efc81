#include "InstalledAppDetector.h"

#include "AppIdentity.h"
#include "XdgPaths.h"

#include <QDir>
#include <QDirIterator>
#include <QPointer>

namespace rubbly {

InstalledAppDetector::InstalledAppDetector(const QProcessEnvironment& env, QObject* parent)
    : QObject(parent)
    , m_actor(kAppId + QStringLiteral(".InstalledAppDetector"))
{
    QStringList bases{xdg::dataHome(env)};
    bases += xdg::dataDirs(env);
    // Flatpak exports are usually in XDG_DATA_DIRS already; a session started without them still
    // has the applications installed.
    bases << xdg::dataHome(env) + QStringLiteral("/flatpak/exports/share")
          << QStringLiteral("/var/lib/flatpak/exports/share");
    for (const QString& base : std::as_const(bases)) {
        const QString folder = QDir::cleanPath(base + QStringLiteral("/applications"));
        if (!m_folders.contains(folder))
            m_folders.append(folder);
    }
}

QSet<QString> InstalledAppDetector::scanFolders(const QStringList& folders)
{
    QSet<QString> ids;
    for (const QString& folder : folders) {
        const QDir root(folder);
        QDirIterator it(folder, {QStringLiteral("*.desktop")}, QDir::Files | QDir::NoDotAndDotDot | QDir::CaseSensitive,
                        QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString id = desktopFileId(root.relativeFilePath(it.next()));
            if (!id.isEmpty())
                ids.insert(id);
        }
    }
    return ids;
}

QString InstalledAppDetector::desktopFileId(const QString& relativePath)
{
    const QLatin1String suffix(".desktop");
    if (!relativePath.endsWith(suffix) || relativePath.count(QLatin1Char('/')) > 3)
        return {}; // deeper than any real applications folder nests
    QString id = relativePath.chopped(suffix.size());
    id.replace(QLatin1Char('/'), QLatin1Char('-'));
    return id;
}

QCoro::Task<QSet<QString>> InstalledAppDetector::installedBundleIDs(bool forceRefresh)
{
    if (!forceRefresh && m_cached)
        co_return QSet<QString>(*m_cached); // a copy: QCoro moves from an lvalue given to co_return
    QPointer<InstalledAppDetector> self = this;
    auto job = [folders = m_folders] { return scanFolders(folders); };
    QSet<QString> ids = co_await m_actor.run(std::move(job));
    if (self)
        m_cached = ids;
    co_return ids;
}

} // namespace rubbly
