#include "XdgBase.h"

#include "AppIdentity.h"

#include <QLoggingCategory>
#include <QMutex>
#include <QSet>

#include <sys/stat.h>

namespace rubbly {

namespace {

Q_LOGGING_CATEGORY(lcXdg, RUBBLY_APP_ID ".Environment")

bool sameFile(const struct stat& a, const struct stat& b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

} // namespace

QByteArray tidyAbsolutePath(const QByteArray& path)
{
    if (!path.startsWith('/'))
        return {};
    QList<QByteArray> parts;
    for (const QByteArray& part : path.split('/')) {
        if (part.isEmpty() || part == ".")
            continue;
        if (part == "..") {
            if (!parts.isEmpty())
                parts.removeLast();
            continue;
        }
        parts.append(part);
    }
    return '/' + parts.join('/');
}

bool isUsableXdgBase(const QByteArray& base, const QByteArray& home)
{
    if (base.isEmpty() || base == "/")
        return false;
    const QByteArray tidyHome = tidyAbsolutePath(home);
    if (tidyHome == base || tidyHome.startsWith(base + '/'))
        return false;
    // The same folders under other names: a link to the home, or to a folder above it.
    struct stat baseStat = {};
    if (::stat(base.constData(), &baseStat) != 0)
        return true;
    for (QByteArray above = tidyHome; !above.isEmpty();) {
        struct stat aboveStat = {};
        if (::stat(above.constData(), &aboveStat) == 0 && sameFile(baseStat, aboveStat))
            return false;
        if (above == "/")
            break;
        const qsizetype slash = above.lastIndexOf('/');
        above = slash == 0 ? QByteArray("/") : above.left(slash);
    }
    return true;
}

QByteArray usableXdgBase(const char* variable, const QByteArray& value, const QByteArray& home)
{
    if (value.isEmpty())
        return {};
    QByteArray base = tidyAbsolutePath(value); // not const, so that it is moved out
    if (isUsableXdgBase(base, home))
        return base;
    static QMutex mutex;
    static QSet<QByteArray> logged;
    const QByteArray key = QByteArray(variable) + '=' + value;
    const QMutexLocker lock(&mutex);
    if (!logged.contains(key)) {
        logged.insert(key);
        qCWarning(lcXdg,
                  "%s=\"%s\" is ignored: a base directory must be an absolute path other than /, the "
                  "home folder %s or a folder holding it; the default is used",
                  variable, value.toPercentEncoding("/ ").constData(), tidyAbsolutePath(home).constData());
    }
    return {};
}

} // namespace rubbly
