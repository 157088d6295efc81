#include "PanelLogic.h"
#include "TestTime.h"
#include "UiLanguageGuard.h"

#include <QTest>

#include <cmath>

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
// The rows as "what@top": group tags, category row ids and paths.
QString describe(const QList<SlimRow>& rows, const QList<DiskSlimItem>& items)
{
    QStringList parts;
    for (const SlimRow& row : rows) {
        const QString what = row.kind == SlimRow::Kind::Group ? row.id.mid(3)
                             : row.kind == SlimRow::Kind::Category
                                 ? QString::fromLatin1(diskSlimInfo(items[row.item].category).rowID)
                                 : QString::fromUtf8(items[row.item].subItems[row.sub].path);
        parts.append(what + u'@' + QString::number(row.top));
    }
    return parts.join(u' ');
}

using Categories = QSet<DiskSlimCategory>;
constexpr qreal kHeader = 10;

} // namespace

class PanelLogicTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // A tiny kind gets 2 % of the strip next to a huge one, and never under 3 points, even when the
    // widths then add up to more than the strip; with no total, the shares are of one byte.
    void segmentsHaveFloorsAndMayOverflow()
    {
        const auto rounded = [](QList<qreal> widths) {
            for (qreal& width : widths)
                width = std::round(width * 1000) / 1000;
            return widths;
        };
        QCOMPARE(rounded(segmentWidths(276, {999, 1}, 1000)), (QList<qreal>{275.724, 5.52}));
        QCOMPARE(rounded(segmentWidths(100, {999, 1}, 1000)), (QList<qreal>{99.9, 3}));
        QCOMPARE(segmentWidths(100, {0}, 0), QList<qreal>{3});
    }

    void summaryBusyAndDistributionFollowTheTab()
    {
        TrashStatus status;
        status.itemCount = 1;
        status.totalSize = 1536;
        const BinwellState normal = BinwellState::normal(status);
        const QList<DiskSlimItem> items{
            item(DiskSlimCategory::NpmCache, 2048, true),                                // no paths: its own flag
            item(DiskSlimCategory::GoCache, 9000, false, {{1024, true}, {2048, false}}), // paths: only ticked ones
            item(DiskSlimCategory::YarnCache, 9000, true, {{4096, false}}),              // flag ignored
        };
        QCOMPARE(selectedSizeText(MenuBarTab::Trash, normal, items), QStringLiteral("2K"));
        QCOMPARE(selectedSizeText(MenuBarTab::Trash, BinwellState::cleaning(status), items), QStringLiteral("0B"));
        QCOMPARE(selectedSizeText(MenuBarTab::Slim, normal, items), QStringLiteral("3K"));
        QVERIFY(isBusy(MenuBarTab::Trash, BinwellState::scanning(), false) && !isBusy(MenuBarTab::Trash, normal, true));
        QVERIFY(isBusy(MenuBarTab::Slim, normal, true) && !isBusy(MenuBarTab::Slim, BinwellState::scanning(), false));
        // The distribution skips empty kinds, largest first.
        status.categoryDistribution = {{FileCategory::Video, 10}, {FileCategory::Image, 0}, {FileCategory::Other, 30}};
        QCOMPARE(distributionOrder(status),
                 (QList<std::pair<FileCategory, qint64>>{{FileCategory::Other, 30}, {FileCategory::Video, 10}}));
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
        // The times in English are FormattingTest's.
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

    void slimRowsFollowGroupsAndFolds_data()
    {
        QTest::addColumn<QList<DiskSlimItem>>("items");
        QTest::addColumn<Categories>("expanded");
        QTest::addColumn<QString>("rows");
        QTest::addColumn<qreal>("height");
        const DiskSlimItem npm = item(DiskSlimCategory::NpmCache, 500, true);
        const DiskSlimItem go = item(DiskSlimCategory::GoCache, 3000, true, {{1000, true}, {2000, true}});
        const DiskSlimItem logs = item(DiskSlimCategory::SystemLogs, 100, true);
        QTest::newRow("nothing found, no rows") << QList<DiskSlimItem>{} << Categories{} << QString() << 0.0;
        QTest::newRow("a header, then rows 2 apart")
            << QList{npm, go} << Categories{} << u"DEV_ENV@0 npm-cacache@13 golang-mod-cache@41"_s << 67.0;
        QTest::newRow("an unfolded category lists its paths")
            << QList{go} << Categories{DiskSlimCategory::GoCache} << u"DEV_ENV@0 golang-mod-cache@13 /p/0@41 /p/1@69"_s
            << 95.0;
        QTest::newRow("groups in display order, 8 apart, whatever the items' order")
            << QList{logs, npm} << Categories{} << u"DEV_ENV@0 npm-cacache@13 SYS_LOGS@47 system-logs@60"_s << 86.0;
    }
    void slimRowsFollowGroupsAndFolds()
    {
        QFETCH(QList<DiskSlimItem>, items);
        QFETCH(Categories, expanded);
        const QList<SlimRow> rows = slimRows(items, expanded, kHeader);
        QTEST(describe(rows, items), "rows");
        QTEST(slimRowsHeight(rows), "height");
    }

    void slimFocusStepsOverHeadersAndStopsAtTheEnds_data()
    {
        QTest::addColumn<int>("from");
        QTest::addColumn<bool>("next");
        QTest::addColumn<int>("to");
        // DEV_ENV, npm, Go, /p/0, /p/1, SYS_LOGS, logs
        QTest::newRow("down from nothing: the first row") << -1 << true << 1;
        QTest::newRow("down over a header") << 4 << true << 6;
        QTest::newRow("up over a header") << 6 << false << 4;
        QTest::newRow("down at the last row stays") << 6 << true << 6;
        QTest::newRow("up at the first row stays") << 1 << false << 1;
    }
    void slimFocusStepsOverHeadersAndStopsAtTheEnds()
    {
        QFETCH(int, from);
        QFETCH(bool, next);
        const QList<DiskSlimItem> items{item(DiskSlimCategory::NpmCache, 500, true),
                                        item(DiskSlimCategory::GoCache, 3000, true, {{1000, true}, {2000, true}}),
                                        item(DiskSlimCategory::SystemLogs, 100, true)};
        const QList<SlimRow> rows = slimRows(items, {DiskSlimCategory::GoCache}, kHeader);
        QTEST(stepSlimFocus(rows, from, next ? SlimStep::Next : SlimStep::Previous), "to");
        QCOMPARE(stepSlimFocus({}, -1, SlimStep::Next), -1);
    }

    void slimFocusFollowsWhatItsRowShows_data()
    {
        QTest::addColumn<QList<DiskSlimItem>>("items");
        QTest::addColumn<Categories>("expanded");
        QTest::addColumn<std::optional<SlimRowKey>>("key");
        QTest::addColumn<int>("index");
        const DiskSlimItem npm = item(DiskSlimCategory::NpmCache, 3000, true, {{1000, true}, {2000, true}});
        const DiskSlimItem go = item(DiskSlimCategory::GoCache, 3000, true, {{1000, true}, {2000, true}});
        const auto key = [](DiskSlimCategory category, QByteArray path = {}) {
            return std::optional(SlimRowKey{category, path});
        };
        QTest::newRow("a category, after one above it unfolded")
            << QList{npm, go} << Categories{DiskSlimCategory::NpmCache} << key(DiskSlimCategory::GoCache) << 4;
        QTest::newRow("a path, not the same path of the category above")
            << QList{npm, go} << Categories{DiskSlimCategory::NpmCache, DiskSlimCategory::GoCache}
            << key(DiskSlimCategory::GoCache, "/p/0") << 5;
        QTest::newRow("a path whose category folded: the category")
            << QList{npm, go} << Categories{} << key(DiskSlimCategory::GoCache, "/p/1") << 2;
        QTest::newRow("a category that is gone: none")
            << QList{npm} << Categories{} << key(DiskSlimCategory::GoCache) << -1;
        QTest::newRow("no focus yet: none") << QList{npm} << Categories{} << std::optional<SlimRowKey>() << -1;
    }
    void slimFocusFollowsWhatItsRowShows()
    {
        QFETCH(QList<DiskSlimItem>, items);
        QFETCH(Categories, expanded);
        QFETCH(std::optional<SlimRowKey>, key);
        const QList<SlimRow> rows = slimRows(items, expanded, kHeader);
        const int index = slimRowIndex(rows, items, key);
        QTEST(index, "index");
        if (index >= 0 && key)
            QCOMPARE(slimRowKey(rows[index], items)->category, key->category);
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
