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

// Installers left in Downloads: the only files that category looks at (exact, lower case). Linux
// packages, disc images and self-extracting installers are spent once installed; AppImages are not
// among them, because people keep and run those from Downloads.
bool passesInstallerFilter(const QByteArray& name)
{
    const qsizetype dot = name.lastIndexOf('.');
    if (dot < 0)
        return false;
    const QByteArray extension = name.mid(dot + 1);
    return extension == "deb" || extension == "rpm" || extension == "iso" || extension == "run";
}

// A sub-item is deleted whole, so its size counts everything deleting it frees: hidden files and
// folders, and the folders' own blocks. Credential files stay, and so do the folders holding them.
constexpr WalkOptions kSubItemWalk{2, true, isCredentialName};
constexpr RemovalOptions kSubItemRemoval{true, true, isCredentialName};

// A stored scan date has lost a little precision on its way through JSON.
constexpr std::chrono::milliseconds kChangeTolerance{1};

} // namespace

DiskSlimScanner::DiskSlimScanner(DiskSlimRoots roots)
    : m_roots(std::move(roots))
    , m_trash(m_roots.homeTrash())
    , m_walker(kSubItemWalk)
{
}

PosixFd DiskSlimScanner::open(const DiskSlimPlace& place) const
{
    PosixFd fd(::open(place.anchor.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    for (const QByteArray& component : place.relative.split('/')) {
        if (component.isEmpty())
            continue;
        if (!fd.isValid() || component == ".." || component == ".")
            return {};
        fd = PosixFd(::openat(fd.get(), component.constData(), kOpenDirFlags));
    }
    return fd;
}

QList<DiskSlimCategory> DiskSlimScanner::chooseCategories(const QSet<QString>& installed) const
{
    QList<DiskSlimCategory> chosen;
    for (const DiskSlimCategoryInfo& info : diskSlimCatalogue()) {
        bool scan = false;
        for (const QString& id : info.associatedBundleIDs.value_or(QStringList()))
            scan = scan || installed.contains(id);
        if (!scan) {
            for (const DiskSlimPlace& place : diskSlimPlaces(info.category, m_roots))
                scan = scan || open(place).isValid();
        }
        if (scan)
            chosen.append(info.category);
    }
    return chosen;
}

bool DiskSlimScanner::offers(DiskSlimCategory category, const QList<DiskSlimPlace>& places, const DiskSlimPlace& place,
                             const QByteArray& name) const
{
    if (name.isEmpty() || name.startsWith('.') || name.contains('/') || isCredentialName(name.constData()))
        return false;
    if (category == DiskSlimCategory::DmgInstallers && !passesInstallerFilter(name))
        return false;
    const QByteArray path = place.path() + '/' + name;
    const QByteArray below = path + '/';
    if (m_trash == path || m_trash.startsWith(below))
        return false;
    // A child that is another candidate of this category, or holds one that exists, is measured as
    // that candidate; as a sub-item too it would be counted twice and purging it would delete a
    // candidate folder.
    for (const DiskSlimPlace& other : places) {
        const QByteArray otherPath = other.path();
        if (otherPath == path || (otherPath.startsWith(below) && open(other).isValid()))
            return false;
    }
    return true;
}

void DiskSlimScanner::forEachChild(DiskSlimCategory category, const QList<DiskSlimPlace>& places,
                                   const DiskSlimPlace& place, int dirFd, const std::function<void(Child&)>& take)
{
    // Children are measured in batches as the folder is read, so a folder of a million entries costs
    // one batch of them at a time; the folders of a batch are measured together, so both threads
    // share the work even when every folder is small.
    constexpr std::size_t kBatch = 512;
    std::vector<Child> batch;
    const auto measureBatch = [this, dirFd, &batch, &take] {
        std::vector<QByteArray> folders;
        for (const Child& child : batch) {
            if (child.isDirectory)
                folders.push_back(child.name);
        }
        const std::vector<WalkResult> walks = m_walker.measureEach(dirFd, folders);
        std::size_t next = 0;
        for (Child& child : batch) {
            if (child.isDirectory) {
                const WalkResult& walk = walks[next++];
                child.bytes = walk.bytes;
                child.files = walk.files;
                if (walk.newestModification && *walk.newestModification > *child.date)
                    child.date = walk.newestModification;
            }
            take(child);
        }
        batch.clear();
    };
    forEachDirectoryName(dirFd, [&](QByteArrayView view) {
        // Hidden entries are not listed as sub-items; inside a sub-item everything counts.
        if (view.startsWith('.'))
            return;
        const QByteArray name = view.toByteArray();
        if (!offers(category, places, place, name))
            return;
        struct stat st = {};
        if (::fstatat(dirFd, name.constData(), &st, AT_SYMLINK_NOFOLLOW) != 0)
            return;
        Child child{name, 0, 1, fromTimespec(st.st_mtim), fromTimespec(st.st_ctim), S_ISDIR(st.st_mode)};
        if (!child.isDirectory)
            child.bytes = static_cast<qint64>(st.st_blocks) * 512;
        batch.push_back(std::move(child));
        if (batch.size() >= kBatch)
            measureBatch();
    });
    measureBatch();
}

std::optional<DiskSlimItem> DiskSlimScanner::measure(DiskSlimCategory category)
{
    const bool selected = !diskSlimHoldsUserWork(category);
    DiskSlimItem item{category, 0, 0, selected, {}};
    const QList<DiskSlimPlace> places = diskSlimPlaces(category, m_roots);
    // The largest sub-items so far, smallest first: only they keep their names and paths.
    const auto larger = [](const DiskSlimSubItem& a, const DiskSlimSubItem& b) {
        return a.size != b.size ? a.size > b.size : a.path < b.path;
    };
    std::vector<DiskSlimSubItem> listed;
    for (const DiskSlimPlace& place : places) {
        const PosixFd fd = open(place);
        if (!fd.isValid())
            continue;
        const QByteArray base = place.path() + '/';
        forEachChild(category, places, place, fd.get(), [&](Child& child) {
            item.size += child.bytes;
            item.fileCount += child.files;
            if (!item.changedUpTo || child.changed > *item.changedUpTo)
                item.changedUpTo = child.changed;
            if (qsizetype(listed.size()) == kDiskSlimListedSubItems) {
                if (child.bytes <= listed.front().size) {
                    item.unlistedCount += 1;
                    item.unlistedSize += child.bytes;
                    return;
                }
                std::pop_heap(listed.begin(), listed.end(), larger);
                item.unlistedCount += 1;
                item.unlistedSize += listed.back().size;
                listed.pop_back();
            }
            listed.push_back(DiskSlimSubItem{QFile::decodeName(child.name), base + child.name, child.bytes, child.date,
                                             child.isDirectory, selected});
            std::push_heap(listed.begin(), listed.end(), larger);
        });
    }
    // Folders alone take blocks too, but a cache of empty folders is nothing to offer.
    if (item.size <= 0 || item.fileCount <= 0)
        return std::nullopt;
    std::sort(listed.begin(), listed.end(), larger);
    item.subItems =
        QList<DiskSlimSubItem>(std::make_move_iterator(listed.begin()), std::make_move_iterator(listed.end()));
    return item;
}

void DiskSlimScanner::removeChild(int dirFd, const QByteArray& name, SlimPurgeResult& result) const
{
    struct stat st = {};
    if (::fstatat(dirFd, name.constData(), &st, AT_SYMLINK_NOFOLLOW) != 0)
        return; // gone since the scan: nothing to remove, nothing freed
    const RemovalResult removal = TreeRemover(kSubItemRemoval).remove(dirFd, name.constData());
    // What went counts, also from a tree that could not be deleted completely.
    result.freedBytes += removal.removedBytes;
    if (removal.removedAllButSpared())
        ++result.removedCount;
    else
        ++result.failedCount;
}

SlimPurgeResult DiskSlimScanner::purge(const DiskSlimItem& item)
{
    SlimPurgeResult result;
    const QList<DiskSlimPlace> places = diskSlimPlaces(item.category, m_roots);
    if (!item.subItems.isEmpty()) {
        for (const DiskSlimSubItem& sub : item.subItems) {
            if (!sub.isSelected)
                continue;
            const qsizetype slash = sub.path.lastIndexOf('/');
            if (slash <= 0) {
                ++result.failedCount;
                continue;
            }
            const QByteArray parent = sub.path.left(slash);
            const QByteArray name = sub.path.mid(slash + 1);
            const auto place = std::find_if(places.cbegin(), places.cend(),
                                            [&parent](const DiskSlimPlace& p) { return p.path() == parent; });
            if (place == places.cend() || !offers(item.category, places, *place, name)) {
                ++result.failedCount;
                continue;
            }
            const PosixFd fd = open(*place);
            if (fd.isValid())
                removeChild(fd.get(), name, result);
        }
        if (item.unlistedCount == 0)
            return result;
    }
    if (!item.isSelected)
        return result;
    // What the item does not list: all of it for an item without sub-items, else what the scan found
    // beyond the listed ones. The listed, ticked or not, were decided above.
    QSet<QByteArray> listed;
    for (const DiskSlimSubItem& sub : item.subItems)
        listed.insert(sub.path);
    for (const DiskSlimPlace& place : places) {
        const PosixFd fd = open(place);
        if (!fd.isValid())
            continue;
        const QByteArray base = place.path() + '/';
        for (const QByteArray& name : readDirectoryNames(fd.get(), true)) {
            if (listed.contains(base + name) || !offers(item.category, places, place, name))
                continue;
            struct stat st = {};
            if (item.changedUpTo && ::fstatat(fd.get(), name.constData(), &st, AT_SYMLINK_NOFOLLOW) == 0 &&
                fromTimespec(st.st_ctim) > *item.changedUpTo + kChangeTolerance)
                continue;
            removeChild(fd.get(), name, result);
        }
    }
    return result;
}

} // namespace rubbly
