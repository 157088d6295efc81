#include "TreeRemover.h"
#include "TempHome.h"
#include "TreeBuilder.h"

#include <QFile>
#include <QScopeGuard>
#include <QTest>

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
