#include "ProcessRunner.h"
#include "TrashFixture.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

using namespace rubbly::test;

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
        const ProcessResult result =
            rubbly(fx, {QStringLiteral("trash"), QStringLiteral("status"), QStringLiteral("--json")});
        QCOMPARE(result.exitCode, 0);
        const QJsonObject root = QJsonDocument::fromJson(result.out).object();
        QCOMPARE(root.value(QStringLiteral("itemCount")).toInt(), 2);
        QVERIFY(root.value(QStringLiteral("totalSize")).toInteger() > (1 << 20));
        QVERIFY(root.contains(QStringLiteral("lastUpdatedAt")));
        QCOMPARE(root.value(QStringLiteral("trashFolders")).toArray().first().toString(),
                 QFile::decodeName(fx.trashPath()));
        QVERIFY(root.value(QStringLiteral("categoryDistribution")).toObject().contains(QStringLiteral("文档")));
        const QJsonArray items = root.value(QStringLiteral("items")).toArray();
        const QJsonObject big = items.at(0).toObject();
        QCOMPARE(big.value(QStringLiteral("name")).toString(), QStringLiteral("big"));
        QCOMPARE(big.value(QStringLiteral("isDirectory")).toBool(), true);
        QCOMPARE(big.value(QStringLiteral("originalPath")).toString(), QStringLiteral("/home/user/big folder"));
        QVERIFY(big.value(QStringLiteral("deletionDate")).toString().startsWith(QStringLiteral("2026-02-01")));
        for (const char* key : {"path", "size", "category", "modificationDate"})
            QVERIFY2(big.contains(QLatin1String(key)), key);
        QCOMPARE(items.at(1).toObject().value(QStringLiteral("category")).toString(), QStringLiteral("文档"));
    }

    void humanStatusUsesTheSharedFormatter()
    {
        TrashFixture fx;
        fx.addFile("a.mp4", 3 << 20);
        const ProcessResult result = rubbly(fx, {QStringLiteral("trash"), QStringLiteral("status")});
        QCOMPARE(result.exitCode, 0);
        QVERIFY2(result.out.contains("Trash: 3 MB in 1 item"), result.out.constData());
    }

    void putAndEmptyReportWhatHappened()
    {
        TrashFixture fx;
        fx.outside().file("one.txt", 4096).file("two.txt", 4096);
        ProcessResult put =
            rubbly(fx, {QStringLiteral("trash"), QStringLiteral("put"), QFile::decodeName(fx.outside().path("one.txt")),
                        QFile::decodeName(fx.outside().path("two.txt"))});
        QCOMPARE(put.exitCode, 0);
        const ProcessResult empty = rubbly(fx, {QStringLiteral("trash"), QStringLiteral("empty")});
        QCOMPARE(empty.exitCode, 0);
        QVERIFY2(empty.out.contains("Removed 2 items, freed 8 KB; 0 failed"), empty.out.constData());
    }

    void failuresNameThePathAndExitOne()
    {
        TrashFixture fx;
        const QString missing = QFile::decodeName(fx.outside().path("no such file"));
        const ProcessResult result = rubbly(fx, {QStringLiteral("trash"), QStringLiteral("put"), missing});
        QCOMPARE(result.exitCode, 1);
        QVERIFY2(result.err.contains(missing.toUtf8()), result.err.constData());
    }

    void usageErrorsExitTwo_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("put without paths") << QStringList{QStringLiteral("trash"), QStringLiteral("put")};
        QTest::newRow("days not a number") << QStringList{QStringLiteral("trash"), QStringLiteral("empty"),
                                                          QStringLiteral("--older-than"), QStringLiteral("soon")};
        QTest::newRow("negative days") << QStringList{QStringLiteral("trash"), QStringLiteral("empty"),
                                                      QStringLiteral("--older-than"), QStringLiteral("-3")};
        QTest::newRow("json on empty") << QStringList{QStringLiteral("trash"), QStringLiteral("empty"),
                                                      QStringLiteral("--json")};
        QTest::newRow("unknown trash command") << QStringList{QStringLiteral("trash"), QStringLiteral("shred")};
        QTest::newRow("unknown command") << QStringList{QStringLiteral("frobnicate")};
        QTest::newRow("unknown option") << QStringList{QStringLiteral("--frobnicate")};
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
        QVERIFY(rubbly(fx, {QStringLiteral("--version")}).out.startsWith("rubbly "));
        const ProcessResult help = rubbly(fx, {QStringLiteral("--help")});
        QCOMPARE(help.exitCode, 0);
        QVERIFY(help.out.contains("trash status"));
    }
};

QTEST_GUILESS_MAIN(TrashCommandLineTest)
#include "TrashCommandLineTest.moc"
