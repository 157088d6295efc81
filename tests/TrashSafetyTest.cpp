#include "DirectorySizes.h"
#include "MountGuard.h"
#include "TestTime.h"
#include "TrashFixture.h"
#include "TrashStore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTest>

#include <future>
#include <unistd.h>

using namespace rubbly;
using namespace rubbly::test;

// Hostile and careless input around the Trash, one rule per test and one row per kind of input:
// whatever the disk holds, nothing outside what the user chose is deleted, nothing hangs and no
// failure reads as success.
class TrashSafetyTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // Where it cannot be done, mounting cannot either, and the tests that mount skip.
    void initTestCase() { (void)(geteuid() == 0 && MountGuard::enterPrivateNamespace()); }

    // The parts of a trash folder that trashers create (the folder itself, files/, info/) must be
    // real folders of the user: a link, a file or a folder of someone else in their place makes the
    // trash folder unusable, and what they point at is never touched.
    void trashFolderPartsMustBeRealFoldersOfTheUser_data()
    {
        QTest::addColumn<QByteArray>("where");
        QTest::addColumn<QByteArray>("part");
        QTest::addColumn<QByteArray>("kind");
        for (const QByteArray& where : {QByteArray("home"), QByteArray("volume")}) {
            for (const QByteArray& part : {QByteArray("files"), QByteArray("info"), QByteArray(".")}) {
                for (const QByteArray& kind : {QByteArray("link"), QByteArray("file"), QByteArray("foreign")})
                    QTest::newRow(where + ' ' + (part == "." ? "trash folder" : part) + " is a " + kind)
                        << where << part << kind;
            }
        }
        // The same on a real ext4 file system, loop-mounted as a USB stick would be.
        for (const QByteArray& part : {QByteArray("files"), QByteArray("info")})
            QTest::newRow("ext4 stick " + part + " is a link") << QByteArray("ext4") << part << QByteArray("link");
    }
    void trashFolderPartsMustBeRealFoldersOfTheUser()
    {
        QFETCH(QByteArray, where);
        QFETCH(QByteArray, part);
        QFETCH(QByteArray, kind);
        if (kind == "foreign" && geteuid() != 0)
            QSKIP("giving a folder to another user needs root");
        TrashFixture fx;
        const QByteArray trash = where == "home" ? fx.trashPath() : fx.addVolume("stick");
        MountGuard mounts;
        if (where == "ext4" && !mounts.ext4(fx.outside().path("stick.img"), trash.left(trash.lastIndexOf('/'))))
            QSKIP("loop-mounting an ext4 image needs root and loop devices");
        TreeBuilder(trash).dir("files", 0700).dir("info", 0700);
        // A trash folder's content, made elsewhere: a document whose info file is dated long ago (the
        // age rule would pick it) and an info file without data (a full emptying would remove it).
        // The other part of the real trash folder holds what goes with it.
        TreeBuilder made(fx.outside().path("Documents"));
        const QByteArray oldInfo = "[Trash Info]\nPath=/x/tax.pdf\nDeletionDate=2001-01-01T00:00:00\n";
        const QByteArrayList madeFiles{"files/tax.pdf", "info/tax.pdf.trashinfo", "info/gone.trashinfo"};
        made.file(madeFiles[0], 4096).write(madeFiles[1], oldInfo).write(madeFiles[2], oldInfo);
        const qint64 yesterday = QDateTime::currentSecsSinceEpoch() - 86400;
        made.touch(madeFiles[1], yesterday).touch(madeFiles[2], yesterday);
        if (part == "files")
            TreeBuilder(trash).write(madeFiles[1], oldInfo).touch(madeFiles[1], yesterday);
        const QByteArray target = part == "." ? trash : trash + '/' + part;
        const QByteArray source = part == "." ? made.root() : made.path(part);
        QVERIFY(QDir(QFile::decodeName(target)).removeRecursively());
        QVERIFY(kind == "file"   ? QFile(QFile::decodeName(target)).open(QIODevice::WriteOnly)
                : kind == "link" ? ::symlink(source.constData(), target.constData()) == 0
                                 : ::rename(source.constData(), target.constData()) == 0 &&
                                       ::chown(target.constData(), 65534, 65534) == 0);

        TrashStore store(fx.locations(), {}, kTestZone);
        const TrashStatusResult status = store.scan();
        // Skipped with its reason: an error when it was the only trash folder, else a problem beside
        // the others' entries; never an empty trash folder.
        const QString named = QFile::decodeName(trash);
        if (status) {
            QCOMPARE(status->folderProblems.size(), 1);
            const TrashFolderProblem& problem = status->folderProblems[0];
            QCOMPARE(problem.path, trash);
            QVERIFY2(kind == "link" ? problem.reason.contains(QLatin1String("symbolic link"))
                                    : !problem.reason.isEmpty(),
                     qPrintable(problem.reason));
            // The same reason for the interface to word in its own language.
            QCOMPARE(problem.part, part == "files"  ? TrashFolderPart::Files
                                   : part == "info" ? TrashFolderPart::Info
                                                    : TrashFolderPart::Folder);
            QCOMPARE(problem.fault, kind == "link"   ? TrashFolderFault::Link
                                    : kind == "file" ? TrashFolderFault::NotAFolder
                                                     : TrashFolderFault::OtherOwner);
            QVERIFY(!status->trashFolders.contains(trash) && status->itemCount == 0);
        } else {
            QVERIFY2(status.error().message.contains(named), qPrintable(status.error().message));
        }
        for (const TrashCleanupOutcome& result :
             {store.removeDeletedBefore(localTime(2026, 1, 1, 0, 0)), store.emptyAll()}) {
            QVERIFY(result && result->removedCount == 0 && !result->complete());
            const QString problems = result->problemMessages().join(u'\n');
            QVERIFY2(problems.contains(named), qPrintable(problems));
        }
        // Every file made stays: where it was made, or in the trash folder the foreign part moved to.
        for (const QByteArray& path : madeFiles) {
            const bool moved = kind == "foreign" && (part == "." || path.startsWith(part + '/'));
            QVERIFY2(TreeBuilder::exists(moved ? trash + '/' + path : made.path(path)), path.constData());
        }
        QVERIFY(kind != "file" || TreeBuilder::exists(target));
        // A put on the home volume says why its trash cannot be used, and nothing moves.
        if (where == "home") {
            const TrashPutResult put = store.put(fx.outside().write("new.txt", "x").path("new.txt"), {});
            QVERIFY2(!put && put.error().message.contains(named), qPrintable(put ? QString() : put.error().message));
            QVERIFY(TreeBuilder::exists(fx.outside().path("new.txt")));
        }
    }

    // A trash's directorysizes and info files may be written by anyone who can write the trash
    // folder (another trasher, a stick from another machine). One that is a link or huge is not read
    // (what else the reader refuses is its own test); a size beyond what a disk holds (2^60 bytes) is
    // measured instead, and sums of sizes that are each believable stop at the largest byte count. A
    // cache that cannot be trusted is written anew, and nothing it pointed at is touched.
    void filesOthersWriteAreBelievedWithinLimits_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QByteArray>("kind");
        QTest::addColumn<QByteArray>("claim"); // the size directorysizes gives each entry, as we write it
        QTest::addColumn<int>("entries");
        QTest::addColumn<bool>("believed");
        const auto row = [](const char* name, const char* file, const char* kind, const char* claim, int entries,
                            bool believed) {
            QTest::newRow(name) << QByteArray(file) << QByteArray(kind) << QByteArray(claim) << entries << believed;
        };
        row("directorysizes is a link to a file of lies", "directorysizes", "link", "00777", 1, false);
        row("directorysizes is a huge file", "directorysizes", "huge file", "00777", 1, false);
        row("an info file is a link to a file of lies", "info/dir0.trashinfo", "link", "00777", 1, false);
        row("an info file is a huge file", "info/dir0.trashinfo", "huge file", "00777", 1, false);
        row("the largest 64-bit number", "directorysizes", "claim", "009223372036854775807", 1, false);
        row("just beyond 2^60", "directorysizes", "claim", "001152921504606846977", 1, false);
        row("nine entries of 2^60 each", "directorysizes", "claim", "001152921504606846976", 9, true);
    }
    void filesOthersWriteAreBelievedWithinLimits()
    {
        QFETCH(QByteArray, file);
        QFETCH(QByteArray, kind);
        QFETCH(QByteArray, claim);
        QFETCH(int, entries);
        QFETCH(bool, believed);
        TrashFixture fx;
        QByteArray sizes;
        for (int i = 0; i < entries; ++i) {
            const QByteArray name = "dir" + QByteArray::number(i);
            fx.files().file(name + "/f", 8192); // larger than "small", so first of the largest
            fx.writeInfo(name, "/home/u/" + name, "2026-03-01T10:00:00");
            TreeBuilder(fx.infoPath()).touch(name + ".trashinfo", 1772355600);
            sizes += claim + " 1772355600 " + name + '\n';
        }
        fx.addFile("small", 4096);
        const QByteArray lie =
            file == "directorysizes" ? sizes : QByteArray("[Trash Info]\nPath=/x\nDeletionDate=2001-01-01T00:00:00\n");
        fx.outside().write("lies", lie);
        const QByteArray path = fx.trashPath() + '/' + file;
        ::unlink(path.constData());
        // Padded beyond any limit after lines that still parse, so only the limit keeps the lie out.
        if (kind == "link")
            QCOMPARE(::symlink(fx.outside().path("lies").constData(), path.constData()), 0);
        else
            TreeBuilder(fx.trashPath()).write(file, lie);
        if (kind == "huge file") // zeros that take no disk
            QCOMPARE(::truncate(path.constData(), kMaxDirectorySizesFile + 1), 0);

        TrashStore store(fx.locations(), {}, kTestZone);
        const TrashStatusResult status = store.scan();
        QVERIFY(status && status->itemCount == entries + 1);
        QCOMPARE(store.walks(), believed ? 0 : entries);
        const qint64 measured = TreeBuilder::diskUsage(fx.filesPath() + "/dir0");
        QCOMPARE(status->topItems[0].size, believed ? claim.toLongLong() : measured);
        QVERIFY(file == "directorysizes" || !status->topItems[0].deletionDate);
        QVERIFY(believed ? status->totalSize == std::numeric_limits<qint64>::max() : status->totalSize > 0);
        for (const auto& [category, size] : status->categoryDistribution)
            QVERIFY(size > 0);
        const QFileInfo written(QFile::decodeName(fx.trashPath() + "/directorysizes"));
        QVERIFY(!written.isSymLink() && written.size() < 1024);
        QCOMPARE(TreeBuilder::read(fx.outside().path("lies")), lie);
        QCOMPARE(store.removeDeletedBefore(localTime(2026, 1, 1, 0, 0))->removedCount, 0);
        const TrashCleanupOutcome emptied = store.emptyAll();
        QVERIFY(emptied->removedCount == entries + 1 && emptied->freedBytes > 0);
    }

    // A mount point inside the Trash (another volume, or a bind mount of a folder or a file of the same
    // file system) belongs to somewhere else: it is neither sized nor emptied, and the entry holding
    // it stays listed as failed. Putting a folder that holds one would carry the mount into the Trash,
    // one mistake away from the other file system: such a put is refused whole.
    void mountPointsAreNeverEnteredNorTrashed_data()
    {
        QTest::addColumn<QByteArray>("mountAt");
        QTest::addColumn<QByteArray>("kind");
        QTest::newRow("bind mount of a folder of the same file system")
            << QByteArray("proj/data") << QByteArray("bind");
        QTest::newRow("another volume") << QByteArray("proj/data") << QByteArray("tmpfs");
        QTest::newRow("bind-mounted file") << QByteArray("proj/secret") << QByteArray("bind file");
        QTest::newRow("the entry itself is a bind mount") << QByteArray("proj") << QByteArray("bind");
        QTest::newRow("deep inside the entry") << QByteArray("proj/a/b/c/data") << QByteArray("bind");
    }
    void mountPointsAreNeverEnteredNorTrashed()
    {
        QFETCH(QByteArray, mountAt);
        QFETCH(QByteArray, kind);
        TrashFixture fx;
        fx.outside().file("srv/data/one", 4096).file("srv/data/sub/two", 4096);
        fx.writeInfo("proj", "/home/u/proj", "2001-01-01T00:00:00");
        // As old as a real Trash's: a fresh info file is spared as a put in flight whatever its data.
        TreeBuilder(fx.infoPath()).touch("proj.trashinfo", QDateTime::currentSecsSinceEpoch() - 86400);
        MountGuard mounts;
        // The same tree twice: in the Trash already, and outside to be put there.
        for (TreeBuilder* tree : {&fx.files(), &fx.outside()}) {
            const QByteArray at = tree->file("proj/own", 4096).path(mountAt);
            kind == "bind file" ? tree->file(mountAt, 0) : tree->dir(mountAt);
            if (!(kind == "tmpfs"
                      ? mounts.tmpfs(at)
                      : mounts.bind(fx.outside().path(kind == "bind file" ? "srv/data/one" : "srv/data"), at)))
                QSKIP("mounting needs root");
            if (kind == "tmpfs")
                TreeBuilder(at).file("one", 4096);
        }
        const QByteArray at = fx.filesPath() + '/' + mountAt;
        // The folders around the mount point count, the mount point itself neither counts nor is entered.
        qint64 own = 0;
        for (qsizetype slash = 0; mountAt != "proj" && (slash = mountAt.indexOf('/', slash + 1)) > 0;)
            own += TreeBuilder::allocatedSize(fx.filesPath() + '/' + mountAt.left(slash));
        own += mountAt == "proj" ? 0 : TreeBuilder::allocatedSize(fx.filesPath() + "/proj/own");

        TrashStore store(fx.locations(), {}, kTestZone);
        const TrashPutResult put = store.put(fx.outside().path("proj"), {});
        const QString why = put ? QString() : put.error().message;
        QVERIFY2(!put &&
                     (why.contains(QFile::decodeName(fx.outside().path(mountAt))) || why.contains(u"is a mount point")),
                 qPrintable(why));
        const TrashStatusResult status = store.scan();
        QVERIFY(status && status->itemCount == 1);
        QCOMPARE(status->topItems[0].size, own);
        for (const TrashCleanupOutcome& result :
             {store.removeDeletedBefore(localTime(2026, 1, 1, 0, 0)), store.emptyAll()}) {
            QVERIFY(result && result->failedCount == 1 && result->removedCount == 0);
            QCOMPARE(result->problems.size(), 1);
            QVERIFY2(result->problems[0].message.contains(QFile::decodeName(at)),
                     qPrintable(result->problems[0].message));
            QCOMPARE(result->problems[0].reason, TrashFailure::HoldsMountPoint);
        }
        // Deleting that one entry by name (trash rm, the panel's delete) keeps the same rule.
        const TrashRemoveReport named = store.removeNamed({{fx.trashPath(), "proj"}});
        QVERIFY(named.removed.isEmpty() && named.failures.size() == 1);
        QVERIFY2(named.failures[0].message.contains(QFile::decodeName(at)), qPrintable(named.failures[0].message));
        for (const QByteArray& path : {kind == "bind file" ? at : at + "/one", fx.outside().path("srv/data/one"),
                                       fx.outside().path("srv/data/sub/two"), fx.infoPath() + "/proj.trashinfo",
                                       fx.outside().path(mountAt == "proj" ? "proj/one" : "proj/own")})
            QVERIFY2(TreeBuilder::exists(path), path.constData());
    }

    // A put writes its info file before it moves the data: an emptying in between must not take the
    // info file, or the entry arrives without its original path. Only info files older than any put
    // can take are removed as left without data.
    void infoFilesWithoutDataWaitUntilNoPutCanBeInFlight_data()
    {
        QTest::addColumn<qint64>("age");
        QTest::addColumn<bool>("removed");
        QTest::newRow("ten minutes ago") << qint64(600) << false;
        QTest::newRow("two hours ago") << qint64(7200) << true;
        QTest::newRow("in the future") << qint64(-86400) << false;
    }
    void infoFilesWithoutDataWaitUntilNoPutCanBeInFlight()
    {
        QFETCH(qint64, age);
        QFETCH(bool, removed);
        TrashFixture fx;
        fx.writeInfo("arriving.txt", "/home/u/arriving.txt", "2026-03-01T10:00:00");
        TreeBuilder(fx.infoPath())
            .touch("arriving.txt.trashinfo", QDateTime::currentSecsSinceEpoch() - age)
            .file("not-an-info-file", 10);
        fx.addFile("present.txt", 100);
        TrashStore store(fx.locations(), {}, kTestZone);
        // An info file alone is no entry, whatever its age.
        QCOMPARE(store.scan()->itemCount, 1);
        QCOMPARE(store.emptyAll()->removedCount, 1);
        QCOMPARE(TreeBuilder::exists(fx.infoPath() + "/arriving.txt.trashinfo"), !removed);
        QVERIFY(TreeBuilder::exists(fx.infoPath() + "/not-an-info-file"));
        if (removed)
            return;
        // The put completes: the entry has its original path.
        fx.files().file("arriving.txt", 10);
        QCOMPARE(store.scan()->topItems.value(0).originalPath, std::optional<QByteArray>("/home/u/arriving.txt"));
    }

    // Two emptyings at once (two programs, or the tray's rule and a command): what the other one
    // removed first is gone, which is what both wanted; neither reports it as a failure.
    void whatIsAlreadyGoneIsNoFailure()
    {
        TrashFixture fx;
        for (int i = 0; i < 20; ++i) {
            const QByteArray name = "folder" + QByteArray::number(i);
            for (int j = 0; j < 150; ++j)
                fx.files().file(name + "/sub" + QByteArray::number(j % 3) + "/f" + QByteArray::number(j), 10);
            fx.writeInfo(name, "/home/u/" + name, "2026-03-01T10:00:00");
        }
        TrashStore first(fx.locations());
        TrashStore second(fx.locations());
        auto other = std::async(std::launch::async, [&] { return second.emptyAll(); });
        const TrashCleanupOutcome a = first.emptyAll();
        const TrashCleanupOutcome b = other.get();
        QVERIFY(a && b && a->failedCount == 0 && b->failedCount == 0);
        QVERIFY(a->removedCount + b->removedCount >= 20);
        QVERIFY(QDir(QFile::decodeName(fx.filesPath())).isEmpty() && QDir(QFile::decodeName(fx.infoPath())).isEmpty());
    }
};

QTEST_GUILESS_MAIN(TrashSafetyTest)
#include "TrashSafetyTest.moc"
