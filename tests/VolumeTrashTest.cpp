#include "MountGuard.h"
#include "ProcessRunner.h"
#include "TrashFixture.h"
#include "TrashStore.h"

#include <QFile>
#include <QTest>

#include <unistd.h>

using namespace rubbly;
using namespace rubbly::test;

// A trash on a second file system: a small ext4 image, loop-mounted. Needs root (CI runs as root);
// elsewhere the test skips and says why.
class VolumeTrashTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // The volume's own .Trash-$uid is made; a shared sticky .Trash, once there, gets a folder per user.
    void putScanAndEmptyUseTheVolumesOwnTrash()
    {
        TrashFixture fx;
        MountGuard mounts; // unmounts before the fixture's folder goes
        const QByteArray mountPoint = QFile::encodeName(fx.home().root()) + "/volume";
        TreeBuilder volume(mountPoint);
        volume.dir({});
        if (!mounts.ext4(mountPoint + ".img", mountPoint))
            QSKIP("loop-mounting an ext4 image needs root, mkfs.ext4 and loop devices");
        // A mount table holding only our volume, so no real volume's trash is ever touched.
        QFile table(QFile::decodeName(fx.mountInfoPath()));
        QVERIFY(table.open(QIODevice::Append | QIODevice::Unbuffered));
        table.write("30 1 7:0 / " + mountPoint + " rw shared:1 - ext4 /dev/loop0 rw\n");
        volume.file("photos/a b.jpg", 8192).file("photos/sub/c.raw", 16384).file("doc.txt", 100);
        TrashStore store(fx.locations());
        QVERIFY(store.put(volume.path("photos"), {}));
        const QByteArray uid = QByteArray::number(::getuid()), trash = mountPoint + "/.Trash-" + uid;
        // Volume trashes record the path relative to the volume's top folder; trash-cli reads the
        // entry back with its full path.
        QVERIFY(TreeBuilder::read(trash + "/info/photos.trashinfo").contains("\nPath=photos\n"));
        if (runProcess(QStringLiteral("trash-list"), {QStringLiteral("--version")}).exitCode == 0)
            QVERIFY(runProcess(QStringLiteral("trash-list"), {}).out.contains(volume.path("photos")));
        volume.dir(".Trash").chmod(".Trash", 01777);
        QVERIFY(store.put(volume.path("doc.txt"), {}));
        QVERIFY(TreeBuilder::exists(mountPoint + "/.Trash/" + uid + "/files/doc.txt"));

        const TrashStatusResult status = store.scan();
        QVERIFY(status);
        QCOMPARE(status->itemCount, 2);
        QCOMPARE(status->topItems[0].originalPath, std::optional(volume.path("photos")));
        QCOMPARE(status->topItems[0].trashFolder, trash);
        QCOMPARE(store.emptyAll()->removedCount, 2);
        QVERIFY(!TreeBuilder::exists(trash + "/files/photos"));
    }
};

QTEST_GUILESS_MAIN(VolumeTrashTest)
#include "VolumeTrashTest.moc"
