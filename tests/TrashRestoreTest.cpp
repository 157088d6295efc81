#include "BlockingWait.h"
#include "MountGuard.h"
#include "ProcessRunner.h"
#include "TrashFixture.h"
#include "TrashService.h"
#include "VirtualScheduler.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTest>

#include <cstdio>
#include <sys/stat.h>
#include <unistd.h>

using namespace rubbly;
using namespace rubbly::test;
using namespace Qt::StringLiterals;

// Putting entries back: from every kind of trash folder and every trasher, never over anything, never
// through a link, never across file systems, and with the entry still listed whenever it stays.
class TrashRestoreTest : public QObject {
    Q_OBJECT

    bool m_privateMounts = false;

    static TrashRestoreReport restore(const TrashFixture& fx, const QList<TrashEntryRef>& entries, bool rename = false)
    {
        VirtualScheduler clock(fromDateTime(QDateTime::currentDateTimeUtc()));
        TrashService service(&clock, fx.locations());
        return blockingWait(service.restore(entries, rename));
    }
    static QList<TrashItemDetail> listed(const TrashFixture& fx)
    {
        VirtualScheduler clock;
        TrashService service(&clock, fx.locations());
        const TrashStatusResult result = blockingWait(service.fetchStatus());
        return result ? result->topItems : QList<TrashItemDetail>{};
    }
    static bool available(const char* tool) { return !QStandardPaths::findExecutable(QLatin1String(tool)).isEmpty(); }

private Q_SLOTS:
    void initTestCase() { m_privateMounts = MountGuard::enterPrivateNamespace(); }

    void restoresToTheExactOriginalPlace_data()
    {
        QTest::addColumn<QByteArray>("trasher");
        QTest::addColumn<QByteArray>("original"); // below the fixture's outside folder
        QTest::addColumn<bool>("isFolder");
        QTest::newRow("a file we trashed") << "rubbly"_ba
                                           << "report.pdf"_ba << false;
        QTest::newRow("a folder we trashed, with its directorysizes line") << "rubbly"_ba
                                                                           << "photos"_ba << true;
        QTest::newRow("a name that is not UTF-8, beside its U+FFFD lookalike") << "rubbly"_ba
                                                                               << "caf\xe9 100%.txt"_ba << false;
        QTest::newRow("missing parents are made again") << "rubbly"_ba
                                                        << "gone/deeper/notes.txt"_ba << false;
        QTest::newRow("a file trash-put trashed") << "trash-put"_ba
                                                  << "from cli + more.txt"_ba << false;
        QTest::newRow("a folder trash-put trashed") << "trash-put"_ba
                                                    << "cli folder"_ba << true;
        QTest::newRow("a file gio trashed") << "gio"_ba
                                            << "from gio%.txt"_ba << false;
        QTest::newRow("an entry of a volume's trash (relative path)") << "volume"_ba
                                                                      << "stick/doc.odt"_ba << false;
    }
    void restoresToTheExactOriginalPlace()
    {
        QFETCH(QByteArray, trasher);
        QFETCH(QByteArray, original);
        QFETCH(bool, isFolder);
        if (trasher != "rubbly" && trasher != "volume" && !available(trasher.constData()))
            QSKIP(qPrintable(u"%1 is not installed (scripts/setup installs it)"_s.arg(QLatin1String(trasher))));
        TrashFixture fx;
        const QByteArray path =
            trasher == "volume" ? QFile::encodeName(fx.home().root()) + '/' + original : fx.outside().path(original);
        if (trasher == "volume")
            TreeBuilder(QFile::encodeName(fx.home().root())).write(original, "contents of " + original);
        else if (isFolder)
            fx.outside().file(original + "/inner/a", 5000).file(original + "/b", 10);
        else
            fx.outside().write(original, "contents of " + original);
        const QByteArray before = isFolder ? TreeBuilder::read(path + "/b") : TreeBuilder::read(path);
        // The lookalike that a decode to text and back would land on instead.
        if (original.contains('\xe9'))
            fx.outside().write(QByteArray(original).replace('\xe9', "\xef\xbf\xbd"), "lookalike");

        TrashEntryRef entry;
        if (trasher == "rubbly") {
            VirtualScheduler clock(fromDateTime(QDateTime::currentDateTimeUtc()));
            TrashService service(&clock, fx.locations());
            const TrashPutReport put = blockingWait(service.moveToTrash({path}));
            QCOMPARE(put.entries.size(), 1);
            entry = put.entries.first();
            QVERIFY(blockingWait(service.fetchStatus())); // writes the folder's directorysizes line
        } else if (trasher == "volume") {
            const QByteArray trash = fx.addVolume("stick");
            TreeBuilder(trash).write("info/doc.odt.trashinfo",
                                     "[Trash Info]\nPath=doc.odt\nDeletionDate=2026-01-02T03:04:05\n");
            QVERIFY(::rename(path.constData(), (trash + "/files/doc.odt").constData()) == 0);
            entry = TrashEntryRef{trash, "doc.odt"};
        } else {
            const QStringList args = trasher == "gio" ? QStringList{u"trash"_s, QFile::decodeName(path)}
                                                      : QStringList{QFile::decodeName(path)};
            const ProcessResult put = runProcess(QLatin1String(trasher == "gio" ? "gio" : "trash-put"), args);
            QVERIFY2(put.exitCode == 0, put.err.constData());
            const QList<TrashItemDetail> items = listed(fx);
            QCOMPARE(items.size(), 1);
            entry = TrashEntryRef{items.first().trashFolder, items.first().path.mid(fx.filesPath().size() + 1)};
        }
        if (original.contains('/') && trasher == "rubbly")
            QVERIFY(QDir(QFile::decodeName(fx.outside().path("gone"))).removeRecursively());

        const TrashRestoreReport report = restore(fx, {entry});
        QVERIFY2(report.failures.isEmpty(), qPrintable(report.failures.value(0).message));
        QCOMPARE(report.restoredPaths, QList<QByteArray>{path});
        QCOMPARE(isFolder ? TreeBuilder::read(path + "/b") : TreeBuilder::read(path), before);
        QVERIFY(!TreeBuilder::exists(entry.trashFolder + "/files/" + entry.name));
        QVERIFY(!TreeBuilder::exists(entry.trashFolder + "/info/" + entry.name + ".trashinfo"));
        QVERIFY(!TreeBuilder::read(entry.trashFolder + "/directorysizes").contains(entry.name.toPercentEncoding()));
        QVERIFY(listed(fx).isEmpty());
        if (available("trash-list") && trasher != "volume") {
            const ProcessResult list = runProcess(u"trash-list"_s, {});
            QVERIFY2(!list.out.contains(path), list.out.constData());
        }
        ::unlink(path.constData()); // QTemporaryDir cannot remove a name that is not UTF-8
    }

