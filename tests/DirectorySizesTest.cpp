#include "DirectorySizes.h"
#include "FaultInjection.h"
#include "MountGuard.h"
#include "PosixFd.h"
#include "TempHome.h"
#include "TreeBuilder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTest>

#include <fcntl.h>
#include <unistd.h>

using namespace rubbly;
using namespace rubbly::test;

namespace {

// `count` folders named with 24 Chinese characters, the last six telling them apart.
DirectorySizes chineseNamedFolders(int count)
{
    const QString digits = QStringLiteral("〇一二三四五六七八九");
    DirectorySizes sizes;
    for (int i = 0; i < count; ++i) {
        QString name = QStringLiteral("二〇二六年十二月的项目备份文件夹");
        for (const QChar c : QString::number(i).rightJustified(8, u'0'))
            name += digits[c.digitValue()];
        DirectorySize& entry = sizes[name.toUtf8()];
        entry.size = qint64(i) * 4096;
        entry.mtime = 1'765'000'000 + i;
    }
    return sizes;
}

} // namespace

class DirectorySizesTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { m_privateMounts = geteuid() == 0 && MountGuard::enterPrivateNamespace(); }

    // Whatever the table, the file written is one the reader takes, and gives the same entries back;
    // when the limit cannot hold every line, the largest entries are the ones kept.
    void whatIsWrittenIsReadBack_data()
    {
        QTest::addColumn<int>("entries");
        QTest::addColumn<qint64>("limit");
        QTest::newRow("40 000 folders, more than 8 MiB") << 40'000 << kMaxDirectorySizesFile;
        QTest::newRow("more than the limit holds") << 2'000 << qint64(64 << 10);
    }
    void whatIsWrittenIsReadBack()
    {
        QFETCH(int, entries);
        QFETCH(qint64, limit);
        TempHome home;
        const PosixFd trash(::open(QFile::encodeName(home.root()).constData(), O_RDONLY | O_DIRECTORY));
        const DirectorySizes sizes = chineseNamedFolders(entries);
        QVERIFY(writeDirectorySizes(trash.get(), sizes, nullptr, limit));
        const auto read = readDirectorySizes(trash.get(), limit);
        QVERIFY(read &&
                QFileInfo(home.root() + QStringLiteral("/directorysizes")).size() > qMin(limit / 2, qint64(8 << 20)));
        QCOMPARE(read->size() == sizes.size(), limit == kMaxDirectorySizesFile);
        // What is left out is never larger than what is kept.
        qint64 smallestKept = kMaxBelievableSize, largestLeft = -1;
        for (auto it = sizes.cbegin(); it != sizes.cend(); ++it) {
            QVERIFY(read->value(it.key(), *it) == *it);
            if (read->contains(it.key()))
                smallestKept = qMin(smallestKept, it->size);
            else
                largestLeft = qMax(largestLeft, it->size);
        }
        QVERIFY(largestLeft <= smallestKept);
    }

    // The file is written without waiting for the disk: after a crash it may end inside a line, whose
    // name cut short names another entry. Only whole lines are taken.
    void aFileCutInsideALineKeepsItsWholeLines()
    {
        TempHome home;
        const PosixFd trash(::open(QFile::encodeName(home.root()).constData(), O_RDONLY | O_DIRECTORY));
        const QByteArray cut = "004096 1765000000 photos\n"
                               "008192 1765000001 photos%20(2)\n"
                               "012288 1765000002 photos";
        TreeBuilder(QFile::encodeName(home.root())).write("directorysizes", cut);
        const auto read = readDirectorySizes(trash.get());
        QVERIFY(read);
        QCOMPARE(read->size(), 2);
        QCOMPARE(read->value("photos").size, 4096);
        QCOMPARE(read->value("photos (2)").size, 8192);
    }

    // On a full disk the new table is not written, and the old file stays byte for byte.
    void aFailedWriteLeavesTheOldFile()
    {
        if (!m_privateMounts)
            QSKIP("needs root for a small tmpfs in a private mount namespace");
        TempHome home;
        const QByteArray trashPath = QFile::encodeName(home.root()) + "/trash";
        MountGuard mounts;
        QVERIFY(QDir().mkpath(QFile::decodeName(trashPath)) && mounts.tmpfs(trashPath, "256k"));
        const PosixFd trash(::open(trashPath.constData(), O_RDONLY | O_DIRECTORY));
        QVERIFY(writeDirectorySizes(trash.get(), chineseNamedFolders(10)));
        const QByteArray before = TreeBuilder::read(trashPath + "/directorysizes");
        QVERIFY(fillDisk(trashPath + "/filler") > 0);
        QString error;
        QVERIFY(!writeDirectorySizes(trash.get(), chineseNamedFolders(100), &error));
        QVERIFY2(error.contains(QStringLiteral("directorysizes")), qPrintable(error));
        QCOMPARE(TreeBuilder::read(trashPath + "/directorysizes"), before);
        QCOMPARE(QDir(QFile::decodeName(trashPath)).entryList(QDir::Files | QDir::Hidden).size(), 2);
    }

private:
    bool m_privateMounts = false;
};

QTEST_GUILESS_MAIN(DirectorySizesTest)
#include "DirectorySizesTest.moc"
