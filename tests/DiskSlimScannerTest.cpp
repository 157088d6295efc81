#include "BlockingWait.h"
#include "DiskSlimService.h"
#include "TempHome.h"
#include "TreeBuilder.h"

#include <QDir>
#include <QFile>
#include <QTest>

#include <algorithm>
#include <functional>

using namespace rubbly;
using namespace rubbly::test;
using C = DiskSlimCategory;

namespace {

QStringList sortedNames(const DiskSlimItem& item)
{
    QStringList result;
    for (const DiskSlimSubItem& sub : item.subItems)
        result.append(sub.name);
    result.sort();
    return result;
}

// A scanner of a temporary home, and a builder for that home.
struct Home {
    TempHome home;
    TreeBuilder tree{QFile::encodeName(home.home())};
    DiskSlimScanner scanner{home.home()};
};

} // namespace

class DiskSlimScannerTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void categoriesAreChosenByOwnerOrFolder()
    {
        Home h;
        h.tree.dir(".cache/google-chrome"); // Chrome not installed, but its cache folder exists
        const QList<C> chosen = h.scanner.chooseCategories({});
        QVERIFY(chosen.contains(C::ChromeCache));
        QVERIFY(chosen.contains(C::GoCache));       // unowned: always
        QVERIFY(!chosen.contains(C::FirefoxCache)); // owned, absent, no folder
        QVERIFY(h.scanner.chooseCategories({QStringLiteral("firefox")}).contains(C::FirefoxCache));
        QVERIFY(!h.scanner.chooseCategories({QStringLiteral("Firefox")}).contains(C::FirefoxCache)); // exact ids
        QVERIFY(std::adjacent_find(chosen.cbegin(), chosen.cend(), std::greater_equal<>()) == chosen.cend());
    }

    void subItemsAreSizedCountedAndSortedLargestFirstAndEmptyOnesDropped()
    {
        Home h;
        h.tree.file(".cache/go-build/aa/one", 4096).file(".cache/go-build/aa/two", 4096);
        h.tree.file(".cache/go-build/aa/three", 4096).dir(".cache/go-build/aa/empty");
        h.tree.file(".cache/go-build/bb/big", 40960).file(".cache/go-build/small", 100);
        h.tree.file(".cache/go-build/.hidden-big", 1 << 20).file(".cache/go-build/aa/.hidden", 4096);
        const auto item = h.scanner.measure(C::GoCache);
        QVERIFY(item);
        QCOMPARE(item->subItems.size(), 3);
        QCOMPARE(item->subItems[0].name, QStringLiteral("bb"));
        QCOMPARE(item->subItems[2].name, QStringLiteral("small"));
        const DiskSlimSubItem& aa = item->subItems[1];
        QCOMPARE(aa.path, h.tree.path(".cache/go-build/aa"));
        QCOMPARE(aa.size, 12288);
        QVERIFY(aa.isDirectory && aa.modificationDate);
        QCOMPARE(item->fileCount, 5);
        QCOMPARE(item->size, 40960 + 12288 + 4096);
        QVERIFY(item->isSelected);
        // Folders holding nothing but empty folders give no item.
        h.tree.dir(".cache/pip/http").dir(".cache/yarn");
        QVERIFY(!h.scanner.measure(C::PythonPipUvCache));
        QVERIFY(!h.scanner.measure(C::YarnCache));
    }

    void downloadsOnlyOffersInstallers()
    {
        Home h;
        TreeBuilder downloads(h.tree.path("Downloads"));
        downloads.file("a.deb", 100).file("b.rpm", 100).file("c.iso", 100).file("d.run", 100).file("e.DEB", 100);
        downloads.file(".f.iso", 100).file("photo.jpg", 100).file("noext", 100).file("g.dmg", 100);
        downloads.file("h.pkg", 100).file("tool-1.0-x86_64.AppImage", 100).file("i.deb.part", 100);
        downloads.file("older/j.deb", 100);
        const auto item = h.scanner.measure(C::DmgInstallers);
        QVERIFY(item);
        QCOMPARE(sortedNames(*item), (QStringList{QStringLiteral("a.deb"), QStringLiteral("b.rpm"),
                                                  QStringLiteral("c.iso"), QStringLiteral("d.run")}));
    }

    void nestedCandidatesAreNotCountedTwiceWithinACategory()
    {
        Home h;
        h.tree.file(".npm/_cacache/index", 8192).file(".npm/_logs/debug.log", 4096);
        h.tree.file(".ollama/models/blobs/sha256-1", 8192)
            .file(".ollama/models/manifests/m", 4096)
            .file(".ollama/history", 4096);
        const auto npm = h.scanner.measure(C::NpmCache);
        // _cacache is measured as its own candidate, so .npm offers only what else it holds.
        QCOMPARE(npm->size, 8192 + 4096);
        QCOMPARE(sortedNames(*npm), (QStringList{QStringLiteral("_logs"), QStringLiteral("index")}));
        const auto ollama = h.scanner.measure(C::OllamaCache);
        QCOMPARE(ollama->size, 8192 + 4096 + 4096);
        QCOMPARE(sortedNames(*ollama),
                 (QStringList{QStringLiteral("history"), QStringLiteral("manifests"), QStringLiteral("sha256-1")}));
        // Across categories a folder counts in each that names it.
        h.tree.file(".config/Cursor/User/workspaceStorage/ws1/state", 4096);
        QCOMPARE(h.scanner.measure(C::AiWorkspaces)->size, 4096);
        QCOMPARE(h.scanner.measure(C::AiEditorCache)->size, 4096);
    }

    void symlinkedCandidatesAndChildrenAreNeverFollowed()
    {
        Home h;
        h.tree.file("precious/photos/a.jpg", 4096).file("precious/b.jpg", 4096);
        h.tree.symlink(".cache/pip", h.tree.path("precious")); // the candidate itself is a link
        h.tree.dir(".cache/pypoetry").symlink(".cache/pypoetry/cache", h.tree.path("precious"));
        h.tree.file(".cache/yarn/real", 4096).symlink(".cache/yarn/link", h.tree.path("precious"));
        QVERIFY(!h.scanner.measure(C::PythonPipUvCache));
        const auto yarn = h.scanner.measure(C::YarnCache);
        QCOMPARE(yarn->subItems.size(), 2);
        for (const DiskSlimSubItem& sub : yarn->subItems)
            QVERIFY(sub.name != QLatin1String("link") || sub.size < 4096);
        QCOMPARE(h.scanner.purge(*yarn).removedCount, 2);
        QVERIFY(TreeBuilder::exists(h.tree.path("precious/photos/a.jpg")));
        QVERIFY(TreeBuilder::exists(h.tree.path(".cache/yarn")));
    }

    void purgeRemovesOnlySelectedSubItemsAndRecordedSizes()
    {
        Home h;
        TreeBuilder tree(h.tree.path(".cache/go-build"));
        tree.file("keep/x", 4096).file("drop/y", 8192).file("gone/z", 4096);
        DiskSlimItem item = *h.scanner.measure(C::GoCache);
        for (DiskSlimSubItem& sub : item.subItems)
            sub.isSelected = sub.name != QLatin1String("keep");
        TreeBuilder::makeWritable(tree.path("gone"));
        QVERIFY(QDir(QFile::decodeName(tree.path("gone"))).removeRecursively()); // vanished since the scan
        tree.file("drop/grew", 1 << 20); // grown since the scan: the recorded size counts
        const SlimPurgeResult result = h.scanner.purge(item);
        QCOMPARE(result.removedCount, 1);
        QCOMPARE(result.freedBytes, 8192);
        QVERIFY(TreeBuilder::exists(tree.path("keep/x")));
        QVERIFY(!TreeBuilder::exists(tree.path("drop")));
        QVERIFY(TreeBuilder::exists(tree.root()));

        for (DiskSlimSubItem& sub : item.subItems)
            sub.isSelected = false;
        QCOMPARE(h.scanner.purge(item), SlimPurgeResult{});
    }

    void purgeRefusesPathsOutsideTheCategorysFolders()
    {
        Home h;
        h.tree.file("Documents/thesis.pdf", 4096).file(".cache/go-build/a", 4096);
        const auto forged = [&h](const char* name, const QByteArray& path, bool isDirectory) {
            return DiskSlimSubItem{QString::fromLatin1(name), h.tree.path(path), 1, std::nullopt, isDirectory, true};
        };
        DiskSlimItem item{C::GoCache, 1, 1, true, {}};
        item.subItems = {forged("thesis.pdf", "Documents/thesis.pdf", false), forged("..", ".cache/go-build/..", true),
                         forged("go-build", ".cache/go-build", true)};
        const SlimPurgeResult result = h.scanner.purge(item);
        QCOMPARE(result.removedCount, 0);
        QCOMPARE(result.failedCount, 3);
        QVERIFY(TreeBuilder::exists(h.tree.path("Documents/thesis.pdf")));
        QVERIFY(TreeBuilder::exists(h.tree.path(".cache/go-build/a")));
    }

    void selectedItemWithoutSubItemsEmptiesItsFoldersButKeepsThem()
    {
        Home h;
        h.tree.file(".npm/_cacache/a", 4096).file(".npm/b", 4096).file(".npm/.hidden", 4096);
        QCOMPARE(h.scanner.purge(DiskSlimItem{C::NpmCache, 0, 0, true, {}}).removedCount, 2);
        QVERIFY(TreeBuilder::exists(h.tree.path(".npm/_cacache")));
        QVERIFY(TreeBuilder::exists(h.tree.path(".npm/.hidden")));
        QVERIFY(!TreeBuilder::exists(h.tree.path(".npm/b")));
        QCOMPARE(h.scanner.purge(DiskSlimItem{C::NpmCache, 0, 0, false, {}}), SlimPurgeResult{});
    }

    void serviceReportsProgressTwicePerCategory()
    {
        Home h;
        h.tree.file(".cache/go-build/a", 4096).file(".cargo/registry/cache/c", 4096);
        DiskSlimService service(h.home.home());
        QList<SlimScanProgress> seen;
        const QList<DiskSlimItem> items =
            blockingWait(service.scan({}, [&seen](const SlimScanProgress& p) { seen.append(p); }));
        QCOMPARE(items.size(), 2);
        QCOMPARE(items[0].category, C::RustCargoCache); // catalogue order
        QCOMPARE(items[1].category, C::GoCache);
        QCOMPARE(seen.size(), 2 * seen.first().count);
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
