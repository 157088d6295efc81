#include "Formatting.h"
#include "FileUriList.h"
#include "LosslessText.h"
#include "TestTime.h"
#include "UiLanguageGuard.h"

#include <QTest>
#include <QTextBoundaryFinder>

// Declared before the test data first names the type (clang rejects a later declaration).
Q_DECLARE_METATYPE(rubbly::Timestamp)

using namespace rubbly;
using namespace rubbly::test;
using namespace std::chrono_literals;
using namespace Qt::StringLiterals;

class FormattingTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // The panel's compact sizes and the shared formatter of every other text, at the edges of units.
    void byteCounts_data()
    {
        QTest::addColumn<qint64>("bytes");
        QTest::addColumn<QString>("compact");
        QTest::addColumn<QString>("shared");
        const auto row = [](const char* name, qint64 bytes, const char* compact, const char* shared) {
            QTest::newRow(name) << bytes << QString::fromLatin1(compact) << QString::fromLatin1(shared);
        };
        row("zero", 0, "0B", "0 B");
        row("negative", -2048, "0B", "-2 KB");
        row("one KiB", 1024, "1K", "1 KB");
        row("rounding up to the next unit", 1048575, "1024K", "1 MB");
        row("one MiB drops the zero", 1048576, "1.0M", "1 MB");
        row("GiB with two decimals", qint64(1.26 * 1073741824.0), "1.3G", "1.26 GB");
        row("largest value stays in TiB", std::numeric_limits<qint64>::max(), "8388608.0T", "8388608 TB");
    }
    void byteCounts()
    {
        QFETCH(qint64, bytes);
        QFETCH(QString, compact);
        QFETCH(QString, shared);
        QCOMPARE(formatBytesCompact(bytes), compact);
        QCOMPARE(sharedByteCountFormatter().format(bytes), shared);
    }

    // Both forms of a moment at 10:00 on 2 March, at the edges of their steps.
    void times_data()
    {
        QTest::addColumn<Timestamp>("date");
        QTest::addColumn<QString>("relative");
        QTest::addColumn<QString>("ago");
        const Timestamp now = localTime(2026, 3, 2, 10, 0);
        const auto row = [](const char* name, Timestamp date, const char* relative, const char* ago) {
            QTest::newRow(name) << date << QString::fromLatin1(relative) << QString::fromLatin1(ago);
        };
        row("59 seconds ago", now - 59s, "now", "now");
        row("60 seconds ago", now - 60s, "today 09:59", "1m ago");
        row("3600 seconds ago", now - 3600s, "today 09:00", "1h ago");
        row("23:59 yesterday", localTime(2026, 3, 1, 23, 59), "yesterday 23:59", "10h ago");
        row("one day ago", now - 86400s, "yesterday 10:00", "1d ago");
        row("exactly 30 days ago", now - 86400s * 30, "Jan 31 10:00", "2026-01-31");
    }
    void times()
    {
        QFETCH(Timestamp, date);
        QFETCH(QString, relative);
        QFETCH(QString, ago);
        UiLanguageGuard english(UiLanguage::English);
        const Timestamp now = localTime(2026, 3, 2, 10, 0);
        QCOMPARE(formatRelativeTime(date, now, kTestZone), relative);
        QCOMPARE(formatTimeAgo(date, now, kTestZone), ago);
    }

    // Text output of names from outside: what could drive a terminal, end a line or reorder it is
    // escaped as `ls --escape` does; printable text, CJK included, is left as it is.
    void terminalText_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("shown");
        QTest::newRow("a title sequence, a forged line, a backslash")
            << "x\x1b]0;owned\x07\n\\"_ba << u"x\\033]0;owned\\a\\n\\\\"_s;
        QTest::newRow("CJK, quotes, an emoji") << "季度 \"报告\" \xf0\x9f\x98\x80"_ba << u"季度 \"报告\" 😀"_s;
        QTest::newRow("DEL, C1 CSI, right-to-left override, not UTF-8")
            << "\x7f\xc2\x9b\xe2\x80\xae\xe9\xe2\x82"_ba << u"\\177\\302\\233\\342\\200\\256\\351\\342\\202"_s;
    }
    void terminalText()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, shown);
        QCOMPARE(printableText(bytes), shown);
        QCOMPARE(printableText(decodeLossless(bytes)), shown); // an argument keeps its bytes
    }

    // Paths in the panel's lines: from "~" below the home only, and a wrapping line may break them at
    // a slash and nowhere else (not at a hyphen, a dot, a space or between CJK characters).
    void pathsShowFromHomeAndBreakOnlyAtSlashes_data()
    {
        QTest::addColumn<QByteArray>("path");
        QTest::addColumn<QByteArray>("home");
        QTest::addColumn<QString>("shown");
        QTest::newRow("below the home") << "/home/u/Downloads/holiday-2025 final.mov"_ba
                                        << "/home/u"_ba << u"~/Downloads/holiday-2025 final.mov"_s;
        QTest::newRow("the home itself, named with a slash") << "/home/u"_ba
                                                             << "/home/u/"_ba << u"~"_s;
        QTest::newRow("a sibling that shares its prefix") << "/home/u2/a-b"_ba
                                                          << "/home/u"_ba << u"/home/u2/a-b"_s;
        QTest::newRow("a home of / shortens nothing") << "/media/x/a.b"_ba
                                                      << "/"_ba << u"/media/x/a.b"_s;
        QTest::newRow("CJK names") << "/home/u/会议录像/采访 第二段.m4a"_ba
                                   << "/home/u"_ba << u"~/会议录像/采访 第二段.m4a"_s;
    }
    void pathsShowFromHomeAndBreakOnlyAtSlashes()
    {
        QFETCH(QByteArray, path);
        QFETCH(QByteArray, home);
        QFETCH(QString, shown);
        const QString text = displayedPath(path, home);
        QCOMPARE(QString(text).remove(QChar(0x2060)), shown);
        const QString line = u"Put back: "_s + text + u" is taken."_s;
        QTextBoundaryFinder breaks(QTextBoundaryFinder::Line, line);
        for (qsizetype i = 11; i < 10 + text.size(); ++i) {
            breaks.setPosition(i);
            QVERIFY2(!breaks.isAtBoundary() || line.at(i - 1) == u'/', qPrintable(line.left(i)));
        }
    }

    // A line that could name another file than the sender meant is dropped whole, never guessed at;
    // a trailing space, the U+FFFD lookalike and a byte that is no UTF-8 are each their own name.
    void droppedUriListsGiveLocalPathsAsBytes()
    {
        const QByteArray list = "# a comment\r\n"
                                "file:///home/u/a%20b.txt\r\n"
                                "https://example.com/x\r\n"
                                "file://localhost/home/u/caf%C3%A9\r\n"
                                "file://other-machine/home/u/remote\r\n"
                                "file:///home/u/latin%E9\r\n"
                                "file:///home/u/line%0Abreak\r\n"
                                "file:///home/u/nul%00\r\n"
                                "mailto:someone@example.com\r\n"
                                "FILE:/home/u/no-authority\r\n"
                                "file:///home/u/a%2Fb\r\n"             // an escaped slash
                                "file:///home/u/report.txt#page=2\r\n" // a fragment
                                "file:///home/u/report.txt?raw\r\n"    // a query
                                "file:///home/u/report%F\r\n"          // a cut-off escape
                                "file:///home/u/report%zz\r\n"         // an escape that is no hex
                                "file:///home/u/a\tb\r\n"              // a raw tab
                                "file:///home/u/report.txt \r\n"
                                "file:///home/u/report%EF%BF%BD.txt\r\n"
                                "file:///home/u/report%FF.txt\r\n"
                                "\r\n";
        QCOMPARE(localPathsFromUriList(list),
                 (QByteArrayList{"/home/u/a b.txt", "/home/u/caf\xc3\xa9", "/home/u/latin\xe9", "/home/u/line\nbreak",
                                 "/home/u/no-authority", "/home/u/report.txt ", "/home/u/report\xef\xbf\xbd.txt",
                                 "/home/u/report\xff.txt"}));
    }
};

QTEST_GUILESS_MAIN(FormattingTest)
#include "FormattingTest.moc"
