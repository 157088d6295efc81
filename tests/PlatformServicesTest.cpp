#include "PlatformServices.h"
#include "DefaultsStore.h"
#include "QtAppearance.h"
#include "SettingsService.h"
#include "TempHome.h"

#include <QFile>
#include <QGuiApplication>
#include <QTest>

using namespace rubbly;
using namespace rubbly::test;

class PlatformServicesTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void settingsActOnTheRealBackends()
    {
        TempHome home;
        PlatformServices platform;
        QVERIFY(!platform.keyGrabber); // offscreen, no DISPLAY: no way to grab keys
        platform.settings->setAppAppearance(AppAppearance::Dark);
        QCoreApplication::processEvents();
        QVERIFY(platform.appearance->isDark());
        QVERIFY(QGuiApplication::palette().color(QPalette::Window).lightness() < 128);

        platform.settings->setLaunchAtLogin(true);
        QVERIFY(QFile::exists(home.configHome() + QStringLiteral("/autostart/com.tolvik.Rubbly.desktop")));
        platform.settings->setLaunchAtLogin(false);
        QVERIFY(!QFile::exists(home.configHome() + QStringLiteral("/autostart/com.tolvik.Rubbly.desktop")));
        QVERIFY(QFile::exists(home.configHome() + QStringLiteral("/rubbly/defaults.json")));
    }
};

QTEST_MAIN(PlatformServicesTest)
#include "PlatformServicesTest.moc"
