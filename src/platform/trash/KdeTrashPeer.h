#pragma once

#include <QByteArrayList>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QList>
#include <QProcessEnvironment>
#include <QString>

#include <optional>

namespace rubbly {

// Keeps KDE's picture of the Trash current after we change it, as KDE's own trash does: the
// `[Status] Empty=` entry of `trashrc` in the config folder (Dolphin's and the panel's trash icon
// read it) and the `org.kde.KDirNotify` signals that file views listen to on the session bus.
// Where KDE is not used nothing is left behind: `trashrc` is changed, never created, and a signal
// nobody listens to is dropped by the bus; without a bus the signals are skipped.
// Synchronous and not thread-safe: TrashService calls it on its actor after each change.
class KdeTrashPeer final {
public:
    // `configHome` holds `trashrc`; the signals go out on `bus`, or on the session bus, connected when
    // first needed, when none is given.
    explicit KdeTrashPeer(QString configHome, std::optional<QDBusConnection> bus = std::nullopt);
    static KdeTrashPeer fromEnvironment(const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment());

    // After the files at `originals` (absolute paths) were moved into the Trash.
    void afterPut(const QByteArrayList& originals);
    // After entries left the Trash: deleted (emptying, the age rule) or put back at `restored`
    // (absolute paths). `trashEmpty`: no trash folder holds an entry any more.
    void afterRemoval(bool trashEmpty, const QByteArrayList& restored = {});

    QString trashrcPath() const { return m_configHome + QStringLiteral("/trashrc"); }

    // `trashrc` with `[Status] Empty=` set to `empty`, every other byte as it was; nothing when the
    // file already says so (a missing entry means empty, as KDE reads it).
    static std::optional<QByteArray> withEmptyStatus(const QByteArray& trashrc, bool empty);

private:
    void setEmptyStatus(bool empty);
    void send(const QList<QDBusMessage>& messages);

    QString m_configHome;
    std::optional<QDBusConnection> m_bus;
};

} // namespace rubbly
