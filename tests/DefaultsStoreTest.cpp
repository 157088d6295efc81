#include "FaultInjection.h"
#include "JsonFileDefaultsStore.h"
#include "MountGuard.h"
#include "TempHome.h"
#include "TreeBuilder.h"
#include "XdgAutostartLoginItem.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTest>

#include <sys/stat.h>

using namespace rubbly;
using namespace rubbly::test;
using namespace Qt::StringLiterals;

class DefaultsStoreTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { m_privateMounts = geteuid() == 0 && MountGuard::enterPrivateNamespace(); }

    void everyTypeSurvivesARestartAndReadsOnlyAsItself()
    {
        TempHome home;
        const QString path = JsonFileDefaultsStore::defaultFilePath();
        const QList<std::pair<QString, DefaultsValue>> values{
            {u"b"_s, true},
            {u"i"_s, qint64(9007199254740993)}, // beyond 2^53
            {u"d"_s, 10.0},                     // a whole double stays a double
            {u"half"_s, 2.5},
            {u"s"_s, u"深色 \"quoted\""_s},
            {u"data"_s, QByteArray("\x00\x01\xff{\"json\":true}", 16)},
            {u"date"_s, *fromReferenceSeconds(786543210.654321)}};
        {
            JsonFileDefaultsStore store(path);
            for (const auto& [key, value] : values)
                store.setValue(key, value);
            store.setValue(u"gone"_s, true);
            store.removeValue(u"gone"_s);
            store.setValue(u"nan"_s, std::numeric_limits<double>::quiet_NaN()); // refused
        }
        JsonFileDefaultsStore store(path);
        for (const auto& [key, value] : values)
            QVERIFY2(store.value(key) == value, qPrintable(key));
        QVERIFY(!store.contains(u"gone"_s) && !store.contains(u"nan"_s));
        // Typed reads report a value of another type as absent; only numbers cross, an int to a double
        // and a whole double to an int.
        QVERIFY(!store.intValue(u"s"_s) && !store.boolValue(u"i"_s) && !store.intValue(u"b"_s));
        QVERIFY(!store.intValue(u"half"_s));
        QCOMPARE(store.intValue(u"d"_s), std::optional(qint64(10)));
        QCOMPARE(store.doubleValue(u"i"_s), std::optional(double(9007199254740993)));
    }

    // A corrupt file, and one far beyond anything we write, is set aside and kept; a FIFO, device or
    // folder is never read, blocked on or replaced; a link's unreadable target is set aside (the link stays).
    void unusableFilesAreSetAsideOrLeftAlone_data()
    {
        QTest::addColumn<QByteArray>("kind"); // of TreeBuilder::hostileFile; empty: a file holding `content`
        QTest::addColumn<QByteArray>("content");
        for (const QByteArray& kind : TreeBuilder::hostileFileKinds())
            QTest::newRow(kind.constData()) << kind << QByteArray();
        const auto corrupt = [](const char* name, const char* content) {
            QTest::newRow(name) << QByteArray() << QByteArray(content);
        };
        corrupt("truncated JSON", R"({"Rubbly.hideInDock": {"bool": tr)");
        corrupt("an array", "[1, 2]");
        corrupt("an entry without a type", R"({"Rubbly.hideInDock": true})");
        corrupt("an unknown type", R"({"a": {"colour": "red"}})");
        corrupt("data that is not base64", R"({"a": {"data": "***"}})");
        corrupt("an int beyond 64 bits", R"({"a": {"int": 1e300}})");
    }
    void unusableFilesAreSetAsideOrLeftAlone()
    {
        QFETCH(QByteArray, kind);
        QFETCH(QByteArray, content);
        TempHome home;
        const QString path = JsonFileDefaultsStore::defaultFilePath();
        const QByteArray bytes = QFile::encodeName(path);
        TreeBuilder config(QFile::encodeName(home.configHome()));
        if (kind.isEmpty())
            config.write("rubbly/defaults.json", content);
        else
            config.hostileFile("rubbly/defaults.json", kind);
        struct stat before = {};
        QCOMPARE(::lstat(bytes.constData(), &before), 0);

        JsonFileDefaultsStore store(path);
        QVERIFY(!store.contains(u"Rubbly.hideInDock"_s));
        store.setValue(u"Rubbly.hideInDock"_s, true);
        QVERIFY(store.value(u"Rubbly.hideInDock"_s));
        if (S_ISREG(before.st_mode)) {
            if (kind.isEmpty())
                QCOMPARE(TreeBuilder::read(store.setAsidePath()), content);
            else
                QCOMPARE(QFileInfo(store.setAsidePath()).size(), before.st_size);
            QCOMPARE(JsonFileDefaultsStore(path).boolValue(u"Rubbly.hideInDock"_s), std::optional(true));
            return;
        }
        struct stat after = {};
        QCOMPARE(::lstat(bytes.constData(), &after), 0);
        QCOMPARE(after.st_ino, before.st_ino);
        QCOMPARE(after.st_mode, before.st_mode);
        if (kind == "link to a file") {
            QCOMPARE(TreeBuilder::read(store.setAsidePath()), QByteArray("{}\n[Desktop Entry]\n"));
            QCOMPARE(JsonFileDefaultsStore(path).boolValue(u"Rubbly.hideInDock"_s), std::optional(true));
            return;
        }
        QVERIFY(store.setAsidePath().isEmpty());
    }

    void onlyARealChangeRewritesTheFile()
    {
        TempHome home;
        const QString path = JsonFileDefaultsStore::defaultFilePath();
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
        QCOMPARE(QFileInfo(path).dir().entryList(QDir::Files | QDir::Hidden),
                 (QStringList{u"defaults.json"_s, u"defaults.json.lock"_s}));
    }

    // The command line reads the file when it starts and saves when it ends; the tray saves meanwhile.
    void aSaveKeepsWhatAnotherWriterChangedMeanwhile()
    {
        TempHome home;
        const QString path = JsonFileDefaultsStore::defaultFilePath();
        JsonFileDefaultsStore tray(path);
        tray.setValue(u"gone"_s, true);
        JsonFileDefaultsStore cli(path);
        tray.setValue(u"Rubbly.autoCleanDays"_s, qint64(7));
        tray.removeValue(u"gone"_s);
        cli.setValue(u"record"_s, QByteArray("scan"));
        QVERIFY(cli.intValue(u"Rubbly.autoCleanDays"_s) && !cli.contains(u"gone"_s));
        tray.setValue(u"Rubbly.hideInDock"_s, false);
        const JsonFileDefaultsStore after(path);
        QVERIFY(after.intValue(u"Rubbly.autoCleanDays"_s) && after.dataValue(u"record"_s) &&
                !after.contains(u"gone"_s));
    }

    // A dotfiles manager's link is read and written through; a link that would let someone else choose
    // what we read or where we write is refused, and the store then never writes.
    void aLinkIsFollowedOnlyToAFileOfTheUsersOwn_data()
    {
        QTest::addColumn<QByteArray>("target");
        QTest::addColumn<mode_t>("folderMode");
        QTest::addColumn<uid_t>("owner");
        QTest::addColumn<bool>("followed");
        const QByteArray dotfiles = "../../dotfiles/rubbly/defaults.json";
        QTest::newRow("a relative link into a dotfiles folder") << dotfiles << mode_t(0700) << ::geteuid() << true;
        QTest::newRow("a link loop") << QByteArray("defaults.json") << mode_t(0700) << ::geteuid() << false;
        QTest::newRow("a folder others may write") << dotfiles << mode_t(0777) << ::geteuid() << false;
        const uid_t other = ::geteuid() == 65534 ? 65533 : 65534;
        QTest::newRow("a folder of another user") << dotfiles << mode_t(0755) << other << false;
    }
    void aLinkIsFollowedOnlyToAFileOfTheUsersOwn()
    {
        QFETCH(QByteArray, target);
        QFETCH(mode_t, folderMode);
        QFETCH(uid_t, owner);
        QFETCH(bool, followed);
        TempHome home;
        const QByteArray stored = R"({"Rubbly.autoCleanDays":{"int":7}})";
        TreeBuilder tree(QFile::encodeName(home.home()));
        tree.write("dotfiles/rubbly/defaults.json", stored).chmod("dotfiles/rubbly", folderMode);
        tree.symlink(".config/rubbly/defaults.json", target);
        if (owner != ::geteuid() && ::chown(tree.path("dotfiles/rubbly").constData(), owner, owner) != 0)
            QSKIP("needs root to give a folder to another user");
        const QString path = JsonFileDefaultsStore::defaultFilePath();

        JsonFileDefaultsStore store(path);
        store.setValue(u"Rubbly.hideInDock"_s, false);
        QVERIFY(QFileInfo(path).isSymLink());
        QCOMPARE(store.isWritable(), followed);
        if (!followed) {
            QVERIFY2(store.lastWriteError().contains(path), qPrintable(store.lastWriteError()));
            QVERIFY(!store.contains(u"Rubbly.autoCleanDays"_s));
            QCOMPARE(TreeBuilder::read(tree.path("dotfiles/rubbly/defaults.json")), stored);
            return;
        }
        const JsonFileDefaultsStore again(path);
        QVERIFY(again.intValue(u"Rubbly.autoCleanDays"_s) == 7 && again.boolValue(u"Rubbly.hideInDock"_s) == false);
        QCOMPARE(QDir(QFile::decodeName(tree.path("dotfiles/rubbly"))).entryList(QDir::Files | QDir::Hidden),
                 QStringList{u"defaults.json"_s});
    }

    // Every file we replace in the configuration folder; the autostart entry's other cases are its own test's.
    void aFullDiskKeepsTheOldFilesAndTheChange()
    {
        if (!m_privateMounts)
            QSKIP("needs root for a small tmpfs in a private mount namespace");
        TempHome home;
        const QString path = JsonFileDefaultsStore::defaultFilePath();
        const QByteArray config = QFile::encodeName(home.configHome());
        TreeBuilder(config).dir("rubbly").dir("autostart");
        MountGuard mounts;
        QVERIFY(mounts.tmpfs(config, "256k"));
        JsonFileDefaultsStore store(path);
        store.setValue(u"Rubbly.autoCleanDays"_s, qint64(7));
        XdgAutostartLoginItem entry(u"/usr/bin/rubbly"_s, home.environment());
        QVERIFY(entry.registerItem());
        const QByteArray old = TreeBuilder::read(path) + TreeBuilder::read(entry.userEntryPath());
        QVERIFY(fillDisk(config + "/filler") > 0);

        store.setValue(u"record"_s, QByteArray("scan"));
        QVERIFY(!XdgAutostartLoginItem(u"/opt/Rubbly.app/AppRun"_s, home.environment()).registerItem());
        QCOMPARE(TreeBuilder::read(path) + TreeBuilder::read(entry.userEntryPath()), old);
        QVERIFY2(store.lastWriteError().contains(u"defaults.json"_s), qPrintable(store.lastWriteError()));
        // Once there is room again, the next save brings the change that could not be written.
        QVERIFY(QFile::remove(QFile::decodeName(config + "/filler")));
        store.setValue(u"Rubbly.hideInDock"_s, false);
        QCOMPARE(JsonFileDefaultsStore(path).dataValue(u"record"_s), std::optional(QByteArray("scan")));
    }

private:
    bool m_privateMounts = false;
};

QTEST_GUILESS_MAIN(DefaultsStoreTest)
#include "DefaultsStoreTest.moc"
