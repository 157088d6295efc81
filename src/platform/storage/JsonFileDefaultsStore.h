#pragma once

#include "DefaultsStore.h"

#include <QHash>
#include <QLoggingCategory>

#include <sys/types.h>

class QFileSystemWatcher;

namespace rubbly {

Q_DECLARE_LOGGING_CATEGORY(lcDefaults)

// DefaultsStore kept in one JSON file, by default $XDG_CONFIG_HOME/rubbly/defaults.json:
//   { "Rubbly.hideInDock": {"bool": true}, "Binwell.lastCleaningRecord": {"data": "<base64>"}, ... }
//
// Several programs write the file (the tray, and the command line while it runs), so a save never
// writes back what this store read earlier: under an exclusive lock of "defaults.json.lock" it reads
// the file as it is now, changes only the keys this store changed, and replaces the file whole
// (rubbly::fs::replaceFile: on a full disk the old file stays byte for byte). What the others changed
// meanwhile is taken in and announced by valuesChangedElsewhere(). A change that could not be written
// stays in memory and goes out with the next save. Storing the value a key already holds writes nothing.
//
// The path may be a symbolic link into a dotfiles folder: the file is then read and replaced where the
// link points (the new file is made in that folder), and the link stays. A link is refused (the store
// works in memory and never writes) when it loops, or points into a folder that is not the user's own
// or that others may write, or at a file of another user. A file that cannot be read as ours is moved
// aside to "defaults.json.corrupt-<time>" and reported in the log; the store then starts empty. When
// even that move fails the store keeps working in memory and never writes over the file.
class JsonFileDefaultsStore final : public DefaultsStore {
    Q_OBJECT
public:
    // The file is read through readUntrustedFile(): a FIFO or device is never read; it stays as it is,
    // the store starts empty and never writes. A file over this size is not one we wrote, and is moved
    // aside like one that does not parse.
    static constexpr qint64 kMaxFileBytes = 64LL << 20;
    // How long a save waits for another program's save to finish before it gives up for this time.
    static constexpr int kLockWaitMs = 3000;

    // Whether the store follows changes other programs make to the file while it lives (inotify on the
    // file and its folder; needs an event loop on the store's thread). Short-lived programs do not.
    enum class Watch { No, ForOtherWriters };

    explicit JsonFileDefaultsStore(const QString& filePath, Watch watch = Watch::No);
    ~JsonFileDefaultsStore() override;

    static QString defaultFilePath();

    std::optional<DefaultsValue> value(const QString& key) const override;
    void setValue(const QString& key, const DefaultsValue& value) override;
    void removeValue(const QString& key) override;

    using Values = QHash<QString, DefaultsValue>;
    // The values a file's bytes hold; empty when they are not one JSON object whose every entry is a
    // known type tag with a value of that type.
    static std::optional<Values> decodeFile(const QByteArray& bytes);
    // The bytes of a file that decodes to `values`.
    static QByteArray encodeFile(const Values& values);

    const QString& filePath() const { return m_filePath; }
    // Where an unreadable file was moved at load, if that happened.
    const QString& setAsidePath() const { return m_setAsidePath; }
    // False when the file was refused at load (see above): changes then live in memory only.
    bool isWritable() const { return m_writable; }
    // Why the latest save did not reach the disk (a sentence naming the file and the cause); empty
    // once a save succeeds.
    const QString& lastWriteError() const { return m_lastWriteError; }

private:
    // What identifies one version of the file, to tell our own last write from someone else's.
    struct Identity {
        dev_t device = 0;
        ino_t inode = 0;
        off_t size = -1;
        qint64 changedNs = 0;
        bool operator==(const Identity&) const = default;
    };

    void load();
    void save();
    QString writePending();
    void reread();
    void watchPaths();
    void adopt(Values values);
    Values withPending(Values values) const;
    QString setAside(const QByteArray& file);
    static Identity identityOf(const QByteArray& file);

    QString m_filePath;
    QString m_setAsidePath;
    QString m_lastWriteError;
    // What value() answers: the file as last read or written, with m_pending on top.
    Values m_values;
    // This store's changes that have not reached the disk yet; an empty optional is a removal.
    QHash<QString, std::optional<DefaultsValue>> m_pending;
    Identity m_seen;
    bool m_writable = true;
    QFileSystemWatcher* m_watcher = nullptr;
    bool m_rereadQueued = false;
};

} // namespace rubbly
