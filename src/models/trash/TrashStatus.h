#pragma once

#include "FileCategory.h"
#include "Timestamp.h"
#include "TrashItemDetail.h"

#include <QList>

#include <map>

namespace rubbly {

// One snapshot of every trash folder.
struct TrashStatus {
    qint64 totalSize = 0;
    int itemCount = 0;
    Timestamp lastUpdatedAt{};
    // Every top-level entry, largest first; equal sizes keep their listing order.
    QList<TrashItemDetail> topItems;
    // Bytes per category; a category without entries is absent.
    std::map<FileCategory, qint64> categoryDistribution;

    // The five largest entries when there are six or more, otherwise all of them.
    QList<TrashItemDetail> previewItems() const;

    bool operator==(const TrashStatus&) const = default;
};

} // namespace rubbly
