#include "FreedesktopNotificationCenter.h"

#include "AppIdentity.h"

#include <QDBusMessage>
#include <QDBusPendingCall>

#include <QCoroDBusPendingCall>

namespace rubbly {

namespace {
const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
const QString kInterface = QStringLiteral("org.freedesktop.Notifications");
// A server that exists answers at once; this only bounds an activation that hangs.
constexpr int kTimeoutMs = 5000;
} // namespace

FreedesktopNotificationCenter::FreedesktopNotificationCenter(QDBusConnection bus)
    : m_bus(std::move(bus))
{
}

QCoro::Task<bool> FreedesktopNotificationCenter::isAuthorized()
{
    if (!m_bus.isConnected())
        co_return false;
    const QDBusMessage call =
        QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("GetCapabilities"));
    // A copy of the connection: the center may be gone when the reply arrives.
    QDBusConnection bus = m_bus;
    QDBusPendingCall pending = bus.asyncCall(call, kTimeoutMs);
    const QDBusMessage reply = co_await pending;
    co_return reply.type() == QDBusMessage::ReplyMessage;
}

void FreedesktopNotificationCenter::post(const QString& title, const QString& body)
{
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("Notify"));
    const QVariantMap hints{
        // The desktop notifications protocol wants urgency as a byte; an int is ignored or refused by some servers.
        {QStringLiteral("urgency"), QVariant::fromValue<uchar>(1)},
        {QStringLiteral("desktop-entry"), kAppId},
    };
    call << kAppName << uint(0) << kAppId << title << body << QStringList() << hints << int(-1);
    m_bus.asyncCall(call, kTimeoutMs);
}

} // namespace rubbly
