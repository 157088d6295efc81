#include "ProcessRunner.h"
#include "TrashFixture.h"
#include "TrashStore.h"

#include <QDir>
#include <QFile>
#include <QTest>

#include <sys/mount.h>
#include <unistd.h>

using namespace rubbly;
using namespace rubbly::test;

// A trash on a second file system: a small ext4 image, loop-mounted. Needs root (CI runs as root);
// elsewhere the test skips and says why.
class VolumeTrashTest : public QObject {
    Q_OBJECT

    TrashFixture* m_fx = nullptr;
    QByteArray m_mountPoint;
    bool m_mounted = false;

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
        m_fx = new TrashFixture;
        const QString root = m_fx->home().root();
        m_mountPoint = QFile::encodeName(root) + "/volume";
        QDir().mkpath(QFile::decodeName(m_mountPoint));
        const QString image = root + QStringLiteral("/volume.img");
        if (geteuid() != 0)
            QSKIP("mounting a test volume needs root");
        QFile img(image);
        img.open(QIODevice::WriteOnly);
        img.resize(32 << 20);
        img.close();
        if (runProcess(QStringLiteral("mkfs.ext4"), {QStringLiteral("-q"), QStringLiteral("-F"), image}).exitCode != 0)
            QSKIP("mkfs.ext4 is not available (scripts/setup installs e2fsprogs)");
        const ProcessResult mount = runProcess(QStringLiteral("mount"), {QStringLiteral("-o"), QStringLiteral("loop"),
                                                                         image, QFile::decodeName(m_mountPoint)});
        if (mount.exitCode != 0)
            QSKIP(qPrintable(QStringLiteral("cannot loop-mount a test volume here: ") + QString::fromUtf8(mount.err)));
        m_mounted = true;
    }

    void cleanup()
    {
        if (m_mounted)
            ::umount2(m_mountPoint.constData(), MNT_DETACH);
        m_mounted = false;
        delete m_fx;
        m_fx = nullptr;
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
