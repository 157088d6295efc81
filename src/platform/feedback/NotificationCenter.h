#pragma once

#include <QString>

#include <QCoroTask>

namespace rubbly {

// The desktop's notification service.
class NotificationCenter {
public:
    virtual ~NotificationCenter() = default;

    // True when notifications can be shown now (a notification server answers). Never asks the user.
    virtual QCoro::Task<bool> isAuthorized() = 0;
    // Shows one notification at once, never replacing an earlier one; failures are not reported.
    virtual void post(const QString& title, const QString& body) = 0;
};

} // namespace rubbly
