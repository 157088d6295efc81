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

    std::unique_ptr<TrashFixture> m_fx;
    std::unique_ptr<MountGuard> m_mounts;
    QByteArray m_mountPoint;

private Q_SLOTS:
    void init()
    {
        m_fx = std::make_unique<TrashFixture>();
        m_mounts = std::make_unique<MountGuard>();
        m_mountPoint = QFile::encodeName(m_fx->home().root()) + "/volume";
        TreeBuilder(m_mountPoint).dir({});
        if (!m_mounts->ext4(QFile::encodeName(m_fx->home().root()) + "/volume.img", m_mountPoint))
            QSKIP("loop-mounting an ext4 image needs root, mkfs.ext4 and loop devices");
        // A mount table holding only our volume, so no real volume's trash is ever touched.
        QFile table(QFile::decodeName(m_fx->mountInfoPath()));
        QVERIFY(table.open(QIODevice::Append));
        table.write("30 1 7:0 / " + m_mountPoint + " rw shared:1 - ext4 /dev/loop0 rw\n");
    }

    void cleanup()
    {
        m_mounts.reset();
        m_fx.reset();
    }

    // The volume's own .Trash-$uid is made; a shared sticky .Trash, once there, gets a folder per user.
    void putScanAndEmptyUseTheVolumesOwnTrash()
    {
        TreeBuilder volume(m_mountPoint);
        volume.file("photos/a b.jpg", 8192).file("photos/sub/c.raw", 16384).file("doc.txt", 100);
        TrashStore store(m_fx->locations());
        QVERIFY(store.put(volume.path("photos"), {}));
        const QByteArray uid = QByteArray::number(::getuid()), trash = m_mountPoint + "/.Trash-" + uid;
        QVERIFY(TreeBuilder::exists(trash + "/files/photos/sub/c.raw"));
        // Volume trashes record the path relative to the volume's top folder; trash-cli reads the
        // entry back with its full path.
        QVERIFY(TreeBuilder::read(trash + "/info/photos.trashinfo").contains("\nPath=photos\n"));
        if (runProcess(QStringLiteral("trash-list"), {QStringLiteral("--version")}).exitCode == 0)
            QVERIFY(runProcess(QStringLiteral("trash-list"), {}).out.contains(volume.path("photos")));
        volume.dir(".Trash").chmod(".Trash", 01777);
        QVERIFY(store.put(volume.path("doc.txt"), {}));
        QVERIFY(TreeBuilder::exists(m_mountPoint + "/.Trash/" + uid + "/files/doc.txt"));

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