    // Every refusal leaves the entry exactly where it was, listed with its info file, and whatever is
    // at the original place untouched.
    void refusesAndKeepsTheEntry_data()
    {
        QTest::addColumn<QByteArray>("setup");
        QTest::addColumn<QByteArray>("recordedPath"); // Path= of the info file; %o is the outside folder
        QTest::addColumn<QString>("reason");
        QTest::newRow("the original place is taken") << "taken"_ba
                                                     << "%o/doc.txt"_ba << u"is taken"_s;
        QTest::newRow("a dangling link holds the original place") << "dangling"_ba
                                                                  << "%o/doc.txt"_ba << u"is taken"_s;
        QTest::newRow("a parent is a link") << "parent link"_ba
                                            << "%o/link/doc.txt"_ba << u"through the link"_s;
        QTest::newRow("a parent is a file") << "parent file"_ba
                                            << "%o/plain/doc.txt"_ba << u"is not a folder"_s;
        QTest::newRow("the path climbs with ..") << ""_ba
                                                 << "%o/a/../../doc.txt"_ba << u"\"..\""_s;
        QTest::newRow("the path ends inside the trash folder") << ""_ba
                                                               << "%t/files/x"_ba << u"inside the Trash"_s;
        QTest::newRow("the original place is on another file system")
            << ""_ba
            << "/proc/rubbly-restore-test/doc.txt"_ba << u"another file system"_s;
        QTest::newRow("a relative path in the home trash") << ""_ba
                                                           << "outside/doc.txt"_ba << u"relative place"_s;
        QTest::newRow("no info file") << "no info"_ba
                                      << ""_ba << u"no info file"_s;
        QTest::newRow("an info file without Path=") << ""_ba
                                                    << ""_ba << u"names no original place"_s;
        QTest::newRow("a tmpfs mounted on the way (root)") << "tmpfs"_ba
                                                           << "%o/mnt/new/doc.txt"_ba << u"another file system"_s;
        QTest::newRow("a bind mount of the same disk on the way (root)")
            << "bind"_ba
            << "%o/mnt/doc.txt"_ba << u"another file system"_s;
    }
    void refusesAndKeepsTheEntry()
    {
        QFETCH(QByteArray, setup);
        QFETCH(QByteArray, recordedPath);
        QFETCH(QString, reason);
        TrashFixture fx;
        MountGuard mounts;
        const QByteArray outside = fx.outside().root();
        if (setup == "taken")
            fx.outside().write("doc.txt", "someone else's");
        else if (setup == "dangling")
            fx.outside().symlink("doc.txt", "nowhere");
        else if (setup == "parent link")
            fx.outside().dir("real").symlink("link", outside + "/real");
        else if (setup == "parent file")
            fx.outside().write("plain", "a file");
        else if (setup == "tmpfs" || setup == "bind") {
            fx.outside().dir("mnt").dir("source");
            const bool mounted = setup == "tmpfs"
                                     ? m_privateMounts && mounts.tmpfs(outside + "/mnt")
                                     : m_privateMounts && mounts.bind(outside + "/source", outside + "/mnt");
            if (!mounted)
                QSKIP("mounting needs root and a mount namespace of its own");
        }
        fx.files().write("doc.txt", "trashed");
        if (setup != "no info")
            fx.writeInfo(
                "doc.txt",
                QByteArray(recordedPath).replace("%o", outside).replace("%t", fx.trashPath()).toPercentEncoding("/"),
                "2026-01-02T03:04:05");
        if (recordedPath.isEmpty() && setup.isEmpty())
            TreeBuilder(fx.trashPath())
                .write("info/doc.txt.trashinfo", "[Trash Info]\nDeletionDate=2026-01-02T03:04:05\n");
        const QByteArray infoBefore = TreeBuilder::read(fx.infoPath() + "/doc.txt.trashinfo");

        const TrashRestoreReport report = restore(fx, {TrashEntryRef{fx.trashPath(), "doc.txt"}});
        QVERIFY(report.restoredPaths.isEmpty());
        QCOMPARE(report.failures.size(), 1);
        QVERIFY2(report.failures.first().message.contains(reason), qPrintable(report.failures.first().message));
        QCOMPARE(TreeBuilder::read(fx.filesPath() + "/doc.txt"), "trashed"_ba);
        QCOMPARE(TreeBuilder::read(fx.infoPath() + "/doc.txt.trashinfo"), infoBefore);
        QCOMPARE(listed(fx).size(), 1);
        if (setup == "taken")
            QCOMPARE(TreeBuilder::read(outside + "/doc.txt"), "someone else's"_ba);
        if (setup == "parent link")
            QVERIFY(!TreeBuilder::exists(outside + "/real/doc.txt"));
        if (setup == "tmpfs")
            QVERIFY2(!TreeBuilder::exists(outside + "/mnt/new"), "a folder was made on the other file system");
    }

