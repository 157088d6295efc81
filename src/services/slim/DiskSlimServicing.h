#pragma once

#include "DiskSlimScanner.h"

#include <QList>
#include <QSet>
#include <QString>

#include <QCoroTask>

#include <functional>
#include <optional>

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

} // namespace rubbly
