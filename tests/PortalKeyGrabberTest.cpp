#include "PortalKeyGrabber.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVirtualObject>
#include <QSet>
#include <QSignalSpy>
#include <QTest>

using namespace rubbly;
using namespace Qt::StringLiterals;

namespace {

// The GlobalShortcuts interface of a desktop portal and its session objects, on a bus connection of its
// own. It takes only the calls with the signatures real portals have, and answers each request
// through the Request object's Response signal, sent before the method's reply: the hardest order
// for a client that subscribes late. Closing a session frees its path; until then the path is taken.
class FakePortal : public QDBusVirtualObject {
public:
    QSet<QString> open;
    QStringList closed;
    QString session;
    QMap<QString, QString> bound; // shortcut id -> preferred trigger

    QString introspect(const QString&) const override { return {}; }
    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override
    {
        const QString call = message.member() + u'(' + message.signature() + u')';
        const QVariantMap options = qdbus_cast<QVariantMap>(message.arguments().value(message.arguments().size() - 1));
        // The sender's unique name, as it appears in the portal's object paths.
        const QString sender = message.service().mid(1).replace(u'.', u'_');
        const auto respond = [&](uint code, const QVariantMap& results) {
            const QString path = u"/org/freedesktop/portal/desktop/request/%1/%2"_s.arg(
                sender, options.value(u"handle_token"_s).toString());
            QDBusMessage signal = QDBusMessage::createSignal(path, u"org.freedesktop.portal.Request"_s, u"Response"_s);
            signal << code << results;
            return connection.send(signal) &&
                   connection.send(message.createReply(QVariant::fromValue(QDBusObjectPath(path))));
        };
        if (call == u"Close()"_s && open.remove(message.path())) {
            closed.append(message.path());
            return connection.send(message.createReply());
        }
        if (call == u"CreateSession(a{sv})"_s) {
            const QString path = u"/org/freedesktop/portal/desktop/session/%1/%2"_s.arg(
                sender, options.value(u"session_handle_token"_s).toString());
            // The real portal cannot export a second session object on a path that is taken.
            if (open.contains(path))
                return connection.send(message.createErrorReply(QDBusError::Failed, u"session path taken"_s));
            open.insert(path);
            session = path;
            return respond(0, {{u"session_handle"_s, session}});
        }
        if (call == u"BindShortcuts(oa(sa{sv})sa{sv})"_s) {
            const QDBusArgument shortcuts = message.arguments().at(1).value<QDBusArgument>();
            shortcuts.beginArray();
            while (!shortcuts.atEnd()) {
                QString id;
                QVariantMap properties;
                shortcuts.beginStructure();
                shortcuts >> id >> properties;
                shortcuts.endStructure();
                bound.insert(id, properties.value(u"preferred_trigger"_s).toString());
            }
            shortcuts.endArray();
            const bool ok = open.contains(message.arguments().at(0).value<QDBusObjectPath>().path());
            return respond(ok ? 0 : 2, {});
        }
        return false;
    }
};

} // namespace

class PortalKeyGrabberTest : public QObject {
    Q_OBJECT

    std::unique_ptr<FakePortal> m_portal;
    QDBusConnection m_portalBus{QString()};

    void activate(const QString& id)
    {
        QDBusMessage signal = QDBusMessage::createSignal(u"/org/freedesktop/portal/desktop"_s,
                                                         u"org.freedesktop.portal.GlobalShortcuts"_s, u"Activated"_s);
        signal << QVariant::fromValue(QDBusObjectPath(m_portal->session)) << id << qulonglong(1) << QVariantMap();
        m_portalBus.send(signal);
    }

private Q_SLOTS:
    void init()
    {
        if (!QDBusConnection::sessionBus().isConnected())
            QSKIP("no session bus: run under dbus-run-session (ctest does)");
        m_portalBus = QDBusConnection::connectToBus(QDBusConnection::SessionBus, u"fake-portal"_s);
        m_portal = std::make_unique<FakePortal>();
        QVERIFY(m_portalBus.registerVirtualObject(u"/org/freedesktop/portal/desktop"_s, m_portal.get(),
                                                  QDBusConnection::SubPath));
        QVERIFY(m_portalBus.registerService(u"org.freedesktop.portal.Desktop"_s));
    }

    void cleanup()
    {
        if (!m_portal)
            return;
        m_portalBus.unregisterService(u"org.freedesktop.portal.Desktop"_s);
        m_portalBus.unregisterObject(u"/org/freedesktop/portal/desktop"_s, QDBusConnection::UnregisterTree);
        m_portal.reset();
        QDBusConnection::disconnectFromBus(u"fake-portal"_s);
    }

    // The setting applied twice in one turn at start stops the first attempt mid-CreateSession. Its
    // session, left open, would hold its path (and a fixed token would make that the next one's).
    void bindsOnceThoughAbandonedAndFiresOnlyWhileStarted()
    {
        PortalKeyGrabber grabber;
        QSignalSpy activated(&grabber, &KeyGrabber::activated);
        grabber.start();
        grabber.stop(); // while CreateSession is pending
        grabber.start();
        QTRY_COMPARE(grabber.status(), KeyGrabber::Status::Active);
        QTRY_COMPARE(m_portal->closed.size(), 1);
        QCOMPARE(m_portal->open, QSet<QString>{m_portal->session});
        QCOMPARE(m_portal->bound, (QMap<QString, QString>{{u"empty-trash"_s, u"ALT+SHIFT+BackSpace"_s}}));
        activate(u"something-else"_s);
        activate(u"empty-trash"_s);
        QTRY_COMPARE(activated.count(), 1);
        grabber.stop();
        activate(u"empty-trash"_s);
        // A round trip to the portal's connection: its answer comes after the signal, whose delivery
        // is queued here by the time the call returns.
        const QDBusMessage ping = QDBusMessage::createMethodCall(m_portalBus.baseService(), u"/"_s,
                                                                 u"org.freedesktop.DBus.Peer"_s, u"Ping"_s);
        QCOMPARE(QDBusConnection::sessionBus().call(ping).type(), QDBusMessage::ReplyMessage);
        QCoreApplication::processEvents();
        QCOMPARE(activated.count(), 1);

        auto doomed = std::make_unique<PortalKeyGrabber>();
        doomed->start();
        doomed.reset(); // gone before its session arrives
        QTRY_COMPARE(m_portal->closed.size(), 3);
        QVERIFY(m_portal->open.isEmpty());
    }
};

QTEST_GUILESS_MAIN(PortalKeyGrabberTest)
#include "PortalKeyGrabberTest.moc"
