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

// The synchronous slim engine below one home folder. Every candidate folder is reached from the home
// folder one component at a time with O_NOFOLLOW, so a candidate that is, or lies behind, a symbolic
// link is neither measured nor purged; hidden entries are skipped; deletion never follows links and
// never removes a candidate folder itself. Not thread-safe; DiskSlimService runs it on its actor.
class DiskSlimScanner final {
public:
    explicit DiskSlimScanner(QString home);

    const QString& home() const { return m_home; }

    // The categories a scan looks at, in catalogue order: those without owners, those whose owner is
    // installed, and those with at least one candidate folder present.
    QList<DiskSlimCategory> chooseCategories(const QSet<QString>& installed) const;
    // The category's item, or nothing when its folders hold no bytes.
    std::optional<DiskSlimItem> measure(DiskSlimCategory category);
    // Deletes the selected sub-items (or, for a selected item without sub-items, what its folders
    // hold), counting the sizes recorded at scan time.
    SlimPurgeResult purge(const DiskSlimItem& item);

private:
    struct Child {
        QByteArray name;
        qint64 bytes = 0;
        qint64 files = 0;
        std::optional<Timestamp> date;
        bool isDirectory = false;
    };
    PosixFd openBelowHome(const QString& relative) const;
    // Calls `visit` with each existing candidate folder of `category` once, in catalogue order, and
    // a descriptor reached without following any link.
    void forEachCandidate(DiskSlimCategory category, const std::function<void(const QString&, int)>& visit) const;
    // The children of one candidate that become sub-items, measured.
    QList<Child> children(DiskSlimCategory category, const QString& relative, int dirFd);

    QString m_home;
    DirectoryWalker m_walker;
};

} // namespace rubbly
