#include "PortalKeyGrabber.h"

#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusVirtualObject>
#include <QSet>
#include <QSignalSpy>
#include <QTest>

using namespace rubbly;
using namespace Qt::StringLiterals;

struct TestShortcut {
    QString id;
    QVariantMap properties;
};
Q_DECLARE_METATYPE(TestShortcut)

QDBusArgument& operator<<(QDBusArgument& argument, const TestShortcut& shortcut)
{
    argument.beginStructure();
    argument << shortcut.id << shortcut.properties;
    argument.endStructure();
    return argument;
}

const QDBusArgument& operator>>(const QDBusArgument& argument, TestShortcut& shortcut)
{
    argument.beginStructure();
    argument >> shortcut.id >> shortcut.properties;
    argument.endStructure();
    return argument;
}

namespace {

// The portal's session objects. Closing one frees its path; until then the path is taken.
class SessionTree : public QDBusVirtualObject {
public:
    QSet<QString> open;
    QStringList closed;

    QString introspect(const QString&) const override { return {}; }
    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override
    {
        if (message.member() != QLatin1String("Close") || !open.remove(message.path()))
            return false;
        closed.append(message.path());
        return connection.send(message.createReply());
    }
};

// The GlobalShortcuts part of a desktop portal, on its own bus connection. It answers each request
// through the Request object's Response signal, right after the method returns, the way real
// portals do.
class FakePortal : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.GlobalShortcuts")
public:
    explicit FakePortal(QDBusConnection bus)
        : m_bus(std::move(bus))
    {
    }
    QString session;
    SessionTree sessions;
    QString boundTrigger;
    QString boundId;
    bool refuseBinding = false;

    void activate(const QString& id)
    {
        QDBusMessage signal = QDBusMessage::createSignal(u"/org/freedesktop/portal/desktop"_s,
                                                         u"org.freedesktop.portal.GlobalShortcuts"_s, u"Activated"_s);
        signal << QVariant::fromValue(QDBusObjectPath(session)) << id << qulonglong(1) << QVariantMap();
        m_bus.send(signal);
    }

public Q_SLOTS:
    QDBusObjectPath CreateSession(const QVariantMap& options)
    {
        const QString path = u"/org/freedesktop/portal/desktop/session/%1/%2"_s.arg(
            senderPart(), options.value(u"session_handle_token"_s).toString());
        // The real portal cannot export a second session object on a path that is taken.
        if (sessions.open.contains(path)) {
            sendErrorReply(QDBusError::Failed, u"session path taken: %1"_s.arg(path));
            return {};
        }
        sessions.open.insert(path);
        session = path;
        return respond(options, 0, {{u"session_handle"_s, session}});
    }

    QDBusObjectPath BindShortcuts(const QDBusObjectPath& sessionHandle, const QList<TestShortcut>& shortcuts,
                                  const QString& parentWindow, const QVariantMap& options)
    {
        Q_UNUSED(parentWindow);
        for (const TestShortcut& shortcut : shortcuts) {
            boundId = shortcut.id;
            boundTrigger = shortcut.properties.value(u"preferred_trigger"_s).toString();
        }
        const bool ok = sessions.open.contains(sessionHandle.path()) && !refuseBinding;
        return respond(options, ok ? 0 : 2, {});
    }

private:
    QString senderPart() const
    {
        QString sender = message().service().mid(1);
        return sender.replace(QLatin1Char('.'), QLatin1Char('_'));
    }

    QDBusObjectPath respond(const QVariantMap& options, uint code, const QVariantMap& results)
    {
        const QString path = u"/org/freedesktop/portal/desktop/request/%1/%2"_s.arg(
            senderPart(), options.value(u"handle_token"_s).toString());
        QDBusMessage signal = QDBusMessage::createSignal(path, u"org.freedesktop.portal.Request"_s, u"Response"_s);
        signal << code << results;
        // Sent before the method's reply, the hardest order for a client that subscribes late.
        m_bus.send(signal);
        return QDBusObjectPath(path);
    }

    QDBusConnection m_bus;
};

} // namespace

class PortalKeyGrabberTest : public QObject {
    Q_OBJECT

    std::unique_ptr<FakePortal> m_portal;
    QDBusConnection m_portalBus{QString()};

