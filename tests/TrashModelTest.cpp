#include "CleaningRecord.h"
#include "FileCategory.h"
#include "TrashStatus.h"

#include <QTest>

using namespace rubbly;

class TrashModelTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void categoryByExtension_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("title");
        QTest::newRow("upper-case video") << "Holiday.MOV"
                                          << "视频";
        QTest::newRow("no dot") << "Makefile"
                                << "其他";
        QTest::newRow("trailing dot") << "weird."
                                      << "其他";
        QTest::newRow("dot file without extension") << ".bashrc"
                                                    << "其他";
        QTest::newRow("7z") << "backup.7z"
                            << "压缩与安装包";
        QTest::newRow("iso") << "debian.iso"
                             << "压缩与安装包";
        QTest::newRow("application bundle") << "Old.app"
                                            << "压缩与安装包";
        QTest::newRow("compound tar.gz uses the last extension") << "src.tar.gz"
                                                                 << "压缩与安装包";
        QTest::newRow("key is a document") << "talk.key"
                                           << "文档";
        QTest::newRow("markdown is not listed") << "notes.markdown"
                                                << "其他";
        QTest::newRow("htm is not listed") << "page.htm"
                                           << "其他";
        QTest::newRow("ai is an image, before anything else") << "logo.ai"
                                                              << "图片";
        QTest::newRow("m is development") << "main.m"
                                          << "代码与工程";
        QTest::newRow("non-ASCII stem") << "照片.JPG"
                                        << "图片";
    }
    void categoryByExtension()
    {
        QFETCH(QString, name);
        QFETCH(QString, title);
        QCOMPARE(fileCategoryTitle(categoryFor(name)), title);
    }

    void titlesRoundTripExactly()
    {
        for (FileCategory category : kAllFileCategories)
            QCOMPARE(fileCategoryFromTitle(fileCategoryTitle(category)), std::optional(category));
        QVERIFY(!fileCategoryFromTitle(u"视频 "));
        QVERIFY(!fileCategoryFromTitle(u"video"));
    }

    void previewItemsHoldTheFiveLargestFromSixEntries_data()
    {
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("preview");
        QTest::newRow("none") << 0 << 0;
        QTest::newRow("five") << 5 << 5;
        QTest::newRow("six") << 6 << 5;
        QTest::newRow("seven") << 7 << 5;
    }
    void previewItemsHoldTheFiveLargestFromSixEntries()
    {
        QFETCH(int, count);
        QFETCH(int, preview);
        TrashStatus status;
        for (int i = 0; i < count; ++i) {
            TrashItemDetail item;
            item.name = QString::number(i);
            item.size = 100 - i;
            status.topItems.append(item);
        }
        const auto items = status.previewItems();
        QCOMPARE(items.size(), preview);
        for (int i = 0; i < items.size(); ++i)
            QCOMPARE(items[i], status.topItems[i]);
    }

    void recordRoundTripsToTheMicrosecond()
    {
        const CleaningRecord record{*fromReferenceSeconds(786543210.123456), 123456789012, 42};
        const auto back = CleaningRecord::fromJson(record.toJson());
        QVERIFY(back);
        QCOMPARE(*back, record);
    }

    void recordReadsTheFormOtherWritersProduce()
    {
        // Key order and integral dates vary between encoders; both must load.
        const auto a = CleaningRecord::fromJson(R"({"removedItemCount":3,"freedBytes":1048576,"cleanedAt":786000000})");
        QVERIFY(a);
        QCOMPARE(a->removedItemCount, 3);
        QCOMPARE(a->freedBytes, qint64(1048576));
        QCOMPARE(toReferenceSeconds(a->cleanedAt), 786000000.0);
        const auto b =
            CleaningRecord::fromJson(R"({"cleanedAt":786000000.25,"freedBytes":0,"removedItemCount":0,"extra":1})");
        QVERIFY(b);
        QCOMPARE(toReferenceSeconds(b->cleanedAt), 786000000.25);
    }

    void recordWrittenHasExactlyTheThreeKeys()
    {
        const QByteArray json = CleaningRecord{*fromReferenceSeconds(1.5), 10, 1}.toJson();
        QCOMPARE(json, QByteArray(R"({"cleanedAt":1.5,"freedBytes":10,"removedItemCount":1})"));
    }

    void malformedRecordsLoadAsNothing_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::newRow("not JSON") << QByteArray("{cleanedAt: 1");
        QTest::newRow("an array") << QByteArray("[1,2,3]");
        QTest::newRow("missing key") << QByteArray(R"({"cleanedAt":1,"freedBytes":2})");
        QTest::newRow("string date") << QByteArray(R"({"cleanedAt":"2024-01-01","freedBytes":2,"removedItemCount":1})");
        QTest::newRow("fractional byte count")
            << QByteArray(R"({"cleanedAt":1,"freedBytes":2.5,"removedItemCount":1})");
        QTest::newRow("count beyond int")
            << QByteArray(R"({"cleanedAt":1,"freedBytes":2,"removedItemCount":4294967296})");
        QTest::newRow("boolean count") << QByteArray(R"({"cleanedAt":1,"freedBytes":2,"removedItemCount":true})");
        QTest::newRow("empty") << QByteArray();
    }
    void malformedRecordsLoadAsNothing()
    {
        QFETCH(QByteArray, json);
        QVERIFY(!CleaningRecord::fromJson(json));
    }
};

QTEST_GUILESS_MAIN(TrashModelTest)
#include "TrashModelTest.moc"
