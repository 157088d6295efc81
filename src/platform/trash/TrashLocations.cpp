#include "TrashLocations.h"

#include "MountAwareStat.h"
#include "UntrustedFile.h"
#include "XdgPaths.h"

#include <QFile>
#include <QLoggingCategory>
#include <QSet>

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <stdexcept>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace rubbly {

namespace {

Q_LOGGING_CATEGORY(lcTrashLocations, "com.tolvik.Rubbly.Trash")

// File systems that hold no user data worth trashing, or where a trash would surprise: kernel and
// memory file systems, containers' layers, images, and network shares (whose stat may hang).
const QSet<QByteArray>& hiddenTypes()
{
    static const QSet<QByteArray> types{
        "proc",        "sysfs",         "devtmpfs",   "devpts",  "tmpfs",      "ramfs",
        "cgroup",      "cgroup2",       "securityfs", "debugfs", "tracefs",    "configfs",
        "fusectl",     "pstore",        "bpf",        "mqueue",  "hugetlbfs",  "autofs",
        "binfmt_misc", "efivarfs",      "rpc_pipefs", "nsfs",    "overlay",    "squashfs",
        "iso9660",     "udf",           "nfs",        "nfs4",    "cifs",       "smb3",
        "smbfs",       "afs",           "ceph",       "9p",      "fuse.sshfs", "fuse.gvfsd-fuse",
        "fuse.portal", "fuse.snapfuse", "selinuxfs",  "zram",    "erofs",      "virtiofs",
    };
    return types;
}

constexpr int kOpenDirFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;

QString describe(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

// How the log and the command line name `part`.
QString partLabel(TrashFolderPart part)
{
    return part == TrashFolderPart::Folder ? QStringLiteral("the folder") : trashFolderPartPath(part);
}

// Why one part of a trash folder cannot be used: the English sentence and what the interface words.
struct PartProblem {
    QString reason;
    int errorCode = 0;
    TrashFolderFault fault = TrashFolderFault::Other;
    quint32 owner = 0;
};

PartProblem partProblem(TrashFolderFault fault, TrashFolderPart part, int error, quint32 owner = 0)
{
    const QString label = partLabel(part);
    QString reason;
    switch (fault) {
    case TrashFolderFault::CannotCreate:
        reason = QStringLiteral("%1 cannot be created: %2").arg(label, describe(error));
        break;
    case TrashFolderFault::Link:
        reason = QStringLiteral("%1 is a symbolic link").arg(label);
        break;
    case TrashFolderFault::NotAFolder:
        reason = QStringLiteral("%1 is not a folder").arg(label);
        break;
    case TrashFolderFault::Missing:
        reason = QStringLiteral("%1 is missing").arg(label);
        break;
    case TrashFolderFault::OtherOwner:
        reason = QStringLiteral("%1 belongs to another user (uid %2)").arg(label).arg(owner);
        break;
    case TrashFolderFault::MountPoint:
        reason = QStringLiteral("%1 is a mount point").arg(label);
        break;
    case TrashFolderFault::NotSticky:
        reason = QStringLiteral("%1 is not sticky (anyone may replace its folders)").arg(label);
        break;
    default:
        reason = QStringLiteral("%1 cannot be read: %2").arg(label, describe(error));
        fault = TrashFolderFault::Unreadable;
        break;
    }
    return PartProblem{reason, error, fault, owner};
}

// One part of a trash folder, opened from its parent's descriptor without following a link and
// checked. Returns why it cannot be used, or nothing.
std::optional<PartProblem> openPart(int parentFd, const char* name, TrashFolderPart part, uid_t uid, bool create,
                                    bool mayBeMountRoot, dev_t parentDevice, PosixFd& fd, struct stat* st = nullptr)
{
    using Fault = TrashFolderFault;
    if (create && ::mkdirat(parentFd, name, 0700) != 0 && errno != EEXIST)
        return partProblem(Fault::CannotCreate, part, errno);
    fd.reset(::openat(parentFd, name, kOpenDirFlags | O_NOFOLLOW));
    if (!fd.isValid()) {
        // With O_DIRECTORY a link gives ENOTDIR, like a file: tell the two apart for the user.
        struct stat what = {};
        if ((errno == ENOTDIR || errno == ELOOP) && ::fstatat(parentFd, name, &what, AT_SYMLINK_NOFOLLOW) == 0 &&
            S_ISLNK(what.st_mode))
            errno = ELOOP;
        switch (errno) {
        case ELOOP:
            return partProblem(Fault::Link, part, ELOOP);
        case ENOTDIR:
            return partProblem(Fault::NotAFolder, part, ENOTDIR);
        case ENOENT:
            return partProblem(Fault::Missing, part, ENOENT);
        default:
            return partProblem(Fault::Unreadable, part, errno);
        }
    }
    MountAwareStat opened;
    if (!mountAwareStat(fd.get(), "", opened, parentDevice))
        return partProblem(Fault::Unreadable, part, errno);
    if (!S_ISDIR(opened.st.st_mode))
        return partProblem(Fault::NotAFolder, part, ENOTDIR);
    if (opened.st.st_uid != uid)
        return partProblem(Fault::OtherOwner, part, EPERM, opened.st.st_uid);
    if (opened.mountRoot && !mayBeMountRoot)
        return partProblem(Fault::MountPoint, part, EBUSY);
    if (st)
        *st = opened.st;
    return std::nullopt;
}

bool isUnder(const QByteArray& path, const QByteArray& dir)
{
    if (dir == "/")
        return path.startsWith('/');
    return path == dir || (path.startsWith(dir) && path.size() > dir.size() && path[dir.size()] == '/');
}

// One prober for the whole process: the tray's engine, its permission check and the command line
// each make TrashLocations of their own, and a stalled volume must hold one thread, not one each.
// Never destroyed: its threads may outlive everything else.
std::shared_ptr<VolumeProber> processProber()
{
    static auto* prober =
        new std::shared_ptr<VolumeProber>(std::make_shared<VolumeProber>(TrashLocations::kVolumeDeadline));
    return *prober;
}

TrashFolderProblem notAnsweringProblem(const QByteArray& mountPoint)
{
    return TrashFolderProblem{mountPoint, QStringLiteral("the volume is not answering; it is skipped until it does"),
                              ETIMEDOUT, TrashFolderFault::NotAnswering};
}

} // namespace

bool MountEntry::isHidden() const
{
    return readOnly || hiddenTypes().contains(fileSystemType);
}

QByteArray decodeMountInfoPath(const QByteArray& field)
{
    QByteArray out;
    out.reserve(field.size());
    for (qsizetype i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size()) {
            const char a = field[i + 1], b = field[i + 2], c = field[i + 3];
            if (a >= '0' && a <= '3' && b >= '0' && b <= '7' && c >= '0' && c <= '7') {
                out += static_cast<char>(((a - '0') << 6) | ((b - '0') << 3) | (c - '0'));
                i += 3;
                continue;
            }
        }
        out += field[i];
    }
    return out;
}

QList<MountEntry> TrashLocations::parseMountInfo(const QByteArray& content)
{
    // id parent major:minor root mountpoint options [optional fields…] - fstype source superoptions
    QList<MountEntry> mounts;
    for (const QByteArray& line : content.split('\n')) {
        const QList<QByteArray> fields = line.split(' ');
        // The separator follows the six fixed fields: a mount point or root that reads "-" (written
        // \055) is not one.
        const qsizetype separator = fields.indexOf("-", 6);
        if (separator < 0 || separator + 1 >= fields.size())
            continue;
        MountEntry entry;
        entry.mountPoint = decodeMountInfoPath(fields[4]);
        entry.fileSystemType = fields[separator + 1];
        const QList<QByteArray> options = fields[5].split(',');
        entry.readOnly = options.contains("ro");
        if (separator + 3 < fields.size() && fields[separator + 3].split(',').contains("ro"))
            entry.readOnly = true;
        mounts.append(entry);
    }
    return mounts;
}

TrashLocations::TrashLocations(const QProcessEnvironment& env, QByteArray mountInfoPath, uid_t uid)
    : m_homeTrash(QFile::encodeName(xdg::dataHome(env)) + "/Trash")
    , m_mountInfoPath(std::move(mountInfoPath))
    , m_uid(uid)
    , m_prober(processProber())
    , m_look(&TrashLocations::lookAtVolume)
{
}

void TrashLocations::setVolumeProbing(std::shared_ptr<VolumeProber> prober, VolumeLook look)
{
    m_prober = std::move(prober);
    m_look = std::move(look);
}

TrashLocations TrashLocations::fromEnvironment(const QProcessEnvironment& env)
{
    const QString table = env.value(QStringLiteral("RUBBLY_MOUNTINFO"));
    return TrashLocations(env, table.isEmpty() ? QByteArray("/proc/self/mountinfo") : QFile::encodeName(table));
}

bool TrashLocations::ensureHomeTrash() const
{
    return open(TrashDirectory{m_homeTrash, {}, true}, true).ok();
}

QList<MountEntry> TrashLocations::mounts() const
{
    // The kernel's table of a busy machine runs to a few MB; a table named by RUBBLY_MOUNTINFO may be
    // anything (a FIFO, /dev/zero, an endless file), and must neither block nor fill memory.
    const auto table = readUntrustedFile(m_mountInfoPath, kMaxMountTableBytes);
    if (!table) {
        static bool reported = false;
        if (!std::exchange(reported, true))
            qCWarning(lcTrashLocations) << "cannot read the mount table" << m_mountInfoPath
                                        << "(not a regular file, or larger than" << kMaxMountTableBytes
                                        << "bytes); no volume's trash is used";
        return {};
    }
    return parseMountInfo(*table);
}

Result<OpenTrashFolder, TrashFolderProblem> TrashLocations::open(const TrashDirectory& directory, bool create,
                                                                 QByteArray* failedPart) const
{
    QByteArray part;
    const auto refused = [&directory, &part, failedPart](const QString& reason, int error, TrashFolderFault fault,
                                                         TrashFolderPart which = TrashFolderPart::Folder,
                                                         quint32 owner = 0) {
        if (failedPart)
            *failedPart = part;
        return TrashFolderProblem{directory.path, reason, error, fault, which, owner};
    };
    const auto partRefused = [&refused](const PartProblem& why, TrashFolderPart which) {
        return refused(why.reason, why.errorCode, why.fault, which, why.owner);
    };
    const auto sharedRefused = [&partRefused](TrashFolderFault fault, int error) {
        return partRefused(partProblem(fault, TrashFolderPart::SharedTrash, error), TrashFolderPart::SharedTrash);
    };
    const qsizetype slash = directory.path.lastIndexOf('/');
    if (slash < 0)
        return refused(QStringLiteral("it is not an absolute path"), EINVAL, TrashFolderFault::NotAbsolute);
    QByteArray parentPath = slash == 0 ? QByteArray("/") : directory.path.left(slash);
    const QByteArray leaf = directory.path.mid(slash + 1);
    if (directory.isShared)
        parentPath = directory.topDir;
    if (directory.isHome && create) {
        // The data home itself may be missing on a fresh account: create it like any XDG client
        // would. The folders above the trash are the user's: they may be links.
        QByteArray partial;
        for (const QByteArray& part : parentPath.split('/')) {
            if (part.isEmpty())
                continue;
            partial += '/' + part;
            ::mkdir(partial.constData(), 0700);
        }
    }
    part = parentPath;
    PosixFd parent(::open(parentPath.constData(), kOpenDirFlags));
    struct stat parentStat = {};
    if (!parent.isValid() || ::fstat(parent.get(), &parentStat) != 0) {
        TrashFolderProblem problem =
            refused(QStringLiteral("%1 cannot be opened: %2").arg(QFile::decodeName(parentPath), describe(errno)),
                    errno, TrashFolderFault::CannotOpen);
        problem.above = parentPath;
        return problem;
    }
    if (directory.isShared) {
        // $topdir/.Trash is shared by all users: only a real folder with the sticky bit, where no
        // one can remove or rename another's folder, is trusted.
        part = directory.topDir + (directory.topDir.endsWith('/') ? ".Trash" : "/.Trash");
        PosixFd shared(::openat(parent.get(), ".Trash", kOpenDirFlags | O_NOFOLLOW));
        MountAwareStat st;
        struct stat what = {};
        if (!shared.isValid())
            return ::fstatat(parent.get(), ".Trash", &what, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(what.st_mode)
                       ? sharedRefused(TrashFolderFault::Link, ELOOP)
                       : sharedRefused(TrashFolderFault::NotAFolder, errno);
        if (!mountAwareStat(shared.get(), "", st, parentStat.st_dev) || !S_ISDIR(st.st.st_mode))
            return sharedRefused(TrashFolderFault::NotAFolder, ENOTDIR);
        if (!(st.st.st_mode & S_ISVTX))
            return sharedRefused(TrashFolderFault::NotSticky, EPERM);
        if (st.mountRoot)
            return sharedRefused(TrashFolderFault::MountPoint, EBUSY);
        parent = std::move(shared);
        parentStat = st.st;
    }
    OpenTrashFolder opened;
    opened.directory = directory;
    struct stat folderStat = {};
    part = directory.path;
    if (auto why = openPart(parent.get(), leaf.constData(), TrashFolderPart::Folder, m_uid, create, directory.isHome,
                            parentStat.st_dev, opened.folder, &folderStat))
        return partRefused(*why, TrashFolderPart::Folder);
    part = directory.filesPath();
    if (auto why = openPart(opened.folder.get(), "files", TrashFolderPart::Files, m_uid, create, false,
                            folderStat.st_dev, opened.files, &opened.filesStat))
        return partRefused(*why, TrashFolderPart::Files);
    part = directory.infoPath();
    if (auto why = openPart(opened.folder.get(), "info", TrashFolderPart::Info, m_uid, create, false, folderStat.st_dev,
                            opened.info, &opened.infoStat))
        return partRefused(*why, TrashFolderPart::Info);
    return opened;
}

namespace {

// What the lstat of each of a volume's three trash names gave: 0 and the stat, or the errno.
struct TrashNameStats {
    int error[3] = {ENOENT, ENOENT, ENOENT};
    struct stat st[3]{};
};

// $topdir/.Trash, $topdir/.Trash/$uid (only when .Trash is a real folder) and $topdir/.Trash-$uid.
// Async-signal-safe: it runs in a forked child of a threaded process.
void lstatTrashNames(const char* const (&paths)[3], TrashNameStats& out)
{
    for (int i = 0; i < 3; ++i) {
        if (i == 1 && (out.error[0] != 0 || !S_ISDIR(out.st[0].st_mode)))
            continue;
        out.error[i] = ::lstat(paths[i], &out.st[i]) == 0 ? 0 : errno;
    }
}

// Runs the lstats in a child process that hands them back through a pipe. A look that never returns
// then blocks a process of its own in the kernel, and this thread only in vfork(), whose wait a fatal
// signal or the end of the program interrupts: a thread of ours in an uninterruptible wait (a FUSE
// request that its daemon took and never answered) would keep the program from ending, even on
// SIGKILL. vfork() rather than fork(): the child borrows our memory instead of copying its map,
// so a look costs about what a thread does; it calls only async-signal-safe functions, on paths
// built before. The child holds no descriptor of ours but the pipe, so a script reading our output
// still sees it end when we do. Without a child (none can be made) the lstats run on this thread.
TrashNameStats lookInChild(const char* const (&paths)[3])
{
    TrashNameStats stats;
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC) != 0) {
        lstatTrashNames(paths, stats);
        return stats;
    }
    const pid_t child = ::vfork();
    if (child == 0) {
        // Ends with the thread that waits for it (at the program's end), unless the kernel holds it.
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (ends[1] > 0)
            ::close_range(0, static_cast<unsigned>(ends[1]) - 1, 0);
        ::close_range(static_cast<unsigned>(ends[1]) + 1, ~0U, 0);
        lstatTrashNames(paths, stats);
        const bool written = ::write(ends[1], &stats, sizeof stats) == static_cast<ssize_t>(sizeof stats);
        ::_exit(written ? 0 : 1);
    }
    ::close(ends[1]);
    if (child < 0) {
        ::close(ends[0]);
        lstatTrashNames(paths, stats);
        return stats;
    }
    std::size_t got = 0;
    auto* bytes = reinterpret_cast<char*>(&stats);
    while (got < sizeof stats) {
        const ssize_t n = ::read(ends[0], bytes + got, sizeof stats - got);
        if (n > 0)
            got += static_cast<std::size_t>(n);
        else if (n == 0 || errno != EINTR)
            break;
    }
    ::close(ends[0]);
    while (::waitpid(child, nullptr, 0) < 0 && errno == EINTR) {
    }
    if (got != sizeof stats)
        throw std::runtime_error("the look at a volume ended without an answer");
    return stats;
}

} // namespace

