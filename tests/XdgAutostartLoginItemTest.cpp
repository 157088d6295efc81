#include "XdgAutostartLoginItem.h"
#include "TempHome.h"
#include "TreeBuilder.h"

#include <QFile>
#include <QRegularExpression>
#include <QTest>

#include <sys/stat.h>

using namespace rubbly;
using namespace rubbly::test;
using namespace Qt::StringLiterals;

class XdgAutostartLoginItemTest : public QObject {
    Q_OBJECT

    static void write(const QString& path, const QByteArray& text)
    {
        TreeBuilder(QFile::encodeName(QFileInfo(path).absolutePath()))
            .write(QFile::encodeName(QFileInfo(path).fileName()), text);
    }

private Q_SLOTS:
    void registerWritesAnEntryThatStartsTheProgramButNeverTheUsersOwn()
    {
        TempHome home;
        XdgAutostartLoginItem item(QStringLiteral("/opt/Rubbly.app/usr/bin/rubbly"), home.environment());
        QVERIFY(item.registerItem());
        QVERIFY(item.isEnabled());
        QVERIFY(item.unregisterItem());
        QVERIFY(!QFile::exists(item.userEntryPath()));
        // An entry of the user's own, without our mark, is left alone.
        const QByteArray mine = "[Desktop Entry]\nType=Application\nExec=rubbly --my-flags\n";
        write(item.userEntryPath(), mine);
        QVERIFY(item.isEnabled());
        QVERIFY(!item.unregisterItem());
        QVERIFY(!item.registerItem());
        QCOMPARE(TreeBuilder::read(item.userEntryPath()), mine);
    }

    // Whatever sits at the entry's path that is not a readable regular file (a link perhaps into the
    // user's dotfiles, a FIFO) is not ours: it is not read, not replaced and not removed.
    void specialFilesAtTheEntryAreNeverTakenForOurs_data()
    {
        QTest::addColumn<QByteArray>("kind");
        for (const QByteArray& kind : TreeBuilder::hostileFileKinds())
            QTest::newRow(kind.constData()) << kind;
    }
    void specialFilesAtTheEntryAreNeverTakenForOurs()
    {
        QFETCH(QByteArray, kind);
        TempHome home;
        XdgAutostartLoginItem item(QStringLiteral("/usr/bin/rubbly"), home.environment());
        const QByteArray path = QFile::encodeName(item.userEntryPath());
        TreeBuilder(QFile::encodeName(home.configHome())).hostileFile("autostart/com.tolvik.Rubbly.desktop", kind);
        struct stat before = {};
        QCOMPARE(::lstat(path.constData(), &before), 0);
        QVERIFY(!item.isEnabled());
        QVERIFY(!item.registerItem());
        QVERIFY(!item.unregisterItem());
        struct stat after = {};
        QCOMPARE(::lstat(path.constData(), &after), 0);
        QCOMPARE(after.st_ino, before.st_ino);
        QCOMPARE(after.st_size, before.st_size);
    }

    void execQuotingSurvivesHostilePaths_data()
    {
        QTest::addColumn<QString>("program");
        QTest::newRow("spaces") << "/home/a b/Rubbly.app/rubbly";
        QTest::newRow("shell characters") << "/tmp/$(touch pwned)`id`;\"q\"/rubbly";
        QTest::newRow("backslash and percent") << "/tmp/back\\slash %f 100%/rubbly";
    }
    void execQuotingSurvivesHostilePaths()
    {
        // Undo the two escaping layers the way a desktop-entry reader does, then split like a shell
        // would inside double quotes: the result must be the path, whole.
        QFETCH(QString, program);
        QString exec = XdgAutostartLoginItem::execValue(program);
        exec.replace(QRegularExpression(u"\\\\(.)"_s), u"\\1"_s);
        QVERIFY(exec.size() > 1 && exec.startsWith(u'"') && exec.endsWith(u'"'));
        // Inside the quotes a backslash escapes the next character, and "%%" is a literal percent.
        QCOMPARE(exec.mid(1, exec.size() - 2).replace(QRegularExpression(u"[\\\\%](.)"_s), u"\\1"_s), program);
    }

    void packagedEntryIsShadowedNeverDeleted()
    {
        TempHome home;
        const QString system = home.systemConfigDir() + QStringLiteral("/autostart/com.tolvik.Rubbly.desktop");
        const QByteArray packaged = "[Desktop Entry]\nType=Application\nName=Rubbly\nExec=rubbly\n";
        write(system, packaged);
        XdgAutostartLoginItem item(QStringLiteral("/usr/bin/rubbly"), home.environment());
        QVERIFY(item.isEnabled());
        QVERIFY(item.unregisterItem());
        QVERIFY(!item.isEnabled());
        QCOMPARE(TreeBuilder::read(system), packaged);
        QVERIFY(TreeBuilder::read(item.userEntryPath()).contains("Hidden=true"));
        // Turning it back on replaces our own override.
        QVERIFY(item.registerItem());
        QVERIFY(item.isEnabled());
        // An entry the desktop's own switch turned off (GNOME writes that key) is off, like a hidden one.
        write(item.userEntryPath(), "[Desktop Entry]\nExec=x\nX-GNOME-Autostart-enabled=false\n");
        QVERIFY(!item.isEnabled());
    }

    void unwritableAutostartFolderFailsQuietly()
    {
        if (geteuid() == 0)
            QSKIP("running as root: permission checks do not apply");
        TempHome home;
        TreeBuilder(QFile::encodeName(home.configHome())).dir("autostart", 0500);
        XdgAutostartLoginItem item(QStringLiteral("/usr/bin/rubbly"), home.environment());
        QVERIFY(!item.registerItem());
        QVERIFY(!item.isEnabled());
    }
};

QTEST_GUILESS_MAIN(XdgAutostartLoginItemTest)
#include "XdgAutostartLoginItemTest.moc"
