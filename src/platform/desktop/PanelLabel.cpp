#include "PanelLabel.h"

#include "AtomicFile.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>

#include <array>
#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

namespace rubbly::panellabel {

namespace {

constexpr char kFileName[] = "panel-label";
// A label is a size such as "2.4 MB": anything longer is not ours and is not shown.
constexpr qint64 kMaxBytes = 256;

// Makes the folder (and a missing runtime folder above it) private to the user.
bool makeFolder(const QByteArray& path)
{
    if (::mkdir(path.constData(), 0700) == 0 || errno == EEXIST)
        return true;
    if (errno != ENOENT)
        return false;
    const qsizetype slash = path.lastIndexOf('/');
    return slash > 0 && makeFolder(path.left(slash)) && (::mkdir(path.constData(), 0700) == 0 || errno == EEXIST);
}

QString errnoText()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}

} // namespace

QByteArray folder(const QProcessEnvironment& env)
{
    QString runtime = env.value(QStringLiteral("XDG_RUNTIME_DIR"));
    if (!QDir::isAbsolutePath(runtime))
        runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    return QFile::encodeName(runtime) + "/rubbly";
}

QByteArray filePath(const QProcessEnvironment& env)
{
    return folder(env) + '/' + kFileName;
}

Result<Done, QString> publish(const QString& label, const QProcessEnvironment& env)
{
    const QByteArray dir = folder(env);
    if (!makeFolder(dir))
        return QStringLiteral("cannot make the folder %1: %2").arg(QFile::decodeName(dir), errnoText());
    return fs::replaceFile(dir + '/' + kFileName, label.toUtf8(), 0600);
}

void withdraw(const QProcessEnvironment& env)
{
    ::unlink(filePath(env).constData());
}

std::optional<QString> read(const QProcessEnvironment& env)
{
    QFile file(QFile::decodeName(filePath(env)));
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return QString::fromUtf8(file.read(kMaxBytes)).trimmed();
}

std::optional<QString> waitForChange(const QString& last, QString& error, const QProcessEnvironment& env)
{
    const QByteArray dir = folder(env);
    if (!makeFolder(dir)) {
        error = QStringLiteral("cannot make the folder %1: %2").arg(QFile::decodeName(dir), errnoText());
        return std::nullopt;
    }
    const int fd = ::inotify_init1(IN_CLOEXEC);
    if (fd < 0) {
        error = QStringLiteral("cannot watch %1: %2").arg(QFile::decodeName(dir), errnoText());
        return std::nullopt;
    }
    // The watch comes first and the first read after it, so a change between the two is never missed.
    if (::inotify_add_watch(fd, dir.constData(), IN_CLOSE_WRITE | IN_MOVED_TO | IN_DELETE | IN_DELETE_SELF) < 0) {
        error = QStringLiteral("cannot watch %1: %2").arg(QFile::decodeName(dir), errnoText());
        ::close(fd);
        return std::nullopt;
    }
    for (;;) {
        const QString now = read(env).value_or(QString());
        if (now != last) {
            ::close(fd);
            return now;
        }
        alignas(inotify_event) std::array<char, 4096> events;
        const ssize_t n = ::read(fd, events.data(), events.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            error = QStringLiteral("cannot watch %1: %2").arg(QFile::decodeName(dir), errnoText());
            ::close(fd);
            return std::nullopt;
        }
        // Any event in the folder leads to one more read: cheaper than telling ours from others.
        const auto* event = reinterpret_cast<const inotify_event*>(events.data());
        if (event->mask & (IN_DELETE_SELF | IN_IGNORED)) {
            ::close(fd);
            return QString();
        }
    }
}

} // namespace rubbly::panellabel
