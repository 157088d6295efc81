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
        row("dot file without extension", ".bashrc", "其他");
        row("compound tar.gz uses the last extension", "src.tar.gz", "压缩与安装包");
        row("ai is an image, before anything else", "logo.ai", "图片");
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

    // The stored form other versions read: exactly three keys; key order and integral dates vary
    // between encoders, and unknown keys are ignored; what does not fit loads as nothing. (That a
    // record reads back to the microsecond is the CleaningRecord fuzz target's, replayed by ctest.)
    void recordsKeepTheirStoredForm()
    {
        QCOMPARE((CleaningRecord{*fromReferenceSeconds(1.5), 10, 1}.toJson()),
                 QByteArray(R"({"cleanedAt":1.5,"freedBytes":10,"removedItemCount":1})"));
        const auto other = CleaningRecord::fromJson(R"({"removedItemCount":3,"freedBytes":1,"cleanedAt":786,"x":1})");
        QCOMPARE(other, (std::optional(CleaningRecord{*fromReferenceSeconds(786), 1, 3})));
        // Not JSON, a missing key, a string date, a fractional byte count, a count beyond int.
        for (const char* json : {"{cleanedAt: 1", R"({"cleanedAt":1,"freedBytes":2})",
                                 R"({"cleanedAt":"2024-01-01","freedBytes":2,"removedItemCount":1})",
                                 R"({"cleanedAt":1,"freedBytes":2.5,"removedItemCount":1})",
                                 R"({"cleanedAt":1,"freedBytes":2,"removedItemCount":4294967296})"})
            QVERIFY2(!CleaningRecord::fromJson(json), json);
    }
};

QTEST_GUILESS_MAIN(TrashModelTest)
#include "TrashModelTest.moc"
