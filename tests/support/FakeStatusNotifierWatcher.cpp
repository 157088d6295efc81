#include "FakeStatusNotifierWatcher.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>

namespace rubbly::test {

namespace {
const QString kService = QStringLiteral("org.kde.StatusNotifierWatcher");
const QString kPath = QStringLiteral("/StatusNotifierWatcher");
} // namespace

FakeStatusNotifierWatcher::FakeStatusNotifierWatcher(bool hostRegistered)
    : m_bus(QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("fake-watcher")))
    , m_hostRegistered(hostRegistered)
{
}

FakeStatusNotifierWatcher::~FakeStatusNotifierWatcher()
{
    stop();
}

bool FakeStatusNotifierWatcher::start()
{
    if (m_running)
        return true;
    m_running = m_bus.registerObject(kPath, this,
                                     QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllSignals |
                                         QDBusConnection::ExportAllProperties) &&
                m_bus.registerService(kService);
    return m_running;
}

void FakeStatusNotifierWatcher::stop()
{
    if (!m_running)
        return;
    m_bus.unregisterService(kService);
    m_bus.unregisterObject(kPath);
    m_running = false;
}

void FakeStatusNotifierWatcher::setHostRegistered(bool registered)
{
    m_hostRegistered = registered;
    if (registered)
        Q_EMIT StatusNotifierHostRegistered();
    else
        Q_EMIT StatusNotifierHostUnregistered();
}

QStringList FakeStatusNotifierWatcher::registeredItems() const
{
    QStringList items;
    for (const Registration& registration : registrations)
        items.append(registration.service);
    return items;
}

void FakeStatusNotifierWatcher::RegisterStatusNotifierItem(const QString& service)
{
    registrations.append({message().service(), service});
    Q_EMIT StatusNotifierItemRegistered(service);
}

DBusSignalRecorder::DBusSignalRecorder(QDBusConnection bus, const QString& service, const QString& path,
                                       const QString& interface, const QString& name)
{
    bus.connect(service, path, interface, name, this, SLOT(record(QDBusMessage)));
}

void DBusSignalRecorder::record(const QDBusMessage& message)
{
    received.append(message.arguments());
}

} // namespace rubbly::test
