// The tray application as a user's desktop sees it: the real program under Xvfb on a private bus,
// with a status-item host.

#include "FakeStatusNotifierWatcher.h"
#include "StatusNotifierItem.h"
#include "TempHome.h"
#include "TreeBuilder.h"

#include <QDBusMessage>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTest>

#include <algorithm>

using namespace rubbly;
using namespace rubbly::test;
using namespace Qt::StringLiterals;

namespace {

// The program (ours or the drag source) on the test's home, for real: xcb on the test's X server.
// Killed if still running at the end.
struct Program : QProcess {
    explicit Program(const TempHome& home, const QString& binary = QStringLiteral(RUBBLY_BINARY),
                     const QStringList& arguments = {})
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove(u"QT_QPA_PLATFORM"_s);
        env.insert(u"HOME"_s, home.home());
        env.insert(u"RUBBLY_MOUNTINFO"_s, u"/dev/null"_s);
        env.insert(u"RUBBLY_UPDATE_BASE_URL"_s, u"http://127.0.0.1:9/"_s);
        setProcessEnvironment(env);
        setProcessChannelMode(QProcess::ForwardedErrorChannel);
        start(binary, arguments);
    }
    ~Program() override
    {
        if (state() != QProcess::NotRunning) {
            kill();
            waitForFinished(5000);
        }
    }
};

// Runs xdotool with `arguments`; its output, trimmed.
QByteArray xdotool(const QStringList& arguments)
{
    QProcess tool;
    tool.start(u"xdotool"_s, arguments);
    tool.waitForFinished(5000);
    return tool.readAllStandardOutput().trimmed();
}

// The first mapped window titled exactly `title`, then `command` run on it.
QByteArray onWindow(const QString& title, const QStringList& command = {})
{
    return xdotool(QStringList{u"search"_s, u"--onlyvisible"_s, u"--name"_s, u'^' + title + u'$'} + command);
}

bool windowShown(const QString& title)
{
    return !onWindow(title).isEmpty();
}

// The centre of the mapped window titled exactly `title`, in screen coordinates.
QPoint windowCentre(const QString& title)
{
    QHash<QByteArray, int> values;
    for (const QByteArray& line : onWindow(title, {u"getwindowgeometry"_s, u"--shell"_s}).split('\n')) {
        const QList<QByteArray> pair = line.split('=');
        if (pair.size() == 2)
            values.insert(pair[0], pair[1].toInt());
    }
    return {values.value("X") + values.value("WIDTH") / 2, values.value("Y") + values.value("HEIGHT") / 2};
}

// Calls the item at `service` (or its menu) as a status-area host does.
QDBusMessage callItem(const QString& service, const QString& path, const QString& interface, const QString& method,
                      const QVariantList& arguments)
{
    QDBusMessage message = QDBusMessage::createMethodCall(service, path, interface, method);
    message.setArguments(arguments);
    return QDBusConnection::sessionBus().call(message, QDBus::Block, 5000);
}

QString itemLabel(const QString& service)
{
    const QDBusMessage reply = callItem(service, StatusNotifierItem::kItemPath, u"org.freedesktop.DBus.Properties"_s,
                                        u"Get"_s, {u"org.kde.StatusNotifierItem"_s, u"XAyatanaLabel"_s});
    return reply.arguments().value(0).value<QDBusVariant>().variant().toString();
}

} // namespace

class TrayAppTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // A tray shows the item: no window at start. The user opens the panel from the item, presses on
    // a file in another program (which takes the focus) and drags it onto the panel, quickly or at a
    // person's pace: the panel stays for the drag, the file lands in the Trash, the size beside the
    // item follows, and the panel closes a moment later, as the focus is elsewhere. Released
    // elsewhere, the file stays and the panel closes. Then the item's menu quits.
    void aFileDraggedFromAnotherProgram_data()
    {
        QTest::addColumn<int>("moves");
        QTest::addColumn<int>("pauseMs");
        QTest::addColumn<bool>("ontoThePanel");
        QTest::newRow("in a quarter of a second") << 10 << 25 << true;
        QTest::newRow("at a person's pace") << 11 << 150 << true;
        QTest::newRow("released elsewhere") << 11 << 150 << false;
    }
    void aFileDraggedFromAnotherProgram()
    {
        QFETCH(int, moves);
        QFETCH(int, pauseMs);
        QFETCH(bool, ontoThePanel);
        TempHome home;
        const QString file = home.home() + u"/Downloads/report draft.txt"_s;
        TreeBuilder(QFile::encodeName(QFileInfo(file).path())).write("report draft.txt", QByteArray(5000, 'x'));
        FakeStatusNotifierWatcher watcher;
        QVERIFY(watcher.start());
        Program rubbly(home);
        QTRY_VERIFY_WITH_TIMEOUT(!watcher.registrations.isEmpty(), 10000);
        const QString item = watcher.registrations.first().service;
        QVERIFY(!windowShown(u"Rubbly"_s));
        // The size beside the item, once the Trash was read; it follows the drop.
        QTRY_VERIFY_WITH_TIMEOUT(!QStringList({QString(), u"…"_s}).contains(itemLabel(item)), 5000);
        const QString emptySize = itemLabel(item);
        Program source(home, QStringLiteral(DRAG_SOURCE), {file});
        QTRY_VERIFY_WITH_TIMEOUT(windowShown(u"drag-source"_s), 10000);

        xdotool({u"mousemove"_s, u"300"_s, u"5"_s});
        callItem(item, StatusNotifierItem::kItemPath, u"org.kde.StatusNotifierItem"_s, u"Activate"_s, {300, 5});
        QTRY_VERIFY_WITH_TIMEOUT(windowShown(u"Rubbly"_s), 5000);
        const QPoint from = windowCentre(u"drag-source"_s);
        // Elsewhere: as far below the source as the panel is beside it.
        const QPoint to = ontoThePanel ? windowCentre(u"Rubbly"_s) : from + QPoint(0, 250);

        xdotool({u"mousemove"_s, QString::number(from.x()), QString::number(from.y())});
        xdotool({u"mousedown"_s, u"1"_s});
        for (int step = 1; step <= moves; ++step) {
            const QPoint at = from + (to - from) * step / moves;
            QTest::qWait(pauseMs); // the pointer's path, as a hand moves it
            xdotool({u"mousemove"_s, QString::number(at.x()), QString::number(at.y())});
        }
        QVERIFY2(windowShown(u"Rubbly"_s), "the panel closed while the file was on its way");
        // A hand rests a moment before letting go. Qt's X11 drag source drops only where the target
        // has answered the pointer's last move, and on a busy machine that answer can take longer
        // than the fast path's 25 ms.
        QTest::qWait(std::max(pauseMs, 100));
        xdotool({u"mouseup"_s, u"1"_s});
        const QString trashed = home.dataHome() + u"/Trash/files/report draft.txt"_s;
        if (ontoThePanel) {
            QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(trashed), 5000);
            QTRY_VERIFY_WITH_TIMEOUT(!QStringList({QString(), u"…"_s, emptySize}).contains(itemLabel(item)), 5000);
            // It stays while the drop can be undone; a click elsewhere closes it.
            QTest::qWait(600);
            QVERIFY(windowShown(u"Rubbly"_s));
            xdotool({u"mousemove"_s, QString::number(from.x()), QString::number(from.y())});
            xdotool({u"mousedown"_s, u"1"_s});
            QTest::qWait(120); // a click as a hand makes it
            xdotool({u"mouseup"_s, u"1"_s});
        }
        QTRY_VERIFY_WITH_TIMEOUT(!windowShown(u"Rubbly"_s), 5000);
        QVERIFY(QFile::exists(ontoThePanel ? trashed : file));

        callItem(item, StatusNotifierItem::kMenuPath, u"com.canonical.dbusmenu"_s, u"Event"_s,
                 {5, u"clicked"_s, QVariant::fromValue(QDBusVariant(0)), 0u}); // 退出 Rubbly
        QVERIFY(rubbly.waitForFinished(5000));
        QCOMPARE(rubbly.exitStatus(), QProcess::NormalExit);
        QCOMPARE(rubbly.exitCode(), 0);
    }
};

QTEST_GUILESS_MAIN(TrayAppTest)
#include "TrayAppTest.moc"
