#include "TreeRemover.h"
#include "DirectoryWalker.h"
#include "FaultInjection.h"
#include "PosixFd.h"
#include "TempHome.h"
#include "TreeBuilder.h"

#include <QFile>
#include <QScopeGuard>
#include <QTest>

#include <fcntl.h>
#include <sys/stat.h>

using namespace rubbly;
using namespace rubbly::test;

class TreeRemoverTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void everyShapeOfTreeGoesAndIsCounted()
    {
        TempHome home;
        TreeBuilder tree(QFile::encodeName(home.root()));
        tree.file("t/a", 4096).file("t/b/c", 10000).file("t/.hidden/d", 8192).dir("t/empty/deeper");
        for (const QByteArray& name : TreeBuilder::awkwardNames())
            tree.file("t/" + name, 10).file("t/dir/" + name + "/inner", 10);
        // Unlinking while reading must not leave entries behind in a large folder.
        for (int i = 0; i < 3000; ++i)
            tree.file("t/wide/file-with-a-longer-name-" + QByteArray::number(i));
        tree.file("t/ro/file", 100).file("t/ro/sub/file", 100).file("t/noexec/x", 10).file("t/none/y", 10);
        const qint64 expected = TreeBuilder::treeAllocatedSize(tree.path("t"));
        // Folders of ours that we cannot write, enter or read.
        tree.chmod("t/ro/sub", 0555).chmod("t/ro", 0555).chmod("t/noexec", 0600).chmod("t/none", 0);
        tree.chmod("t/ro/file", 0444);
        const RemovalResult result = TreeRemover(true).remove(tree.path("t"));
        QVERIFY(result.complete && result.failures == 0 && !TreeBuilder::exists(tree.path("t")));
        QCOMPARE(result.removedBytes, expected);
        QVERIFY(TreeRemover().remove(tree.path("never-existed")).complete); // already gone counts as removed
    }

    void removesLinksNotWhatTheyPointToNorDotNames()
    {
        TempHome home;
        TreeBuilder tree(QFile::encodeName(home.root()));
        tree.file("keep/precious", 4096).file("keep/sub/more", 4096).symlink("t/toDir", tree.path("keep"));
        tree.symlink("t/toFile", tree.path("keep/precious")).symlink("t/loop", "loop").symlink("t/up", "..");
        tree.symlink("linkRoot", tree.path("keep"));
        QVERIFY(TreeRemover().remove(tree.path("t")).complete && TreeRemover().remove(tree.path("linkRoot")).complete);
        QVERIFY(TreeBuilder::exists(tree.path("keep/precious")) && !TreeBuilder::exists(tree.path("linkRoot")));
        // Nor through a dot name.
        QVERIFY(!TreeRemover().remove(tree.path("keep") + "/.").complete &&
                !TreeRemover().remove(tree.path("keep/sub") + "/..").complete);
        QVERIFY(TreeBuilder::exists(tree.path("keep/sub/more")));
    }

    // Deeper than the descriptor limit allows folders to stay open, and longer than any path may be:
    // sized and removed all the same, every folder's own blocks counted once, as du -B1 counts.
    void treesDeeperThanTheDescriptorLimitAreSizedAndRemoved_data()
    {
        QTest::addColumn<int>("depth");
        QTest::addColumn<int>("nameLength");
        QTest::addColumn<int>("branches"); // deep branches from one folder, each closing it again
        QTest::newRow("1500 levels") << 1500 << 1 << 1;
        QTest::newRow("a path of 60 KB") << 300 << 200 << 1;
        QTest::newRow("three deep branches") << 200 << 1 << 3;
    }
    void treesDeeperThanTheDescriptorLimitAreSizedAndRemoved()
    {
        QFETCH(int, depth);
        QFETCH(int, nameLength);
        QFETCH(int, branches);
        TempHome home;
        const QByteArray root = QFile::encodeName(home.root()) + "/deep";
        TreeBuilder(root).dir("fork");
        qint64 expected = TreeBuilder::allocatedSize(root);
        for (int index = 0; index < branches; ++index) {
            const char branch = static_cast<char>('a' + index);
            const QByteArray name(nameLength, branch);
            PosixFd fd(::open((root + "/fork").constData(), O_RDONLY | O_DIRECTORY));
            for (int level = 0; fd.isValid(); ++level) {
                struct stat st = {};
                if (level % 7 == 0)
                    ::close(::openat(fd.get(), "f", O_WRONLY | O_CREAT, 0644));
                for (const char* entry : {".", "f"})
                    expected += ::fstatat(fd.get(), entry, &st, AT_SYMLINK_NOFOLLOW) == 0 && (level || branch == 'a')
                                    ? st.st_blocks * 512
                                    : 0;
                QVERIFY(level == depth || ::mkdirat(fd.get(), name.constData(), 0755) == 0);
                fd.reset(level == depth ? -1 : ::openat(fd.get(), name.constData(), O_RDONLY | O_DIRECTORY));
            }
        }
        DescriptorLimit limit(256);
        QVERIFY(limit.ok());
        for (int threads : {1, 2}) {
            const WalkResult sized = DirectoryWalker({threads, true}).measure(root);
            QVERIFY(sized.errors == 0 && sized.directories == depth * branches + 1);
            QCOMPARE(sized.bytes, expected);
        }
        const RemovalResult removed = TreeRemover({true, true}).remove(root);
        QVERIFY(removed.complete && removed.failures == 0 && !TreeBuilder::exists(root));
        QCOMPARE(removed.removedBytes, expected);
    }

    // Deep down, the folders near the root are closed and opened again on the way back up. One moved
    // out of the tree meanwhile is not followed there: nothing of the folder it went to is touched,
    // and the rest of the tree is found again from the root.
    void aFolderMovedOutMidwayLeadsNowhereElse()
    {
        TempHome home;
        TreeBuilder tree(QFile::encodeName(home.root()));
        tree.file("elsewhere/keep", 100).file("t/" + QByteArray("d/").repeated(100) + "leaf", 100);
        static QByteArray from, to;
        from = tree.path("t/d/d"), to = tree.path("elsewhere/d");
        RemovalOptions options;
        options.spare = [](const char* name) { return qstrcmp(name, "leaf") == 0 && ::rename(from, to) && false; };
        const RemovalResult result = TreeRemover(options).remove(tree.path("t"));
        QVERIFY(result.complete && !TreeBuilder::exists(tree.path("t")));
        QVERIFY(TreeBuilder::exists(tree.path("elsewhere/keep")) && TreeBuilder::exists(to));
    }

    void whatCannotGoStaysAndTheRestGoes()
    {
        TempHome home;
        TreeBuilder tree(QFile::encodeName(home.root()));
        tree.file("t/gone", 100).file("t/sub/stuck", 100).file("t/sub/also-gone", 100);
        if (!TreeBuilder::setImmutable(tree.path("t/sub/stuck"), true))
            QSKIP("cannot set the immutable flag here (needs root on ext4, xfs or btrfs)");
        const auto unset = qScopeGuard([&] { TreeBuilder::setImmutable(tree.path("t/sub/stuck"), false); });
        const RemovalResult result = TreeRemover().remove(tree.path("t"));
        QVERIFY(!result.complete && result.failures == 1 && TreeBuilder::exists(tree.path("t/sub/stuck")));
        QVERIFY(!TreeBuilder::exists(tree.path("t/gone")) && !TreeBuilder::exists(tree.path("t/sub/also-gone")));
    }
};

QTEST_GUILESS_MAIN(TreeRemoverTest)
#include "TreeRemoverTest.moc"
