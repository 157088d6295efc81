#include "DiskSlimSnapshot.h"

#include <QHash>
#include <QTest>

using namespace rubbly;
using namespace Qt::StringLiterals;

namespace {

DiskSlimSnapshot sample()
{
    DiskSlimSubItem dated{u"http"_s, "/home/u/.cache/pip/http", 53248, fromReferenceSeconds(818288712.256818), true,
                          true};
    DiskSlimSubItem undated{
        u"100% \xe9.iso"_s, QByteArray("/home/u/Downloads/100% \xe9.iso"), 4096, std::nullopt, false, false};
    return DiskSlimSnapshot{*fromReferenceSeconds(818288800.5),
                            {DiskSlimItem{DiskSlimCategory::PythonPipUvCache, 53248, 7, true, {dated}},
                             DiskSlimItem{DiskSlimCategory::DmgInstallers, 4096, 1, false, {undated}}}};
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
        QVERIFY(!snapshot->items[0].subItems[0].modificationDate);
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
        row("string size", R"("size":53248,"subItems")", R"("size":"53248","subItems")");
        row("missing key", R"("fileCount":7,)", "");
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
};

QTEST_GUILESS_MAIN(DiskSlimSnapshotTest)
#include "DiskSlimSnapshotTest.moc"
