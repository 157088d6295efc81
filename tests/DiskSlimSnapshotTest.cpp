#include "DiskSlimSnapshot.h"
#include "DiskSlimSnapshotStore.h"
#include "MemoryDefaults.h"
#include "StoredKeys.h"
#include "TempHome.h"
#include "TreeBuilder.h"

#include <QHash>
#include <QTest>

using namespace rubbly;
using namespace rubbly::test;
using namespace Qt::StringLiterals;

namespace {

DiskSlimSnapshot sample()
{
    DiskSlimSubItem dated{u"http"_s, "/home/u/.cache/pip/http", 53248, fromReferenceSeconds(818288712.256818), true,
                          true};
    DiskSlimSubItem undated{
        u"100% \xe9.iso"_s, QByteArray("/home/u/Downloads/100% \xe9.iso"), 4096, std::nullopt, false, false};
    DiskSlimItem pip{DiskSlimCategory::PythonPipUvCache, 61440, 9, true, {dated}};
    pip.unlistedCount = 2;
    pip.unlistedSize = 8192;
    pip.changedUpTo = fromReferenceSeconds(818288799.123456);
    return DiskSlimSnapshot{*fromReferenceSeconds(818288800.5),
                            {pip, DiskSlimItem{DiskSlimCategory::DmgInstallers, 4096, 1, false, {undated}}}};
}

} // namespace

class DiskSlimSnapshotTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void roundTripsExactlyIncludingOddPathsAndNoItems()
    {
        const QByteArray json = sample().toJson();
        QCOMPARE(DiskSlimSnapshot::fromJson(json), std::optional(sample()));
        QCOMPARE(json.count("modificationDate"), 1); // a missing date leaves the key out
        QVERIFY(json.contains("\"category\":\"下载目录残留安装包 (.dmg / .pkg)\""));
        QVERIFY(json.contains("\"url\":\"file:///home/u/Downloads/100%25%20%E9.iso\""));
        const DiskSlimSnapshot empty{*fromReferenceSeconds(1.25), {}};
        QCOMPARE(empty.toJson(), QByteArray("{\"items\":[],\"scannedAt\":1.25}"));
        QCOMPARE(DiskSlimSnapshot::fromJson(empty.toJson()), std::optional(empty));
    }

    void readsWhatOtherEncodersWrite()
    {
        const QByteArray json =
            R"({"scannedAt":818288800,"items":[{"subItems":[{"url":"file:///Users/u/Library/Caches/Homebrew/downloads/","name":"downloads","size":1,"isDirectory":true,"isSelected":true}],"category":"Homebrew 缓存","size":1,"fileCount":1,"isSelected":true}]})";
        const auto snapshot = DiskSlimSnapshot::fromJson(json);
        QVERIFY(snapshot);
        QCOMPARE(snapshot->items[0].category, DiskSlimCategory::HomebrewCache);
        QCOMPARE(snapshot->items[0].subItems[0].path, QByteArray("/Users/u/Library/Caches/Homebrew/downloads"));
    }

    void anyBadPartRejectsTheWholeSnapshot_data()
    {
        QTest::addColumn<QByteArray>("from");
        QTest::addColumn<QByteArray>("to");
        const auto row = [](const char* name, const char* from, const char* to) {
            QTest::newRow(name) << QByteArray(from) << QByteArray(to);
        };
        row("unknown title", "Python (pip / uv / Poetry) 缓存", "Python cache");
        row("not a file URL", "file:///home/u/.cache/pip/http", "https://x/y");
        row("relative URL", "file:///home/u/.cache/pip/http", "home/u/x");
        row("string size", R"("size":61440,"subItems")", R"("size":"61440","subItems")");
        row("negative unlisted count", R"("unlistedCount":2)", R"("unlistedCount":-2)");
        row("missing key", R"("fileCount":9,)", "");
        row("date of wrong type", R"("modificationDate":818288712.256818)", R"("modificationDate":"yesterday")");
    }
    void anyBadPartRejectsTheWholeSnapshot()
    {
        QFETCH(QByteArray, from);
        QFETCH(QByteArray, to);
        QByteArray json = sample().toJson();
        QVERIFY2(json.contains(from), json.constData());
        json.replace(from, to);
        QVERIFY(!DiskSlimSnapshot::fromJson(json));
    }

    // The snapshot has a file of its own in the cache folder, not a key in the settings file; one an
    // earlier version kept there moves to the file once. However many entries a scan found, what is
    // written stays within what the reader accepts: the smallest sub-items become counted ones.
    void keptInItsOwnBoundedFile()
    {
        TempHome home;
        MemoryDefaults defaults;
        defaults.setValue(kDiskSlimSnapshotKey, sample().toJson());
        QCOMPARE(loadSlimSnapshot(defaults), std::optional(sample()));
        QVERIFY(!defaults.value(kDiskSlimSnapshotKey));
        QCOMPARE(DiskSlimSnapshot::fromJson(TreeBuilder::read(home.cacheHome() + u"/rubbly/slim-snapshot.json"_s)),
                 std::optional(sample()));

        DiskSlimSnapshot many = sample();
        DiskSlimItem& pip = many.items[0];
        for (int i = 0; i < kDiskSlimListedSubItems; ++i)
            pip.subItems.append(DiskSlimSubItem{u"w"_s, "/h/.cache/pip/w" + QByteArray::number(i), 100, {}});
        QVERIFY(saveSlimSnapshot(defaults, many).ok());
        QCOMPARE(loadSlimSnapshot(defaults), std::optional(many));
        const QByteArray small = many.toJson(8192);
        QVERIFY(small.size() <= 8192);
        const DiskSlimItem bounded = DiskSlimSnapshot::fromJson(small)->items[0];
        QCOMPARE(bounded.subItems.first(), sample().items[0].subItems.first());
        QCOMPARE(bounded.subItems.size() + bounded.unlistedCount, pip.subItems.size() + pip.unlistedCount);
        QCOMPARE(bounded.unlistedSize, pip.unlistedSize + (pip.subItems.size() - bounded.subItems.size()) * 100);
    }
};

QTEST_GUILESS_MAIN(DiskSlimSnapshotTest)
#include "DiskSlimSnapshotTest.moc"
