#include "BlockingWait.h"
#include "ProcessRunner.h"
#include "TrashFixture.h"
#include "TrashService.h"
#include "VirtualScheduler.h"

#include <QFile>
#include <QStandardPaths>
#include <QTest>

using namespace rubbly;
using namespace rubbly::test;
using namespace Qt::StringLiterals;

// What the desktop's own trash tools write we read, and what we write they read and restore.
class TrashInteropTest : public QObject {
    Q_OBJECT

    static void requireTool(const char* tool)
    {
        if (QStandardPaths::findExecutable(QLatin1String(tool)).isEmpty())
            QSKIP(qPrintable(u"%1 is not installed (scripts/setup installs it)"_s.arg(QLatin1String(tool))));
    }

    static TrashStatus scan(const TrashFixture& fx)
    {
        VirtualScheduler clock;
        TrashService service(&clock, fx.locations());
        const TrashStatusResult result = blockingWait(service.fetchStatus());
        if (!result)
            qFatal("scan failed");
        return result.value();
    }

private Q_SLOTS:
    void weReadWhatTrashCliAndGioTrash_data()
    {
        QTest::addColumn<QString>("tool");
        QTest::newRow("trash-put") << "trash-put";
        QTest::newRow("gio trash") << "gio";
    }
    void weReadWhatTrashCliAndGioTrash()
    {
        QFETCH(QString, tool);
        requireTool(tool.toLatin1().constData());
        TrashFixture fx;
        const QByteArray name = "100% sure + more.txt";
        fx.outside().file(name, 12345);
        fx.outside().file("folder/inside", 8192);
        const qint64 fileSize = TreeBuilder::allocatedSize(fx.outside().path(name));
        const qint64 folderSize = TreeBuilder::treeAllocatedSize(fx.outside().path("folder"));
        QStringList args = tool == QLatin1String("gio") ? QStringList{u"trash"_s} : QStringList{};
        args << QFile::decodeName(fx.outside().path(name)) << QFile::decodeName(fx.outside().path("folder"));
        const auto before = std::chrono::system_clock::now() - std::chrono::seconds(2);
        const ProcessResult put = runProcess(tool, args);
        QVERIFY2(put.exitCode == 0, put.err.constData());

        const TrashStatus status = scan(fx);
        QCOMPARE(status.itemCount, 2);
        for (const TrashItemDetail& item : status.topItems) {
            QVERIFY(item.deletionDate);
            QVERIFY(*item.deletionDate >= std::chrono::time_point_cast<std::chrono::microseconds>(before));
            QCOMPARE(item.originalPath, std::optional(fx.outside().path(item.isDirectory ? "folder" : name)));
            QCOMPARE(item.size, item.isDirectory ? folderSize : fileSize);
        }
    }

    void trashCliListsAndRestoresWhatWeTrash()
    {
        requireTool("trash-list");
        requireTool("trash-restore");
        TrashFixture fx;
        const QByteArray name = "report 100%.pdf";
        fx.outside().file(name, 100);
        QCOMPARE(fx.trashWithService({fx.outside().path(name)}).movedCount, 1);

        const ProcessResult list = runProcess(u"trash-list"_s, {});
        QVERIFY2(list.out.contains(fx.outside().path(name)), list.out.constData());
        const ProcessResult restore = runProcess(u"trash-restore"_s, {QFile::decodeName(fx.outside().path(name))},
                                                 "0\n", QFile::decodeName(fx.outside().root()));
        QVERIFY2(restore.exitCode == 0, restore.err.constData());
        QVERIFY(TreeBuilder::exists(fx.outside().path(name)));
        QCOMPARE(scan(fx).itemCount, 0);
    }

    void gioListsAndRestoresWhatWeTrash()
    {
        requireTool("gio");
        requireTool("dbus-run-session");
        TrashFixture fx;
        fx.outside().file("photo one.jpg", 100);
        QCOMPARE(fx.trashWithService({fx.outside().path("photo one.jpg")}).movedCount, 1);

        // gio reaches the trash through gvfsd, which needs a session bus of its own; this one is
        // private to the test and ends with it.
        const QString script = u"gio trash --list && gio trash --restore 'trash:///photo%20one.jpg'"_s;
        const ProcessResult gio = runProcess(u"dbus-run-session"_s, {u"--"_s, u"sh"_s, u"-c"_s, script});
        if (gio.err.contains("Operation not supported"))
            QSKIP("gvfs is not installed (scripts/setup installs it)");
        QVERIFY2(gio.exitCode == 0, gio.err.constData());
        QVERIFY2(gio.out.contains(fx.outside().path("photo one.jpg")), gio.out.constData());
        QVERIFY(TreeBuilder::exists(fx.outside().path("photo one.jpg")));
    }

