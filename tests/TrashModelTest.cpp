#include "CleaningRecord.h"
#include "FileCategory.h"

#include <QFile>
#include <QTest>

using namespace rubbly;

class TrashModelTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // One row per branch, each read as a shown name and as the file system's bytes.
    void categoryByExtension_data()
    {
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<FileCategory>("category");
        const auto row = [](const char* what, const char* name, FileCategory category) {
            QTest::newRow(what) << QByteArray(name) << category;
        };
        row("upper-case video", "Holiday.MOV", FileCategory::Video);
        row("the Kelvin sign folds to k: a keynote", "talk.\u212Aey", FileCategory::Document);
        row("KDE's clash suffix past nine, a stem that is not UTF-8", "\xff.mkv (12)", FileCategory::Video);
        row("words in brackets are part of the name", "notes.txt (old)", FileCategory::Other);
    }
    void categoryByExtension()
    {
        QFETCH(QByteArray, name);
        QFETCH(FileCategory, category);
        QCOMPARE(categoryFor(QFile::decodeName(name)), category);
        QCOMPARE(categoryForRawName(name), category);
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
