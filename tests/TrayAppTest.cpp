// The tray application as a user's desktop sees it: the real program under Xvfb on a private bus,
// with and without a status-item host.

#include "FakeStatusNotifierWatcher.h"
#include "StatusNotifierItem.h"
#include "TempHome.h"

#include <QDBusMessage>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTest>

using namespace rubbly;
using namespace rubbly::test;

namespace {

QProcessEnvironment programEnvironment(const TempHome& home)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("QT_QPA_PLATFORM")); // the real thing: xcb on the test's X server
    env.insert(QStringLiteral("HOME"), home.home());
    env.insert(QStringLiteral("RUBBLY_MOUNTINFO"), QStringLiteral("/dev/null"));
    env.insert(QStringLiteral("RUBBLY_UPDATE_BASE_URL"), QStringLiteral("http://127.0.0.1:9/"));
    return env;
}

// True when a mapped window's title is exactly `title`.
bool windowShown(const QString& title)
{
    QProcess search;
    search.start(QStringLiteral("xdotool"), {QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                                             QStringLiteral("--name"), QLatin1Char('^') + title + QLatin1Char('$')});
    search.waitForFinished(5000);
    return search.exitCode() == 0 && !search.readAllStandardOutput().trimmed().isEmpty();
}

struct Program {
    QProcess process;
    explicit Program(const TempHome& home, const QStringList& arguments = {})
    {
        process.setProcessEnvironment(programEnvironment(home));
        process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process.start(QStringLiteral(RUBBLY_BINARY), arguments);
    }
    ~Program()
    {
        if (process.state() != QProcess::NotRunning) {
            process.kill();
            process.waitForFinished(5000);
        }
    }
};

// Runs xdotool with `arguments`; its output, trimmed.
QByteArray xdotool(const QStringList& arguments)
{
    QProcess tool;
    tool.start(QStringLiteral("xdotool"), arguments);
    tool.waitForFinished(5000);
    return tool.readAllStandardOutput().trimmed();
}

// The centre of the mapped window titled exactly `title`, in screen coordinates.
QPoint windowCentre(const QString& title)
{
    const QByteArray id = xdotool({QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--name"),
                                   QLatin1Char('^') + title + QLatin1Char('$')})
                              .split('\n')
                              .first();
    const QByteArray shell =
        xdotool({QStringLiteral("getwindowgeometry"), QStringLiteral("--shell"), QString::fromLatin1(id)});
    QHash<QByteArray, int> values;
    for (const QByteArray& line : shell.split('\n')) {
        const QList<QByteArray> pair = line.split('=');
        if (pair.size() == 2)
            values.insert(pair[0], pair[1].toInt());
    }
    return {values.value("X") + values.value("WIDTH") / 2, values.value("Y") + values.value("HEIGHT") / 2};
}

QDBusMessage callItem(const QString& service, const QString& path, const QString& interface, const QString& method,
                      const QVariantList& arguments)
{
    QDBusMessage message = QDBusMessage::createMethodCall(service, path, interface, method);
    message.setArguments(arguments);
    return QDBusConnection::sessionBus().call(message, QDBus::Block, 5000);
}

} // namespace

class TrayAppTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void theItemOpensThePanelAndItsMenuWorks()
    {
        TempHome home;
        FakeStatusNotifierWatcher watcher;
        QVERIFY(watcher.start());
        Program rubbly(home);
        QTRY_VERIFY_WITH_TIMEOUT(!watcher.registrations.isEmpty(), 10000);
        const QString item = watcher.registrations.first().service;
        QVERIFY(!windowShown(QStringLiteral("Rubbly"))); // a tray shows the item: no window at start

        const QString sni = QStringLiteral("org.kde.StatusNotifierItem");
        callItem(item, StatusNotifierItem::kItemPath, sni, QStringLiteral("Activate"), {100, 10});
        QTRY_VERIFY_WITH_TIMEOUT(windowShown(QStringLiteral("Rubbly")), 5000);
        callItem(item, StatusNotifierItem::kItemPath, sni, QStringLiteral("Activate"), {100, 10});
        QTRY_VERIFY_WITH_TIMEOUT(!windowShown(QStringLiteral("Rubbly")), 5000);

        const auto click = [&item](int id) {
            return callItem(item, StatusNotifierItem::kMenuPath, QStringLiteral("com.canonical.dbusmenu"),
                            QStringLiteral("Event"),
                            {id, QStringLiteral("clicked"), QVariant::fromValue(QDBusVariant(0)), 0u});
        };
        click(3); // 偏好设置…
        QTRY_VERIFY_WITH_TIMEOUT(windowShown(QStringLiteral("Rubbly Settings")), 5000);
        click(5); // 退出 Rubbly
        QVERIFY(rubbly.process.waitForFinished(5000));
        QCOMPARE(rubbly.process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(rubbly.process.exitCode(), 0);
    }

    // The user presses on a file in another program (which takes the focus) and drags it onto the
    // open panel: the panel stays for the drag, the file lands in the Trash, and the panel closes a
    // moment later, as the focus is elsewhere.
    void aFileDraggedFromAnotherProgramLandsInTheTrash()
    {
        TempHome home;
        const QString file = home.home() + QStringLiteral("/Downloads/report draft.txt");
        QDir().mkpath(QFileInfo(file).path());
        QFile(file).open(QIODevice::WriteOnly);
        FakeStatusNotifierWatcher watcher;
        QVERIFY(watcher.start());
        Program rubbly(home);
        QTRY_VERIFY_WITH_TIMEOUT(!watcher.registrations.isEmpty(), 10000);
        QProcess source;
        source.setProcessEnvironment(programEnvironment(home));
        source.start(QStringLiteral(DRAG_SOURCE), {file});
        QTRY_VERIFY_WITH_TIMEOUT(windowShown(QStringLiteral("drag-source")), 10000);

        xdotool({QStringLiteral("mousemove"), QStringLiteral("300"), QStringLiteral("5")});
        callItem(watcher.registrations.first().service, StatusNotifierItem::kItemPath,
                 QStringLiteral("org.kde.StatusNotifierItem"), QStringLiteral("Activate"), {300, 5});
        QTRY_VERIFY_WITH_TIMEOUT(windowShown(QStringLiteral("Rubbly")), 5000);
        const QPoint panel = windowCentre(QStringLiteral("Rubbly"));
        const QPoint from = windowCentre(QStringLiteral("drag-source"));

        xdotool({QStringLiteral("mousemove"), QString::number(from.x()), QString::number(from.y())});
        xdotool({QStringLiteral("mousedown"), QStringLiteral("1")});
        for (int step = 1; step <= 10; ++step) {
            const QPoint at = from + (panel - from) * step / 10;
            xdotool({QStringLiteral("mousemove"), QString::number(at.x()), QString::number(at.y())});
            QTest::qWait(30); // the pointer's path, as a hand moves it
        }
        xdotool({QStringLiteral("mouseup"), QStringLiteral("1")});
        const QString trashed = home.dataHome() + QStringLiteral("/Trash/files/report draft.txt");
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(trashed), 5000);
        QVERIFY(!QFile::exists(file));
        QVERIFY(windowShown(QStringLiteral("Rubbly")));
        QTRY_VERIFY_WITH_TIMEOUT(!windowShown(QStringLiteral("Rubbly")), 5000);
        source.kill();
        source.waitForFinished(5000);
    }

    void withoutATrayThePanelIsAWindowAndASecondStartFindsIt()
    {
        TempHome home;
        Program rubbly(home);
        QTRY_VERIFY_WITH_TIMEOUT(windowShown(QStringLiteral("Rubbly")), 10000);
        Program second(home);
        QVERIFY(second.process.waitForFinished(10000));
        QCOMPARE(second.process.exitCode(), 0);
        QVERIFY(windowShown(QStringLiteral("Rubbly")));
        QCOMPARE(rubbly.process.state(), QProcess::Running);
    }
};

QTEST_GUILESS_MAIN(TrayAppTest)
#include "TrayAppTest.moc"
