#include "PanelLogic.h"
#include "TestTime.h"

#include <QTest>

using namespace rubbly;
using namespace rubbly::test;
using namespace Qt::StringLiterals;

namespace {
DiskSlimItem item(DiskSlimCategory category, qint64 size, bool selected, QList<std::pair<qint64, bool>> subs = {})
{
    DiskSlimItem result{category, size, 1, selected, {}};
    for (const auto& [subSize, subSelected] : subs)
        result.subItems.append(
            {{}, "/p/" + QByteArray::number(result.subItems.size()), subSize, {}, false, subSelected});
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
    void summaryBusyAndDistributionFollowTheTab()
    {
        TrashStatus status;
        status.itemCount = 1;
        status.totalSize = 1536;
        const QList<DiskSlimItem> items{
            item(DiskSlimCategory::NpmCache, 2048, true),                                // no paths: its own flag
            item(DiskSlimCategory::GoCache, 9000, false, {{1024, true}, {2048, false}}), // paths: only ticked ones
            item(DiskSlimCategory::YarnCache, 9000, true, {{4096, false}}),              // flag ignored
        };
        QCOMPARE(selectedSizeText(MenuBarTab::Trash, BinwellState::normal(status), items), QStringLiteral("2K"));
        QCOMPARE(selectedSizeText(MenuBarTab::Trash, BinwellState::cleaning(status), items), QStringLiteral("0B"));
        QCOMPARE(selectedSizeText(MenuBarTab::Slim, BinwellState::normal(status), items), QStringLiteral("3K"));
        // The refresh button spins for the shown tab's own work only.
        QVERIFY(isBusy(MenuBarTab::Trash, BinwellState::scanning(), false) &&
                !isBusy(MenuBarTab::Trash, BinwellState::normal(status), true));
        QVERIFY(isBusy(MenuBarTab::Slim, BinwellState::normal(status), true) &&
                !isBusy(MenuBarTab::Slim, BinwellState::scanning(), false));
        // The distribution skips empty kinds, largest first.
        status.categoryDistribution = {{FileCategory::Video, 10}, {FileCategory::Image, 0}, {FileCategory::Other, 30}};
        QCOMPARE(distributionOrder(status),
                 (QList<std::pair<FileCategory, qint64>>{{FileCategory::Other, 30}, {FileCategory::Video, 10}}));
    }

    // The Trash tab's line is the last emptying; the slim tab's the last purge, else the last scan.
    void recordLinesByTab()
    {
        const Timestamp now = localTime(2026, 3, 2, 10, 0, 0, QTimeZone::systemTimeZone());
        const CleaningRecord purged{now - std::chrono::seconds(5), 3 << 20, 1};
        QCOMPARE(recordLine(MenuBarTab::Slim, std::nullopt, purged, now, now),
                 std::optional(QStringLiteral("// last purged: 刚刚 · 3.0M")));
        QCOMPARE(recordLine(MenuBarTab::Slim, purged, std::nullopt, now - std::chrono::minutes(5), now),
                 std::optional(QStringLiteral("// last scanned: 今天 09:55")));
        QCOMPARE(recordLine(MenuBarTab::Trash, std::nullopt, purged, now, now), std::nullopt);
        QCOMPARE(recordLine(MenuBarTab::Trash, purged, std::nullopt, now, now),
                 std::optional(QStringLiteral("// last cleaned: 刚刚 · 3.0M")));
    }

    // Groups in display order whatever the items' order, each a header and then rows 2 apart, 8
    // between groups, an unfolded category's paths under it. The keyboard steps over the headers and
    // stays at either end.
    void slimRowsFollowGroupsAndFoldsAndTheFocusStepsOverHeaders()
    {
        const QList<DiskSlimItem> items{item(DiskSlimCategory::SystemLogs, 100, true),
                                        item(DiskSlimCategory::NpmCache, 500, true),
                                        item(DiskSlimCategory::GoCache, 3000, true, {{1000, true}, {2000, true}})};
        const QList<SlimRow> rows = slimRows(items, {DiskSlimCategory::GoCache}, kHeader);
        QCOMPARE(describe(rows, items),
                 u"DEV_ENV@0 npm-cacache@13 golang-mod-cache@41 /p/0@69 /p/1@97 SYS_LOGS@131 system-logs@144"_s);
        QCOMPARE(slimRowsHeight(rows), 170.0);
        QVERIFY(slimRows({}, {}, kHeader).isEmpty());
        const auto down = [&rows](int from) { return stepSlimFocus(rows, from, SlimStep::Next); };
        const auto up = [&rows](int from) { return stepSlimFocus(rows, from, SlimStep::Previous); };
        QCOMPARE((QList<int>{down(-1), down(4), up(6), down(6), up(1), stepSlimFocus({}, -1, SlimStep::Next)}),
                 (QList<int>{1, 6, 4, 6, 1, -1}));
    }

    // The focus is kept by what its row shows, so rows appearing above it (DiskSlimViewTest's
    // theKeyboardFocusStaysOnItsRowWhenTheListChanges) never move it onto another: a path is found
    // under its own category, not as the same path of the category above; a path whose category
    // folded hands the focus to the category; a category that is gone has none.
    void slimFocusFollowsWhatItsRowShows()
    {
        const QList<DiskSlimItem> items{item(DiskSlimCategory::NpmCache, 3000, true, {{1000, true}, {2000, true}}),
                                        item(DiskSlimCategory::GoCache, 3000, true, {{1000, true}, {2000, true}})};
        const auto index = [&items](const Categories& expanded, DiskSlimCategory category, QByteArray path = {}) {
            return slimRowIndex(slimRows(items, expanded, kHeader), items, SlimRowKey{category, path});
        };
        QCOMPARE(index({DiskSlimCategory::NpmCache, DiskSlimCategory::GoCache}, DiskSlimCategory::GoCache, "/p/0"), 5);
        QCOMPARE(index({}, DiskSlimCategory::GoCache, "/p/1"), 2);
        QCOMPARE(index({}, DiskSlimCategory::YarnCache), -1);
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

QTEST_GUILESS_MAIN(PanelLogicTest)
#include "PanelLogicTest.moc"
