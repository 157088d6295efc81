#include "TrashLocations.h"

#include "XdgPaths.h"

#include <QFile>
#include <QSet>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace rubbly {

namespace {

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

bool isDirectoryNotLink(const QByteArray& path, struct stat* st)
{
    return ::lstat(path.constData(), st) == 0 && S_ISDIR(st->st_mode);
}

QByteArray canonical(const QByteArray& path)
{
    char buffer[PATH_MAX];
    if (::realpath(path.constData(), buffer))
        return QByteArray(buffer);
    return path;
}

bool isUnder(const QByteArray& path, const QByteArray& dir)
{
    if (dir == "/")
        return path.startsWith('/');
    return path == dir || (path.startsWith(dir) && path.size() > dir.size() && path[dir.size()] == '/');
}

bool makeDir(const QByteArray& path)
{
    return ::mkdir(path.constData(), 0700) == 0 || errno == EEXIST;
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
{
}

TrashLocations TrashLocations::fromEnvironment(const QProcessEnvironment& env)
{
    const QString table = env.value(QStringLiteral("RUBBLY_MOUNTINFO"));
    return TrashLocations(env, table.isEmpty() ? QByteArray("/proc/self/mountinfo") : QFile::encodeName(table));
}

bool TrashLocations::ensureHomeTrash() const
{
    const QByteArray dataHome = m_homeTrash.left(m_homeTrash.lastIndexOf('/'));
    // The data home itself may be missing on a fresh account: create it like any XDG client would.
    QByteArray partial;
    for (const QByteArray& part : dataHome.split('/')) {
        if (part.isEmpty())
            continue;
        partial += '/' + part;
        ::mkdir(partial.constData(), 0700);
    }
    return makeDir(m_homeTrash) && makeDir(m_homeTrash + "/files") && makeDir(m_homeTrash + "/info");
}

QList<MountEntry> TrashLocations::mounts() const
{
    QFile file(QFile::decodeName(m_mountInfoPath));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return parseMountInfo(file.readAll());
}

std::optional<TrashDirectory> TrashLocations::volumeTrash(const QByteArray& topDir, bool create) const
{
    const QByteArray top = topDir == "/" ? QByteArray() : topDir;
    const QByteArray uid = QByteArray::number(m_uid);
    struct stat st {};
    // $topdir/.Trash is shared by all users: only trusted as a real, sticky folder.
    const QByteArray shared = top + "/.Trash";
    if (isDirectoryNotLink(shared, &st) && (st.st_mode & S_ISVTX)) {
        const QByteArray mine = shared + '/' + uid;
        struct stat own {};
        if (isDirectoryNotLink(mine, &own) && own.st_uid == m_uid)
            return TrashDirectory{mine, topDir, false};
        if (create && ::mkdir(mine.constData(), 0700) == 0)
            return TrashDirectory{mine, topDir, false};
    }
    const QByteArray single = top + "/.Trash-" + uid;
    if (isDirectoryNotLink(single, &st) && st.st_uid == m_uid)
        return TrashDirectory{single, topDir, false};
    if (create && ::mkdir(single.constData(), 0700) == 0)
        return TrashDirectory{single, topDir, false};
    return std::nullopt;
}

QList<TrashDirectory> TrashLocations::trashDirectories() const
{
    QList<TrashDirectory> result{TrashDirectory{m_homeTrash, {}, true}};
    QSet<QByteArray> seen{canonical(m_homeTrash)};
    const uid_t uid = m_uid;
    for (const MountEntry& mount : mounts()) {
        if (mount.isHidden())
            continue;
        const QByteArray top = mount.mountPoint == "/" ? QByteArray() : mount.mountPoint;
        const QByteArray candidates[] = {top + "/.Trash/" + QByteArray::number(uid),
                                         top + "/.Trash-" + QByteArray::number(uid)};
        for (int k = 0; k < 2; ++k) {
            const QByteArray& candidate = candidates[k];
            struct stat st {};
            if (!isDirectoryNotLink(candidate, &st) || st.st_uid != uid)
                continue;
            if (k == 0) {
                struct stat shared {};
                if (!isDirectoryNotLink(top + "/.Trash", &shared) || !(shared.st_mode & S_ISVTX))
                    continue;
            }
            const QByteArray key = canonical(candidate);
            if (seen.contains(key))
                continue;
            seen.insert(key);
            result.append(TrashDirectory{candidate, mount.mountPoint, false});
        }
    }
    return result;
}

std::optional<TrashDirectory> TrashLocations::trashFor(const QByteArray& canonicalPath, dev_t device) const
{
    struct stat home {};
    if (ensureHomeTrash() && ::stat(m_homeTrash.constData(), &home) == 0 && home.st_dev == device)
        return TrashDirectory{m_homeTrash, {}, true};

    // The volume is the mount whose mount point is the longest prefix of the path.
    std::optional<MountEntry> best;
    for (const MountEntry& mount : mounts()) {
        if (isUnder(canonicalPath, mount.mountPoint) && (!best || mount.mountPoint.size() >= best->mountPoint.size()))
            best = mount;
    }
    if (!best || best->isHidden())
        return std::nullopt;
    struct stat top {};
    if (::stat(best->mountPoint.constData(), &top) != 0 || top.st_dev != device)
        return std::nullopt;
    auto trash = volumeTrash(best->mountPoint, true);
    if (!trash || !makeDir(trash->filesPath()) || !makeDir(trash->infoPath()))
        return std::nullopt;
    return trash;
}

} // namespace rubbly
