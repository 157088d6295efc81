#include "FakeStatusNotifierWatcher.h"

#include "StatusNotifierTypes.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>

#include <functional>

namespace rubbly::test {

using namespace Qt::StringLiterals;

namespace {
const QString kService = QStringLiteral("org.kde.StatusNotifierWatcher");
const QString kPath = QStringLiteral("/StatusNotifierWatcher");
} // namespace

FakeStatusNotifierWatcher::FakeStatusNotifierWatcher()
    : m_bus(QDBusConnection::connectToBus(QDBusConnection::SessionBus, u"fake-watcher"_s))
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
    // The item is given by a bus name, unique or well-known, at the usual path.
    QDBusMessage getAll = QDBusMessage::createMethodCall(service, u"/StatusNotifierItem"_s,
                                                         u"org.freedesktop.DBus.Properties"_s, u"GetAll"_s);
    getAll << u"org.kde.StatusNotifierItem"_s;
    callThen(m_bus, getAll, this, [=, this](const QDBusMessage& reply) {
        Inspection inspection{service, false, {}, qdbus_cast<QVariantMap>(reply.arguments().value(0)), {}};
        const QVariantMap& held = inspection.properties;
        const QString menuPath = qdbus_cast<QDBusObjectPath>(held.value(u"Menu"_s)).path();
        // The name watch reports the owner: Id and Menu are forgotten, then read back into a cache
        // that no longer has them.
        if (!service.startsWith(u':'))
            inspection.problem = u"Id read back while absent (the name watch came last)"_s;
        else if (held.value(u"Id"_s).toString().isEmpty())
            inspection.problem = u"no Id"_s;
        else if (menuPath.isEmpty() || menuPath == u"/"_s || menuPath == u"/NO_DBUSMENU"_s)
            inspection.problem = u"no menu"_s;
        else if (held.value(u"Status"_s).toString() == u"Passive"_s)
            inspection.problem = u"passive"_s;
        if (!inspection.problem.isEmpty()) {
            finishInspection(inspection, registration);
            return;
        }
        QDBusMessage layout =
            QDBusMessage::createMethodCall(service, menuPath, u"com.canonical.dbusmenu"_s, u"GetLayout"_s);
        layout << 0 << -1 << QStringList();
        callThen(m_bus, layout, this, [=, this](const QDBusMessage& answer) mutable {
            for (const DBusMenuLayoutItem& entry : qdbus_cast<DBusMenuLayoutItem>(answer.arguments().value(1)).children)
                inspection.menu.append(entry.properties.value(u"type"_s) == u"separator"_s
                                           ? u"-"_s
                                           : entry.properties.value(u"label"_s).toString());
            inspection.shown = !inspection.menu.isEmpty();
            if (!inspection.shown)
                inspection.problem = u"empty menu"_s;
            finishInspection(inspection, registration);
        });
    });
}

void FakeStatusNotifierWatcher::finishInspection(const Inspection& inspection, const QDBusMessage& registration)
{
    inspections.append(inspection);
    m_bus.send(registration.createReply());
    Q_EMIT StatusNotifierItemRegistered(inspection.service);
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
