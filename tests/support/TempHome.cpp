#include "TempHome.h"

#include "TreeBuilder.h"

#include <QDir>
#include <QFile>

namespace rubbly::test {

TempHome::TempHome()
{
    if (!m_dir.isValid())
        qFatal("TempHome: cannot create a temporary folder");
    for (const QString& dir : {home(), configHome(), dataHome(), cacheHome(), home() + QStringLiteral("/.local/state"),
                               root() + QStringLiteral("/runtime"), systemConfigDir(), systemDataDir()})
        QDir().mkpath(dir);
    QFile::setPermissions(root() + QStringLiteral("/runtime"),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    m_env.set("HOME", QFile::encodeName(home()))
        .set("XDG_CONFIG_HOME", QFile::encodeName(configHome()))
        .set("XDG_DATA_HOME", QFile::encodeName(dataHome()))
        .set("XDG_CACHE_HOME", QFile::encodeName(cacheHome()))
        .set("XDG_STATE_HOME", QFile::encodeName(home() + QStringLiteral("/.local/state")))
        .set("XDG_RUNTIME_DIR", QFile::encodeName(root() + QStringLiteral("/runtime")))
        .set("XDG_CONFIG_DIRS", QFile::encodeName(systemConfigDir()))
        .set("XDG_DATA_DIRS", QFile::encodeName(systemDataDir()));
}

TempHome::~TempHome()
{
    // Read-only folders and names that are not UTF-8 would stop QTemporaryDir from removing the tree.
    TreeBuilder::removeAll(QFile::encodeName(root()));
}

} // namespace rubbly::test
