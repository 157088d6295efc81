#include "DiskSlimService.h"

#include "AppIdentity.h"

#include <QPointer>

namespace rubbly {

DiskSlimService::DiskSlimService(DiskSlimRoots roots, QObject* parent)
    : QObject(parent)
    , m_scanner(std::move(roots))
    , m_actor(kAppId + QStringLiteral(".DiskSlimService"))
{
}

QCoro::Task<QList<DiskSlimItem>> DiskSlimService::scan(QSet<QString> installed,
                                                       std::function<void(const SlimScanProgress&)> progress)
{
    QPointer<DiskSlimService> self = this;
    DiskSlimScanner* scanner = &m_scanner;
    auto choose = [scanner, installed = std::move(installed)] { return scanner->chooseCategories(installed); };
    const QList<DiskSlimCategory> categories = co_await m_actor.run(std::move(choose));
    QList<DiskSlimItem> items;
    for (int k = 0; k < categories.size(); ++k) {
        if (!self)
            co_return items;
        const DiskSlimCategory category = categories[k];
        const int position = k + 1;
        const int count = static_cast<int>(categories.size());
        if (progress)
            progress(SlimScanProgress{category, position, count, std::nullopt});
        auto job = [scanner, category] { return scanner->measure(category); };
        std::optional<DiskSlimItem> item = co_await m_actor.run(std::move(job));
        if (!self)
            co_return items;
        if (progress)
            progress(SlimScanProgress{category, position, count, item});
        if (item)
            items.append(std::move(*item));
    }
    co_return items;
}

QCoro::Task<SlimPurgeResult> DiskSlimService::purge(QList<DiskSlimItem> items,
                                                    std::function<void(const SlimPurgeProgress&)> progress)
{
    QPointer<DiskSlimService> self = this;
    DiskSlimScanner* scanner = &m_scanner;
    SlimPurgeResult total;
    for (int k = 0; k < items.size(); ++k) {
        if (!self)
            co_return total;
        if (progress)
            progress(SlimPurgeProgress{items[k].category, k + 1, static_cast<int>(items.size())});
        auto job = [scanner, item = items[k]] { return scanner->purge(item); };
        const SlimPurgeResult result = co_await m_actor.run(std::move(job));
        total.removedCount += result.removedCount;
        total.freedBytes += result.freedBytes;
        total.failedCount += result.failedCount;
    }
    co_return total;
}

} // namespace rubbly
