#include "DiskSlimScanner.h"

#include "DirectoryListing.h"
#include "TreeRemover.h"

#include <QFile>

#include <algorithm>
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace rubbly {

namespace {

constexpr int kOpenDirFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;

// Installers left in Downloads: the only files that category looks at (exact, lower case).
bool passesInstallerFilter(const QByteArray& name)
{
    const qsizetype dot = name.lastIndexOf('.');
    if (dot < 0)
        return false;
    const QByteArray extension = name.mid(dot + 1);
    return extension == "dmg" || extension == "pkg" || extension == "iso";
}

} // namespace

DiskSlimScanner::DiskSlimScanner(QString home)
    : m_home(std::move(home))
    , m_walker({true, 2})
{
}

PosixFd DiskSlimScanner::openBelowHome(const QString& relative) const
{
    PosixFd fd(::open(QFile::encodeName(m_home).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    for (const QString& component : relative.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        if (!fd.isValid() || component == QLatin1String("..") || component == QLatin1String("."))
            return {};
        fd = PosixFd(::openat(fd.get(), QFile::encodeName(component).constData(), kOpenDirFlags));
    }
    return fd;
}

QList<DiskSlimCategory> DiskSlimScanner::chooseCategories(const QSet<QString>& installed) const
{
    QList<DiskSlimCategory> chosen;
    for (const DiskSlimCategoryInfo& info : diskSlimCatalogue()) {
        bool scan = !info.associatedBundleIDs.has_value();
        if (!scan) {
            for (const QString& id : *info.associatedBundleIDs)
                scan = scan || installed.contains(id);
        }
        if (!scan) {
            for (const QString& relative : info.relativePaths)
                scan = scan || openBelowHome(relative).isValid();
        }
        if (scan)
            chosen.append(info.category);
    }
    return chosen;
}

QList<DiskSlimScanner::Child> DiskSlimScanner::children(DiskSlimCategory category, const QString& relative, int dirFd)
{
    const DiskSlimCategoryInfo& info = diskSlimInfo(category);
    const bool installersOnly = category == DiskSlimCategory::DmgInstallers;
    QList<Child> result;
    for (const QByteArray& name : readDirectoryNames(dirFd, true)) {
        if (installersOnly && !passesInstallerFilter(name))
            continue;
        // A child that is another candidate of this category, or holds one that exists, is measured
        // as that candidate; as a sub-item too it would be counted twice and purging it would delete
        // a candidate folder.
        const QString childRelative = relative + QLatin1Char('/') + QFile::decodeName(name);
        bool isCandidate = false;
        for (const QString& other : info.relativePaths) {
            if (other == childRelative ||
                (other.startsWith(childRelative + QLatin1Char('/')) && openBelowHome(other).isValid()))
                isCandidate = true;
        }
        if (isCandidate)
            continue;
        struct stat st {};
        if (::fstatat(dirFd, name.constData(), &st, AT_SYMLINK_NOFOLLOW) != 0)
            continue;
        Child child{name, 0, 1, fromTimespec(st.st_mtim), S_ISDIR(st.st_mode)};
        if (!child.isDirectory)
            child.bytes = static_cast<qint64>(st.st_blocks) * 512;
        result.append(child);
    }
    // The folders are measured as one batch, so both threads share the work even when every
    // folder is small.
    std::vector<QByteArray> folders;
    for (const Child& child : std::as_const(result)) {
        if (child.isDirectory)
            folders.push_back(child.name);
    }
    const std::vector<WalkResult> walks = m_walker.measureEach(dirFd, folders);
    std::size_t next = 0;
    for (Child& child : result) {
        if (!child.isDirectory)
            continue;
        const WalkResult& walk = walks[next++];
        child.bytes = walk.bytes;
        child.files = walk.files;
        if (walk.newestModification && *walk.newestModification > *child.date)
            child.date = walk.newestModification;
    }
    return result;
}

void DiskSlimScanner::forEachCandidate(DiskSlimCategory category,
                                       const std::function<void(const QString&, int)>& visit) const
{
    QSet<QString> handled;
    for (const QString& relative : diskSlimInfo(category).relativePaths) {
        if (handled.contains(relative))
            continue;
        handled.insert(relative);
        const PosixFd fd = openBelowHome(relative);
        if (fd.isValid())
            visit(relative, fd.get());
    }
}

std::optional<DiskSlimItem> DiskSlimScanner::measure(DiskSlimCategory category)
{
    DiskSlimItem item{category, 0, 0, true, {}};
    forEachCandidate(category, [&](const QString& relative, int fd) {
        const QByteArray base = QFile::encodeName(m_home + QLatin1Char('/') + relative) + '/';
        for (const Child& child : children(category, relative, fd)) {
            item.subItems.append(DiskSlimSubItem{QFile::decodeName(child.name), base + child.name, child.bytes,
                                                 child.date, child.isDirectory, true});
            item.size += child.bytes;
            item.fileCount += child.files;
        }
    });
    if (item.size <= 0)
        return std::nullopt;
    std::stable_sort(item.subItems.begin(), item.subItems.end(),
                     [](const DiskSlimSubItem& a, const DiskSlimSubItem& b) { return a.size > b.size; });
    return item;
}

SlimPurgeResult DiskSlimScanner::purge(const DiskSlimItem& item)
{
    SlimPurgeResult result;
    const DiskSlimCategoryInfo& info = diskSlimInfo(item.category);
    if (!item.subItems.isEmpty()) {
        for (const DiskSlimSubItem& sub : item.subItems) {
            if (!sub.isSelected)
                continue;
            // Only a direct child of one of this category's candidates is ever deleted, whatever the
            // item claims (it may come from a stored snapshot).
            const qsizetype slash = sub.path.lastIndexOf('/');
            const QByteArray name = sub.path.mid(slash + 1);
            const QString parent = QFile::decodeName(sub.path.left(slash));
            const QString homePrefix = m_home + QLatin1Char('/');
            const QString relative = parent.startsWith(homePrefix) ? parent.mid(homePrefix.size()) : QString();
            if (name.isEmpty() || name == "." || name == ".." || !info.relativePaths.contains(relative) ||
                QFile::encodeName(homePrefix + relative) + '/' + name != sub.path) {
                ++result.failedCount;
                continue;
            }
            const PosixFd fd = openBelowHome(relative);
            struct stat st {};
            if (!fd.isValid() || ::fstatat(fd.get(), name.constData(), &st, AT_SYMLINK_NOFOLLOW) != 0)
                continue; // gone since the scan: nothing to remove, nothing freed
            if (TreeRemover().remove(fd.get(), name.constData()).complete) {
                ++result.removedCount;
                result.freedBytes += sub.size;
            } else {
                ++result.failedCount;
            }
        }
        return result;
    }
    if (!item.isSelected)
        return result;
    forEachCandidate(item.category, [&](const QString& relative, int fd) {
        for (const Child& child : children(item.category, relative, fd)) {
            if (TreeRemover().remove(fd, child.name.constData()).complete) {
                ++result.removedCount;
                result.freedBytes += child.bytes;
            } else {
                ++result.failedCount;
            }
        }
    });
    return result;
}

} // namespace rubbly
