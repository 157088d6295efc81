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

    // Every form writers use, and what no date can be: refused, never guessed at.
    void deletionDates_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<std::optional<Timestamp>>("expected");
        const auto row = [](const char* name, const char* text, std::optional<Timestamp> expected) {
            QTest::newRow(name) << QByteArray(text) << expected;
        };
        // 10:00 in Berlin in March is 09:00 UTC.
        row("extended local", "2026-03-01T10:00:00", utc(2026, 3, 1, 9, 0, 0));
        row("basic local", "20260301T100000", utc(2026, 3, 1, 9, 0, 0));
        row("UTC", "2026-03-01T10:00:00Z", utc(2026, 3, 1, 10, 0, 0));
        row("offset", "2026-03-01T10:00:00+02:00", utc(2026, 3, 1, 8, 0, 0));
        row("basic offset", "2026-03-01T10:00:00-0130", utc(2026, 3, 1, 11, 30, 0));
        row("fraction", "2026-03-01T10:00:00.25", utc(2026, 3, 1, 9, 0, 0, 250000));
        row("summer time", "2026-07-01T10:00:00", utc(2026, 7, 1, 8, 0, 0));
        row("surrounding spaces", " 2026-03-01T10:00:00 ", utc(2026, 3, 1, 9, 0, 0));
        row("empty", "", std::nullopt);
        row("date only", "2026-03-01", std::nullopt);
        row("month 13", "2026-13-01T10:00:00", std::nullopt);
        row("hour 25", "2026-03-01T25:00:00", std::nullopt);
        row("trailing junk", "2026-03-01T10:00:00 tomorrow", std::nullopt);
        row("words", "yesterday", std::nullopt);
    }
    void deletionDates()
    {
        QFETCH(QByteArray, text);
        QFETCH(std::optional<Timestamp>, expected);
        const auto parsed = TrashInfo::parseDate(text, kTestZone);
        QCOMPARE(parsed.has_value(), expected.has_value());
        if (expected)
            QCOMPARE(parsed->time_since_epoch().count(), expected->time_since_epoch().count());
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

Q_DECLARE_METATYPE(std::optional<rubbly::Timestamp>)
QTEST_GUILESS_MAIN(TrashInfoTest)
#include "TrashInfoTest.moc"
