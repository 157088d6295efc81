#include "BlockingWait.h"
#include "MountGuard.h"
#include "TrashFixture.h"
#include "TrashRestorer.h"
#include "TrashService.h"
#include "VirtualScheduler.h"

#include <QDir>
#include <QFile>
#include <QTest>

#include <cstdio>

using namespace rubbly;
using namespace rubbly::test;
using namespace Qt::StringLiterals;

// Putting entries back: from every kind of trash folder, never over anything, never through a link,
// never across file systems, and with the entry still listed whenever it stays. (That the info files
// of other trashers read as ours do is TrashInteropTest's.)
class TrashRestoreTest : public QObject {
    Q_OBJECT

    bool m_privateMounts = false;

    // The service as the tray program runs it, on a clock at the real time.
    struct Service {
        VirtualScheduler clock{fromDateTime(QDateTime::currentDateTimeUtc())};
        TrashService trash;
        explicit Service(const TrashFixture& fx)
            : trash(&clock, fx.locations())
        {
        }
        TrashRestoreReport restore(const TrashEntryRef& entry) { return blockingWait(trash.restore({entry}, false)); }
        QList<TrashItemDetail> listed() { return blockingWait(trash.fetchStatus()).value().topItems; }
    };

private Q_SLOTS:
    void initTestCase() { m_privateMounts = MountGuard::enterPrivateNamespace(); }

    void restoresToTheExactOriginalPlace_data()
    {
        QTest::addColumn<QByteArray>("trasher");
        QTest::addColumn<QByteArray>("original"); // below the fixture's outside folder or the volume
        QTest::addColumn<QByteArray>("file");     // what it holds, read back after the restore
        const auto row = [](const char* name, const char* trasher, const char* original, const char* file) {
            QTest::newRow(name) << QByteArray(trasher) << QByteArray(original) << QByteArray(file);
        };
        row("a folder we trashed, with its directorysizes line", "rubbly", "photos", "photos/inner/a");
        row("missing parents are made again", "rubbly", "gone/deeper/notes.txt", "gone/deeper/notes.txt");
        row("an entry of a volume's trash (relative path)", "volume", "doc.odt", "doc.odt");
    }
    void restoresToTheExactOriginalPlace()
    {
        QFETCH(QByteArray, trasher);
        QFETCH(QByteArray, original);
        QFETCH(QByteArray, file);
        TrashFixture fx;
        const QByteArray trash = trasher == "volume" ? fx.addVolume("stick") : fx.trashPath();
        TreeBuilder place(trasher == "volume" ? trash.left(trash.lastIndexOf('/')) : fx.outside().root());
        const QByteArray path = place.write(file, "contents").path(original);

        Service service(fx);
        TrashEntryRef entry{trash, path.mid(path.lastIndexOf('/') + 1)};
        if (trasher == "rubbly") {
            entry = blockingWait(service.trash.moveToTrash({path})).entries.value(0);
            QCOMPARE(service.listed().size(), 1); // writes the folder's directorysizes line
            QDir(QFile::decodeName(place.path("gone"))).removeRecursively();
        } else {
            TreeBuilder(trash).write("info/doc.odt.trashinfo",
                                     "[Trash Info]\nPath=doc.odt\nDeletionDate=2026-01-02T03:04:05\n");
            QCOMPARE(::rename(path.constData(), (trash + "/files/doc.odt").constData()), 0);
        }

        const TrashRestoreReport report = service.restore(entry);
        QCOMPARE(report.restoredPaths, QList<QByteArray>{path});
        QCOMPARE(TreeBuilder::read(place.path(file)), "contents"_ba);
        QVERIFY(!TreeBuilder::exists(trash + "/info/" + entry.name + ".trashinfo"));
        QVERIFY(!TreeBuilder::read(trash + "/directorysizes").contains(entry.name.toPercentEncoding()));
        QVERIFY(service.listed().isEmpty());
    }

    void aTakenPlaceGetsTheNextNumberedName_data()
    {
        QTest::addColumn<QByteArray>("name"); // a folder's ends in '/'
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("a copy counts on from its number") << "report (1).pdf"_ba
                                                          << "report (2).pdf"_ba;
        QTest::newRow("a leading zero is no copy's number") << "take (01).wav"_ba
                                                            << "take (01) (2).wav"_ba;
        QTest::newRow("a year is no copy's number") << "Photos (2024)/"_ba
                                                    << "Photos (2024) (2)"_ba;
        QTest::newRow("a compressed tar keeps both parts") << "backup (3).TAR.ZST"_ba
                                                           << "backup (4).TAR.ZST"_ba;
        QTest::newRow("a folder's dots are its name") << "site.tar.gz/"_ba
                                                      << "site.tar.gz (2)"_ba;
        QTest::newRow("a long stem is cut to fit")
            << QByteArray(250, 'a') + ".tar.xz" << QByteArray(244, 'a') + " (2).tar.xz";
    }
    void aTakenPlaceGetsTheNextNumberedName()
    {
        QFETCH(QByteArray, name);
        const bool folder = name.endsWith('/');
        QTEST(TrashRestorer::numberedName(folder ? name.chopped(1) : name, 2, folder), "expected");
    }

