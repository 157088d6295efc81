#include "JsonFileDefaultsStore.h"
#include "TempHome.h"

#include <QDir>
#include <QFile>
#include <QTest>

#include <sys/stat.h>

using namespace rubbly;
using namespace rubbly::test;

class DefaultsStoreTest : public QObject {
    Q_OBJECT

    static QByteArray readAll(const QString& path)
    {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    static void writeAll(const QString& path, const QByteArray& bytes)
    {
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }

private Q_SLOTS:
    void defaultPathFollowsXdgConfigHome()
    {
        TempHome home;
        QCOMPARE(JsonFileDefaultsStore::defaultFilePath(), home.configHome() + QStringLiteral("/rubbly/defaults.json"));
    }

    void everyTypeSurvivesARestart()
    {
        TempHome home;
        const QString path = home.configHome() + QStringLiteral("/rubbly/defaults.json");
        const Timestamp date = *fromReferenceSeconds(786543210.654321);
        const QByteArray data("\x00\x01\xff{\"json\":true}", 16);
        {
            JsonFileDefaultsStore store(path);
            store.setValue(QStringLiteral("b"), true);
            store.setValue(QStringLiteral("i"), qint64(9007199254740993)); // beyond 2^53
            store.setValue(QStringLiteral("d"), 10.0);                     // a whole double stays a double
            store.setValue(QStringLiteral("s"), QStringLiteral("深色 \"quoted\""));
            store.setValue(QStringLiteral("data"), data);
            store.setValue(QStringLiteral("date"), date);
            store.setValue(QStringLiteral("gone"), true);
            store.removeValue(QStringLiteral("gone"));
        }
        JsonFileDefaultsStore store(path);
        QCOMPARE(store.value(QStringLiteral("b")), std::optional(DefaultsValue{true}));
        QCOMPARE(store.value(QStringLiteral("i")), std::optional(DefaultsValue{qint64(9007199254740993)}));
        QCOMPARE(store.value(QStringLiteral("d")), std::optional(DefaultsValue{10.0}));
        QCOMPARE(store.stringValue(QStringLiteral("s")), std::optional(QStringLiteral("深色 \"quoted\"")));
        QCOMPARE(store.dataValue(QStringLiteral("data")), std::optional(data));
        QVERIFY(store.dateValue(QStringLiteral("date")) == std::optional(date));
        QVERIFY(!store.contains(QStringLiteral("gone")));
        QVERIFY(!store.value(QStringLiteral("never")));
    }

    void typedReadsReportWrongTypes()
    {
        TempHome home;
        JsonFileDefaultsStore store(home.configHome() + QStringLiteral("/d.json"));
        store.setValue(QStringLiteral("text"), QStringLiteral("30"));
        store.setValue(QStringLiteral("int"), qint64(30));
        store.setValue(QStringLiteral("half"), 2.5);
        store.setValue(QStringLiteral("flag"), true);
        QVERIFY(!store.intValue(QStringLiteral("text")));
        QVERIFY(!store.boolValue(QStringLiteral("int")));
        QVERIFY(!store.intValue(QStringLiteral("flag")));
        QVERIFY(!store.intValue(QStringLiteral("half")));
        QCOMPARE(store.doubleValue(QStringLiteral("int")), std::optional(30.0));
        QVERIFY(store.contains(QStringLiteral("text")));
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
        writeAll(path, content);

        JsonFileDefaultsStore store(path);
        QVERIFY(!store.contains(QStringLiteral("Rubbly.hideInDock")));
        QVERIFY(!store.setAsidePath().isEmpty());
        QCOMPARE(readAll(store.setAsidePath()), content);

        store.setValue(QStringLiteral("Rubbly.hideInDock"), false);
        QCOMPARE(JsonFileDefaultsStore(path).boolValue(QStringLiteral("Rubbly.hideInDock")), std::optional(false));
        QCOMPARE(readAll(store.setAsidePath()), content);
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

    void nonFiniteNumbersAreRefused()
    {
        TempHome home;
        const QString path = home.configHome() + QStringLiteral("/d.json");
        JsonFileDefaultsStore store(path);
        store.setValue(QStringLiteral("ok"), 1.0);
        store.setValue(QStringLiteral("nan"), std::numeric_limits<double>::quiet_NaN());
        QVERIFY(!store.contains(QStringLiteral("nan")));
        QVERIFY(JsonFileDefaultsStore(path).contains(QStringLiteral("ok")));
    }
};

QTEST_GUILESS_MAIN(DefaultsStoreTest)
#include "DefaultsStoreTest.moc"
