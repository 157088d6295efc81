#include "Formatting.h"
#include "TestTime.h"
#include "UiLanguageGuard.h"

#include <QTest>

#include <cmath>

using namespace rubbly;
using namespace rubbly::test;
using namespace std::chrono_literals;

class FormattingTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void compactBytes_data()
    {
        QTest::addColumn<qint64>("bytes");
        QTest::addColumn<QString>("text");
        QTest::newRow("zero") << qint64(0) << "0B";
        QTest::newRow("negative") << qint64(-5) << "0B";
        QTest::newRow("one byte") << qint64(1) << "1B";
        QTest::newRow("just under a KiB") << qint64(1023) << "1023B";
        QTest::newRow("one KiB") << qint64(1024) << "1K";
        QTest::newRow("KiB rounds without decimals") << qint64(1600) << "2K";
        QTest::newRow("just under a MiB stays in K") << qint64(1048575) << "1024K";
        QTest::newRow("one MiB") << qint64(1048576) << "1.0M";
        QTest::newRow("just under a GiB stays in M") << qint64(1073741823) << "1024.0M";
        QTest::newRow("one and a half GiB") << qint64(1610612736) << "1.5G";
        QTest::newRow("one TiB") << (qint64(1) << 40) << "1.0T";
        QTest::newRow("largest value") << std::numeric_limits<qint64>::max() << "8388608.0T";
    }
    void compactBytes()
    {
        QFETCH(qint64, bytes);
        QFETCH(QString, text);
        QCOMPARE(formatBytesCompact(bytes), text);
    }

    void sharedFormatter_data()
    {
        QTest::addColumn<qint64>("bytes");
        QTest::addColumn<QString>("text");
        QTest::newRow("zero") << qint64(0) << "0 B";
        QTest::newRow("bytes") << qint64(512) << "512 B";
        QTest::newRow("KB without decimals") << qint64(12 * 1024 + 300) << "12 KB";
        QTest::newRow("rounding up to the next unit") << qint64(1024 * 1024 - 100) << "1 MB";
        QTest::newRow("MB with one decimal") << qint64(3.46 * 1048576) << "3.5 MB";
        QTest::newRow("whole MB drops the zero") << qint64(1048576) << "1 MB";
        QTest::newRow("GB with two decimals") << qint64(1.25 * 1073741824.0) << "1.25 GB";
        QTest::newRow("ten GiB threshold") << qint64(10) * 1073741824 << "10 GB";
        QTest::newRow("TB") << qint64(2.5 * 1099511627776.0) << "2.5 TB";
        QTest::newRow("beyond TB stays in TB") << qint64(5000) * 1099511627776 << "5000 TB";
        QTest::newRow("negative keeps its sign") << qint64(-2048) << "-2 KB";
    }
    void sharedFormatter()
    {
        QFETCH(qint64, bytes);
        QFETCH(QString, text);
        QCOMPARE(sharedByteCountFormatter().format(bytes), text);
    }

    void timeAgo_data()
    {
        QTest::addColumn<qint64>("secondsAgo");
        QTest::addColumn<QString>("text");
        QTest::newRow("59 seconds") << qint64(59) << "刚刚";
        QTest::newRow("in the future") << qint64(-3600) << "刚刚";
        QTest::newRow("60 seconds") << qint64(60) << "1分钟前";
        QTest::newRow("3599 seconds") << qint64(3599) << "59分钟前";
        QTest::newRow("3600 seconds") << qint64(3600) << "1小时前";
        QTest::newRow("just under a day") << qint64(86399) << "23小时前";
        QTest::newRow("one day") << qint64(86400) << "1天前";
        QTest::newRow("29 days 23 hours") << qint64(29 * 86400 + 23 * 3600) << "29天前";
        QTest::newRow("exactly 30 days") << qint64(30 * 86400) << "26/01/31";
    }
    void timeAgo()
    {
        QFETCH(qint64, secondsAgo);
        QFETCH(QString, text);
        const Timestamp now = localTime(2026, 3, 2, 10, 0);
        QCOMPARE(formatTimeAgo(now - std::chrono::seconds(secondsAgo), now, kTestZone), text);
    }

    void relativeTime_data()
    {
        QTest::addColumn<Timestamp>("date");
        QTest::addColumn<QString>("text");
        QTest::newRow("30 seconds ago") << localTime(2026, 3, 2, 0, 9, 30) << "刚刚";
        QTest::newRow("earlier today") << localTime(2026, 3, 2, 0, 1) << "今天 00:01";
        QTest::newRow("23:59 yesterday") << localTime(2026, 3, 1, 23, 59) << "昨天 23:59";
        QTest::newRow("midnight yesterday") << localTime(2026, 3, 1, 0, 0) << "昨天 00:00";
        QTest::newRow("two days ago") << localTime(2026, 2, 28, 8, 5) << "02月28日 08:05";
        QTest::newRow("last year") << localTime(2025, 12, 31, 18, 0) << "12月31日 18:00";
    }
    void relativeTime()
    {
        QFETCH(Timestamp, date);
        QFETCH(QString, text);
        QCOMPARE(formatRelativeTime(date, localTime(2026, 3, 2, 0, 10), kTestZone), text);
    }

    // The same moments in the English interface.
    void englishTimes_data()
    {
        QTest::addColumn<Timestamp>("date");
        QTest::addColumn<QString>("relative");
        QTest::addColumn<QString>("ago");
        const Timestamp now = localTime(2026, 3, 2, 10, 0);
        const auto row = [](const char* name, Timestamp date, const char* relative, const char* ago) {
            QTest::newRow(name) << date << QString::fromLatin1(relative) << QString::fromLatin1(ago);
        };
        row("within a minute", now - 59s, "just now", "now");
        row("minutes", now - 3599s, "today 09:00", "59m ago");
        row("hours", now - 3600s * 10, "today 00:00", "10h ago");
        row("yesterday", localTime(2026, 3, 1, 23, 59), "yesterday 23:59", "10h ago");
        row("days", localTime(2026, 2, 8, 8, 5), "Feb 8 08:05", "22d ago");
        row("a month", now - 86400s * 30, "Jan 31 10:00", "26/01/31");
    }
    void englishTimes()
    {
        QFETCH(Timestamp, date);
        QFETCH(QString, relative);
        QFETCH(QString, ago);
        UiLanguageGuard english(UiLanguage::English);
        const Timestamp now = localTime(2026, 3, 2, 10, 0);
        QCOMPARE(formatRelativeTime(date, now, kTestZone), relative);
        QCOMPARE(formatTimeAgo(date, now, kTestZone), ago);
    }

    void relativeTimeUsesTheGivenZoneForDayBoundaries()
    {
        // 22:30 UTC on 1 March is already 2 March in Tokyo and still 1 March in Berlin.
        const Timestamp date = localTime(2026, 3, 1, 22, 30, 0, QTimeZone::utc());
        const Timestamp now = localTime(2026, 3, 2, 1, 0, 0, QTimeZone::utc());
        QCOMPARE(formatRelativeTime(date, now, QTimeZone("Asia/Tokyo")), QStringLiteral("今天 07:30"));
        QCOMPARE(formatRelativeTime(date, now, kTestZone), QStringLiteral("昨天 23:30"));
    }

    void progressIsAWholePercentWithinRange()
    {
        QCOMPARE(progressPercent(0.999), 99);
        QCOMPARE(progressPercent(1.5), 100);
        QCOMPARE(progressPercent(-0.2), 0);
        QCOMPARE(progressPercent(std::nan("")), 0);
    }

    void todayStampIsEnglishUpperCase()
    {
        QCOMPARE(formatTodayStamp(localTime(2026, 12, 4, 12, 0), kTestZone), QStringLiteral("DEC 4"));
        QCOMPARE(formatTodayStamp(localTime(2026, 5, 31, 23, 30), kTestZone), QStringLiteral("MAY 31"));
    }
};

Q_DECLARE_METATYPE(rubbly::Timestamp)
QTEST_GUILESS_MAIN(FormattingTest)
#include "FormattingTest.moc"
