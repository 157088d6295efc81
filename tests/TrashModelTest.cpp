#include "CleaningRecord.h"
#include "FileCategory.h"
#include "TreeBuilder.h"

#include <QFile>

#include <QTest>

using namespace rubbly;

class TrashModelTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void categoryByExtension_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("title");
        const auto row = [](const char* what, const char* name, const char* title) {
            QTest::newRow(what) << QString::fromUtf8(name) << QString::fromUtf8(title);
        };
        row("upper-case video", "Holiday.MOV", "视频");
        row("no dot", "Makefile", "其他");
        row("trailing dot", "weird.", "其他");
        row("dot file without extension", ".bashrc", "其他");
        row("application bundle", "Old.app", "压缩与安装包");
        row("compound tar.gz uses the last extension", "src.tar.gz", "压缩与安装包");
        row("ai is an image, before anything else", "logo.ai", "图片");
        row("non-ASCII stem", "照片.JPG", "图片");
        row("KDE's clash suffix", "dup.txt (1)", "文档");
        row("KDE's clash suffix past nine", "clip.mkv (12)", "视频");
        row("clash suffix without an extension", "Makefile (1)", "其他");
        row("words in brackets are part of the name", "notes.txt (old)", "其他");
        row("brackets without a space", "data.csv(1)", "其他");
        row("empty brackets", "data.csv ()", "其他");
    }
    void categoryByExtension()
    {
        QFETCH(QString, name);
        QFETCH(QString, title);
        QCOMPARE(fileCategoryTitle(categoryFor(name)), title);
    }

    void rawNamesAreClassifiedAsTheirDecodedForm()
    {
        // The Kelvin sign folds to k: a keynote. Then KDE's clash names.
        const QByteArray kelvin = "talk.\xe2\x84\xaa"
                                  "ey";
        const QList<QByteArray> names =
            test::TreeBuilder::awkwardNames() +
            QList<QByteArray>{kelvin,    "photo.\xff",  "\xff\xfe.PNG", "src.tar.gz", "Makefile",    "trailing.",
                              ".bashrc", "dup.txt (1)", "dup.PNG (12)", "dup.txt ()", "dup.txt (x)", "\xff.mp4 (3)"};
        for (const QByteArray& name : std::as_const(names))
            QCOMPARE(categoryForRawName(name), categoryFor(QFile::decodeName(name)));
        QCOMPARE(categoryForRawName(kelvin), FileCategory::Document);
    }

    void titlesAreReadBackExactly()
    {
        for (FileCategory category : kAllFileCategories)
            QCOMPARE(fileCategoryFromTitle(fileCategoryTitle(category)), std::optional(category));
        QVERIFY(!fileCategoryFromTitle(u"视频 "));
        QVERIFY(!fileCategoryFromTitle(u"video"));
    }

    void recordsRoundTripToTheMicrosecondWithExactlyThreeKeys()
    {
        const CleaningRecord record{*fromReferenceSeconds(786543210.123456), 123456789012, 42};
        QCOMPARE(CleaningRecord::fromJson(record.toJson()), std::optional(record));
        QCOMPARE((CleaningRecord{*fromReferenceSeconds(1.5), 10, 1}.toJson()),
                 QByteArray(R"({"cleanedAt":1.5,"freedBytes":10,"removedItemCount":1})"));
    }

    void recordReadsTheFormOtherWritersProduce()
    {
        // Key order and integral dates vary between encoders; both must load.
        const auto a = CleaningRecord::fromJson(R"({"removedItemCount":3,"freedBytes":1048576,"cleanedAt":786000000})");
        QCOMPARE(a, (std::optional(CleaningRecord{*fromReferenceSeconds(786000000), 1048576, 3})));
        const auto b =
            CleaningRecord::fromJson(R"({"cleanedAt":786000000.25,"freedBytes":0,"removedItemCount":0,"extra":1})");
        QVERIFY(b);
        QCOMPARE(toReferenceSeconds(b->cleanedAt), 786000000.25);
    }

    void malformedRecordsLoadAsNothing()
    {
        // Not JSON, an array, a missing key, a string date, a fractional byte count, a count beyond
        // int, a boolean count, nothing.
        for (const char* json : {"{cleanedAt: 1", "[1,2,3]", R"({"cleanedAt":1,"freedBytes":2})",
                                 R"({"cleanedAt":"2024-01-01","freedBytes":2,"removedItemCount":1})",
                                 R"({"cleanedAt":1,"freedBytes":2.5,"removedItemCount":1})",
                                 R"({"cleanedAt":1,"freedBytes":2,"removedItemCount":4294967296})",
                                 R"({"cleanedAt":1,"freedBytes":2,"removedItemCount":true})", ""})
            QVERIFY2(!CleaningRecord::fromJson(json), json);
    }
};

QTEST_GUILESS_MAIN(TrashModelTest)
#include "TrashModelTest.moc"
