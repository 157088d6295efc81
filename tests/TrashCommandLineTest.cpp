#include "ProcessRunner.h"
#include "TrashFixture.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

using namespace rubbly::test;
using namespace Qt::StringLiterals;

class TrashCommandLineTest : public QObject {
    Q_OBJECT

    // The fixture's empty mount table keeps every real volume's trash out of reach.
    static ProcessResult rubbly(const TrashFixture& fx, const QStringList& arguments)
    {
        EnvGuard env;
        env.set("RUBBLY_MOUNTINFO", fx.mountInfoPath());
        return runProcess(QStringLiteral(RUBBLY_BINARY), arguments);
    }

private Q_SLOTS:
    void statusJsonDescribesEveryEntry()
    {
        TrashFixture fx;
        fx.addFile("small.txt", 4096, "2026-03-01T10:00:00");
        fx.files().file("big/inner.bin", 1 << 20);
        fx.writeInfo("big", "/home/user/big%20folder", "2026-02-01T08:30:00");
        const ProcessResult result = rubbly(fx, {u"trash"_s, u"status"_s, u"--json"_s});
        QCOMPARE(result.exitCode, 0);
        const QJsonObject root = QJsonDocument::fromJson(result.out).object();
        QCOMPARE(root.value(u"itemCount"_s).toInt(), 2);
        QVERIFY(root.value(u"totalSize"_s).toInteger() > (1 << 20));
        QVERIFY(root.contains(u"lastUpdatedAt"_s));
        QCOMPARE(root.value(u"trashFolders"_s).toArray().first().toString(), QFile::decodeName(fx.trashPath()));
        QVERIFY(root.value(u"categoryDistribution"_s).toObject().contains(u"文档"_s));
        const QJsonArray items = root.value(u"items"_s).toArray();
        const QJsonObject big = items.at(0).toObject();
        QCOMPARE(big.value(u"name"_s).toString(), u"big"_s);
        QCOMPARE(big.value(u"isDirectory"_s).toBool(), true);
        QCOMPARE(big.value(u"originalPath"_s).toString(), u"/home/user/big folder"_s);
        QVERIFY(big.value(u"deletionDate"_s).toString().startsWith(u"2026-02-01"_s));
        for (const char* key : {"path", "size", "category", "modificationDate"})
            QVERIFY2(big.contains(QLatin1String(key)), key);
        QCOMPARE(items.at(1).toObject().value(u"category"_s).toString(), u"文档"_s);
    }

    void statusJsonListsEveryEntryLargestFirstAsOneDocument_data()
    {
        QTest::addColumn<int>("entries");
        QTest::newRow("empty") << 0;
        QTest::newRow("one") << 1;
        QTest::newRow("more than the panel shows") << 9;
    }
    void statusJsonListsEveryEntryLargestFirstAsOneDocument()
    {
        // The items are written one by one as the listing streams them; the text must still be the
        // one document, exactly as QJsonDocument indents it, that scripts have been reading.
        QFETCH(int, entries);
        TrashFixture fx;
        for (int i = 0; i < entries; ++i)
            fx.addFile("entry-" + QByteArray::number(i) + (i % 2 ? ".txt" : " \"季度\"\n.png"), 4096 * (i % 3 + 1));
        const ProcessResult result = rubbly(fx, {u"trash"_s, u"status"_s, u"--json"_s});
        QCOMPARE(result.exitCode, 0);
        const QJsonDocument document = QJsonDocument::fromJson(result.out);
        QCOMPARE(document.toJson(QJsonDocument::Indented), result.out);
        const QJsonArray items = document.object().value(u"items"_s).toArray();
        QCOMPARE(items.size(), entries);
        QCOMPARE(document.object().value(u"itemCount"_s).toInt(), entries);
        for (qsizetype i = 1; i < items.size(); ++i)
            QVERIFY(items.at(i - 1).toObject().value(u"size"_s).toInteger() >=
                    items.at(i).toObject().value(u"size"_s).toInteger());
    }

    void humanStatusUsesTheSharedFormatter()
    {
        TrashFixture fx;
        fx.addFile("a.mp4", 3 << 20);
        fx.addFile("notes.txt", 4096);
        // The panel's English names whatever the locale; the JSON keeps the stored titles.
        EnvGuard env;
        env.set("LC_ALL", "zh_CN.UTF-8");
        env.set("LANGUAGE", "zh_CN");
        const ProcessResult result = rubbly(fx, {u"trash"_s, u"status"_s});
        QCOMPARE(result.exitCode, 0);
        QVERIFY2(result.out.contains("Trash: 3 MB in 2 items"), result.out.constData());
        QVERIFY2(result.out.contains("  video-media         3 MB\n  doc-files           4 KB\n"),
                 result.out.constData());
        QVERIFY2(!result.out.contains("视频") && !result.out.contains("文档"), result.out.constData());
    }

    void putAndEmptyReportWhatHappenedOrWhatFailed()
    {
        TrashFixture fx;
        fx.outside().file("one.txt", 4096).file("two.txt", 4096);
        ProcessResult put = rubbly(fx, {u"trash"_s, u"put"_s, QFile::decodeName(fx.outside().path("one.txt")),
                                        QFile::decodeName(fx.outside().path("two.txt"))});
        QCOMPARE(put.exitCode, 0);
        const ProcessResult empty = rubbly(fx, {u"trash"_s, u"empty"_s});
        QCOMPARE(empty.exitCode, 0);
        QVERIFY2(empty.out.contains("Removed 2 items, freed 8 KB; 0 failed"), empty.out.constData());
        // A failure names the path and exits 1.
        const QString missing = QFile::decodeName(fx.outside().path("no such file"));
        const ProcessResult failed = rubbly(fx, {u"trash"_s, u"put"_s, missing});
        QCOMPARE(failed.exitCode, 1);
        QVERIFY2(failed.err.contains(missing.toUtf8()), failed.err.constData());
    }

    void usageErrorsExitTwo_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("put without paths") << QStringList{u"trash"_s, u"put"_s};
        QTest::newRow("days not a number") << QStringList{u"trash"_s, u"empty"_s, u"--older-than"_s, u"soon"_s};
        QTest::newRow("negative days") << QStringList{u"trash"_s, u"empty"_s, u"--older-than"_s, u"-3"_s};
        QTest::newRow("json on empty") << QStringList{u"trash"_s, u"empty"_s, u"--json"_s};
        QTest::newRow("unknown trash command") << QStringList{u"trash"_s, u"shred"_s};
        QTest::newRow("unknown command") << QStringList{u"frobnicate"_s};
        QTest::newRow("unknown option") << QStringList{u"--frobnicate"_s};
    }
    void usageErrorsExitTwo()
    {
        QFETCH(QStringList, arguments);
        TrashFixture fx;
        fx.addFile("keep.txt", 10);
        const ProcessResult result = rubbly(fx, arguments);
        QCOMPARE(result.exitCode, 2);
        QVERIFY(!result.err.isEmpty());
        QVERIFY(TreeBuilder::exists(fx.filesPath() + "/keep.txt"));
    }

    void versionAndHelp()
    {
        TrashFixture fx;
        QVERIFY(rubbly(fx, {u"--version"_s}).out.startsWith("rubbly "));
        const ProcessResult help = rubbly(fx, {u"--help"_s});
        QCOMPARE(help.exitCode, 0);
        QVERIFY(help.out.contains("trash status"));
    }
};

QTEST_GUILESS_MAIN(TrashCommandLineTest)
#include "TrashCommandLineTest.moc"