QList<FoundTrash> TrashLocations::lookAtVolume(const MountEntry& mount, uid_t uid)
{
    const QByteArray top = mount.mountPoint == "/" ? QByteArray() : mount.mountPoint;
    const QByteArray user = QByteArray::number(uid);
    const QByteArray shared = top + "/.Trash", mine = shared + '/' + user, own = top + "/.Trash-" + user;
    // Built before the fork: the child may not allocate.
    const char* const paths[3] = {shared.constData(), mine.constData(), own.constData()};
    const TrashNameStats stats = lookInChild(paths);
    QList<FoundTrash> found;
    const auto add = [&](const QByteArray& path, bool isShared, const struct stat& identity) {
        found.append(
            FoundTrash{TrashDirectory{path, mount.mountPoint, false, isShared}, identity.st_dev, identity.st_ino});
    };
    if (stats.error[0] == 0 && S_ISLNK(stats.st[0].st_mode))
        add(mine, true, stats.st[0]);
    else if (stats.error[0] == 0 && S_ISDIR(stats.st[0].st_mode) && stats.error[1] == 0)
        add(mine, true, stats.st[1]);
    if (stats.error[2] == 0)
        add(own, false, stats.st[2]);
    return found;
}

QList<TrashDirectory> TrashLocations::trashDirectories(QList<TrashFolderProblem>* notAnswering) const
{
    QList<TrashDirectory> result{TrashDirectory{m_homeTrash, {}, true}};
    // Each once by what is there: a volume mounted twice (or bound elsewhere) shows the same inode;
    // a link is its own inode, so it is listed, and refused with its reason, rather than taken for
    // what it points at.
    QSet<QPair<dev_t, ino_t>> seen;
    struct stat st = {};
    if (::lstat(m_homeTrash.constData(), &st) == 0)
        seen.insert({st.st_dev, st.st_ino});
    // No volume may hold up the others: its first look runs on a prober thread with a deadline, and
    // every volume's look starts before any is waited for.
    std::vector<std::pair<QByteArray, VolumeProber::Ticket>> looks;
    for (const MountEntry& mount : mounts()) {
        if (!mount.isHidden())
            looks.emplace_back(mount.mountPoint, m_prober->start(mount.mountPoint, [look = m_look, mount, uid = m_uid] {
                return look(mount, uid);
            }));
    }
    for (const auto& [mountPoint, ticket] : looks) {
        const VolumeProber::Probe probe = m_prober->wait(ticket);
        if (!probe.value) {
            if (notAnswering)
                notAnswering->append(probe.outcome == VolumeProber::Outcome::NotAnswering
                                         ? notAnsweringProblem(mountPoint)
                                         : TrashFolderProblem{mountPoint,
                                                              QStringLiteral("the volume cannot be looked at now"),
                                                              EAGAIN, TrashFolderFault::NotLookedAt});
            continue;
        }
        for (const FoundTrash& found : std::as_const(*probe.value)) {
            if (!seen.contains({found.device, found.inode})) {
                seen.insert({found.device, found.inode});
                result.append(found.directory);
            }
        }
    }
    return result;
}

