#include "JsonFileDefaultsStore.h"
#include "TempHome.h"
#include "TreeBuilder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTest>

#include <sys/stat.h>

using namespace rubbly;
using namespace rubbly::test;

class DefaultsStoreTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void everyTypeSurvivesARestartAndReadsOnlyAsItself()
    {
        TempHome home;
        const QString path = JsonFileDefaultsStore::defaultFilePath();
        QCOMPARE(path, home.configHome() + QStringLiteral("/rubbly/defaults.json"));
        const Timestamp date = *fromReferenceSeconds(786543210.654321);
        const QByteArray data("\x00\x01\xff{\"json\":true}", 16);
        {
            JsonFileDefaultsStore store(path);
            store.setValue(QStringLiteral("b"), true);
            store.setValue(QStringLiteral("i"), qint64(9007199254740993)); // beyond 2^53
            store.setValue(QStringLiteral("d"), 10.0);                     // a whole double stays a double
            store.setValue(QStringLiteral("half"), 2.5);
            store.setValue(QStringLiteral("s"), QStringLiteral("深色 \"quoted\""));
            store.setValue(QStringLiteral("data"), data);
            store.setValue(QStringLiteral("date"), date);
            store.setValue(QStringLiteral("gone"), true);
            store.removeValue(QStringLiteral("gone"));
            store.setValue(QStringLiteral("nan"), std::numeric_limits<double>::quiet_NaN()); // refused
        }
        JsonFileDefaultsStore store(path);
        QCOMPARE(store.value(QStringLiteral("b")), std::optional(DefaultsValue{true}));
        QCOMPARE(store.value(QStringLiteral("i")), std::optional(DefaultsValue{qint64(9007199254740993)}));
        QCOMPARE(store.value(QStringLiteral("d")), std::optional(DefaultsValue{10.0}));
        QCOMPARE(store.stringValue(QStringLiteral("s")), std::optional(QStringLiteral("深色 \"quoted\"")));
        QCOMPARE(store.dataValue(QStringLiteral("data")), std::optional(data));
        QVERIFY(store.dateValue(QStringLiteral("date")) == std::optional(date));
        QVERIFY(!store.contains(QStringLiteral("gone")));
        QVERIFY(!store.contains(QStringLiteral("nan")));
        // Typed reads report a value of another type as absent; only an int widens to a double.
        QVERIFY(!store.intValue(QStringLiteral("s")));
        QVERIFY(!store.boolValue(QStringLiteral("i")));
        QVERIFY(!store.intValue(QStringLiteral("b")));
        QVERIFY(!store.intValue(QStringLiteral("half")));
        QCOMPARE(store.doubleValue(QStringLiteral("i")), std::optional(double(9007199254740993)));
    }

    void corruptFileIsSetAsideAndNeverOverwritten_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::newRow("truncated JSON") << QByteArray(R"({"Rubbly.hideInDock": {"bool": tr)");
        QTest::newRow("an array") << QByteArray("[1, 2]");
        QTest::newRow("an entry without a type") << QByteArray(R"({"Rubbly.hideInDock": true})");
        QTest::newRow("an unknown type") << QByteArray(R"({"a": {"colour": "red"}})");
        QTest::newRow("data that is not base64") << QByteArray(R"({"a": {"data": "***"}})");
        QTest::newRow("an int beyond 64 bits") << QByteArray(R"({"a": {"int": 1e300}})");
        QTest::newRow("binary garbage") << QByteArray("\x89PNG\r\n\x1a\n\0\0", 10);
    }
    void corruptFileIsSetAsideAndNeverOverwritten()
    {
        QFETCH(QByteArray, content);
        TempHome home;
        const QString path = home.configHome() + QStringLiteral("/rubbly/defaults.json");
        TreeBuilder(QFile::encodeName(home.configHome())).write("rubbly/defaults.json", content);

        JsonFileDefaultsStore store(path);
        QVERIFY(!store.contains(QStringLiteral("Rubbly.hideInDock")));
        QVERIFY(!store.setAsidePath().isEmpty());
        QCOMPARE(TreeBuilder::read(QFile::encodeName(store.setAsidePath())), content);

        store.setValue(QStringLiteral("Rubbly.hideInDock"), false);
        QCOMPARE(JsonFileDefaultsStore(path).boolValue(QStringLiteral("Rubbly.hideInDock")), std::optional(false));
        QCOMPARE(TreeBuilder::read(QFile::encodeName(store.setAsidePath())), content);
    }

    // A link, FIFO or folder is never followed, blocked on or replaced; a file far beyond anything we
    // write is set aside like a corrupt one.
    void specialFilesAreNeitherReadNorReplaced_data()
    {
        QTest::addColumn<QByteArray>("kind");
        for (const QByteArray& kind : TreeBuilder::hostileFileKinds())
            QTest::newRow(kind.constData()) << kind;
    }
    void specialFilesAreNeitherReadNorReplaced()
    {
        QFETCH(QByteArray, kind);
        TempHome home;
        const QString path = JsonFileDefaultsStore::defaultFilePath();
        const QByteArray bytes = QFile::encodeName(path);
        TreeBuilder(QFile::encodeName(home.configHome())).hostileFile("rubbly/defaults.json", kind);
        struct stat before {};
        QCOMPARE(::lstat(bytes.constData(), &before), 0);

        JsonFileDefaultsStore store(path);
        store.setValue(QStringLiteral("Rubbly.hideInDock"), true);
        QVERIFY(store.value(QStringLiteral("Rubbly.hideInDock")));
        if (S_ISREG(before.st_mode)) {
            QVERIFY(!store.setAsidePath().isEmpty());
            QCOMPARE(QFileInfo(store.setAsidePath()).size(), before.st_size);
            QCOMPARE(JsonFileDefaultsStore(path).boolValue(QStringLiteral("Rubbly.hideInDock")), std::optional(true));
            return;
        }
        struct stat after {};
        QCOMPARE(::lstat(bytes.constData(), &after), 0);
        QCOMPARE(after.st_ino, before.st_ino);
        QCOMPARE(after.st_mode, before.st_mode);
        QVERIFY(store.setAsidePath().isEmpty());
        if (kind == "link to a file")
            QCOMPARE(TreeBuilder::read(bytes + ".target"), QByteArray("{}\n[Desktop Entry]\n"));
    }

    void onlyARealChangeRewritesTheFile()
    {
        TempHome home;
        const QString dir = home.configHome() + QStringLiteral("/rubbly");
        const QString path = dir + QStringLiteral("/defaults.json");
        JsonFileDefaultsStore store(path);
        // Every rewrite is a new file renamed into place, so the inode tells whether one happened.
        const auto inode = [&path] {
            struct stat info = {};
            return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? info.st_ino : ino_t(0);
        };
        store.setValue(QStringLiteral("k"), qint64(1));
        const auto first = inode();
        store.setValue(QStringLiteral("k"), qint64(1));
        QCOMPARE(inode(), first);
        store.setValue(QStringLiteral("k"), 1.0); // another type is another value
        QVERIFY(inode() != first);
        for (int i = 0; i < 20; ++i)
            store.setValue(QStringLiteral("k"), qint64(i));
        QCOMPARE(QDir(dir).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("defaults.json")});
    }
};

QTEST_GUILESS_MAIN(DefaultsStoreTest)
#include "DefaultsStoreTest.moc"
