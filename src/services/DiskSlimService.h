#pragma once

#include "Actor.h"
#include "DiskSlimScanner.h"

#include <QObject>

#include <QCoroTask>

#include <functional>

namespace rubbly {

struct SlimScanProgress {
    DiskSlimCategory category;
    int position = 0; // 1-based
    int count = 0;
    // Set on the second call for a category, when it produced an item.
    std::optional<DiskSlimItem> item;
};

struct SlimPurgeProgress {
    DiskSlimCategory category;
    int position = 0;
    int count = 0;
};

// The worker behind the slim tab: scans the catalogue and purges what the user selected. Disk work
// runs on its actor; progress is reported on the caller's thread, twice per scanned category (before,
// and after with the item) and once per purged item.
class DiskSlimService final : public QObject {
    Q_OBJECT
public:
    explicit DiskSlimService(QString home, QObject* parent = nullptr);

    // Items of the categories that hold data, in catalogue order, each with its sub-items largest
    // first.
    QCoro::Task<QList<DiskSlimItem>> scan(QSet<QString> installed,
                                          std::function<void(const SlimScanProgress&)> progress = {});
    QCoro::Task<SlimPurgeResult> purge(QList<DiskSlimItem> items,
                                       std::function<void(const SlimPurgeProgress&)> progress = {});

private:
    DiskSlimScanner m_scanner;
    Actor m_actor;
};

} // namespace rubbly
