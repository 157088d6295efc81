#include "DirectoryWalker.h"
#include "MountGuard.h"
#include "PosixFd.h"
#include "TempHome.h"
#include "TreeBuilder.h"

#include <QFile>
#include <QTest>

#include <fcntl.h>
#include <sys/stat.h>

using namespace rubbly;
using namespace rubbly::test;

class DirectoryWalkerTest : public QObject {
    Q_OBJECT

    // Sharing a walk between threads must not change what it counts.
    static dev_t deviceOf(const QByteArray& path)
    {
        struct stat st = {};
        return ::stat(path.constData(), &st) == 0 ? st.st_dev : 0;
    }
    static void threadRows()
    {
        QTest::addColumn<int>("threads");
        QTest::newRow("one thread") << 1;
        QTest::newRow("two threads") << 2;
        QTest::newRow("four threads") << 4; // several helpers share the folders kept ready
    }

private Q_SLOTS:
    void countsAllocatedBytesOfFilesOnly_data() { threadRows(); }
    void countsAllocatedBytesOfFilesOnly()
    {
        QFETCH(int, threads);
        TempHome home;
        TreeBuilder tree(QFile::encodeName(home.root()) + "/t");
        tree.file("a/one", 4096).file("a/b/two", 10000).file("a/.hidden/x", 8192).sparseFile("a/sparse", 1 << 30);
        tree.file("a/empty").dir("a/c/d/e");
        for (int i = 0; i < 40; ++i)
            tree.file("wide/" + QByteArray::number(i) + "/f", 100);
        tree.file(QByteArray("d/").repeated(300) + "leaf", 4096); // deep enough to exhaust a careless stack
        const WalkResult result = DirectoryWalker({threads}).measure(tree.root());
        QCOMPARE(result.bytes, TreeBuilder::treeAllocatedSize(tree.root()));
        QCOMPARE(result.files, 46);
        // a, a/b, a/.hidden, a/c, a/c/d, a/c/d/e, wide and its 40, the 300 nested ones
        QCOMPARE(result.directories, 347);
        QCOMPARE(result.errors, 0);
    }

    void neverFollowsSymlinks()
    {
        TempHome home;
        TreeBuilder tree(QFile::encodeName(home.root()));
        tree.file("outside/huge", 1 << 20).file("t/real", 4096).symlink("t/toDir", tree.path("outside"));
        tree.symlink("t/toFile", tree.path("outside/huge")).symlink("t/broken", "/nonexistent/target");
        tree.symlink("t/loop", "loop").dir("t/sub").symlink("t/sub/up", "..");
        DirectoryWalker walker;
        const WalkResult result = walker.measure(tree.path("t"));
        // Only the file and the links themselves (fast symlinks take no blocks).
        qint64 links = 0;
        for (const char* link : {"t/toDir", "t/toFile", "t/broken", "t/loop", "t/sub/up"})
            links += TreeBuilder::allocatedSize(tree.path(link));
        QCOMPARE(result.bytes, TreeBuilder::allocatedSize(tree.path("t/real")) + links);
        QCOMPARE(result.files, 6);
        QCOMPARE(result.errors, 0);
        // A link given as the root is measured as a link.
        QCOMPARE(walker.measure(tree.path("t/toDir")).bytes, TreeBuilder::allocatedSize(tree.path("t/toDir")));
        // A root the caller saw as a folder but that is a link by now is not entered either.
        PosixFd t(::open(tree.path("t").constData(), O_RDONLY | O_DIRECTORY));
        const WalkResult swapped = walker.measureEach({{t.get(), "toDir", deviceOf(tree.path("t"))}})[0];
        QCOMPARE(swapped.bytes, 0);
        QCOMPARE(swapped.errors, 1);
    }

    void unreadableFoldersAreCountedAsErrors()
    {
        if (geteuid() == 0)
            QSKIP("running as root: permission checks do not apply");
        TempHome home;
        TreeBuilder tree(QFile::encodeName(home.root()) + "/t");
        tree.file("ok", 4096).file("locked/inside", 4096).chmod("locked", 0);
        DirectoryWalker walker;
        const WalkResult result = walker.measure(tree.root());
        QCOMPARE(result.bytes, TreeBuilder::allocatedSize(tree.path("ok")));
        QCOMPARE(result.errors, 1);
        tree.chmod("locked", 0755);
    }

