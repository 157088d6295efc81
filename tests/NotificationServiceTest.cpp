#include "NotificationService.h"
#include "FreedesktopNotificationCenter.h"

#include <QDBusConnection>
#include <QTest>

using namespace rubbly;

namespace {

// A notification server on its own bus connection, so calls really cross the bus and arrive with
// the types the client marshalled.
class FakeNotificationServer : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    struct Call {
        uint replacesId;
        QVariantMap hints;
    };
    QList<Call> calls;
    uint nextId = 1;

public Q_SLOTS:
    QStringList GetCapabilities() { return {QStringLiteral("body")}; }
    // Only what the client chooses is kept; the call's signature is the protocol's, or it would not arrive.
    uint Notify(const QString&, uint replacesId, const QString&, const QString&, const QString&, const QStringList&,
                const QVariantMap& hints, int)
    {
        calls.append({replacesId, hints});
        return nextId++;
    }
};

} // namespace

class NotificationServiceTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        if (!QDBusConnection::sessionBus().isConnected())
            QSKIP("no session bus: run under dbus-run-session (ctest does)");
    }

    void postsOverTheBusWithTheRightTypesOnceThereIsAServer()
    {
        FreedesktopNotificationCenter center;
        QVERIFY(!QCoro::waitFor(center.isAuthorized())); // no server yet: not authorised
        FakeNotificationServer server;
        QDBusConnection bus = QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("fake-server"));
        QVERIFY(bus.registerObject(QStringLiteral("/org/freedesktop/Notifications"), &server,
                                   QDBusConnection::ExportAllSlots));
        QVERIFY(bus.registerService(QStringLiteral("org.freedesktop.Notifications")));

        NotificationService service(center);
        service.notifyCleaningFinished(1610612736, 12);
        QTRY_COMPARE(server.calls.size(), 1);
        const auto& first = server.calls[0];
        QCOMPARE(first.replacesId, 0u); // never replaces an earlier notification
        // The protocol wants urgency as a byte; an int is ignored or refused by some servers.
        QCOMPARE(first.hints.value(QStringLiteral("urgency")).typeId(), int(QMetaType::UChar));
    }
};

QTEST_GUILESS_MAIN(NotificationServiceTest)
#include "NotificationServiceTest.moc"
