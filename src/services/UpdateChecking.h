#pragma once

#include <QCoroTask>

namespace rubbly {

// What the view model needs of the self-updater: the silent check at start.
class UpdateChecking {
public:
    virtual ~UpdateChecking() = default;
    // manual false: the silent, throttled background check.
    virtual QCoro::Task<void> checkForUpdates(bool manual) = 0;
};

} // namespace rubbly
