#include "UntrustedFile.h"
#include "TempHome.h"
#include "TreeBuilder.h"

#include <QFile>
#include <QTest>

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
        QTest::newRow("a file of exactly the limit is read whole") << QByteArray("limit") << -1;
        QTest::newRow("a file one byte over the limit is refused") << QByteArray("over") << int(Kind::TooLarge);
        QTest::newRow("a FIFO is refused without blocking") << QByteArray("fifo") << int(Kind::NotRegular);
        // Any link is refused unread, the harmless ones as this one.
        QTest::newRow("a link to /dev/zero is not followed") << QByteArray("zero") << int(Kind::Link);
        QTest::newRow("a missing file says so") << QByteArray("missing") << int(Kind::Missing);
    }
    void readsOnlyBoundedRegularFiles()
    {
        QFETCH(QByteArray, shape);
        QFETCH(int, expected);
        TempHome home;
        TreeBuilder tree(QFile::encodeName(home.root()));
        constexpr qsizetype limit = 100;
        tree.file("limit", limit).file("over", limit + 1).hostileFile("fifo", "fifo").symlink("zero", "/dev/zero");
        const auto read = readUntrustedFile(tree.path(shape), limit);
        QCOMPARE(read.ok() ? -1 : int(read.error().kind), expected);
        QVERIFY(!read.ok() || *read == QByteArray(limit, 'x'));
    }
};

QTEST_GUILESS_MAIN(UntrustedFileTest)
#include "UntrustedFileTest.moc"
