#include "PortalAppearanceSource.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QTest>

using namespace rubbly;
using namespace Qt::StringLiterals;

namespace {

// The Settings part of a desktop portal, answering Read() with the value wrapped twice, as the
// real portal does.
class FakeSettingsPortal : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.Settings")
public:
    uint scheme = 1;
public Q_SLOTS:
    QDBusVariant Read(const QString& group, const QString& key)
    {
        if (group != QLatin1String("org.freedesktop.appearance") || key != QLatin1String("color-scheme"))
            return QDBusVariant(QVariant());
        return QDBusVariant(QVariant::fromValue(QDBusVariant(QVariant(scheme))));
    }
};

} // namespace

class AppearanceTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void portalValueIsUnwrapped_data()
    {
        using Scheme = AppearanceSource::ColorScheme;
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<Scheme>("scheme");
        QTest::newRow("no preference") << QVariant(uint(0)) << Scheme::NoPreference;
        QTest::newRow("garbage") << QVariant(u"dark"_s) << Scheme::NoPreference;
    }
    void portalValueIsUnwrapped()
    {
        QFETCH(QVariant, value);
        QFETCH(AppearanceSource::ColorScheme, scheme);
        QCOMPARE(PortalAppearanceSource::fromPortalValue(value), scheme);
    }

    void readsAndFollowsThePortal()
    {
        QCOMPARE(PortalAppearanceSource(QDBusConnection(QStringLiteral("not-connected"))).colorScheme(),
                 AppearanceSource::ColorScheme::NoPreference); // no bus, no portal: no preference
        if (!QDBusConnection::sessionBus().isConnected())
            QSKIP("no session bus: run under dbus-run-session (ctest does)");
        QDBusConnection portalBus = QDBusConnection::connectToBus(QDBusConnection::SessionBus, u"portal"_s);
        FakeSettingsPortal portal;
        QVERIFY(
            portalBus.registerObject(u"/org/freedesktop/portal/desktop"_s, &portal, QDBusConnection::ExportAllSlots));
        QVERIFY(portalBus.registerService(u"org.freedesktop.portal.Desktop"_s));

        PortalAppearanceSource source; // the portal answers twice wrapped, as the real one does
        QTRY_COMPARE(source.colorScheme(), AppearanceSource::ColorScheme::Dark);

        QDBusMessage changed = QDBusMessage::createSignal(u"/org/freedesktop/portal/desktop"_s,
                                                          u"org.freedesktop.portal.Settings"_s, u"SettingChanged"_s);
        changed << u"org.freedesktop.appearance"_s << u"color-scheme"_s
                << QVariant::fromValue(QDBusVariant(QVariant(uint(2))));
        QVERIFY(portalBus.send(changed));
        QTRY_COMPARE(source.colorScheme(), AppearanceSource::ColorScheme::Light);
        portalBus.unregisterService(u"org.freedesktop.portal.Desktop"_s);
    }
};

QTEST_MAIN(AppearanceTest)
#include "AppearanceTest.moc"