QList<TrashFolderProblem> TrashLocations::volumesNotAnswering() const
{
    QList<TrashFolderProblem> problems;
    for (const MountEntry& mount : mounts()) {
        if (!mount.isHidden() && m_prober->isOverdue(mount.mountPoint))
            problems.append(notAnsweringProblem(mount.mountPoint));
    }
    return problems;
}

QList<QByteArray> TrashLocations::trashPathsAround(const QByteArray& canonicalPath) const
{
    QList<QByteArray> paths;
    char resolved[PATH_MAX];
    if (::realpath(m_homeTrash.constData(), resolved))
        paths.append(QByteArray(resolved));
    std::optional<MountEntry> best;
    for (const MountEntry& mount : mounts()) {
        if (isUnder(canonicalPath, mount.mountPoint) && (!best || mount.mountPoint.size() >= best->mountPoint.size()))
            best = mount;
    }
    if (best) {
        const QByteArray top = best->mountPoint == "/" ? QByteArray() : best->mountPoint;
        const QByteArray user = QByteArray::number(m_uid);
        paths << top + "/.Trash/" + user << top + "/.Trash-" + user;
    }
    return paths;
}

bool TrashLocations::onVolumeNotAnswering(const QByteArray& absolutePath) const
{
    std::optional<MountEntry> best;
    for (const MountEntry& mount : mounts()) {
        if (isUnder(absolutePath, mount.mountPoint) && (!best || mount.mountPoint.size() >= best->mountPoint.size()))
            best = mount;
    }
    return best && m_prober->isOverdue(best->mountPoint);
}

