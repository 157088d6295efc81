#include "KdeTrashPeer.h"

#include "AtomicFile.h"
#include "UntrustedFile.h"
#include "XdgPaths.h"

#include <QDBusMessage>
#include <QFile>
#include <QLockFile>
#include <QSet>
#include <QUrl>

namespace rubbly {

namespace {

constexpr qint64 kMaxTrashrcSize = 1 << 20;
// KConfig holds `trashrc.lock` only while it writes; longer than this, KDE is busy with the file and
// sets the status itself.
constexpr int kLockWaitMs = 500;
const QString kTrashUrl = QStringLiteral("trash:/");
constexpr int kPingTimeoutMs = 2000;

// How KConfig reads a boolean; nothing for a value it would not read as one.
std::optional<bool> configBool(const QByteArray& value)
{
    const QByteArray v = value.trimmed().toLower();
    if (v == "true" || v == "on" || v == "yes" || v == "1")
        return true;
    if (v == "false" || v == "off" || v == "no" || v == "0")
        return false;
    return std::nullopt;
}

} // namespace

KdeTrashPeer::KdeTrashPeer(QString configHome, std::optional<QDBusConnection> bus)
    : m_configHome(std::move(configHome))
    , m_bus(std::move(bus))
{
}

KdeTrashPeer KdeTrashPeer::fromEnvironment(const QProcessEnvironment& env)
{
    return KdeTrashPeer(xdg::configHome(env));
}

namespace {

QDBusMessage kdirNotify(const QString& member, const QVariant& argument)
{
    QDBusMessage message =
        QDBusMessage::createSignal(QStringLiteral("/"), QStringLiteral("org.kde.KDirNotify"), member);
    message << argument;
    return message;
}

} // namespace

void KdeTrashPeer::afterPut(const QByteArrayList& originals)
{
    setEmptyStatus(false);
    // A view of the Trash lists it again; a view of a folder the files left drops them.
    QList<QDBusMessage> messages{kdirNotify(QStringLiteral("FilesAdded"), kTrashUrl)};
    QStringList urls;
    for (const QByteArray& path : originals)
        urls.append(QUrl::fromLocalFile(QFile::decodeName(path)).toString());
    if (!urls.isEmpty())
        messages.append(kdirNotify(QStringLiteral("FilesRemoved"), urls));
    send(messages);
}

void KdeTrashPeer::afterRemoval(bool trashEmpty, const QByteArrayList& restored)
{
    setEmptyStatus(trashEmpty);
    QList<QDBusMessage> messages{kdirNotify(QStringLiteral("FilesAdded"), kTrashUrl)};
    QSet<QString> folders;
    for (const QByteArray& path : restored) {
        const qsizetype slash = path.lastIndexOf('/');
        const QByteArray folder = slash <= 0 ? QByteArray("/") : path.left(slash);
        const QString url = QUrl::fromLocalFile(QFile::decodeName(folder)).toString();
        if (!folders.contains(url)) {
            folders.insert(url);
            messages.append(kdirNotify(QStringLiteral("FilesAdded"), url));
        }
    }
    // The Trash's own item changed its icon: views showing it (the places panel) redraw it.
    if (trashEmpty)
        messages.append(kdirNotify(QStringLiteral("FilesChanged"), QStringList{kTrashUrl}));
    send(messages);
}

void KdeTrashPeer::send(const QList<QDBusMessage>& messages)
{
    const QDBusConnection bus = m_bus ? *m_bus : QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return;
    for (const QDBusMessage& message : messages)
        bus.send(message);
    // Signals only queue; a command-line run could end before they leave. The bus answers a call
    // after everything sent before it on the same connection, so its answer means they are out.
    bus.call(QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.DBus"),
                                            QStringLiteral("/org/freedesktop/DBus"),
                                            QStringLiteral("org.freedesktop.DBus.Peer"), QStringLiteral("Ping")),
             QDBus::Block, kPingTimeoutMs);
}

void KdeTrashPeer::setEmptyStatus(bool empty)
{
    const QByteArray path = QFile::encodeName(trashrcPath());
    // Read once without the lock: nearly always there is no file (KDE is not used) or it already says
    // so, and taking KConfig's lock would leave a lock file beside it.
    const auto before = readUntrustedFile(path, kMaxTrashrcSize);
    if (!before || !withEmptyStatus(*before, empty))
        return;
    // KConfig writes under `trashrc.lock` and re-reads the file inside it; so do we, so that neither
    // loses what the other wrote.
    QLockFile lock(trashrcPath() + QStringLiteral(".lock"));
    if (!lock.tryLock(kLockWaitMs))
        return;
    const auto content = readUntrustedFile(path, kMaxTrashrcSize);
    if (!content)
        return;
    // Whole or not at all, keeping the file's mode: a full disk leaves KDE's settings as they were.
    if (const auto updated = withEmptyStatus(*content, empty))
        (void)fs::replaceFile(path, *updated, 0600);
}

std::optional<QByteArray> KdeTrashPeer::withEmptyStatus(const QByteArray& trashrc, bool empty)
{
    const QByteArray value = empty ? QByteArrayLiteral("true") : QByteArrayLiteral("false");
    QByteArray result;
    result.reserve(trashrc.size() + 32);
    bool inStatus = false;
    bool sawKey = false;
    bool changed = false;
    // Where a missing key goes: right after the first [Status] line.
    qsizetype statusEnd = -1;
    bool statusEndsLine = true;
    for (qsizetype start = 0; start < trashrc.size();) {
        const qsizetype newline = trashrc.indexOf('\n', start);
        const qsizetype next = newline < 0 ? trashrc.size() : newline + 1;
        const QByteArray line = trashrc.mid(start, next - start);
        start = next;
        const QByteArray trimmed = line.trimmed();
        if (trimmed.startsWith('[')) {
            inStatus = trimmed == "[Status]";
            result += line;
            if (inStatus && statusEnd < 0) {
                statusEnd = result.size();
                statusEndsLine = line.endsWith('\n');
            }
            continue;
        }
        const qsizetype eq = line.indexOf('=');
        if (!inStatus || trimmed.startsWith('#') || eq < 0 || line.left(eq).trimmed() != "Empty") {
            result += line;
            continue;
        }
        sawKey = true;
        if (configBool(line.mid(eq + 1)) == empty) {
            result += line;
            continue;
        }
        // The value is replaced in place: spaces around it and the line's ending stay as they were.
        qsizetype valueStart = eq + 1;
        while (valueStart < line.size() && (line[valueStart] == ' ' || line[valueStart] == '\t'))
            ++valueStart;
        qsizetype valueEnd = line.size();
        while (valueEnd > valueStart && QByteArrayView(" \t\r\n").contains(line[valueEnd - 1]))
            --valueEnd;
        result += line.left(valueStart) + value + line.mid(valueEnd);
        changed = true;
    }
    if (sawKey)
        return changed ? std::optional(result) : std::nullopt;
    if (empty)
        return std::nullopt;
    if (statusEnd >= 0) {
        result.insert(statusEnd, (statusEndsLine ? QByteArray() : QByteArray("\n")) + "Empty=" + value + '\n');
        return result;
    }
    if (!result.isEmpty())
        result += result.endsWith('\n') ? "\n" : "\n\n";
    return result + "[Status]\nEmpty=" + value + '\n';
}

} // namespace rubbly