    void batchesMeasureEachRootOnItsOwn_data() { threadRows(); }
    void batchesMeasureEachRootOnItsOwn()
    {
        QFETCH(int, threads);
        TempHome home;
        // Roots in two parent folders, as a scan of two trash folders passes them.
        TreeBuilder tree(QFile::encodeName(home.root()) + "/t");
        std::vector<QByteArray> paths;
        for (int i = 0; i < 60; ++i) {
            const QByteArray path = (i % 2 ? "p/d" : "q/d") + QByteArray::number(i);
            for (int j = 0; j <= i % 5; ++j)
                tree.file(path + "/sub" + QByteArray::number(j) + "/f", 4096 * (j + 1));
            paths.push_back(path);
        }
        // A link shared by two roots counts in each; two links inside one root count once there.
        tree.file("p/plain", 8192).hardLink("p/d1/link", "q/d0/sub0/f").hardLink("p/d1/again", "q/d0/sub0/f");
        paths.push_back("p/plain");
        paths.push_back("q/missing");
        PosixFd p(::open(tree.path("p").constData(), O_RDONLY | O_DIRECTORY));
        PosixFd q(::open(tree.path("q").constData(), O_RDONLY | O_DIRECTORY));
        std::vector<WalkRoot> roots;
        roots.reserve(paths.size());
        for (const QByteArray& path : paths)
            roots.push_back(WalkRoot{path.startsWith('p') ? p.get() : q.get(), path.mid(2)});
        DirectoryWalker walker({threads});
        int alongside = 0;
        const std::vector<WalkResult> results = walker.measureEach(roots, [&alongside] { ++alongside; });
        QCOMPARE(alongside, 1);
        QCOMPARE(results.size(), paths.size());
        // Each root's own date is its own, whichever thread took which of its folders: a trash
        // listing dates a folder entry by it.
        for (std::size_t i = 0; i + 1 < paths.size(); ++i) {
            QCOMPARE(results[i].bytes, TreeBuilder::treeAllocatedSize(tree.path(paths[i])) -
                                           (i == 1 ? TreeBuilder::allocatedSize(tree.path("p/d1/again")) : 0));
            struct stat st = {};
            QVERIFY(::lstat(tree.path(paths[i]).constData(), &st) == 0);
            QCOMPARE(results[i].rootModification, std::optional(fromTimespec(st.st_mtim)));
        }
        QCOMPARE(results.back().errors, 1);
        QVERIFY(!results.back().rootModification);
        // The walker stays usable for single measurements afterwards, and a measurement of its own
        // counts an inode the batch saw (in q/d0) again.
        QCOMPARE(walker.measure(tree.path("p/d1")).bytes, results[1].bytes);
    }

    void mountPointsInsideARootAreNotCrossed()
    {
        TempHome home;
        TreeBuilder tree(QFile::encodeName(home.root()) + "/t");
        tree.file("a/f", 4096).dir("a/mnt").file("b/f", 4096);
        MountGuard mounts;
        if (!mounts.tmpfs(tree.path("a/mnt")))
            QSKIP("cannot mount a tmpfs here (needs root)");
        TreeBuilder(tree.path("a/mnt")).file("hidden-by-the-mount", 65536);
        PosixFd fd(::open(tree.root().constData(), O_RDONLY | O_DIRECTORY));
        DirectoryWalker walker({2});
        const std::vector<WalkResult> results = walker.measureEach({{fd.get(), "a"}, {fd.get(), "b"}});
        QCOMPARE(results[0].bytes, TreeBuilder::allocatedSize(tree.path("a/f")));
        QCOMPARE(results[0].directories, 0);
        QCOMPARE(results[1].bytes, TreeBuilder::allocatedSize(tree.path("b/f")));
        // The mount point itself as a root the caller saw as a folder: what was opened is checked.
        PosixFd a(::open(tree.path("a").constData(), O_RDONLY | O_DIRECTORY));
        const WalkResult mounted = walker.measureEach({{a.get(), "mnt", deviceOf(tree.root())}})[0];
        QCOMPARE(mounted.mountPoints, 1);
        QCOMPARE(mounted.bytes, 0);
        // Not entered, but dated as a stat of its name dates it (a trash entry's date).
        struct stat st = {};
        QVERIFY(::lstat(tree.path("a/mnt").constData(), &st) == 0);
        QCOMPARE(mounted.rootModification, std::optional(fromTimespec(st.st_mtim)));
    }
};

QTEST_GUILESS_MAIN(DirectoryWalkerTest)
#include "DirectoryWalkerTest.moc"