    // A round trip to the portal's connection: its answer comes after every signal the portal sent
    // before, and those signals' deliveries are queued here by the time the call returns.
    void flushPortalSignals()
    {
        const QDBusMessage reply = QDBusConnection::sessionBus().call(QDBusMessage::createMethodCall(
            m_portalBus.baseService(), u"/"_s, u"org.freedesktop.DBus.Peer"_s, u"Ping"_s));
        QCOMPARE(reply.type(), QDBusMessage::ReplyMessage);
        QCoreApplication::processEvents();
    }

private Q_SLOTS:
    void init()
    {
        if (!QDBusConnection::sessionBus().isConnected())
            QSKIP("no session bus: run under dbus-run-session (ctest does)");
        qDBusRegisterMetaType<TestShortcut>();
        qDBusRegisterMetaType<QList<TestShortcut>>();
        m_portalBus = QDBusConnection::connectToBus(QDBusConnection::SessionBus, u"fake-portal"_s);
        m_portal = std::make_unique<FakePortal>(m_portalBus);
        QVERIFY(m_portalBus.registerObject(u"/org/freedesktop/portal/desktop"_s, m_portal.get(),
                                           QDBusConnection::ExportAllSlots));
        QVERIFY(m_portalBus.registerVirtualObject(u"/org/freedesktop/portal/desktop/session"_s, &m_portal->sessions,
                                                  QDBusConnection::SubPath));
        QVERIFY(m_portalBus.registerService(u"org.freedesktop.portal.Desktop"_s));
    }

    void cleanup()
    {
        if (!m_portal)
            return;
        m_portalBus.unregisterService(u"org.freedesktop.portal.Desktop"_s);
        m_portalBus.unregisterObject(u"/org/freedesktop/portal/desktop"_s);
        m_portalBus.unregisterObject(u"/org/freedesktop/portal/desktop/session"_s, QDBusConnection::UnregisterTree);
        m_portal.reset();
        QDBusConnection::disconnectFromBus(u"fake-portal"_s);
    }

    void bindsThePreferredTriggerAndFiresOnActivation()
    {
        PortalKeyGrabber grabber;
        QSignalSpy activated(&grabber, &KeyGrabber::activated);
        grabber.start();
        QTRY_COMPARE(grabber.status(), KeyGrabber::Status::Active);
        QCOMPARE(m_portal->boundTrigger, u"ALT+SHIFT+BackSpace"_s);
        QCOMPARE(m_portal->boundId, u"empty-trash"_s);
        m_portal->activate(u"empty-trash"_s);
        QTRY_COMPARE(activated.count(), 1);
        m_portal->activate(u"something-else"_s);
        flushPortalSignals();
        QCOMPARE(activated.count(), 1);
        grabber.stop();
        m_portal->activate(u"empty-trash"_s);
        flushPortalSignals();
        QCOMPARE(activated.count(), 1);
    }

    void aRefusedBindingIsReported()
    {
        m_portal->refuseBinding = true;
        PortalKeyGrabber grabber;
        grabber.start();
        QTRY_COMPARE(grabber.status(), KeyGrabber::Status::Conflict);
    }

    // The setting applied twice in one turn at start stops the first attempt mid-CreateSession. Its
    // session, left open, would hold its path (and a fixed token would make that the next one's).
    void aSessionForAnAbandonedAttemptIsClosed()
    {
        PortalKeyGrabber grabber;
        grabber.start();
        grabber.stop(); // while CreateSession is pending
        grabber.start();
        QTRY_COMPARE(grabber.status(), KeyGrabber::Status::Active);
        QTRY_COMPARE(m_portal->sessions.closed.size(), 1);
        const QSet<QString> live{m_portal->session};
        QCOMPARE(m_portal->sessions.open, live);

        auto doomed = std::make_unique<PortalKeyGrabber>();
        doomed->start();
        doomed.reset(); // gone before its session arrives
        QTRY_COMPARE(m_portal->sessions.closed.size(), 2);
        QCOMPARE(m_portal->sessions.open, live);
    }

    void noPortalIsUnavailable()
    {
        cleanup();
        PortalKeyGrabber grabber;
        grabber.start();
        QCOMPARE(grabber.status(), KeyGrabber::Status::Unavailable);
    }
};

QTEST_GUILESS_MAIN(PortalKeyGrabberTest)
#include "PortalKeyGrabberTest.moc"
