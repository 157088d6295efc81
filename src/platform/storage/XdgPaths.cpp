#include "XdgPaths.h"

#include "XdgBase.h"

#include <QDir>

#include <pwd.h>
#include <unistd.h>

namespace rubbly::xdg {

namespace {

QString absoluteOrEmpty(const QString& value)
{
    return QDir::isAbsolutePath(value) ? QDir::cleanPath(value) : QString();
}

QString baseDir(const QProcessEnvironment& env, const char* variable, const char* fallbackBelowHome)
{
    const QString homeDir = home(env);
    const QByteArray value =
        usableXdgBase(variable, QFile::encodeName(env.value(QLatin1String(variable))), QFile::encodeName(homeDir));
    if (!value.isEmpty())
        return QFile::decodeName(value);
    return homeDir + QLatin1Char('/') + QLatin1String(fallbackBelowHome);
}

QStringList dirList(const QProcessEnvironment& env, const char* variable, const QStringList& fallback)
{
    QStringList result;
    for (const QString& part : env.value(QLatin1String(variable)).split(QLatin1Char(':'), Qt::SkipEmptyParts)) {
        const QString dir = absoluteOrEmpty(part);
        if (!dir.isEmpty() && !result.contains(dir))
            result.append(dir);
    }
    return result.isEmpty() ? fallback : result;
}

} // namespace

QString home(const QProcessEnvironment& env)
{
    QString value = absoluteOrEmpty(env.value(QStringLiteral("HOME"))); // not const, so that it is moved out
    if (!value.isEmpty())
        return value;
    if (const passwd* entry = getpwuid(getuid()); entry && entry->pw_dir)
        return QFile::decodeName(entry->pw_dir);
    return QDir::rootPath();
}

QByteArray accountHome()
{
    const passwd* entry = getpwuid(getuid());
    return entry && entry->pw_dir ? QByteArray(entry->pw_dir) : QByteArray();
}

DiskSlimRoots slimRoots()
{
    return DiskSlimRoots::fromEnvironment([](const char* name) { return qgetenv(name); }, accountHome());
}

QString configHome(const QProcessEnvironment& env)
{
    return baseDir(env, "XDG_CONFIG_HOME", ".config");
}

QString dataHome(const QProcessEnvironment& env)
{
    return baseDir(env, "XDG_DATA_HOME", ".local/share");
}

QString cacheHome(const QProcessEnvironment& env)
{
    return baseDir(env, "XDG_CACHE_HOME", ".cache");
}

QString stateHome(const QProcessEnvironment& env)
{
    return baseDir(env, "XDG_STATE_HOME", ".local/state");
}

QStringList configDirs(const QProcessEnvironment& env)
{
    return dirList(env, "XDG_CONFIG_DIRS", {QStringLiteral("/etc/xdg")});
}

QStringList dataDirs(const QProcessEnvironment& env)
{
    return dirList(env, "XDG_DATA_DIRS", {QStringLiteral("/usr/local/share"), QStringLiteral("/usr/share")});
}

} // namespace rubbly::xdg