    // Every refusal leaves the entry exactly where it was, listed with its info file, and whatever is
    // at the original place untouched.
    void refusesAndKeepsTheEntry_data()
    {
        QTest::addColumn<QByteArray>("setup");
        QTest::addColumn<QByteArray>("recordedPath"); // Path= of the info file; %o is the outside folder
        QTest::addColumn<QString>("reason");
        const auto row = [](const char* name, const char* setup, const char* recordedPath, const char* reason) {
            QTest::newRow(name) << QByteArray(setup) << QByteArray(recordedPath) << QString::fromUtf8(reason);
        };
        row("the original place is taken", "taken", "%o/doc.txt", "is taken");
        row("a dangling link holds the original place", "dangling", "%o/doc.txt", "is taken");
        row("a parent is a link", "parent link", "%o/link/doc.txt", "through the link");
        row("a parent is a file", "parent file", "%o/plain/doc.txt", "is not a folder");
        row("the path climbs with ..", "", "%o/a/../../doc.txt", "\"..\"");
        row("the path ends inside the trash folder", "", "%t/files/x", "inside the Trash");
        row("a relative path in the home trash", "", "outside/doc.txt", "relative place");
        row("the original place is on another file system", "", "/proc/rubbly-restore-test/doc.txt",
            "another file system");
        row("no info file", "no info", "", "no info file");
        row("an info file without Path=", "", "", "names no original place");
        row("a bind mount of the same disk on the way (root)", "bind", "%o/mnt/doc.txt", "another file system");
        row("a folder that holds a mount point (root)", "holds mount", "%o/doc.txt", "holds the mount point");
        // Into a folder of the user's choosing: the same care, and nothing made on the way.
        row("into a folder where its name is taken", "into taken", "%o/doc.txt", "that name is taken there");
        row("into a folder that does not exist", "into missing", "%o/doc.txt", "does not exist");
        row("into a folder reached through a link", "into link", "%o/doc.txt", "through the link");
        row("into the Trash itself", "into trash", "%o/doc.txt", "inside the Trash");
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
        else if (setup == "into taken")
            fx.outside().dir("dest").write("dest/doc.txt", "someone else's");
        else if (setup == "into link")
            fx.outside().dir("real").symlink("dest", outside + "/real");
        else if (setup == "bind") {
            fx.outside().dir("mnt").dir("source");
            if (!m_privateMounts || !mounts.bind(outside + "/source", outside + "/mnt"))
                QSKIP("mounting needs root and a mount namespace of its own");
        }
        // A folder entry keeps its data one level down, beside the mount.
        const QByteArray data = setup == "holds mount" ? "doc.txt/kept" : "doc.txt";
        fx.files().write(data, "trashed");
        if (setup == "holds mount" &&
            (!m_privateMounts ||
             !mounts.bind(fx.outside().dir("source").path("source"), fx.files().dir("doc.txt/in").path("doc.txt/in"))))
            QSKIP("mounting needs root and a mount namespace of its own");
        const QByteArray path = QByteArray(recordedPath).replace("%o", outside).replace("%t", fx.trashPath());
        if (setup != "no info")
            TreeBuilder(fx.infoPath())
                .write("doc.txt.trashinfo", "[Trash Info]\n" + (path.isEmpty() ? ""_ba : "Path=" + path + '\n') +
                                                "DeletionDate=2026-01-02T03:04:05\n");
        const QByteArray infoBefore = TreeBuilder::read(fx.infoPath() + "/doc.txt.trashinfo");

        Service service(fx);
        const QByteArray into = setup == "into trash" ? fx.trashPath() : outside + "/dest";
        const TrashRestoreReport report =
            setup.startsWith("into")
                ? blockingWait(service.trash.restoreInto({{fx.trashPath(), "doc.txt"}}, into, false))
                : service.restore({fx.trashPath(), "doc.txt"});
        QVERIFY2(report.failures.value(0).message.contains(reason), qPrintable(report.failures.value(0).message));
        QCOMPARE(TreeBuilder::read(fx.filesPath() + '/' + data), "trashed"_ba);
        QCOMPARE(TreeBuilder::read(fx.infoPath() + "/doc.txt.trashinfo"), infoBefore);
        QCOMPARE(service.listed().size(), 1);
        QCOMPARE(TreeBuilder::read(outside + "/doc.txt"), setup == "taken" ? "someone else's"_ba : QByteArray());
        QVERIFY(!TreeBuilder::exists(outside + "/real/doc.txt"));
        QCOMPARE(TreeBuilder::read(outside + "/dest/doc.txt"),
                 setup == "into taken" ? "someone else's"_ba : QByteArray());
    }
};

QTEST_GUILESS_MAIN(TrashRestoreTest)
#include "TrashRestoreTest.moc"
