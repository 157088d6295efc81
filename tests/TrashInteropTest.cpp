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

    // Why the test cannot run: the first of `tools` that is not installed. (A QSKIP stops only the
    // function it is in, so the test itself skips.)
    static QString missing(const QStringList& tools)
    {
        for (const QString& tool : tools)
            if (QStandardPaths::findExecutable(tool).isEmpty())
                return u"%1 is not installed (scripts/setup installs it)"_s.arg(tool);
        return {};
    }

    static TrashStatus scan(const TrashFixture& fx)
    {
        VirtualScheduler clock;
        TrashService service(&clock, fx.locations());
        return blockingWait(service.fetchStatus()).value();
    }

private Q_SLOTS:
    // Each tool trashes a file and a folder that we then list with their dates and places (their sizes
    // are the store's, whoever trashed them); what we trash it lists and restores.
    void trashCliAndGioAndWeReadEachOther_data()
    {
        QTest::addColumn<QString>("tool");
        QTest::newRow("trash-cli") << u"trash-put"_s;
        QTest::newRow("gio") << u"gio"_s;
    }
    void trashCliAndGioAndWeReadEachOther()
    {
        QFETCH(QString, tool);
        const bool gio = tool == u"gio"_s;
        if (const QString why = missing(gio ? QStringList{u"gio"_s, u"dbus-run-session"_s}
                                            : QStringList{u"trash-put"_s, u"trash-list"_s, u"trash-restore"_s});
            !why.isEmpty())
            QSKIP(qPrintable(why));
        TrashFixture fx;
        const QByteArray name = "100% sure + more.txt", ours = "report 100%.pdf";
        fx.outside().file(name, 12345).file("folder/inside", 8192).file(ours, 100);
        QStringList args = gio ? QStringList{u"trash"_s} : QStringList{};
        args << QFile::decodeName(fx.outside().path(name)) << QFile::decodeName(fx.outside().path("folder"));
        const auto before = std::chrono::system_clock::now() - std::chrono::seconds(2);
        QCOMPARE(runProcess(tool, args).exitCode, 0);
        const TrashStatus status = scan(fx);
        QCOMPARE(status.itemCount, 2);
        for (const TrashItemDetail& item : status.topItems) {
            QVERIFY(item.deletionDate &&
                    *item.deletionDate >= std::chrono::time_point_cast<std::chrono::microseconds>(before));
            QCOMPARE(item.originalPath, std::optional(fx.outside().path(item.isDirectory ? "folder" : name)));
        }

        QCOMPARE(fx.trashWithService({fx.outside().path(ours)}).movedCount, 1);
        ProcessResult list;
        if (gio) {
            // gio reaches the trash through gvfsd, which needs a session bus of its own; this one is
            // private to the test and ends with it.
            const QString script = u"gio trash --list && gio trash --restore 'trash:///report%20100%25.pdf'"_s;
            list = runProcess(u"dbus-run-session"_s, {u"--"_s, u"sh"_s, u"-c"_s, script});
            if (list.err.contains("Operation not supported"))
                QSKIP("gvfs is not installed (scripts/setup installs it)");
        } else {
            list = runProcess(u"trash-list"_s, {});
            runProcess(u"trash-restore"_s, {QFile::decodeName(fx.outside().path(ours))}, "0\n",
                       QFile::decodeName(fx.outside().root()));
        }
        QVERIFY2(list.out.contains(fx.outside().path(ours)), list.out.constData());
        QVERIFY(TreeBuilder::exists(fx.outside().path(ours)));
        QCOMPARE(scan(fx).itemCount, 2);
    }

    // KDE Plasma's trash (KIO's trash:/ worker), driven by its own command-line tools on a private
    // bus: its directorysizes lines and its clash names. (Its status file is KdeTrashPeerTest's.)
    void kdeAndWeAgreeOnSizesAndKdeKeepsItsCache()
    {
        if (const QString why = missing({u"kioclient5"_s, u"dbus-run-session"_s}); !why.isEmpty())
            QSKIP(qPrintable(why));
        TrashFixture fx;
        fx.outside().file("my dir%/sub/f", 3000).file("odd/ok", 5000).file("odd/caf\xe9", 20000);
        fx.outside().file("a/dup.txt", 10).file("b/dup.txt", 10).file("late/f", 100).file("ours/f", 100);
        const auto session = [](const QString& script) {
            // kioclient5 is a Qt program: without a display it needs the offscreen platform.
            return runProcess(u"dbus-run-session"_s,
                              {u"--"_s, u"sh"_s, u"-c"_s, u"set -e; export QT_QPA_PLATFORM=offscreen; "_s + script});
        };
        const auto kde = [&fx, &session](const QList<QByteArray>& paths) {
            QString script = u"true"_s;
            for (const QByteArray& path : paths)
                script += u"; kioclient5 move '"_s + QFile::decodeName(fx.outside().path(path)) + u"' trash:/"_s;
            return session(script);
        };
        QCOMPARE(kde({"my dir%", "odd", "a/dup.txt", "b/dup.txt"}).exitCode, 0);
        const QByteArray sizesPath = fx.trashPath() + "/directorysizes";
        const QByteArray kdeSizes = TreeBuilder::read(sizesPath);
        QVERIFY2(kdeSizes.contains(" my%20dir%25\n"), kdeSizes.constData());

        const TrashStatus status = scan(fx);
        QCOMPARE(status.itemCount, 4);
        QCOMPARE(status.totalSize, TreeBuilder::diskUsage(fx.filesPath()) - TreeBuilder::allocatedSize(fx.filesPath()));
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
        QCOMPARE(fx.trashWithService({fx.outside().path("ours")}).movedCount, 1);
        const ProcessResult listed = session(u"kioclient5 ls trash:/"_s);
        QVERIFY2(listed.out.contains("0-ours\n") && listed.out.contains("0-dup.txt (1)\n"), listed.out.constData());
        VirtualScheduler clock(fromDateTime(QDateTime::currentDateTimeUtc()));
        TrashService service(&clock, fx.locations());
        QCOMPARE(blockingWait(service.emptyTrash())->removedCount, 6);
        QCOMPARE(session(u"kioclient5 ls trash:/"_s).out.trimmed(), QByteArray("."));
    }
};

QTEST_GUILESS_MAIN(TrashInteropTest)
#include "TrashInteropTest.moc"
