#pragma once

#include "DeadlineProber.h"
#include "PosixFd.h"
#include "Result.h"
#include "TrashStatus.h"

#include <QByteArray>
#include <QList>
#include <QProcessEnvironment>
#include <QString>

#include <functional>
#include <memory>
#include <optional>
#include <sys/stat.h>
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
    // $topdir/.Trash/$uid, inside the volume's shared sticky .Trash (else $topdir/.Trash-$uid).
    bool isShared = false;

    QByteArray filesPath() const { return path + "/files"; }
    QByteArray infoPath() const { return path + "/info"; }
    bool operator==(const TrashDirectory&) const = default;
};

// A trash folder opened for use. The folder, its files/ and its info/ are each opened once, with
// O_NOFOLLOW from the descriptor of the folder above, and checked to be real folders of the user on
// the folder's own mount; everything the engine does inside goes through these descriptors, so a
// part swapped for a link or a mount afterwards leads nowhere else.
struct OpenTrashFolder {
    TrashDirectory directory;
    PosixFd folder;
    PosixFd files;
    PosixFd info;
    // As they were when opened: a scan compares them with its last to know that nothing changed.
    struct stat filesStat = {};
    struct stat infoStat = {};
};

// A trash folder that the look at its volume found, with the identity (device, inode) it was found
// with: a volume mounted twice shows the same one.
struct FoundTrash {
    TrashDirectory directory;
    dev_t device = 0;
    ino_t inode = 0;
};

// The first look at a volume: which of its trash folders are present. It runs on a prober's thread
// with a deadline, since it is where a volume that stopped answering blocks first.
using VolumeLook = std::function<QList<FoundTrash>(const MountEntry& mount, uid_t uid)>;
using VolumeProber = DeadlineProber<QList<FoundTrash>>;

// Finds the trash directories: the home trash ($XDG_DATA_HOME/Trash) first, then for every visible
// mounted volume, in mount order, $topdir/.Trash/$uid and $topdir/.Trash-$uid where they are present,
// each once. Cheap enough to run for every operation, but it looks at every volume (a thread and a
// short-lived child process each, waited for at most kVolumeDeadline): call it off the GUI thread.
class TrashLocations final {
public:
    // `mountInfoPath` is read as the mount table; tests pass a file of their own.
    TrashLocations(const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment(),
                   QByteArray mountInfoPath = "/proc/self/mountinfo", uid_t uid = ::getuid());

    // The locations of this session: RUBBLY_MOUNTINFO, when set, names the mount table to read
    // instead of /proc/self/mountinfo, so tests can keep every real volume's trash out of reach.
    static TrashLocations fromEnvironment(const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment());

    static QList<MountEntry> parseMountInfo(const QByteArray& content);
    // The most of a mount table we read: 100 000 mounts of long paths.
    static constexpr qint64 kMaxMountTableBytes = 16 << 20;

    QByteArray homeTrashPath() const { return m_homeTrash; }
    // The user whose trash folders these are: open() wants every part owned by this uid.
    uid_t uid() const { return m_uid; }
    // Creates the home trash's files/ and info/ (0700) when missing; true when it can be used after.
    bool ensureHomeTrash() const;

    // The current, ordered list of the trash folders present, each once (the home trash is always
    // first, even when it does not exist yet). Present means that something has the folder's name
    // (for $topdir/.Trash/$uid, also a $topdir/.Trash that is a link): whether it can be used is for
    // open() to say, so that a folder that cannot is reported rather than passed over.
    // Each volume is looked at through the prober: one that does not answer within its deadline is
    // left out, and goes to `notAnswering` (by its mount point) when given.
    QList<TrashDirectory> trashDirectories(QList<TrashFolderProblem>* notAnswering = nullptr) const;

    // The visible volumes whose first look is overdue, as trashDirectories() reports them; none is
    // looked at.
    QList<TrashFolderProblem> volumesNotAnswering() const;
    // The trash folders that the file at `canonicalPath` may be in or hold, by their names alone: the
    // home trash (resolved), then $topdir/.Trash/$uid and $topdir/.Trash-$uid of the volume the path
    // is on. No other volume is looked at.
    QList<QByteArray> trashPathsAround(const QByteArray& canonicalPath) const;
    // True when the volume that `absolutePath` lies on, by its text alone (links are not followed,
    // nothing on the disk is touched), is known not to answer: a look at it is still in flight.
    bool onVolumeNotAnswering(const QByteArray& absolutePath) const;

    // Replaces the first look at each volume and the prober that bounds it (for tests: a look that
    // never answers, a short deadline).
    void setVolumeProbing(std::shared_ptr<VolumeProber> prober, VolumeLook look);
    // The real first look: lstat of $topdir/.Trash, $topdir/.Trash/$uid and $topdir/.Trash-$uid,
    // made by a child process, so that a look the kernel never finishes leaves no thread of ours in
    // an uninterruptible wait (which would keep the program from ending).
    static QList<FoundTrash> lookAtVolume(const MountEntry& mount, uid_t uid);
    // How long a volume's first look is waited for.
    static constexpr std::chrono::milliseconds kVolumeDeadline{2000};

    // Opens a trash folder for use, or says why it cannot be used: a part that is a symbolic link,
    // not a folder, owned by another user, a mount point, missing or unreadable; for
    // $topdir/.Trash/$uid also a $topdir/.Trash that is not a real sticky folder. Folders above the
    // home trash are the user's and may be links (a ~/.local/share on another disk). With `create`,
    // the folder and its parts are made (0700) where missing. `failedPart`, when given, gets the path
    // of the part that failed its check (the folder, files/, info/, a volume's .Trash or the folder
    // above), for the permissions check to name and mend; empty when no one part failed.
    Result<OpenTrashFolder, TrashFolderProblem> open(const TrashDirectory& directory, bool create,
                                                     QByteArray* failedPart = nullptr) const;

    // The trash that a file on the device `device`, at canonical path `canonicalPath`, belongs in:
    // the home trash when it is on the home trash's file system, else its volume's trash, created if
    // needed. Empty when the volume is hidden or no trash can be made there.
    std::optional<TrashDirectory> trashFor(const QByteArray& canonicalPath, dev_t device) const;

    QList<MountEntry> mounts() const;

    // The mount points at `canonicalPath` or below it, in the real mount table of this process
    // (never RUBBLY_MOUNTINFO, which only hides volumes' trashes): what moving that path would take
    // along. Nothing when the table cannot be read.
    static std::optional<QList<QByteArray>>
    mountPointsAtOrBelow(const QByteArray& canonicalPath, const QByteArray& mountInfoPath = "/proc/self/mountinfo");

private:
    QByteArray m_homeTrash;
    QByteArray m_mountInfoPath;
    uid_t m_uid;
    // Shared by every copy, and by default by every TrashLocations of the process: a volume that
    // stopped answering holds one prober thread, however many parts of the program look at it.
    std::shared_ptr<VolumeProber> m_prober;
    VolumeLook m_look;
};

// Decodes the \ooo escapes the kernel uses in mountinfo paths.
QByteArray decodeMountInfoPath(const QByteArray& field);

} // namespace rubbly
