#include "AtomicFile.h"
#include "FaultInjection.h"
#include "MountGuard.h"
#include "TempHome.h"
#include "TreeBuilder.h"

#include <QDir>
#include <QFile>
#include <QTest>

#include <sys/stat.h>

using namespace rubbly;
using namespace rubbly::test;

namespace {

QByteArray contentOf(const QByteArray& path)
{
    QFile file(QFile::decodeName(path));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(unreadable)");
}

} // namespace

class AtomicFileTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { m_privateMounts = geteuid() == 0 && MountGuard::enterPrivateNamespace(); }

    void replacesWholeKeepingTheModeAndNeverFollowsALink()
    {
        TempHome home;
        TreeBuilder tree(QFile::encodeName(home.root()));
        tree.file("dir/kept", 10).chmod("dir/kept", 0644).file("outside", 10).symlink("dir/link", tree.path("outside"));
        QVERIFY(fs::replaceFile(tree.path("dir/kept"), "new bytes", 0600).ok());
        QCOMPARE(contentOf(tree.path("dir/kept")), QByteArray("new bytes"));
        struct stat st {};
        QVERIFY(::stat(tree.path("dir/kept").constData(), &st) == 0);
        QCOMPARE(st.st_mode & 07777, mode_t(0644));
        // A link in the name's place is replaced by the file, never written through.
        const QByteArray before = contentOf(tree.path("outside"));
        QVERIFY(fs::replaceFile(tree.path("dir/link"), "mine", 0600).ok());
        QCOMPARE(contentOf(tree.path("outside")), before);
        QVERIFY(fs::replaceFile(tree.path("dir/new"), "fresh", 0640).ok());
        QVERIFY(::stat(tree.path("dir/new").constData(), &st) == 0);
        QCOMPARE(st.st_mode & 07777, mode_t(0640));
    }

    void aFullDiskLeavesTheOldFileByteForByte()
    {
        if (!m_privateMounts)
            QSKIP("needs root for a small tmpfs in a private mount namespace");
        TempHome home;
        const QByteArray top = QFile::encodeName(home.root()) + "/disk";
        QVERIFY(QDir().mkpath(QFile::decodeName(top)));
        MountGuard mounts;
        QVERIFY(mounts.tmpfs(top, "256k"));
        const QByteArray file = top + "/settings.json";
        const QByteArray old = "{\"kept\": true}\n";
        QVERIFY(fs::replaceFile(file, old, 0600).ok());
        QVERIFY(fillDisk(top + "/filler") > 0);
        const auto result = fs::replaceFile(file, QByteArray(64 * 1024, 'y'), 0600);
        QVERIFY(!result.ok());
        QVERIFY2(result.error().contains(QLatin1String("settings.json")), qPrintable(result.error()));
        QCOMPARE(contentOf(file), old);
        QCOMPARE(QDir(QFile::decodeName(top)).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot).size(),
                 2);
    }

private:
    bool m_privateMounts = false;
};

QTEST_GUILESS_MAIN(AtomicFileTest)
#include "AtomicFileTest.moc"
