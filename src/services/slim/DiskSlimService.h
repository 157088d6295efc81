#pragma once

#include "Actor.h"
#include "DiskSlimScanner.h"
#include "DiskSlimServicing.h"
#include "XdgPaths.h"

#include <QObject>

#include <QCoroTask>

#include <functional>

namespace rubbly {

// The worker behind the slim tab: scans the catalogue and purges what the user selected. Disk work
// runs on its actor; progress is reported on the caller's thread.
class DiskSlimService final : public QObject, public DiskSlimServicing {
    Q_OBJECT
public:
    explicit DiskSlimService(DiskSlimRoots roots = xdg::slimRoots(), QObject* parent = nullptr);

    QCoro::Task<QList<DiskSlimItem>> scan(QSet<QString> installed,
                                          std::function<void(const SlimScanProgress&)> progress = {}) override;
    QCoro::Task<SlimPurgeResult> purge(QList<DiskSlimItem> items,
                                       std::function<void(const SlimPurgeProgress&)> progress = {}) override;

private:
    DiskSlimScanner m_scanner;
    Actor m_actor;
};

} // namespace rubbly
