#include "TrashInfo.h"
#include "TestTime.h"

#include <QTest>

using namespace rubbly;
using namespace rubbly::test;

namespace {
Timestamp utc(int y, int mo, int d, int h, int mi, int s, int us = 0)
{
    return fromDateTime(QDateTime(QDate(y, mo, d), QTime(h, mi, s), Qt::UTC)) + std::chrono::microseconds(us);
}
} // namespace

class TrashInfoTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void pathsArePercentDecodedAsBytes_data()
    {
        QTest::addColumn<QByteArray>("raw");
        QTest::addColumn<QByteArray>("path");
        QTest::newRow("space") << QByteArray("/home/u/a%20b.txt") << QByteArray("/home/u/a b.txt");
        QTest::newRow("plus stays a plus") << QByteArray("/home/u/a+b") << QByteArray("/home/u/a+b");
        QTest::newRow("encoded percent") << QByteArray("/x/100%25") << QByteArray("/x/100%");
        QTest::newRow("newline") << QByteArray("/x/line%0Abreak") << QByteArray("/x/line\nbreak");
        QTest::newRow("not UTF-8") << QByteArray("/x/%E9t%E9") << QByteArray("/x/\xe9t\xe9");
        QTest::newRow("UTF-8 left unencoded") << QByteArray("/x/照片") << QByteArray("/x/照片");
        QTest::newRow("relative to the volume") << QByteArray("photos/a.jpg") << QByteArray("photos/a.jpg");
    }
    void pathsArePercentDecodedAsBytes()
    {
        QFETCH(QByteArray, raw);
        QFETCH(QByteArray, path);
        const TrashInfo info = TrashInfo::parse("[Trash Info]\nPath=" + raw + "\nDeletionDate=2026-03-01T10:00:00\n");
        QCOMPARE(info.path, std::optional(path));
    }

    void firstKeyWinsAndOtherGroupsOrNoneAreIgnored()
    {
        const TrashInfo info = TrashInfo::parse("# comment\n[Other]\nPath=/wrong\n"
                                                "[Trash Info]\r\nPath=/first\r\nDeletionDate=garbage\r\n"
                                                "Path=/second\nDeletionDate=2026-03-01T10:00:00\n",
                                                kTestZone);
        QCOMPARE(info.path, std::optional(QByteArray("/first")));
        QVERIFY(!info.deletionDate); // the first date is unreadable and is not replaced by the second
        QVERIFY(!TrashInfo::parse("[Trash Info]\n").path);
        QVERIFY(!TrashInfo::parse("Path=/no/group\n").path);
    }

    void datesInEveryFormWritersUse_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<Timestamp>("expected");
        // 10:00 in Berlin in March is 09:00 UTC.
        QTest::newRow("extended local") << QByteArray("2026-03-01T10:00:00") << utc(2026, 3, 1, 9, 0, 0);
        QTest::newRow("basic local") << QByteArray("20260301T100000") << utc(2026, 3, 1, 9, 0, 0);
        QTest::newRow("UTC") << QByteArray("2026-03-01T10:00:00Z") << utc(2026, 3, 1, 10, 0, 0);
        QTest::newRow("offset") << QByteArray("2026-03-01T10:00:00+02:00") << utc(2026, 3, 1, 8, 0, 0);
        QTest::newRow("basic offset") << QByteArray("2026-03-01T10:00:00-0130") << utc(2026, 3, 1, 11, 30, 0);
        QTest::newRow("fraction") << QByteArray("2026-03-01T10:00:00.25") << utc(2026, 3, 1, 9, 0, 0, 250000);
        QTest::newRow("summer time") << QByteArray("2026-07-01T10:00:00") << utc(2026, 7, 1, 8, 0, 0);
        QTest::newRow("surrounding spaces") << QByteArray(" 2026-03-01T10:00:00 ") << utc(2026, 3, 1, 9, 0, 0);
    }
    void datesInEveryFormWritersUse()
    {
        QFETCH(QByteArray, text);
        QFETCH(Timestamp, expected);
        const auto parsed = TrashInfo::parseDate(text, kTestZone);
        QVERIFY(parsed);
        QCOMPARE(parsed->time_since_epoch().count(), expected.time_since_epoch().count());
    }

    void unreadableDates_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("date only") << QByteArray("2026-03-01");
        QTest::newRow("month 13") << QByteArray("2026-13-01T10:00:00");
        QTest::newRow("hour 25") << QByteArray("2026-03-01T25:00:00");
        QTest::newRow("trailing junk") << QByteArray("2026-03-01T10:00:00 tomorrow");
        QTest::newRow("words") << QByteArray("yesterday");
    }
    void unreadableDates()
    {
        QFETCH(QByteArray, text);
        QVERIFY(!TrashInfo::parseDate(text, kTestZone));
    }

    void serializeRoundTripsThroughParse()
    {
        const QByteArray path("/home/u/100% +new\nline \xe9.txt");
        const Timestamp when = utc(2026, 3, 1, 9, 0, 0);
        const QByteArray text = TrashInfo::serialize(path, when, kTestZone);
        QVERIFY(text.startsWith("[Trash Info]\nPath=/home/u/100%25%20%2Bnew%0Aline%20%E9.txt\n"));
        QVERIFY(text.endsWith("\nDeletionDate=2026-03-01T10:00:00\n"));
        const TrashInfo info = TrashInfo::parse(text, kTestZone);
        QCOMPARE(info.path, std::optional(path));
        QCOMPARE(info.deletionDate->time_since_epoch().count(), when.time_since_epoch().count());
    }
};

Q_DECLARE_METATYPE(rubbly::Timestamp)
QTEST_GUILESS_MAIN(TrashInfoTest)
#include "TrashInfoTest.moc"
