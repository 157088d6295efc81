#include "FakeStatusNotifierWatcher.h"

#include "StatusNotifierTypes.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>

#include <functional>

namespace rubbly::test {

namespace {
const QString kService = QStringLiteral("org.kde.StatusNotifierWatcher");
const QString kPath = QStringLiteral("/StatusNotifierWatcher");
} // namespace

FakeStatusNotifierWatcher::FakeStatusNotifierWatcher(bool hostRegistered)
    : m_bus(QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("fake-watcher")))
    , m_hostRegistered(hostRegistered)
{
    registerStatusNotifierTypes();
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
    Q_EMIT registered ? StatusNotifierHostRegistered() : StatusNotifierHostUnregistered();
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
    if (inspectsLikeAppIndicator) {
        setDelayedReply(true);
        inspect(message(), service);
        return;
    }
    Q_EMIT StatusNotifierItemRegistered(service);
}

namespace {

QDBusMessage itemCall(const QString& busName, const QString& path, const QString& method, const QVariantList& args)
{
    QDBusMessage call =
        QDBusMessage::createMethodCall(busName, path, QStringLiteral("org.freedesktop.DBus.Properties"), method);
    call.setArguments(args);
    return call;
}

// Runs `then` with the reply of `call`, made on `bus` without blocking (the item may live on this
// thread).
void callThen(QDBusConnection bus, const QDBusMessage& call, QObject* context,
              std::function<void(const QDBusMessage&)> then)
{
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call, 5000), context);
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, context, [watcher, then = std::move(then)] {
        watcher->deleteLater();
        then(watcher->reply());
    });
}

} // namespace

void FakeStatusNotifierWatcher::inspect(const QDBusMessage& registration, const QString& service)
{
    // A path names an object of the caller; a name (unique or well-known) an item at the usual path.
    const bool isPath = service.startsWith(QLatin1Char('/'));
    const QString busName = isPath ? registration.service() : service;
    const QString path = isPath ? service : QStringLiteral("/StatusNotifierItem");
    const bool watchesName = !isPath && !service.startsWith(QLatin1Char(':'));
    const QString itemInterface = QStringLiteral("org.kde.StatusNotifierItem");

    callThen(m_bus, itemCall(busName, path, QStringLiteral("GetAll"), {itemInterface}), this,
             [=, this](const QDBusMessage& reply) {
                 Inspection inspection{service, false, {}, {}, {}};
                 QVariantMap held;
                 if (reply.type() == QDBusMessage::ReplyMessage)
                     held = qdbus_cast<QVariantMap>(reply.arguments().value(0));
                 inspection.properties = held;
                 if (watchesName) {
                     // The name watch reports the owner: Id and Menu are forgotten, then read back
                     // into a cache that no longer has them.
                     held.remove(QStringLiteral("Id"));
                     held.remove(QStringLiteral("Menu"));
                     inspection.problem = QStringLiteral("Id read back while absent (the name watch came last)");
                     finishInspection(inspection, registration);
                     return;
                 }
                 const auto menuPath = qdbus_cast<QDBusObjectPath>(held.value(QStringLiteral("Menu"))).path();
                 if (held.value(QStringLiteral("Id")).toString().isEmpty())
                     inspection.problem = QStringLiteral("no Id");
                 else if (menuPath.isEmpty() || menuPath == QLatin1String("/") ||
                          menuPath == QLatin1String("/NO_DBUSMENU"))
                     inspection.problem = QStringLiteral("no menu");
                 else if (held.value(QStringLiteral("Status")).toString() == QLatin1String("Passive"))
                     inspection.problem = QStringLiteral("passive");
                 if (!inspection.problem.isEmpty()) {
                     finishInspection(inspection, registration);
                     return;
                 }
                 QDBusMessage layout = QDBusMessage::createMethodCall(
                     busName, menuPath, QStringLiteral("com.canonical.dbusmenu"), QStringLiteral("GetLayout"));
                 layout.setArguments({0, -1, QStringList()});
                 callThen(m_bus, layout, this, [=, this](const QDBusMessage& answer) mutable {
                     const auto root = qdbus_cast<DBusMenuLayoutItem>(answer.arguments().value(1));
                     for (const DBusMenuLayoutItem& entry : root.children)
                         inspection.menu.append(entry.properties.value(QStringLiteral("type")).toString() ==
                                                        QLatin1String("separator")
                                                    ? QStringLiteral("-")
                                                    : entry.properties.value(QStringLiteral("label")).toString());
                     inspection.shown = !inspection.menu.isEmpty();
                     if (!inspection.shown)
                         inspection.problem = QStringLiteral("empty menu");
                     finishInspection(inspection, registration);
                 });
             });
}

void FakeStatusNotifierWatcher::finishInspection(Inspection inspection, const QDBusMessage& registration)
{
    const QString service = inspection.service;
    inspections.append(std::move(inspection));
    m_bus.send(registration.createReply());
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
