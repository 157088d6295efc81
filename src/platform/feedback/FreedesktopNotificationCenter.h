#pragma once

#include "NotificationCenter.h"

#include <QDBusConnection>

namespace rubbly {

// org.freedesktop.Notifications on the session bus: "authorized" when the server answers
// GetCapabilities, and each post is one Notify with normal urgency and our desktop entry.
class FreedesktopNotificationCenter final : public NotificationCenter {
public:
    explicit FreedesktopNotificationCenter(QDBusConnection bus = QDBusConnection::sessionBus());

    QCoro::Task<bool> isAuthorized() override;
    void post(const QString& title, const QString& body) override;

private:
    QDBusConnection m_bus;
};

} // namespace rubbly
