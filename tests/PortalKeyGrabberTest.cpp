#include "PortalKeyGrabber.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusVirtualObject>
#include <QSet>
#include <QSignalSpy>
#include <QTemporaryFile>
#include <QTest>

using namespace rubbly;
using namespace Qt::StringLiterals;

namespace {

using Bound = std::pair<QString, QVariantMap>; // one entry of a(sa{sv})

// How one real portal answers BindShortcuts. KDE: 0 with what it bound. GNOME 48: 2 with what it bound
// after the user's Add, 2 and nothing for a caller without an application id, 1 after Cancel; it may
// report a press before its answer. `held`: the user still reads the dialog.
struct Answer {
    uint code = 0;
    // missing: no interface; late: the name gets its owner after the first call (still starting)
    bool results = true, early = false, held = false, registry = false, missing = false, late = false;
};

// The GlobalShortcuts interface of a desktop portal and its session objects, on a bus connection of its
// own. It takes only the calls with the signatures real portals have, and answers each request
// through the Request object's Response signal, sent before the method's reply: the hardest order
// for a client that subscribes late. Closing a session frees its path; until then the path is taken.
class FakePortal : public QDBusVirtualObject {
public:
    QSet<QString> open;
    QStringList closed, withdrawn, calls;
    QString session;
    QMap<QString, QString> bound; // shortcut id -> preferred trigger
    Answer answer;

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
        calls.append(message.member());
        if (call == u"Register(sa{sv})"_s && answer.registry)
            return connection.send(message.createReply());
        if (message.interface() == u"org.freedesktop.portal.GlobalShortcuts"_s && answer.missing)
            return false;
        if (call == u"Close()"_s) { // a session, or a request whose dialog still shows
            (open.remove(message.path()) ? closed : withdrawn).append(message.path());
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
            QList<Bound> shortcuts = qdbus_cast<QList<Bound>>(message.arguments().at(1));
            for (Bound& shortcut : shortcuts) {
                bound.insert(shortcut.first, shortcut.second.value(u"preferred_trigger"_s).toString());
                shortcut.second = {{u"trigger_description"_s, answer.code == 2
                                                                  ? u"Press <Shift><Alt>BackSpace"_s // GNOME
                                                                  : u"Shift+Alt+BackSpace"_s}};
            }
            if (answer.early)
                activate(connection, u"empty-trash"_s);
            const bool ok = open.contains(message.arguments().at(0).value<QDBusObjectPath>().path());
            if (answer.held)
                return connection.send(message.createReply(QVariant::fromValue(QDBusObjectPath(u"/held"_s))));
            QVariantMap results;
            if (answer.results)
                results.insert(u"shortcuts"_s, QVariant::fromValue(shortcuts));
            return respond(ok ? answer.code : 2, results);
        }
        return false;
    }
    void activate(const QDBusConnection& connection, const QString& id, const QString& in = {}) const
    {
        QDBusMessage signal = QDBusMessage::createSignal(u"/org/freedesktop/portal/desktop"_s,
                                                         u"org.freedesktop.portal.GlobalShortcuts"_s, u"Activated"_s);
        signal << QVariant::fromValue(QDBusObjectPath(!in.isEmpty()       ? in
                                                      : session.isEmpty() ? u"/none"_s
                                                                          : session))
               << id << qulonglong(1) << QVariantMap();
        connection.send(signal);
    }
};

} // namespace

Q_DECLARE_METATYPE(Answer)

class PortalKeyGrabberTest : public QObject {
    Q_OBJECT

    std::unique_ptr<FakePortal> m_portal;
    QDBusConnection m_portalBus{QString()};

    void activate(const QString& id) { m_portal->activate(m_portalBus, id); }
    // A round trip to the portal's connection: what it sent before answers comes first, and its
    // delivery is queued here by the time the call returns.
    void roundTrip()
    {
        const QDBusMessage ping = QDBusMessage::createMethodCall(m_portalBus.baseService(), u"/"_s,
                                                                 u"org.freedesktop.DBus.Peer"_s, u"Ping"_s);
        QCOMPARE(QDBusConnection::sessionBus().call(ping).type(), QDBusMessage::ReplyMessage);
        QCoreApplication::processEvents();
    }

private Q_SLOTS:
    void initTestCase()
    {
        qDBusRegisterMetaType<Bound>();
        qDBusRegisterMetaType<QList<Bound>>();
    }
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

