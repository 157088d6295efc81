#include "PanelItems.h"
#include "PanelLabel.h"
#include "TempHome.h"

#include <QDBusConnection>
#include <QDir>
#include <QFile>
#include <QTest>
#include <QThread>
#include <QtConcurrent>

#include <atomic>

using namespace rubbly;
using namespace Qt::StringLiterals;

namespace {

using Commands = QMap<int, QString>;

QVariantMap panelChannel(const QMap<int, QString>& plugins, const QMap<int, QList<int>>& panels)
{
    QVariantMap channel;
    QVariantList numbers;
    for (auto it = plugins.begin(); it != plugins.end(); ++it)
        channel.insert(QStringLiteral("/plugins/plugin-%1").arg(it.key()), it.value());
    for (auto it = panels.begin(); it != panels.end(); ++it) {
        numbers.append(it.key());
        QVariantList ids;
        for (int id : it.value())
            ids.append(id);
        channel.insert(QStringLiteral("/panels/panel-%1/plugin-ids").arg(it.key()), ids);
    }
    channel.insert(QStringLiteral("/panels"), numbers);
    return channel;
}

// xfce4-panel's restart request, answered on a connection and thread of its own as the panel would.
class FakeXfcePanel : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.xfce.Panel")
public:
    std::atomic<int> restarts = 0;
public Q_SLOTS:
    Q_SCRIPTABLE void Terminate(bool restart) { restarts += restart; }
};

} // namespace

class PanelItemsTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // The monitor goes before the notification area of the panel that has one, under an id no
    // plugin uses; one of ours already there is found, another program's monitor is not ours.
    void xfcePlanPutsTheMonitorBesideTheTray_data()
    {
        QTest::addColumn<QVariantMap>("channel");
        QTest::addColumn<Commands>("commands");
        QTest::addColumn<bool>("present");
        QTest::addColumn<int>("id");
        QTest::addColumn<QString>("panel");
        QTest::addColumn<QList<int>>("ids");
        const QString ours = QStringLiteral("/opt/Rubbly.app/AppRun tray label --genmon");
        QTest::newRow("one panel") << panelChannel({{1, u"systray"_s}}, {{1, {1}}}) << QMap<int, QString>() << false
                                   << 2 << u"/panels/panel-1/plugin-ids"_s << QList<int>{2, 1};
        QTest::newRow("tray on the second panel")
            << panelChannel({{3, u"clock"_s}, {4, u"systray"_s}, {9, u"pager"_s}}, {{1, {9}}, {2, {3, 4}}})
            << QMap<int, QString>() << false << 10 << u"/panels/panel-2/plugin-ids"_s << QList<int>{3, 10, 4};
        QTest::newRow("no tray: end of the first panel")
            << panelChannel({{1, u"clock"_s}, {2, u"pager"_s}}, {{1, {1, 2}}}) << QMap<int, QString>() << false << 3
            << u"/panels/panel-1/plugin-ids"_s << QList<int>{1, 2, 3};
        QTest::newRow("ours already there") << panelChannel({{1, u"systray"_s}, {7, u"genmon"_s}}, {{1, {7, 1}}})
                                            << QMap<int, QString>{{7, ours}} << true << 7 << QString() << QList<int>();
        QTest::newRow("another program's monitor") << panelChannel({{1, u"systray"_s}, {7, u"genmon"_s}}, {{1, {7, 1}}})
                                                   << QMap<int, QString>{{7, u"sensors"_s}} << false << 8
                                                   << u"/panels/panel-1/plugin-ids"_s << QList<int>{7, 8, 1};
    }
    void xfcePlanPutsTheMonitorBesideTheTray()
    {
        QFETCH(QVariantMap, channel);
        QFETCH(Commands, commands);
        const xfcepanel::Plan plan = xfcepanel::plan(channel, commands);
        QVERIFY(plan.error.isEmpty());
        QTEST(plan.present, "present");
        QTEST(plan.pluginId, "id");
        QTEST(plan.panel, "panel");
        QTEST(plan.pluginIds, "ids");
        QVERIFY(!xfcepanel::plan(QVariantMap(), {}).error.isEmpty());
    }

    // The monitor never wakes by itself, takes the panel's font (an empty Font key draws no text),
    // and its markup cannot be broken by what it shows or by the program's path.
    void genmonSettingsAndMarkup()
    {
        const QByteArray rc = xfcepanel::genmonSettings(u"'/opt/My Apps/AppRun'"_s);
        QVERIFY(rc.contains("Command='/opt/My Apps/AppRun' tray label --genmon\n"));
        QVERIFY(rc.contains("UpdatePeriod=86400000\n"));
        QVERIFY(!rc.contains("Font="));
        QVERIFY(xfcepanel::isOurCommand(QString::fromUtf8(rc.split('\n').first().mid(8))));
        const QString markup = xfcepanel::genmonMarkup(u"<2 MB>"_s, u"/opt/A & B/AppRun"_s);
        QVERIFY(markup.contains(u"<txt>&lt;2 MB&gt;</txt>"_s));
        QVERIFY(markup.contains(u"<txtclick>'/opt/A &amp; B/AppRun' --toggle-panel</txtclick>"_s));
        QVERIFY(!xfcepanel::genmonMarkup(QString(), u"rubbly"_s).contains(u"<txt>"_s));
    }

    // The command exits right after asking: the panel must have the request by then.
    void xfceRestartReachesThePanelBeforeReturning()
    {
        QThread thread;
        FakeXfcePanel panel;
        panel.moveToThread(&thread);
        thread.start();
        QDBusConnection bus = QDBusConnection::connectToBus(QDBusConnection::SessionBus, u"fake-xfce-panel"_s);
        QVERIFY(bus.registerObject(u"/org/xfce/Panel"_s, &panel, QDBusConnection::ExportScriptableSlots));
        QVERIFY(bus.registerService(u"org.xfce.Panel"_s));
        QCOMPARE(xfcepanel::restart(QDBusConnection::sessionBus()), QString());
        QCOMPARE(panel.restarts.load(), 1);
        thread.quit();
        thread.wait();
    }

    // A waiting panel item wakes for a change made while it waits, at once for one it missed,
    // and sees the label go when the application ends.
    void labelFileWakesAWaiterOnChange()
    {
        test::TempHome home;
        QVERIFY(!panellabel::read());
        QVERIFY(panellabel::publish(u"1.2 MB"_s));
        QString error;
        QCOMPARE(panellabel::waitForChange(QString(), error), u"1.2 MB"_s);
        QFuture<std::optional<QString>> waiter = QtConcurrent::run([] {
            QString threadError;
            return panellabel::waitForChange(u"1.2 MB"_s, threadError);
        });
        QVERIFY(panellabel::publish(u"3.4 MB"_s));
        QCOMPARE(waiter.result(), u"3.4 MB"_s);
        panellabel::withdraw();
        QVERIFY(!panellabel::read());
        QCOMPARE(panellabel::waitForChange(u"3.4 MB"_s, error), QString());
    }

    // An application folder's widget goes to the user's data folder and runs that folder's program;
    // a widget the system's data folders hold (a package install) is left alone.
    void plasmaWidgetCopyRunsItsProgram()
    {
        test::TempHome home;
        PanelItems::Config config;
        config.program = u"/opt/My Apps/AppRun"_s;
        config.bundleData = QStringLiteral(RUBBLY_BUILD_SHARE);
        config.env = home.environment();
        const QString id = PanelItems::plasmaWidgetId(5);
        QCOMPARE(PanelItems(config).installPlasmaWidget(id), QString());
        QFile xml(home.dataHome() + u"/plasma/plasmoids/"_s + id + u"/contents/config/main.xml"_s);
        QVERIFY(xml.open(QIODevice::ReadOnly));
        QVERIFY(xml.readAll().contains("<default>'/opt/My Apps/AppRun'</default>"));
        QVERIFY(QFile::exists(home.dataHome() + u"/plasma/plasmoids/"_s + id + u"/contents/ui/main.qml"_s));

        const QString system = home.systemDataDir() + u"/plasma/plasmoids/"_s + PanelItems::plasmaWidgetId(6);
        QVERIFY(QDir().mkpath(system));
        QFile stub(system + u"/metadata.json"_s);
        QVERIFY(stub.open(QIODevice::WriteOnly));
        stub.close();
        QCOMPARE(PanelItems(config).installPlasmaWidget(PanelItems::plasmaWidgetId(6)), QString());
        QVERIFY(!QFile::exists(home.dataHome() + u"/plasma/plasmoids/"_s + PanelItems::plasmaWidgetId(6)));
    }
};

QTEST_GUILESS_MAIN(PanelItemsTest)
#include "PanelItemsTest.moc"