    void renameTakesTheFirstFreeNumberedName_data()
    {
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<bool>("isFolder");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("a file keeps its extension") << "a.tar.gz"_ba << false << "a.tar (3).gz"_ba;
        QTest::newRow("a dot file has no extension") << ".bashrc"_ba << false << ".bashrc (3)"_ba;
        QTest::newRow("a folder's dot is part of its name") << "v1.2"_ba << true << "v1.2 (3)"_ba;
        QTest::newRow("a long name is shortened to fit")
            << QByteArray(251, 'n') + ".txt" << false << QByteArray(247, 'n') + " (3).txt";
    }
    void renameTakesTheFirstFreeNumberedName()
    {
        QFETCH(QByteArray, name);
        QFETCH(bool, isFolder);
        QFETCH(QByteArray, expected);
        TrashFixture fx;
        fx.outside().write(name, "taken").write(TrashRestorer::numberedName(name, 2, isFolder), "taken too");
        // The entry's own name is short: only the original name, from its info file, is long.
        if (isFolder)
            fx.files().file("entry/inside", 10);
        else
            fx.files().write("entry", "trashed");
        fx.writeInfo("entry", fx.outside().path(name).toPercentEncoding("/"), "2026-01-02T03:04:05");

        QCOMPARE(restore(fx, {TrashEntryRef{fx.trashPath(), "entry"}}).failures.size(), 1);
        const TrashRestoreReport report = restore(fx, {TrashEntryRef{fx.trashPath(), "entry"}}, true);
        QCOMPARE(report.restoredPaths, QList<QByteArray>{fx.outside().path(expected)});
        QVERIFY(TreeBuilder::exists(fx.outside().path(expected) + (isFolder ? "/inside" : "")));
        QCOMPARE(TreeBuilder::read(fx.outside().path(name)), "taken"_ba);
    }
};

QTEST_GUILESS_MAIN(TrashRestoreTest)
#include "TrashRestoreTest.moc"
