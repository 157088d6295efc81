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
            if (item.isDirectory) {
                QCOMPARE(item.originalPath, std::optional(fx.outside().path("folder")));
                QCOMPARE(item.size, folderSize);
            } else {
                QCOMPARE(item.originalPath, std::optional(fx.outside().path(name)));
                QCOMPARE(item.size, fileSize);
            }
        }
    }

    void trashCliListsAndRestoresWhatWeTrash()
    {
        requireTool("trash-list");
        requireTool("trash-restore");
        TrashFixture fx;
        const QByteArray name = "report 100%.pdf";
        fx.outside().file(name, 100);
        VirtualScheduler clock(fromDateTime(QDateTime::currentDateTimeUtc()));
        TrashService service(&clock, fx.locations());
        QCOMPARE(blockingWait(service.moveToTrash({fx.outside().path(name)})).movedCount, 1);

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
        VirtualScheduler clock(fromDateTime(QDateTime::currentDateTimeUtc()));
        TrashService service(&clock, fx.locations());
        QCOMPARE(blockingWait(service.moveToTrash({fx.outside().path("photo one.jpg")})).movedCount, 1);

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
};

QTEST_GUILESS_MAIN(TrashInteropTest)
#include "TrashInteropTest.moc"
