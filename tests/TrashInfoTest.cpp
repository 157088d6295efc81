#include "TrashInfo.h"
#include "EnvGuard.h"
#include "TestTime.h"

#include <QTest>

using namespace rubbly;
using namespace rubbly::test;
using namespace std::chrono_literals;

class TrashInfoTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void pathsArePercentDecodedAsBytes_data()
    {
        QTest::addColumn<QByteArray>("raw");
        QTest::addColumn<std::optional<QByteArray>>("path");
        const auto row = [](const char* name, const char* raw, const char* path) {
            QTest::newRow(name) << QByteArray(raw) << (path ? std::optional(QByteArray(path)) : std::nullopt);
        };
        row("escapes, a plus, a newline and bytes that are not UTF-8", "/x/a%20b+c%25%0Ad%E9", "/x/a b+c%\nd\xe9");
        row("an escape cut off at the end names no file", "/x/100%4", nullptr);
        row("an escape that is not hex names no file", "/x/%zz", nullptr);
        row("half an escape names no file", "/x/%2./y", nullptr);
        row("relative to the volume", "photos/a.jpg", "photos/a.jpg");
    }
    void pathsArePercentDecodedAsBytes()
    {
        QFETCH(QByteArray, raw);
        QFETCH(std::optional<QByteArray>, path);
        const TrashInfo info = TrashInfo::parse("[Trash Info]\nPath=" + raw + "\nDeletionDate=2026-03-01T10:00:00\n");
        QCOMPARE(info.path, path);
    }

    void firstKeyWinsAndOtherGroupsOrNoneAreIgnored()
    {
        const TrashInfo info = TrashInfo::parse("# comment\n[Other]\nPath=/wrong\n"
                                                "[Trash Info]\r\nPath=/first\r\nDeletionDate=garbage\r\n"
                                                "Path=/second\nDeletionDate=2026-03-01T10:00:00\n",
                                                kTestZone);
        QCOMPARE(info.path, std::optional(QByteArray("/first")));
        QVERIFY(!info.deletionDate); // the first date is unreadable and is not replaced by the second
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
        // Expected times are Berlin's, one hour ahead of UTC in March.
        row("extended local", "2026-03-01T10:00:00", localTime(2026, 3, 1, 10, 0));
        row("basic local", "20260301T100000", localTime(2026, 3, 1, 10, 0));
        row("UTC", "2026-03-01T10:00:00Z", localTime(2026, 3, 1, 11, 0));
        row("offset", "2026-03-01T10:00:00+02:00", localTime(2026, 3, 1, 9, 0));
        row("basic offset", "2026-03-01T10:00:00-0130", localTime(2026, 3, 1, 12, 30));
        row("fraction, surrounding spaces", " 2026-03-01T10:00:00.25 ", localTime(2026, 3, 1, 10, 0) + 250ms);
        row("date only", "2026-03-01", std::nullopt);
        row("month 13", "2026-13-01T10:00:00", std::nullopt);
        row("trailing junk", "2026-03-01T10:00:00 tomorrow", std::nullopt);
    }
    void deletionDates()
    {
        QFETCH(QByteArray, text);
        QFETCH(std::optional<Timestamp>, expected);
        QCOMPARE(TrashInfo::parseDate(text, kTestZone), expected);
    }

    // What trash-cli, gio and KDE read: every byte but "/" and the unreserved ones escaped, the date
    // in local time. (That any path and date read back as written is the TrashInfo fuzz target's.)
    void serializeWritesTheCommonForm()
    {
        QCOMPARE(
            TrashInfo::serialize("/home/u/100% +new\nline \xe9.txt", localTime(2026, 3, 1, 10, 0), kTestZone),
            QByteArray(
                "[Trash Info]\nPath=/home/u/100%25%20%2Bnew%0Aline%20%E9.txt\nDeletionDate=2026-03-01T10:00:00\n"));
    }

    // A TZ the system has no data for (a misspelt zone, a container without tzdata) leaves Qt's system
    // zone invalid; dates are then read and written in UTC, as the C library reads local time.
    void datesUnderAZoneTheSystemDoesNotKnowAreUtc()
    {
        EnvGuard env;
        env.set("TZ", "Europe/Berln");
        const QByteArray written = "[Trash Info]\nPath=/a\nDeletionDate=2001-01-01T10:00:00\n";
        const Timestamp date = localTime(2001, 1, 1, 10, 0, 0, QTimeZone::utc());
        QCOMPARE(TrashInfo::parse(written).deletionDate, std::optional(date));
        QCOMPARE(TrashInfo::serialize("/a", date), written);
    }
};

QTEST_GUILESS_MAIN(TrashInfoTest)
#include "TrashInfoTest.moc"