    // Switched off and on, the old session goes, or its key stays bound to nobody; one given up
    // mid-CreateSession too, whose open session would also hold its path. A session the portal has
    // closed leaves its token to the next, which KDE takes for the same component when it knows no
    // application id.
    void bindsOnceThoughAbandonedAndFiresOnlyWhileStarted()
    {
        PortalKeyGrabber grabber(QDBusConnection::sessionBus());
        QSignalSpy activated(&grabber, &KeyGrabber::activated);
        grabber.start();
        QTRY_COMPARE(grabber.status(), KeyGrabber::Status::Active);
        const QString first = m_portal->session;
        grabber.stop();
        QTRY_COMPARE(m_portal->closed.size(), 1);
        roundTrip(); // the portal's answer to Close has arrived
        grabber.start();
        QTRY_COMPARE(grabber.status(), KeyGrabber::Status::Active);
        QCOMPARE(m_portal->session, first);
        grabber.stop();
        grabber.start();
        grabber.stop(); // while CreateSession is pending
        grabber.start();
        QTRY_COMPARE(grabber.status(), KeyGrabber::Status::Active);
        QTRY_COMPARE(m_portal->closed.size(), 3);
        QCOMPARE(m_portal->open, QSet<QString>{m_portal->session});
        QCOMPARE(m_portal->bound, (QMap<QString, QString>{{u"empty-trash"_s, u"ALT+SHIFT+BackSpace"_s}}));
        activate(u"something-else"_s);
        activate(u"empty-trash"_s);
        QTRY_COMPARE(activated.count(), 1);
        grabber.stop();
        activate(u"empty-trash"_s);
        roundTrip();
        QCOMPARE(activated.count(), 1);

        grabber.start();
        grabber.stop(); // before its first session arrives
        QTRY_COMPARE(m_portal->closed.size(), 5);
        QVERIFY(m_portal->open.isEmpty());
    }

    // The key is ours when the portal says it bound it, whatever its answer's code, and a press of our
    // session's key counts even before that answer; what the desktop refused, and why, is told apart.
    void judgesTheBindByWhatThePortalBound_data()
    {
        QTest::addColumn<Answer>("answer");
        QTest::addColumn<QByteArray>("cgroup");
        QTest::addColumn<KeyGrabber::Status>("status");
        QTest::addColumn<bool>("anonymous");
        using S = KeyGrabber::Status;
        const QByteArray scope = "0::/user.slice/user-0.slice/user@0.service/app.slice/"
                                 "app-gnome-com.tolvik.Rubbly-4242.scope\n";
        QTest::newRow("kde") << Answer{} << QByteArray() << S::Active << true;
        QTest::newRow("gnome-add") << Answer{2, true, true} << scope << S::Active << false;
        QTest::newRow("gnome-add-registered")
            << Answer{2, true, false, false, true} << QByteArray() << S::Active << false;
        QTest::newRow("gnome-terminal") << Answer{2, false} << QByteArray("0::/user.slice/session-2.scope\n")
                                        << S::RefusedByDesktop << true;
        // The documented answer to a cancelled dialog; GNOME 48 answers its Cancel as it answers a refusal,
        // 2 with nothing bound, which is all the pane can go by there.
        QTest::newRow("cancel") << Answer{1, false} << scope << S::RefusedByUser << false;
        QTest::newRow("gnome-48-cancel") << Answer{2, false} << scope << S::RefusedByDesktop << false;
        QTest::newRow("dialog-open") << Answer{0, true, false, true} << scope << S::Waiting << false;
        QTest::newRow("no-interface") << Answer{0, true, false, false, false, true} << scope << S::Unavailable << false;
        QTest::newRow("late-owner") << Answer{0, true, false, false, false, false, true} << scope << S::Active << false;
    }
    void judgesTheBindByWhatThePortalBound()
    {
        QFETCH(Answer, answer);
        QFETCH(QByteArray, cgroup);
        QFETCH(KeyGrabber::Status, status);
        QFETCH(bool, anonymous);
        QTemporaryFile file;
        QVERIFY(file.open() && file.write(cgroup) == cgroup.size() && file.flush());
        m_portal->answer = answer;
        PortalKeyGrabber grabber(std::nullopt, file.fileName());
        QSignalSpy activated(&grabber, &KeyGrabber::activated);
        if (answer.late)
            m_portalBus.unregisterService(u"org.freedesktop.portal.Desktop"_s);
        grabber.start();
        if (answer.late) {
            QTRY_COMPARE(grabber.status(), KeyGrabber::Status::Unavailable);
            QVERIFY(m_portalBus.registerService(u"org.freedesktop.portal.Desktop"_s));
        }
        QTRY_COMPARE(grabber.status(), status);
        QCOMPARE(grabber.anonymous(), anonymous);
        QCOMPARE(m_portal->calls.first(), u"Register"_s);
        QCOMPARE(grabber.detail(), status == KeyGrabber::Status::Active ? u"Shift+Alt+BackSpace"_s : QString());
        activate(u"empty-trash"_s);
        m_portal->activate(m_portalBus, u"empty-trash"_s, u"/org/freedesktop/portal/desktop/session/1_2/other"_s);
        QTRY_COMPARE(activated.count(), int(status != KeyGrabber::Status::Unavailable) + int(answer.early));
        grabber.stop(); // the user may walk away from the dialog: switching off withdraws it
        QTRY_COMPARE(m_portal->withdrawn.size(), answer.held ? 1 : 0);
    }
};

QTEST_GUILESS_MAIN(PortalKeyGrabberTest)
#include "PortalKeyGrabberTest.moc"
