#include "TreeRemover.h"
#include "TempHome.h"
#include "TreeBuilder.h"

#include <QFile>
#include <QTest>

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Sets the immutable attribute (even root cannot unlink such a file) and clears it again.
class ImmutableGuard {
public:
    explicit ImmutableGuard(QByteArray path)
        : m_path(std::move(path))
    {
        m_set = setFlag(true);
    }
    ~ImmutableGuard()
    {
        if (m_set)
            setFlag(false);
    }
    bool isSet() const { return m_set; }

private:
    bool setFlag(bool on)
    {
        const int fd = ::open(m_path.constData(), O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            return false;
        int flags = 0;
        bool ok = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
        flags = on ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
        ok = ok && ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
        ::close(fd);
        return ok;
    }
    QByteArray m_path;
    bool m_set = false;
};

// A small tmpfs mounted for the test's duration.
class MountGuard {
public:
    explicit MountGuard(QByteArray path)
        : m_path(std::move(path))
    {
        m_mounted = ::mount("rubbly-test", m_path.constData(), "tmpfs", 0, "size=1m") == 0;
    }
    ~MountGuard()
    {
        if (m_mounted)
            ::umount2(m_path.constData(), MNT_DETACH);
    }
    bool isMounted() const { return m_mounted; }

private:
    QByteArray m_path;
    bool m_mounted = false;
};

} // namespace

using namespace rubbly;
using namespace rubbly::test;

class TreeRemoverTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void removesFilesAndTreesAndCountsTheirBytes()
    {
        TempHome home;
        TreeBuilder tree(QFile::encodeName(home.root()));
        tree.file("t/a", 4096)
            .file("t/b/c", 10000)
            .file("t/.hidden/d", 8192)
            .dir("t/empty/deeper")
            .file("single", 5000);
        const qint64 expected = TreeBuilder::treeAllocatedSize(tree.path("t"));
        const RemovalResult result = TreeRemover(true).remove(tree.path("t"));
        QVERIFY(result.complete);
        QCOMPARE(result.removedBytes, expected);
        QCOMPARE(result.failures, 0);
        QVERIFY(!TreeBuilder::exists(tree.path("t")));
        QVERIFY(TreeRemover().remove(tree.path("single")).complete);
        QVERIFY(!TreeBuilder::exists(tree.path("single")));
    }

    void removesLinksNotWhatTheyPointTo()
    {
        TempHome home;
        TreeBuilder tree(QFile::encodeName(home.root()));
        tree.file("keep/precious", 4096).file("keep/sub/more", 4096);
        tree.symlink("t/toDir", tree.path("keep"));
        tree.symlink("t/toFile", tree.path("keep/precious"));
        tree.symlink("t/loop", "loop");
        tree.symlink("t/up", "..");
        tree.symlink("linkRoot", tree.path("keep"));
        QVERIFY(TreeRemover().remove(tree.path("t")).complete);
        QVERIFY(TreeRemover().remove(tree.path("linkRoot")).complete);
        QVERIFY(TreeBuilder::exists(tree.path("keep/precious")));
        QVERIFY(TreeBuilder::exists(tree.path("keep/sub/more")));
        QVERIFY(!TreeBuilder::exists(tree.path("linkRoot")));
    }

    void readOnlyTreesOfOursAreRemoved()
    {
        TempHome home;
        TreeBuilder tree(QFile::encodeName(home.root()));
        tree.file("t/ro/file", 100).file("t/ro/sub/file", 100).file("t/noexec/x", 10).file("t/none/y", 10);
        tree.chmod("t/ro/sub", 0555).chmod("t/ro", 0555).chmod("t/noexec", 0600).chmod("t/none", 0);
        tree.chmod("t/ro/file", 0444);
        QVERIFY(TreeRemover().remove(tree.path("t")).complete);
        QVERIFY(!TreeBuilder::exists(tree.path("t")));
    }

    void awkwardNamesAreRemoved()
    {
        TempHome home;
        TreeBuilder tree(QFile::encodeName(home.root()));
        for (const QByteArray& name : TreeBuilder::awkwardNames())
            tree.file("t/" + name, 10).file("t/dir/" + name + "/inner", 10);
        QVERIFY(TreeRemover().remove(tree.path("t")).complete);
        QVERIFY(!TreeBuilder::exists(tree.path("t")));
    }

    void wideFoldersAreEmptiedCompletely()
    {
        // Unlinking while reading must not leave entries behind in large folders.
        TempHome home;
        TreeBuilder tree(QFile::encodeName(home.root()));
        for (int i = 0; i < 3000; ++i)
            tree.file("t/file-with-a-longer-name-" + QByteArray::number(i));
        QVERIFY(TreeRemover().remove(tree.path("t")).complete);
        QVERIFY(!TreeBuilder::exists(tree.path("t")));
    }

    void whatCannotGoStaysAndTheRestGoes()
    {
        TempHome home;
        TreeBuilder tree(QFile::encodeName(home.root()));
        tree.file("t/gone", 100).file("t/sub/stuck", 100).file("t/sub/also-gone", 100);
        ImmutableGuard stuck(tree.path("t/sub/stuck"));
        if (!stuck.isSet())
            QSKIP("cannot set the immutable flag here (needs root on ext4, xfs or btrfs)");
        const RemovalResult result = TreeRemover().remove(tree.path("t"));
        QVERIFY(!result.complete);
        QCOMPARE(result.failures, 1);
        QVERIFY(TreeBuilder::exists(tree.path("t/sub/stuck")));
        QVERIFY(!TreeBuilder::exists(tree.path("t/gone")));
        QVERIFY(!TreeBuilder::exists(tree.path("t/sub/also-gone")));
    }

    void mountPointsInsideAreNotCrossed()
    {
        TempHome home;
        TreeBuilder tree(QFile::encodeName(home.root()));
        tree.file("t/before", 100).dir("t/mnt");
        MountGuard mount(tree.path("t/mnt"));
        if (!mount.isMounted())
            QSKIP("cannot mount a tmpfs here (needs root)");
        tree.file("t/mnt/on-the-other-fs", 100);
        const RemovalResult result = TreeRemover().remove(tree.path("t"));
        QVERIFY(!result.complete);
        QVERIFY(TreeBuilder::exists(tree.path("t/mnt/on-the-other-fs")));
        QVERIFY(!TreeBuilder::exists(tree.path("t/before")));
    }

    void alreadyGoneCountsAsRemoved()
    {
        TempHome home;
        const RemovalResult result = TreeRemover().remove(QFile::encodeName(home.root()) + "/never-existed");
        QVERIFY(result.complete);
    }

    void refusesDotNames()
    {
        TempHome home;
        TreeBuilder tree(QFile::encodeName(home.root()));
        tree.file("t/x", 10);
        QVERIFY(!TreeRemover().remove(tree.path("t") + "/.").complete);
        QVERIFY(!TreeRemover().remove(tree.path("t") + "/..").complete);
        QVERIFY(TreeBuilder::exists(tree.path("t/x")));
    }
};

QTEST_GUILESS_MAIN(TreeRemoverTest)
#include "TreeRemoverTest.moc"
