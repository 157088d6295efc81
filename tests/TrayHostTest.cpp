#include "TrayHost.h"
#include "BinwellApp.h"
#include "EnvGuard.h"
#include "FakeStatusNotifierWatcher.h"
#include "FakeXEmbedTray.h"
#include "PanelWindow.h"
#include "TempHome.h"
#include "TreeBuilder.h"

#include <QApplication>
#include <QFile>
#include <QSignalSpy>
#include <QTest>

using namespace rubbly;
using namespace rubbly::test;

// The chooser on a real X server (Xvfb, which has no tray of its own) and a private bus: which
// backend shows the item as watchers and XEmbed trays come and go.
class TrayHostTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        if (!QDBusConnection::sessionBus().isConnected())
            QSKIP("no session bus: run under dbus-run-session (ctest does)");
        if (QGuiApplication::platformName() != QLatin1String("xcb"))
            QSKIP("needs an X display: run under xvfb-run (ctest does)");
    }

    // A panel that restarts (XFCE's does to load a plugin) takes the tray away for a moment: no
    // window stands in for it meanwhile (none flashes up, and no panel is made), so the next click
    // on the item opens the panel.
    void aTrayBackAfterAMomentGetsNoStandInWindow()
    {
        TempHome home;
        EnvGuard env;
        TreeBuilder tree(QFile::encodeName(home.root()));
        tree.write("mountinfo", {});
        env.set("RUBBLY_MOUNTINFO", tree.path("mountinfo"));
        env.set("RUBBLY_UPDATE_BASE_URL", "http://127.0.0.1:9/");
        FakeStatusNotifierWatcher watcher;
        QVERIFY(watcher.start());
        BinwellApp app;
        app.buildScenes(nullptr);
        QTRY_VERIFY(app.tray()->isShown());
        watcher.stop();
        QTRY_VERIFY(!app.tray()->isShown());
        QVERIFY(!app.panel());
        QVERIFY(watcher.start());
        QTRY_VERIFY(app.tray()->isShown());
        QVERIFY(!app.panel());
    }

    void followsTheWatcherAndFallsBackToXEmbed()
    {
        // A watcher first: the order matters, as Qt decides at the first tray icon whether its icons
        // go over D-Bus, and this test must see the XEmbed one.
        FakeStatusNotifierWatcher watcher;
        FakeXEmbedTray xembed;
        DesktopSession gnomeOnX11;
        gnomeOnX11.x11 = true;
        gnomeOnX11.desktops = {QStringLiteral("GNOME")};
        TrayHost host(gnomeOnX11);
        host.start();
        // isShown() is backend() != None.
        QVERIFY(host.isSettled()); // neither a watcher nor a tray yet: settled at once, not shown
        QCOMPARE(host.backend(), TrayHost::Backend::None);

        QVERIFY(watcher.start());
        QTRY_COMPARE(host.backend(), TrayHost::Backend::StatusNotifier);

        // An XEmbed tray as well, and the watcher goes: the tray takes the item; the watcher comes
        // back: the item returns to it.
        QVERIFY(xembed.start());
        watcher.stop();
        QTRY_COMPARE(host.backend(), TrayHost::Backend::XEmbed);
        QList<TrayHost::Backend> switches;
        connect(&host, &TrayHost::backendChanged, this, [&] { switches.append(host.backend()); });
        QVERIFY(watcher.start());
        QTRY_COMPARE(host.backend(), TrayHost::Backend::StatusNotifier);
        // Straight over, without a moment of no item while the new watcher answers.
        QCOMPARE(switches, QList<TrayHost::Backend>{TrayHost::Backend::StatusNotifier});

        // Neither: not shown, and the application is told.
        QSignalSpy shown(&host, &StatusItem::shownChanged);
        xembed.stop();
        watcher.stop();
        QTRY_COMPARE(host.backend(), TrayHost::Backend::None);
        QVERIFY(host.isSettled());
        QVERIFY(shown.size() >= 1);
    }
};

int main(int argc, char** argv)
{
    // The XEmbed fallback needs Qt on X11; ctest's default platform is offscreen. Without an X
    // display the test skips rather than aborting in QApplication.
    if (qEnvironmentVariableIsSet("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "xcb");
    QApplication app(argc, argv);
    TrayHostTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "TrayHostTest.moc"
