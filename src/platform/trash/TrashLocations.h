#pragma once

#include <QByteArray>
#include <QList>
#include <QProcessEnvironment>

#include <optional>
#include <sys/types.h>

namespace rubbly {

// One line of /proc/self/mountinfo that matters to us.
struct MountEntry {
    QByteArray mountPoint; // octal escapes (\040 and friends) decoded
    QByteArray fileSystemType;
    bool readOnly = false;

    // Pseudo, system, network and read-only file systems: no trash is listed or created on them.
    bool isHidden() const;
    bool operator==(const MountEntry&) const = default;
};

// One freedesktop trash directory: it holds files/ and info/.
struct TrashDirectory {
    QByteArray path;
    // The top folder of its volume ($topdir); empty for the home trash, whose info files hold
    // absolute paths.
    QByteArray topDir;
    bool isHome = false;

    QByteArray filesPath() const { return path + "/files"; }
    QByteArray infoPath() const { return path + "/info"; }
    bool operator==(const TrashDirectory&) const = default;
};

// Finds the trash directories: the home trash ($XDG_DATA_HOME/Trash) first, then for every visible
// mounted volume, in mount order, $topdir/.Trash/$uid (only when .Trash is a real folder with the
// sticky bit, not a link) and $topdir/.Trash-$uid, each once. Cheap enough to run for every
// operation, but it stats every mount point: call it off the GUI thread.
class TrashLocations final {
public:
    // `mountInfoPath` is read as the mount table; tests pass a file of their own.
    TrashLocations(const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment(),
                   QByteArray mountInfoPath = "/proc/self/mountinfo", uid_t uid = ::getuid());

    // The locations of this session: RUBBLY_MOUNTINFO, when set, names the mount table to read
    // instead of /proc/self/mountinfo, so tests can keep every real volume's trash out of reach.
    static TrashLocations fromEnvironment(const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment());

    static QList<MountEntry> parseMountInfo(const QByteArray& content);

    QByteArray homeTrashPath() const { return m_homeTrash; }
    // Creates the home trash's files/ and info/ (0700) when missing; true when both exist after.
    bool ensureHomeTrash() const;

    // The current, ordered, duplicate-free list; existing directories only (the home trash is
    // always first, even when it does not exist yet).
    QList<TrashDirectory> trashDirectories() const;

    // The trash that a file on the device `device`, at canonical path `canonicalPath`, belongs in:
    // the home trash when it is on the home trash's file system, else its volume's trash, created if
    // needed. Empty when the volume is hidden or no trash can be made there.
    std::optional<TrashDirectory> trashFor(const QByteArray& canonicalPath, dev_t device) const;

    QList<MountEntry> mounts() const;

private:
    std::optional<TrashDirectory> volumeTrash(const QByteArray& topDir, bool create) const;

    QByteArray m_homeTrash;
    QByteArray m_mountInfoPath;
    uid_t m_uid;
};

// Decodes the \ooo escapes the kernel uses in mountinfo paths.
QByteArray decodeMountInfoPath(const QByteArray& field);

} // namespace rubbly
