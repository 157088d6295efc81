#include "FakeStatusNotifierWatcher.h"

#include "StatusNotifierTypes.h"

#include <QDBusMessage>
#include <QDBusObjectPath>

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

bool FakeStatusNotifierWatcher::start()
{
    if (!m_running)
        m_running = m_bus.registerObject(kPath, this,
                                         QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllSignals |
                                             QDBusConnection::ExportAllProperties) &&
                    m_bus.registerService(kService) &&
                    m_bus.connect({}, u"/StatusNotifierItem"_s, u"org.kde.StatusNotifierItem"_s, u"XAyatanaNewLabel"_s,
                                  this, SLOT(labelAnnounced(QString)));
    return m_running;
}

void FakeStatusNotifierWatcher::stop()
{
    if (std::exchange(m_running, false)) {
        m_bus.unregisterService(kService);
        m_bus.unregisterObject(kPath);
        m_bus.disconnect({}, u"/StatusNotifierItem"_s, u"org.kde.StatusNotifierItem"_s, u"XAyatanaNewLabel"_s, this,
                         SLOT(labelAnnounced(QString)));
    }
    m_itemShown = false;
    drawnLabel.clear();
}

void FakeStatusNotifierWatcher::RegisterStatusNotifierItem(const QString& service)
{
    registrations.append({message().service(), service});
    // The host reads the item before it answers, which QtDBus does when this returns.
    if (inspectsLikeAppIndicator)
        inspections.append(inspect(service));
    Q_EMIT StatusNotifierItemRegistered(service);
}

FakeStatusNotifierWatcher::Inspection FakeStatusNotifierWatcher::inspect(const QString& service)
{
    // The item is given by a bus name, unique or well-known, at the usual path. Events run during the
    // calls: the item may live on this thread.
    QDBusMessage getAll = QDBusMessage::createMethodCall(service, u"/StatusNotifierItem"_s,
                                                         u"org.freedesktop.DBus.Properties"_s, u"GetAll"_s);
    getAll << u"org.kde.StatusNotifierItem"_s;
    Inspection inspection{
        false, {}, qdbus_cast<QVariantMap>(m_bus.call(getAll, QDBus::BlockWithGui).arguments().value(0)), {}};
    const QVariantMap& held = inspection.properties;
    m_heldLabel = held.value(u"XAyatanaLabel"_s).toString();
    // The name watch reports the owner: Id and Menu are forgotten, then read back into a cache
    // that no longer has them.
    if (!service.startsWith(u':'))
        inspection.problem = u"Id read back while absent (the name watch came last)"_s;
    else if (held.value(u"Id"_s).toString().isEmpty() || held.value(u"Status"_s).toString() == u"Passive"_s)
        inspection.problem = u"no Id, or passive"_s;
    if (!inspection.problem.isEmpty())
        return inspection;
    // Without a real menu ("/", "/NO_DBUSMENU") the layout is empty.
    const QString menuPath = qdbus_cast<QDBusObjectPath>(held.value(u"Menu"_s)).path();
    QDBusMessage layout =
        QDBusMessage::createMethodCall(service, menuPath, u"com.canonical.dbusmenu"_s, u"GetLayout"_s);
    layout << 0 << -1 << QStringList();
    const QDBusMessage answer = m_bus.call(layout, QDBus::BlockWithGui);
    for (const DBusMenuLayoutItem& entry : qdbus_cast<DBusMenuLayoutItem>(answer.arguments().value(1)).children)
        inspection.menu.append(entry.properties.value(u"type"_s) == u"separator"_s
                                   ? u"-"_s
                                   : entry.properties.value(u"label"_s).toString());
    inspection.shown = m_itemShown = !inspection.menu.isEmpty();
    if (!inspection.shown)
        inspection.problem = u"empty menu"_s;
    return inspection;
}

void FakeStatusNotifierWatcher::labelAnnounced(const QString& label)
{
    if (m_itemShown && label != std::exchange(m_heldLabel, label))
        drawnLabel = label;
}

} // namespace rubbly::test
