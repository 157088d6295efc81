#include "UntrustedFile.h"
#include "TempHome.h"
#include "TreeBuilder.h"

#include <QFile>
#include <QFileInfo>
#include <QTest>

#include <sys/stat.h>

using namespace rubbly;
using namespace rubbly::test;
using Kind = UntrustedReadError::Kind;

// Files that others may write are read without blocking, without following a link and within a limit.
class UntrustedFileTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void readsOnlyBoundedRegularFiles_data()
    {
        QTest::addColumn<QByteArray>("shape");
        QTest::addColumn<int>("expected"); // -1: read, else the error kind
        QTest::newRow("a small regular file is read whole") << QByteArray("file") << -1;
        QTest::newRow("a file of exactly the limit is read") << QByteArray("limit") << -1;
        QTest::newRow("a file one byte over the limit is refused") << QByteArray("over") << int(Kind::TooLarge);
        QTest::newRow("a FIFO is refused without blocking") << QByteArray("fifo") << int(Kind::NotRegular);
        QTest::newRow("a link to /dev/zero is not followed") << QByteArray("zero") << int(Kind::Link);
        QTest::newRow("a link to a regular file is not followed") << QByteArray("link") << int(Kind::Link);
        QTest::newRow("a folder is refused") << QByteArray("dir") << int(Kind::NotRegular);
        QTest::newRow("a missing file says so") << QByteArray("missing") << int(Kind::Missing);
    }
    void readsOnlyBoundedRegularFiles()
    {
        QFETCH(QByteArray, shape);
        QFETCH(int, expected);
        TempHome home;
        TreeBuilder tree(QFile::encodeName(home.root()));
        constexpr qint64 limit = 100;
        tree.file("regular", 10).file("limit", limit).file("over", limit + 1).dir("dir");
        QCOMPARE(::mkfifo(tree.path("fifo").constData(), 0600), 0);
        tree.symlink("zero", "/dev/zero").symlink("link", tree.path("regular"));
        const QByteArray name = shape == "file" ? "regular" : shape;
        const auto read = readUntrustedFile(tree.path(name), limit);
        if (expected < 0) {
            QVERIFY(read.ok());
            QCOMPARE(read->size(), QFileInfo(QFile::decodeName(tree.path(name))).size());
        } else {
            QVERIFY(!read.ok());
            QCOMPARE(int(read.error().kind), expected);
        }
    }
};

QTEST_GUILESS_MAIN(UntrustedFileTest)
#include "UntrustedFileTest.moc"
