#include "JsonFileDefaultsStore.h"

#include "AppIdentity.h"
#include "AtomicFile.h"
#include "Json.h"
#include "PosixFd.h"
#include "UntrustedFile.h"
#include "XdgPaths.h"

#include <QDateTime>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QJsonObject>
#include <QThread>

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace rubbly {

Q_LOGGING_CATEGORY(lcDefaults, RUBBLY_APP_ID ".Defaults")

namespace {

QJsonObject encode(const DefaultsValue& value)
{
    QJsonObject entry;
    std::visit(
        [&entry](const auto& v) {
            using T = std::decay_t<decltype(v)>;
            if constexpr (std::is_same_v<T, bool>)
                entry.insert(QLatin1String("bool"), v);
            else if constexpr (std::is_same_v<T, qint64>)
                entry.insert(QLatin1String("int"), v);
            else if constexpr (std::is_same_v<T, double>)
                entry.insert(QLatin1String("double"), v);
            else if constexpr (std::is_same_v<T, QString>)
                entry.insert(QLatin1String("string"), v);
            else if constexpr (std::is_same_v<T, QByteArray>)
                entry.insert(QLatin1String("data"), QString::fromLatin1(v.toBase64()));
            else
                entry.insert(QLatin1String("date"), toReferenceSeconds(v));
        },
        value);
    return entry;
}

std::optional<DefaultsValue> decode(const QJsonValue& json)
{
    if (!json.isObject() || json.toObject().size() != 1)
        return std::nullopt;
    const QJsonObject entry = json.toObject();
    const QString type = entry.begin().key();
    const QJsonValue v = entry.begin().value();
    if (type == QLatin1String("bool") && v.isBool())
        return DefaultsValue{v.toBool()};
    if (type == QLatin1String("int") && v.isDouble()) {
        // toInteger() answers 0 for a whole number beyond the 64-bit range (1e300): refuse it instead.
        const double d = v.toDouble();
        const qint64 i = v.toInteger();
        if (std::trunc(d) != d || static_cast<double>(i) != d)
            return std::nullopt;
        return DefaultsValue{i};
    }
    if (type == QLatin1String("double") && v.isDouble())
        return DefaultsValue{v.toDouble()};
    if (type == QLatin1String("string") && v.isString())
        return DefaultsValue{v.toString()};
    if (type == QLatin1String("data") && v.isString()) {
        const auto decoded =
            QByteArray::fromBase64Encoding(v.toString().toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
        if (!decoded)
            return std::nullopt;
        return DefaultsValue{*decoded};
    }
    if (type == QLatin1String("date") && v.isDouble()) {
        if (const auto t = fromReferenceSeconds(v.toDouble()))
            return DefaultsValue{*t};
    }
    return std::nullopt;
}

QString shown(const QByteArray& path)
{
    return QFile::decodeName(path);
}

QString strerrorText(int err)
{
    return QString::fromLocal8Bit(std::strerror(err));
}

QByteArray folderOf(const QByteArray& path)
{
    const qsizetype slash = path.lastIndexOf('/');
    return slash < 0 ? QByteArray(".") : slash == 0 ? QByteArray("/") : path.left(slash);
}

QByteArray nameOf(const QByteArray& path)
{
    return path.mid(path.lastIndexOf('/') + 1);
}

// Where the settings really are: the path itself or, when it is a symbolic link (a dotfiles manager
// such as GNU stow makes those), the file it finally points to.
struct Location {
    QByteArray file;   // the file to read and replace
    QByteArray folder; // the folder it is in, where its replacement is made
};

Result<Location, QString> locate(const QByteArray& path)
{
    QByteArray current = path;
    for (int hops = 0;; ++hops) {
        struct stat st = {};
        if (::lstat(current.constData(), &st) != 0 || !S_ISLNK(st.st_mode))
            break;
        if (hops == 40) // the kernel's own limit for a chain of links
            return QStringLiteral("%1 is a loop of symbolic links").arg(shown(path));
        QByteArray target(PATH_MAX, '\0');
        const ssize_t n = ::readlink(current.constData(), target.data(), static_cast<size_t>(target.size()));
        if (n <= 0 || n >= target.size())
            return QStringLiteral("cannot read the symbolic link %1 (%2)").arg(shown(current), strerrorText(errno));
        target.truncate(n);
        current = target.startsWith('/') ? target : folderOf(current) + '/' + target;
    }
    if (current == path)
        return Location{path, folderOf(path)};

    char resolved[PATH_MAX];
    if (!::realpath(folderOf(current).constData(), resolved))
        return QStringLiteral("%1 is a symbolic link to %2, which cannot be reached (%3)")
            .arg(shown(path), shown(current), strerrorText(errno));
    const QByteArray folder(resolved);
    const QByteArray file = (folder == "/" ? QByteArray() : folder) + '/' + nameOf(current);
    // Followed only into a folder of the user's own that nobody else may write, to a file of theirs
    // (or none yet): anything else would let another user choose what we read, or where we write.
    struct stat dir = {};
    struct stat target = {};
    const bool ownFolder = ::stat(folder.constData(), &dir) == 0 && S_ISDIR(dir.st_mode) && dir.st_uid == ::geteuid() &&
                           (dir.st_mode & (S_IWGRP | S_IWOTH)) == 0 &&
                           ::faccessat(AT_FDCWD, folder.constData(), W_OK, AT_EACCESS) == 0;
    const bool ownFile = ::lstat(file.constData(), &target) == 0 ? target.st_uid == ::geteuid() : errno == ENOENT;
    if (!ownFolder || !ownFile)
        return QStringLiteral(
                   "%1 is a symbolic link to %2, which is not a file of yours in a folder only you can write")
            .arg(shown(path), shown(file));
    return Location{file, folder};
}

struct FileRead {
    enum class State {
        Values,   // read and decoded
        Missing,  // no file yet
        Corrupt,  // a regular file, but not one we could have written: it is set aside
        Unusable, // not a regular file, or unreadable: left alone, never replaced
    };
    State state = State::Missing;
    JsonFileDefaultsStore::Values values;
    QString problem;
};

FileRead readFile(const QByteArray& file)
{
    using Kind = UntrustedReadError::Kind;
    using State = FileRead::State;
    const auto read = readUntrustedFile(file, JsonFileDefaultsStore::kMaxFileBytes);
    if (read) {
        if (auto values = JsonFileDefaultsStore::decodeFile(read.value()))
            return {State::Values, std::move(*values), {}};
        return {State::Corrupt, {}, {}};
    }
    switch (read.error().kind) {
    case Kind::Missing:
        return {};
    case Kind::TooLarge:
        return {State::Corrupt, {}, {}}; // far beyond anything we write
    case Kind::Link:
    case Kind::NotRegular:
        // Not a file we wrote: a FIFO or device is not read, and it is never replaced by a save.
        return {State::Unusable, {}, QStringLiteral("%1 is not a regular file").arg(shown(file))};
    case Kind::Failed:
        break;
    }
    // Unreadable but present: the user's data may be fine, so it is left alone and not written over.
    return {
        State::Unusable, {}, QStringLiteral("cannot read %1 (%2)").arg(shown(file), strerrorText(read.error().error))};
}

// Takes the lock every writer of `path` holds while it reads and replaces the file, waiting a little
// for another program's save; the lock goes with the descriptor. The lock file stays (removing it
// would let two writers lock two different files).
Result<PosixFd, QString> lockFor(const QByteArray& path)
{
    const QByteArray lockPath = path + ".lock";
    PosixFd fd(::open(lockPath.constData(), O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600));
    struct stat st = {};
    if (!fd.isValid() || ::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode))
        return QStringLiteral("cannot lock %1 (%2)")
            .arg(shown(lockPath), fd.isValid() ? QStringLiteral("not a regular file") : strerrorText(errno));
    const QDeadlineTimer deadline(JsonFileDefaultsStore::kLockWaitMs);
    while (::flock(fd.get(), LOCK_EX | LOCK_NB) != 0) {
        if (errno != EWOULDBLOCK && errno != EINTR)
            return QStringLiteral("cannot lock %1 (%2)").arg(shown(lockPath), strerrorText(errno));
        if (deadline.hasExpired())
            return QStringLiteral("another program has kept %1 locked for %2 s")
                .arg(shown(lockPath))
                .arg(JsonFileDefaultsStore::kLockWaitMs / 1000);
        QThread::msleep(20);
    }
    return fd;
}

} // namespace

JsonFileDefaultsStore::JsonFileDefaultsStore(const QString& filePath, Watch watch)
    : m_filePath(filePath)
{
    load();
    if (watch == Watch::ForOtherWriters) {
        // The folder is watched for the new files that replace ours, the file for edits in place.
        QDir().mkpath(QFileInfo(m_filePath).absolutePath());
        m_watcher = new QFileSystemWatcher(this);
        const auto changed = [this] {
            // Coalesced: one save by another program is several events (its lock, its new file, the rename).
            if (!std::exchange(m_rereadQueued, true))
                QMetaObject::invokeMethod(this, &JsonFileDefaultsStore::reread, Qt::QueuedConnection);
        };
        connect(m_watcher, &QFileSystemWatcher::directoryChanged, this, changed);
        connect(m_watcher, &QFileSystemWatcher::fileChanged, this, changed);
        watchPaths();
    }
}

JsonFileDefaultsStore::~JsonFileDefaultsStore() = default;

QString JsonFileDefaultsStore::defaultFilePath()
{
    return xdg::configHome() + QStringLiteral("/rubbly/defaults.json");
}

void JsonFileDefaultsStore::load()
{
    const auto refuse = [this](const QString& why) {
        m_writable = false;
        m_lastWriteError = why;
        qCWarning(lcDefaults).noquote() << why << "- using default settings without saving them";
    };
    const auto location = locate(QFile::encodeName(m_filePath));
    if (!location)
        return refuse(location.error());
    FileRead read = readFile(location->file);
    switch (read.state) {
    case FileRead::State::Values:
        m_values = std::move(read.values);
        m_seen = identityOf(location->file);
        return;
    case FileRead::State::Missing:
        return;
    case FileRead::State::Unusable:
        return refuse(read.problem);
    case FileRead::State::Corrupt:
        break;
    }
    m_setAsidePath = setAside(location->file);
    if (m_setAsidePath.isEmpty())
        refuse(
            QStringLiteral("%1 is not a valid defaults file and could not be moved aside").arg(shown(location->file)));
}

QString JsonFileDefaultsStore::setAside(const QByteArray& file)
{
    const QByteArray aside =
        file + ".corrupt-" + QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss")).toLatin1();
    if (::renameat2(AT_FDCWD, file.constData(), AT_FDCWD, aside.constData(), RENAME_NOREPLACE) != 0)
        return {};
    qCWarning(lcDefaults).noquote() << shown(file) << "is not a valid defaults file; moved it to" << shown(aside)
                                    << "and started with default settings";
    return shown(aside);
}

JsonFileDefaultsStore::Identity JsonFileDefaultsStore::identityOf(const QByteArray& file)
{
    struct stat st = {};
    if (::lstat(file.constData(), &st) != 0)
        return {};
    return {st.st_dev, st.st_ino, st.st_size, qint64(st.st_ctim.tv_sec) * 1000000000 + st.st_ctim.tv_nsec};
}

JsonFileDefaultsStore::Values JsonFileDefaultsStore::withPending(Values values) const
{
    for (auto it = m_pending.cbegin(); it != m_pending.cend(); ++it) {
        if (it.value())
            values.insert(it.key(), *it.value());
        else
            values.remove(it.key());
    }
    return values;
}

void JsonFileDefaultsStore::adopt(Values values)
{
    QStringList changed;
    for (auto it = values.cbegin(); it != values.cend(); ++it) {
        if (const auto old = m_values.constFind(it.key()); old == m_values.cend() || !(*old == it.value()))
            changed.append(it.key());
    }
    for (auto it = m_values.cbegin(); it != m_values.cend(); ++it) {
        if (!values.contains(it.key()))
            changed.append(it.key());
    }
    m_values = std::move(values);
    if (!changed.isEmpty()) {
        changed.sort();
        Q_EMIT valuesChangedElsewhere(changed);
    }
}

std::optional<JsonFileDefaultsStore::Values> JsonFileDefaultsStore::decodeFile(const QByteArray& bytes)
{
    const auto root = json::parseObject(bytes);
    if (!root)
        return std::nullopt;
    Values values;
    for (auto it = root->begin(); it != root->end(); ++it) {
        const auto value = decode(it.value());
        if (!value)
            return std::nullopt;
        values.insert(it.key(), *value);
    }
    return values;
}

QByteArray JsonFileDefaultsStore::encodeFile(const Values& values)
{
    QJsonObject root;
    for (auto it = values.cbegin(); it != values.cend(); ++it)
        root.insert(it.key(), encode(it.value()));
    return json::compact(root);
}

std::optional<DefaultsValue> JsonFileDefaultsStore::value(const QString& key) const
{
    const auto it = m_values.constFind(key);
    if (it == m_values.cend())
        return std::nullopt;
    return *it;
}

void JsonFileDefaultsStore::setValue(const QString& key, const DefaultsValue& value)
{
    if (const double* d = std::get_if<double>(&value); d && !std::isfinite(*d)) {
        qCWarning(lcDefaults) << "refusing to store a non-finite number under" << key;
        return;
    }
    // Rewriting the whole file for a value that did not change would cost a write for nothing.
    if (const auto it = m_values.constFind(key); it != m_values.cend() && *it == value)
        return;
    m_values.insert(key, value);
    m_pending.insert(key, value);
    save();
}

void JsonFileDefaultsStore::removeValue(const QString& key)
{
    if (!m_values.remove(key))
        return;
    m_pending.insert(key, std::nullopt);
    save();
}

void JsonFileDefaultsStore::save()
{
    if (!m_writable)
        return;
    const QString error = writePending();
    if (error.isEmpty()) {
        m_lastWriteError.clear();
        return;
    }
    if (error != m_lastWriteError)
        qCWarning(lcDefaults).noquote() << error << "(the change is kept in memory and retried with the next save)";
    m_lastWriteError = error;
}

QString JsonFileDefaultsStore::writePending()
{
    const QByteArray path = QFile::encodeName(m_filePath);
    Values merged;
    QString error;
    {
        const auto location = locate(path);
        if (!location)
            return location.error();
        QDir().mkpath(QFileInfo(m_filePath).absolutePath());
        const auto lock = lockFor(path);
        if (!lock)
            return lock.error();
        FileRead read = readFile(location->file);
        switch (read.state) {
        case FileRead::State::Unusable:
            return read.problem;
        case FileRead::State::Corrupt:
            // Written since we read it by something that is not us: kept aside as at the start, and
            // replaced by everything this store holds.
            m_setAsidePath = setAside(location->file);
            if (m_setAsidePath.isEmpty())
                return QStringLiteral("%1 is not a valid defaults file and could not be moved aside")
                    .arg(shown(location->file));
            merged = m_values;
            break;
        case FileRead::State::Missing:
        case FileRead::State::Values:
            merged = withPending(read.values);
            break;
        }
        if (read.state != FileRead::State::Values || !(merged == read.values)) {
            if (const auto written = fs::replaceFile(location->file, encodeFile(merged), 0600); !written)
                error = written.error();
        }
        if (error.isEmpty())
            m_pending.clear();
        m_seen = identityOf(location->file);
    }
    // Announced once the lock is released: a listener may well save something in turn.
    adopt(std::move(merged));
    return error;
}

void JsonFileDefaultsStore::watchPaths()
{
    const QString folder = QFileInfo(m_filePath).absolutePath();
    if (!m_watcher->directories().contains(folder))
        m_watcher->addPath(folder);
    const auto location = locate(QFile::encodeName(m_filePath));
    if (!location)
        return;
    if (const QString target = shown(location->folder); !m_watcher->directories().contains(target))
        m_watcher->addPath(target);
    // A file replaced by a rename is a new inode: the watch of the old one is gone, so it is set anew
    // each time.
    const QString file = shown(location->file);
    m_watcher->removePath(file);
    if (QFileInfo::exists(file))
        m_watcher->addPath(file);
}

void JsonFileDefaultsStore::reread()
{
    m_rereadQueued = false;
    watchPaths();
    const auto location = locate(QFile::encodeName(m_filePath));
    if (!location)
        return;
    const Identity now = identityOf(location->file);
    if (now == m_seen)
        return; // our own save, or nothing that touched the file
    FileRead read = readFile(location->file);
    // Something half-written by an editor, or not a file of ours: left for the next save to judge.
    if (read.state == FileRead::State::Corrupt || read.state == FileRead::State::Unusable)
        return;
    m_seen = now;
    if (!m_writable) { // whatever kept us from writing at the start has been mended
        m_writable = true;
        m_lastWriteError.clear();
    }
    adopt(withPending(std::move(read.values)));
}

} // namespace rubbly
