#include "PanelLogic.h"
#include "TestTime.h"
#include "UiLanguageGuard.h"

#include <QTest>

using namespace rubbly;
using namespace rubbly::test;
using namespace Qt::StringLiterals;

namespace {
DiskSlimItem item(DiskSlimCategory category, qint64 size, bool selected, QList<std::pair<qint64, bool>> subs = {})
{
    DiskSlimItem result{category, size, 1, selected, {}};
    int n = 0;
    for (const auto& [subSize, subSelected] : subs) {
        DiskSlimSubItem sub;
        sub.path = "/p/" + QByteArray::number(n++);
        sub.size = subSize;
        sub.isSelected = subSelected;
        result.subItems.append(sub);
    }
    return result;
}
} // namespace

class PanelLogicTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void segmentsHaveFloorsAndMayOverflow_data()
    {
        QTest::addColumn<qreal>("strip");
        QTest::addColumn<QList<qint64>>("sizes");
        QTest::addColumn<qint64>("total");
        QTest::addColumn<QList<qreal>>("widths");
        QTest::newRow("shares of the strip")
            << 200.0 << QList<qint64>{750, 250} << qint64(1000) << QList<qreal>{150, 50};
        QTest::newRow("a tiny kind gets 2 % next to a huge one")
            << 276.0 << QList<qint64>{999, 1} << qint64(1000) << QList<qreal>{275.724, 5.52};
        QTest::newRow("and never under 3 points")
            << 100.0 << QList<qint64>{999, 1} << qint64(1000) << QList<qreal>{99.9, 3};
        QTest::newRow("no total: shares of one byte") << 100.0 << QList<qint64>{0} << qint64(0) << QList<qreal>{3};
    }
    void segmentsHaveFloorsAndMayOverflow()
    {
        QFETCH(qreal, strip);
        QFETCH(QList<qint64>, sizes);
        QFETCH(qint64, total);
        QFETCH(QList<qreal>, widths);
        const QList<qreal> actual = segmentWidths(strip, sizes, total);
        QCOMPARE(actual.size(), widths.size());
        for (qsizetype i = 0; i < widths.size(); ++i)
            QVERIFY2(qAbs(actual[i] - widths[i]) < 1e-6, qPrintable(QString::number(actual[i])));
    }

    void distributionSkipsEmptyKindsLargestFirst()
    {
        TrashStatus status;
        status.categoryDistribution = {{FileCategory::Video, 10}, {FileCategory::Image, 0}, {FileCategory::Other, 30}};
        const auto order = distributionOrder(status);
        QCOMPARE(order.size(), 2);
        QCOMPARE(order[0].first, FileCategory::Other);
        QCOMPARE(order[1].first, FileCategory::Video);
    }

    void summaryAndBusyFollowTheTab()
    {
        TrashStatus status;
        status.itemCount = 1;
        status.totalSize = 1536;
        const BinwellState normal = BinwellState::normal(status);
        const QList<DiskSlimItem> items{
            item(DiskSlimCategory::NpmCache, 500, true),                                 // no paths: its own flag
            item(DiskSlimCategory::GoCache, 9000, false, {{1024, true}, {2048, false}}), // paths: only ticked ones
            item(DiskSlimCategory::YarnCache, 9000, true, {{4096, false}}),              // flag ignored
        };
        QCOMPARE(selectedSizeText(MenuBarTab::Trash, normal, items), QStringLiteral("2K"));
        QCOMPARE(selectedSizeText(MenuBarTab::Trash, BinwellState::cleaning(status), items), QStringLiteral("0B"));
        QCOMPARE(selectedSizeText(MenuBarTab::Slim, normal, items), QStringLiteral("1K"));
        QCOMPARE(selectedSizeText(MenuBarTab::Slim, normal, {}), QStringLiteral("0B"));
        QVERIFY(isBusy(MenuBarTab::Trash, BinwellState::scanning(), false));
        QVERIFY(!isBusy(MenuBarTab::Trash, normal, true));
        QVERIFY(isBusy(MenuBarTab::Slim, normal, true));
        QVERIFY(!isBusy(MenuBarTab::Slim, BinwellState::scanning(), false));
    }

    void recordLinesByTab()
    {
        const Timestamp now = localTime(2026, 3, 2, 10, 0, 0, QTimeZone::systemTimeZone());
        const CleaningRecord cleaned{now - std::chrono::seconds(10), 2 << 20, 3};
        const CleaningRecord purged{now - std::chrono::seconds(5), 3 << 20, 1};
        QCOMPARE(recordLine(MenuBarTab::Trash, cleaned, purged, now, now),
                 std::optional(QStringLiteral("// last cleaned: 刚刚 · 2.0M")));
        QCOMPARE(recordLine(MenuBarTab::Trash, std::nullopt, purged, now, now), std::nullopt);
        QCOMPARE(recordLine(MenuBarTab::Slim, cleaned, purged, now, now),
                 std::optional(QStringLiteral("// last purged: 刚刚 · 3.0M")));
        QCOMPARE(recordLine(MenuBarTab::Slim, cleaned, std::nullopt, now - std::chrono::minutes(5), now),
                 std::optional(QStringLiteral("// last scanned: 今天 09:55")));
        QCOMPARE(recordLine(MenuBarTab::Slim, cleaned, std::nullopt, std::nullopt, now), std::nullopt);
        UiLanguageGuard english(UiLanguage::English);
        QCOMPARE(recordLine(MenuBarTab::Slim, cleaned, purged, now, now),
                 std::optional(QStringLiteral("// last purged: just now · 3.0M")));
        QCOMPARE(recordLine(MenuBarTab::Slim, cleaned, std::nullopt, now - std::chrono::minutes(5), now),
                 std::optional(QStringLiteral("// last scanned: today 09:55")));
    }

    void confirmationSentenceCountsInTheUsersLanguage()
    {
        TrashStatus status;
        status.itemCount = 3;
        status.totalSize = 1'610'612'736;
        QCOMPARE(confirmationSentence(status),
                 QStringLiteral("Permanently delete 3 items (1.5G)? Action cannot be undone."));
        // One entry: the designs' sentence as it stands in Chinese, good English in English.
        status.itemCount = 1;
        QCOMPARE(confirmationSentence(status),
                 QStringLiteral("Permanently delete 1 items (1.5G)? Action cannot be undone."));
        UiLanguageGuard english(UiLanguage::English);
        QCOMPARE(confirmationSentence(status),
                 QStringLiteral("Permanently delete 1 item (1.5G)? Action cannot be undone."));
    }

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
                                "\r\n";
        const QByteArrayList expected{"/home/u/a b.txt", "/home/u/caf\xc3\xa9", "/home/u/latin\xe9",
                                      "/home/u/line\nbreak", "/home/u/no-authority"};
        QCOMPARE(localPathsFromUriList(list), expected);
        QVERIFY(localPathsFromUriList("https://example.com/a\nhttp://b/c").isEmpty());
    }

    // A line that could name another file than the sender meant is dropped whole, never guessed at.
    void droppedUrisThatNameAnotherFileAreRefused_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<QByteArray>("path"); // empty: refused
        const auto row = [](const char* name, const QByteArray& line, const QByteArray& path) {
            QTest::newRow(name) << line << path;
        };
        row("an escaped slash", "file:///home/u/a%2Fb", {});
        row("a fragment", "file:///home/u/report.txt#page=2", {});
        row("a query", "file:///home/u/report.txt?raw", {});
        row("a cut-off escape", "file:///home/u/report%F", {});
        row("an escape that is no hex", "file:///home/u/report%zz", {});
        row("a raw tab", "file:///home/u/a\tb", {});
        row("a trailing space is part of the name", "file:///home/u/report.txt ", "/home/u/report.txt ");
        row("the U+FFFD lookalike is its own file", "file:///home/u/report%EF%BF%BD.txt",
            "/home/u/report\xef\xbf\xbd.txt");
        row("a byte that is no UTF-8", "file:///home/u/report%FF.txt", "/home/u/report\xff.txt");
    }
    void droppedUrisThatNameAnotherFileAreRefused()
    {
        QFETCH(QByteArray, line);
        QFETCH(QByteArray, path);
        QCOMPARE(localPathsFromUriList(line + "\r\n"), path.isEmpty() ? QByteArrayList{} : QByteArrayList{path});
    }
};

QTEST_GUILESS_MAIN(PanelLogicTest)
#include "PanelLogicTest.moc"
