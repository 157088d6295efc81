#pragma once

#include "DirectoryWalker.h"
#include "DiskSlimSnapshot.h"
#include "PosixFd.h"

#include <QSet>

#include <functional>

namespace rubbly {

struct SlimPurgeResult {
    int removedCount = 0;
    qint64 freedBytes = 0;
    // Entries that were there but could not be deleted completely (not part of what the tab shows).
    int failedCount = 0;

    bool operator==(const SlimPurgeResult&) const = default;
};

// The synchronous slim engine. Every candidate folder is reached from its anchor (the home folder or
// an XDG base directory) one component at a time with O_NOFOLLOW, so a candidate that is, or lies
// behind, a symbolic link is neither measured nor purged. A sub-item's size is what deleting it
// frees: the allocated bytes of everything below it, hidden entries and folders included. Files
// holding credentials are never offered, counted or deleted; deletion never follows links and never
// removes a candidate folder itself. Not thread-safe; DiskSlimService runs it on its actor.
class DiskSlimScanner final {
public:
    explicit DiskSlimScanner(DiskSlimRoots roots);

    const DiskSlimRoots& roots() const { return m_roots; }

    // The categories a scan looks at, in catalogue order: those whose owner is installed, and those
    // with at least one candidate folder present. An unowned category none of whose folders exists
    // (the places of tools that only run on other systems) would find nothing, and is not scanned,
    // so the progress line never names it.
    QList<DiskSlimCategory> chooseCategories(const QSet<QString>& installed) const;
    // The category's item, or nothing when its folders hold no bytes. Categories holding the user's
    // own work come unselected. Only the largest sub-items are kept; the others are counted, so the
    // memory a scan takes does not grow with the number of entries.
    std::optional<DiskSlimItem> measure(DiskSlimCategory category);
    // Deletes the selected sub-items, and for a selected item also what it does not list (its
    // unlisted sub-items, or all its folders hold when it lists none) as long as it has not changed
    // since the scan; counts the allocated bytes that went. Only what a scan would offer now is deleted,
    // whatever the item says: it may come from a stored snapshot.
    SlimPurgeResult purge(const DiskSlimItem& item);

private:
    struct Child {
        QByteArray name;
        qint64 bytes = 0;
        qint64 files = 0;
        std::optional<Timestamp> date;
        Timestamp changed;
        bool isDirectory = false;
    };
    PosixFd open(const DiskSlimPlace& place) const;
    // Whether the entry `name` of the candidate `place` is offered as a sub-item: not hidden, not a
    // credential, an installer in Downloads, neither another candidate of the category nor holding
    // one, and neither the Trash nor holding it.
    bool offers(DiskSlimCategory category, const QList<DiskSlimPlace>& places, const DiskSlimPlace& place,
                const QByteArray& name) const;
    // Calls `take` with each child of one candidate that becomes a sub-item, measured.
    void forEachChild(DiskSlimCategory category, const QList<DiskSlimPlace>& places, const DiskSlimPlace& place,
                      int dirFd, const std::function<void(Child&)>& take);
    void removeChild(int dirFd, const QByteArray& name, SlimPurgeResult& result) const;

    DiskSlimRoots m_roots;
    QByteArray m_trash;
    DirectoryWalker m_walker;
};

} // namespace rubbly