    // KDE Plasma's trash (KIO's trash:/ worker), driven by its own command-line tools on a private
    // bus: its directorysizes lines and its clash names. (Its status file is KdeTrashPeerTest's.)
    void kdeAndWeAgreeOnSizesAndKdeKeepsItsCache()
    {
        requireTool("kioclient5");
        requireTool("dbus-run-session");
        TrashFixture fx;
        fx.outside().file("my dir%/sub/f", 3000).file("odd/ok", 5000).file("odd/caf\xe9", 20000);
        fx.outside().file("a/dup.txt", 10).file("b/dup.txt", 10).file("late/f", 100);
        const auto kde = [&fx](const QList<QByteArray>& paths) {
            // kioclient5 is a Qt program: without a display it needs the offscreen platform.
            QString script = u"set -e; export QT_QPA_PLATFORM=offscreen"_s;
            for (const QByteArray& path : paths)
                script += u"; kioclient5 move '"_s + QFile::decodeName(fx.outside().path(path)) + u"' trash:/"_s;
            return runProcess(u"dbus-run-session"_s, {u"--"_s, u"sh"_s, u"-c"_s, script});
        };
        const ProcessResult put = kde({"my dir%", "odd", "a/dup.txt", "b/dup.txt"});
        QVERIFY2(put.exitCode == 0, put.err.constData());
        const QByteArray sizesPath = fx.trashPath() + "/directorysizes";
        const QByteArray kdeSizes = TreeBuilder::read(sizesPath);
        QVERIFY2(kdeSizes.contains(" my%20dir%25\n"), kdeSizes.constData());

        const TrashStatus status = scan(fx);
        QCOMPARE(status.itemCount, 4);
        QCOMPARE(status.totalSize, TreeBuilder::treeAllocatedSize(fx.filesPath()));
        // KDE's lines keep their names and milliseconds (KDE matches nothing else), with our sizes.
        const QByteArray ours = TreeBuilder::read(sizesPath);
        QCOMPARE(ours.count('\n'), 2);
        for (const QByteArray& line : kdeSizes.trimmed().split('\n'))
            QVERIFY2(ours.contains(line.mid(line.indexOf(' ')) + '\n'), ours.constData());
        // KDE trashing again keeps our lines as they are and adds only its new folder's.
        QCOMPARE(kde({"late"}).exitCode, 0);
        const QByteArray afterKde = TreeBuilder::read(sizesPath);
        QVERIFY2(afterKde.startsWith(ours), afterKde.constData());
        QCOMPARE(afterKde.count('\n'), 3);

        // What we trash KDE lists; what we empty it sees as gone.
        fx.outside().file("ours/f", 100);
        QCOMPARE(fx.trashWithService({fx.outside().path("ours")}).movedCount, 1);
        const QString list = u"QT_QPA_PLATFORM=offscreen kioclient5 ls trash:/"_s;
        const ProcessResult listed = runProcess(u"dbus-run-session"_s, {u"--"_s, u"sh"_s, u"-c"_s, list});
        QVERIFY2(listed.out.contains("0-ours\n") && listed.out.contains("0-dup.txt (1)\n"), listed.out.constData());
        VirtualScheduler clock(fromDateTime(QDateTime::currentDateTimeUtc()));
        TrashService service(&clock, fx.locations());
        QCOMPARE(blockingWait(service.emptyTrash())->removedCount, 6);
        const ProcessResult none = runProcess(u"dbus-run-session"_s, {u"--"_s, u"sh"_s, u"-c"_s, list});
        QCOMPARE(none.out.trimmed(), QByteArray("."));
    }
};

QTEST_GUILESS_MAIN(TrashInteropTest)
#include "TrashInteropTest.moc"