std::optional<TrashDirectory> TrashLocations::trashFor(const QByteArray& canonicalPath, dev_t device) const
{
    struct stat home = {};
    const bool usable = ensureHomeTrash();
    if (usable && ::stat(m_homeTrash.constData(), &home) == 0 && home.st_dev == device)
        return TrashDirectory{m_homeTrash, {}, true};
    // A home trash that cannot be used (a link, a file, another user's) is still the trash of the
    // volume that holds it: the caller's open() then says why, where another trash would surprise.
    const qsizetype slash = m_homeTrash.lastIndexOf('/');
    if (!usable && slash > 0 && ::stat(m_homeTrash.left(slash).constData(), &home) == 0 && home.st_dev == device)
        return TrashDirectory{m_homeTrash, {}, true};

    // The volume is the mount whose mount point is the longest prefix of the path.
    std::optional<MountEntry> best;
    for (const MountEntry& mount : mounts()) {
        if (isUnder(canonicalPath, mount.mountPoint) && (!best || mount.mountPoint.size() >= best->mountPoint.size()))
            best = mount;
    }
    if (!best || best->isHidden())
        return std::nullopt;
    struct stat top = {};
    if (::stat(best->mountPoint.constData(), &top) != 0 || top.st_dev != device)
        return std::nullopt;
    // $topdir/.Trash/$uid when the shared folder passes its checks and ours is or can be made there,
    // else $topdir/.Trash-$uid (which the caller opens, and so makes, with its own checks).
    const QByteArray topPath = best->mountPoint == "/" ? QByteArray() : best->mountPoint;
    const QByteArray uid = QByteArray::number(m_uid);
    const TrashDirectory shared{topPath + "/.Trash/" + uid, best->mountPoint, false, true};
    struct stat sharedStat = {};
    if (::lstat((topPath + "/.Trash").constData(), &sharedStat) == 0 && S_ISDIR(sharedStat.st_mode) &&
        open(shared, true).ok())
        return shared;
    return TrashDirectory{topPath + "/.Trash-" + uid, best->mountPoint, false, false};
}

std::optional<QList<QByteArray>> TrashLocations::mountPointsAtOrBelow(const QByteArray& canonicalPath,
                                                                      const QByteArray& mountInfoPath)
{
    QFile file(QFile::decodeName(mountInfoPath));
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    QList<QByteArray> found;
    for (const MountEntry& mount : parseMountInfo(file.readAll())) {
        if (mount.mountPoint.startsWith('/') && isUnder(mount.mountPoint, canonicalPath) &&
            !found.contains(mount.mountPoint))
            found.append(mount.mountPoint);
    }
    return found;
}

} // namespace rubbly
