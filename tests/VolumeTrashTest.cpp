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

    // A mount table holding only our volume, so no real volume's trash is ever touched.
    TrashLocations locations() const
    {
        QFile real(QStringLiteral("/proc/self/mountinfo"));
        real.open(QIODevice::ReadOnly);
        QByteArray mine;
        for (const QByteArray& line : real.readAll().split('\n')) {
            const QList<QByteArray> fields = line.split(' ');
            if (fields.size() > 4 && decodeMountInfoPath(fields[4]) == m_mountPoint)
                mine += line + '\n';
        }
        QFile fixture(QFile::decodeName(m_fx->mountInfoPath()));
        fixture.open(QIODevice::WriteOnly);
        fixture.write(mine);
        return m_fx->locations();
    }

private Q_SLOTS:
    void init()
    {
        m_fx = std::make_unique<TrashFixture>();
        m_mounts = std::make_unique<MountGuard>();
        m_mountPoint = QFile::encodeName(m_fx->home().root()) + "/volume";
        TreeBuilder(m_mountPoint).dir({});
        if (!m_mounts->ext4(QFile::encodeName(m_fx->home().root()) + "/volume.img", m_mountPoint))
            QSKIP("loop-mounting an ext4 image needs root, mkfs.ext4 and loop devices");
    }

    void cleanup()
    {
        m_mounts.reset();
        m_fx.reset();
    }

    void putScanAndEmptyUseTheVolumesOwnTrash()
    {
        TreeBuilder volume(m_mountPoint);
        volume.file("photos/a b.jpg", 8192).file("photos/sub/c.raw", 16384);
        TrashStore store(locations());
        QVERIFY(store.put(volume.path("photos"), {}));
        const QByteArray trash = m_mountPoint + "/.Trash-" + QByteArray::number(::getuid());
        QVERIFY(TreeBuilder::exists(trash + "/files/photos/sub/c.raw"));
        // Volume trashes record the path relative to the volume's top folder.
        QVERIFY(TreeBuilder::read(trash + "/info/photos.trashinfo").contains("\nPath=photos\n"));
        // trash-cli reads the same entry back with its full path.
        if (runProcess(QStringLiteral("trash-list"), {QStringLiteral("--version")}).exitCode == 0)
            QVERIFY(runProcess(QStringLiteral("trash-list"), {}).out.contains(volume.path("photos")));

        const TrashStatusResult status = store.scan();
        QVERIFY(status);
        QCOMPARE(status->itemCount, 1);
        QCOMPARE(status->topItems[0].originalPath, std::optional(volume.path("photos")));
        QCOMPARE(status->topItems[0].trashFolder, trash);
        QCOMPARE(status->topItems[0].size, TreeBuilder::treeAllocatedSize(trash + "/files/photos"));

        const TrashCleanupOutcome emptied = store.emptyAll();
        QCOMPARE(emptied->removedCount, 1);
        QVERIFY(!TreeBuilder::exists(trash + "/files/photos"));
    }

    void aSharedStickyTrashGetsAFolderPerUser()
    {
        TreeBuilder volume(m_mountPoint);
        volume.dir(".Trash").chmod(".Trash", 01777).file("doc.txt", 100);
        TrashStore store(locations());
        QVERIFY(store.put(volume.path("doc.txt"), {}));
        QVERIFY(TreeBuilder::exists(m_mountPoint + "/.Trash/" + QByteArray::number(::getuid()) + "/files/doc.txt"));
        QCOMPARE(store.scan()->itemCount, 1);
    }
};

QTEST_GUILESS_MAIN(VolumeTrashTest)
#include "VolumeTrashTest.moc"
