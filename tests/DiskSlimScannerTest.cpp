#include "BlockingWait.h"
#include "DiskSlimService.h"
#include "TempHome.h"
#include "TreeBuilder.h"

#include <QFile>
#include <QTest>

using namespace rubbly;
using namespace rubbly::test;
using C = DiskSlimCategory;

namespace {

QStringList names(const DiskSlimItem& item)
{
    QStringList result;
    for (const DiskSlimSubItem& sub : item.subItems)
        result.append(sub.name);
    return result;
}

} // namespace

class DiskSlimScannerTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void categoriesAreChosenByOwnerOrFolder()
    {
        TempHome home;
        TreeBuilder tree(QFile::encodeName(home.home()));
        tree.dir(".cache/google-chrome"); // Chrome not installed, but its cache folder exists
        DiskSlimScanner scanner(home.home());
        const QList<C> chosen = scanner.chooseCategories({});
        QVERIFY(chosen.contains(C::ChromeCache));
        QVERIFY(chosen.contains(C::GoCache));       // unowned: always
        QVERIFY(!chosen.contains(C::FirefoxCache)); // owned, absent, no folder
        QVERIFY(scanner.chooseCategories({QStringLiteral("firefox")}).contains(C::FirefoxCache));
        QVERIFY(!scanner.chooseCategories({QStringLiteral("Firefox")}).contains(C::FirefoxCache)); // exact ids
        for (int i = 1; i < chosen.size(); ++i)
            QVERIFY(chosen[i - 1] < chosen[i]);
    }

    void emptyFoldersProduceNoItem()
    {
        TempHome home;
        TreeBuilder(QFile::encodeName(home.home())).dir(".cache/pip/http").dir(".cache/yarn");
        DiskSlimScanner scanner(home.home());
        QVERIFY(!scanner.measure(C::PythonPipUvCache));
        QVERIFY(!scanner.measure(C::YarnCache));
    }

    void subItemsAreSizedCountedAndSortedLargestFirst()
    {
        TempHome home;
        TreeBuilder tree(QFile::encodeName(home.home()) + "/.cache/go-build");
        tree.file("aa/one", 4096).file("aa/two", 4096).file("aa/three", 4096).dir("aa/empty");
        tree.file("bb/big", 40960).file("small", 100).file(".hidden-big", 1 << 20).file("aa/.hidden", 4096);
        DiskSlimScanner scanner(home.home());
        const auto item = scanner.measure(C::GoCache);
        QVERIFY(item);
        QCOMPARE(names(*item), (QStringList{QStringLiteral("bb"), QStringLiteral("aa"), QStringLiteral("small")}));
        const DiskSlimSubItem& aa = item->subItems[1];
        QCOMPARE(aa.size, 12288);
        QVERIFY(aa.isDirectory);
        QVERIFY(aa.modificationDate);
        QCOMPARE(item->fileCount, 5);
        QCOMPARE(item->size, 40960 + 12288 + 4096);
        QVERIFY(item->isSelected);
        QCOMPARE(aa.path, QFile::encodeName(home.home()) + "/.cache/go-build/aa");
    }

    void downloadsOnlyOffersInstallers()
    {
        TempHome home;
        TreeBuilder tree(QFile::encodeName(home.home()) + "/Downloads");
        tree.file("a.dmg", 100).file("b.pkg", 100).file("c.iso", 100).file("d.zip", 100).file("e.DMG", 100);
        tree.file(".f.iso", 100).file("photo.jpg", 100).file("noext", 100);
        const auto item = DiskSlimScanner(home.home()).measure(C::DmgInstallers);
        QVERIFY(item);
        QStringList found = names(*item);
        found.sort();
        QCOMPARE(found, (QStringList{QStringLiteral("a.dmg"), QStringLiteral("b.pkg"), QStringLiteral("c.iso")}));
    }

    void nestedCandidatesAreNotCountedTwiceWithinACategory()
    {
        TempHome home;
        TreeBuilder tree(QFile::encodeName(home.home()));
        tree.file(".npm/_cacache/index", 8192).file(".npm/_logs/debug.log", 4096);
        tree.file(".ollama/models/blobs/sha256-1", 8192)
            .file(".ollama/models/manifests/m", 4096)
            .file(".ollama/history", 4096);
        DiskSlimScanner scanner(home.home());
        const auto npm = scanner.measure(C::NpmCache);
        // _cacache is measured as its own candidate, so .npm offers only what else it holds.
        QCOMPARE(npm->size, 8192 + 4096);
        QCOMPARE(names(*npm), (QStringList{QStringLiteral("index"), QStringLiteral("_logs")}));
        const auto ollama = scanner.measure(C::OllamaCache);
        QCOMPARE(ollama->size, 8192 + 4096 + 4096);
        QStringList ollamaNames = names(*ollama);
        ollamaNames.sort();
        QCOMPARE(ollamaNames,
                 (QStringList{QStringLiteral("history"), QStringLiteral("manifests"), QStringLiteral("sha256-1")}));
    }

    void overlappingFoldersCountInEachCategory()
    {
        TempHome home;
        TreeBuilder tree(QFile::encodeName(home.home()));
        tree.file(".config/Cursor/User/workspaceStorage/ws1/state", 4096);
        DiskSlimScanner scanner(home.home());
        QCOMPARE(scanner.measure(C::AiWorkspaces)->size, 4096);
        QCOMPARE(scanner.measure(C::AiEditorCache)->size, 4096);
    }

    void symlinkedCandidatesAndChildrenAreNeverFollowed()
    {
        TempHome home;
        TreeBuilder tree(QFile::encodeName(home.home()));
        tree.file("precious/photos/a.jpg", 4096).file("precious/b.jpg", 4096);
        tree.symlink(".cache/pip", tree.path("precious")); // the candidate itself is a link
        tree.dir(".cache/pypoetry").symlink(".cache/pypoetry/cache", tree.path("precious"));
        tree.file(".cache/yarn/real", 4096).symlink(".cache/yarn/link", tree.path("precious"));
        DiskSlimScanner scanner(home.home());
        QVERIFY(!scanner.measure(C::PythonPipUvCache));
        const auto yarn = scanner.measure(C::YarnCache);
        QCOMPARE(yarn->subItems.size(), 2);
        for (DiskSlimSubItem sub : yarn->subItems) {
            if (sub.name == QLatin1String("link"))
                QVERIFY(sub.size < 4096);
        }
        const SlimPurgeResult purged = scanner.purge(*yarn);
        QCOMPARE(purged.removedCount, 2);
        QVERIFY(TreeBuilder::exists(tree.path("precious/photos/a.jpg")));
        QVERIFY(TreeBuilder::exists(tree.path(".cache/yarn")));
    }

    void purgeRemovesOnlySelectedSubItemsAndRecordedSizes()
    {
        TempHome home;
        TreeBuilder tree(QFile::encodeName(home.home()) + "/.cache/go-build");
        tree.file("keep/x", 4096).file("drop/y", 8192).file("gone/z", 4096);
        DiskSlimScanner scanner(home.home());
        DiskSlimItem item = *scanner.measure(C::GoCache);
        for (DiskSlimSubItem& sub : item.subItems)
            sub.isSelected = sub.name != QLatin1String("keep");
        TreeBuilder::makeWritable(tree.path("gone"));
        QVERIFY(::system(("rm -rf '" + tree.path("gone") + "'").constData()) == 0); // vanished since the scan
        tree.file("drop/grew", 1 << 20); // grown since the scan: the recorded size counts
        const SlimPurgeResult result = scanner.purge(item);
        QCOMPARE(result.removedCount, 1);
        QCOMPARE(result.freedBytes, 8192);
        QVERIFY(TreeBuilder::exists(tree.path("keep/x")));
        QVERIFY(!TreeBuilder::exists(tree.path("drop")));
        QVERIFY(TreeBuilder::exists(tree.root()));

        for (DiskSlimSubItem& sub : item.subItems)
            sub.isSelected = false;
        QCOMPARE(scanner.purge(item), SlimPurgeResult{});
    }

    void purgeRefusesPathsOutsideTheCategorysFolders()
    {
        TempHome home;
        TreeBuilder tree(QFile::encodeName(home.home()));
        tree.file("Documents/thesis.pdf", 4096).file(".cache/go-build/a", 4096);
        DiskSlimScanner scanner(home.home());
        DiskSlimItem forged{
            C::GoCache,
            1,
            1,
            true,
            {DiskSlimSubItem{QStringLiteral("thesis.pdf"), tree.path("Documents/thesis.pdf"), 4096, std::nullopt, false,
                             true},
             DiskSlimSubItem{QStringLiteral(".."), tree.path(".cache/go-build/.."), 1, std::nullopt, true, true},
             DiskSlimSubItem{QStringLiteral("go-build"), tree.path(".cache/go-build"), 1, std::nullopt, true, true}}};
        const SlimPurgeResult result = scanner.purge(forged);
        QCOMPARE(result.removedCount, 0);
        QCOMPARE(result.failedCount, 3);
        QVERIFY(TreeBuilder::exists(tree.path("Documents/thesis.pdf")));
        QVERIFY(TreeBuilder::exists(tree.path(".cache/go-build/a")));
    }

    void selectedItemWithoutSubItemsEmptiesItsFoldersButKeepsThem()
    {
        TempHome home;
        TreeBuilder tree(QFile::encodeName(home.home()));
        tree.file(".npm/_cacache/a", 4096).file(".npm/b", 4096).file(".npm/.hidden", 4096);
        DiskSlimScanner scanner(home.home());
        const SlimPurgeResult result = scanner.purge(DiskSlimItem{C::NpmCache, 0, 0, true, {}});
        QCOMPARE(result.removedCount, 2);
        QVERIFY(TreeBuilder::exists(tree.path(".npm/_cacache")));
        QVERIFY(TreeBuilder::exists(tree.path(".npm/.hidden")));
        QVERIFY(!TreeBuilder::exists(tree.path(".npm/b")));
        QCOMPARE(scanner.purge(DiskSlimItem{C::NpmCache, 0, 0, false, {}}), SlimPurgeResult{});
    }

    void serviceReportsProgressTwicePerCategory()
    {
        TempHome home;
        TreeBuilder(QFile::encodeName(home.home()))
            .file(".cache/go-build/a", 4096)
            .file(".cargo/registry/cache/c", 4096);
        DiskSlimService service(home.home());
        QList<SlimScanProgress> seen;
        const QList<DiskSlimItem> items =
            blockingWait(service.scan({}, [&seen](const SlimScanProgress& p) { seen.append(p); }));
        QCOMPARE(items.size(), 2);
        QCOMPARE(items[0].category, C::RustCargoCache); // catalogue order
        QCOMPARE(items[1].category, C::GoCache);
        QVERIFY(seen.size() % 2 == 0);
        const int n = seen.first().count;
        QCOMPARE(seen.size(), 2 * n);
        for (int i = 0; i < seen.size(); i += 2) {
            QCOMPARE(seen[i].position, i / 2 + 1);
            QVERIFY(!seen[i].item);
            QCOMPARE(seen[i + 1].category, seen[i].category);
        }
        QList<SlimPurgeProgress> purged;
        const SlimPurgeResult result =
            blockingWait(service.purge(items, [&purged](const SlimPurgeProgress& p) { purged.append(p); }));
        QCOMPARE(result.removedCount, 2);
        QCOMPARE(purged.size(), 2);
        QCOMPARE(purged[1].position, 2);
    }
};

QTEST_GUILESS_MAIN(DiskSlimScannerTest)
#include "DiskSlimScannerTest.moc"
