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

// What the view model needs of the slim engine; tests fake it.
class DiskSlimServicing {
public:
    virtual ~DiskSlimServicing() = default;

    // Items of the categories that hold data, in catalogue order, each with its sub-items largest
    // first. Progress comes twice per scanned category: before, and after with its item.
    virtual QCoro::Task<QList<DiskSlimItem>> scan(QSet<QString> installed,
                                                  std::function<void(const SlimScanProgress&)> progress = {}) = 0;
    // Deletes what `items` select; progress comes once per item, before it is purged.
    virtual QCoro::Task<SlimPurgeResult> purge(QList<DiskSlimItem> items,
                                               std::function<void(const SlimPurgeProgress&)> progress = {}) = 0;
};

// The worker behind the slim tab: scans the catalogue and purges what the user selected. Disk work
// runs on its actor; progress is reported on the caller's thread.
class DiskSlimService final : public QObject, public DiskSlimServicing {
    Q_OBJECT
public:
    explicit DiskSlimService(DiskSlimRoots roots = DiskSlimRoots::fromEnvironment(), QObject* parent = nullptr);

    QCoro::Task<QList<DiskSlimItem>> scan(QSet<QString> installed,
                                          std::function<void(const SlimScanProgress&)> progress = {}) override;
    QCoro::Task<SlimPurgeResult> purge(QList<DiskSlimItem> items,
                                       std::function<void(const SlimPurgeProgress&)> progress = {}) override;

private:
    DiskSlimScanner m_scanner;
    Actor m_actor;
};

} // namespace rubbly
