#include "PanelLogic.h"
#include "GeekTheme.h"
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
using Categories = QSet<DiskSlimCategory>;
// `top` painted over the opaque `base`.
QColor over(const QColor& top, const QColor& base)
{
    const double a = top.alphaF();
    return QColor::fromRgbF(static_cast<float>(top.redF() * a + base.redF() * (1 - a)),
                            static_cast<float>(top.greenF() * a + base.greenF() * (1 - a)),
                            static_cast<float>(top.blueF() * a + base.blueF() * (1 - a)));
}
constexpr qreal kHeader = 10;

} // namespace

class PanelLogicTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // Every colour pair the views draw, in both schemes: text reaches 4.5 : 1 and a control's mark
    // 3 : 1 (WCAG 2.1 AA) in the light scheme. The dark scheme keeps the panel's own colours; where
    // those fall short its floor is what they reach, so a change that lowers them fails too.
    void colourPairsReachTheirContrast_data()
    {
        QTest::addColumn<Tint>("foreground");
        QTest::addColumn<Tint>("fill"); // a translucent fill under the foreground, over the ground
        QTest::addColumn<bool>("onCard");
        QTest::addColumn<double>("floor");
        QTest::addColumn<double>("darkFloor");
        const Tint none = Tint::fixed(Qt::transparent);
        const auto row = [&](const char* name, Tint fg, Tint fill, double floor, double darkFloor = 0) {
            for (const bool card : {false, true})
                QTest::addRow("%s on the %s", name, card ? "card" : "ground")
                    << fg << fill << card << floor << (darkFloor > 0 ? darkFloor : floor);
        };
        row("primary text", Tint::primary(), none, 4.5);
        row("secondary text", Tint::secondary(), none, 4.5);
        row("accent text", Tint::accent(4), none, 4.5);
        row("accent text on its tint", Tint::accent(4), Tint::accent(4).opacity(0.15), 4.5);
        row("success text", Tint::accent(6), none, 4.5);
        row("warning text", Tint::accent(8), none, 4.5);
        row("danger text", Tint::accent(10), none, 4.5, 4.1);
        row("danger text on its tint", Tint::accent(10), Tint::accent(10).opacity(0.15), 4.5, 3.5);
        row("text on a hovered row", Tint::secondary(), Tint::hoverFill(), 4.5);
        row("focus mark", Tint::accent(4).opacity(0.7, 1.0), none, 3);
        row("selected tab's edge", Tint::accent(4).opacity(0.4, 1.0), Tint::accent(4).opacity(0.12), 3, 2.4);
        row("permission shield", Tint::warning(), none, 3);
    }
    void colourPairsReachTheirContrast()
    {
        QFETCH(Tint, foreground);
        QFETCH(Tint, fill);
        QFETCH(bool, onCard);
        QFETCH(double, floor);
        QFETCH(double, darkFloor);
        for (const bool dark : {true, false}) {
            const QColor ground = (onCard ? Tint::surface() : Tint::background()).resolve(dark);
            const QColor under = over(fill.resolve(dark), ground);
            const double ratio = contrastRatio(foreground.resolve(dark), under);
            QVERIFY2(ratio >= (dark ? darkFloor : floor),
                     qPrintable(u"%1 scheme: %2 : 1"_s.arg(dark ? u"dark"_s : u"light"_s).arg(ratio, 0, 'f', 2)));
        }
        // The hint grey, the scroll thumb and a hovered row's edge: light scheme (the dark one keeps its look).
        const QColor light = (onCard ? Tint::surface() : Tint::background()).resolve(false);
        QVERIFY(contrastRatio(Tint::tertiary().resolve(false), light) >= 4.5);
        QVERIFY(contrastRatio(Tint::tertiary().resolve(true),
                              (onCard ? Tint::surface() : Tint::background()).resolve(true)) >= 2.8);
        QVERIFY(contrastRatio(GeekTheme::shared().scrollThumb.light, light) >= 3);
        QVERIFY(contrastRatio(Tint::hoverEdge().resolve(false), light) >= 3);
    }
    // The refresh button spins for the shown tab's own work only.
    void theBusyRuleFollowsTheTab()
    {
        const BinwellState normal = BinwellState::normal(TrashStatus{});
        QVERIFY(isBusy(MenuBarTab::Trash, BinwellState::scanning(), false) && !isBusy(MenuBarTab::Trash, normal, true));
        QVERIFY(isBusy(MenuBarTab::Slim, normal, true) && !isBusy(MenuBarTab::Slim, BinwellState::scanning(), false));
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
        // The count of paths not listed by name follows them, and neither focus nor a key lands on it.
        QList<DiskSlimItem> many = items;
        many[0].unlistedCount = 7;
        const QList<SlimRow> rows = slimRows(many, {DiskSlimCategory::NpmCache}, kHeader);
        QCOMPARE(rows[4].kind, SlimRow::Kind::More);
        QCOMPARE(stepSlimFocus(rows, 3, SlimStep::Next), 5);
        QCOMPARE(slimRowKey(rows[4], many), std::nullopt);
    }

    void theListOfEveryEntryTakesItsKeys_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("inSearch");
        QTest::addColumn<bool>("hasQuery");
        QTest::addColumn<bool>("confirming");
        QTest::addColumn<AllItemsKey>("action");
        const auto row = [](const char* what, int key, int modifiers, const char* text, bool inSearch, bool hasQuery,
                            bool confirming, AllItemsKey action) {
            QTest::newRow(what) << key << modifiers << QString::fromUtf8(text) << inSearch << hasQuery << confirming
                                << action;
        };
        using K = AllItemsKey;
        row("a letter on a row goes to the search", Qt::Key_A, 0, "a", false, false, false, K::Type);
        row("a Chinese character too", 0, 0, "报", false, true, false, K::Type);
        row("so does Backspace", Qt::Key_Backspace, 0, "\b", false, true, false, K::Type);
        row("Control+A selects rows instead", Qt::Key_A, Qt::ControlModifier, "\x01", false, false, false, K::Pass);
        row("in the search, letters are the field's", Qt::Key_A, 0, "a", true, true, false, K::Pass);
        row("down from the search", Qt::Key_Down, 0, "", true, true, false, K::Next);
        row("up on a row", Qt::Key_Up, 0, "", false, false, false, K::Previous);
        row("Return puts back", Qt::Key_Return, 0, "\r", false, false, false, K::PutBack);
        row("Enter in the search puts back too", Qt::Key_Enter, 0, "\r", true, true, false, K::PutBack);
        row("Control+Return shows in the file manager", Qt::Key_Return, Qt::ControlModifier, "", false, false, false,
            K::Reveal);
        row("Delete on a row deletes", Qt::Key_Delete, 0, "", false, true, false, K::Delete);
        row("Delete in an empty search deletes", Qt::Key_Delete, 0, "", true, false, false, K::Delete);
        row("Delete in a search with text erases", Qt::Key_Delete, 0, "", true, true, false, K::Pass);
        row("Escape clears the search first", Qt::Key_Escape, 0, "", false, true, false, K::ClearSearch);
        row("then leaves the list", Qt::Key_Escape, 0, "", true, false, false, K::Leave);
        row("while asking, Return confirms", Qt::Key_Return, 0, "", false, false, true, K::Confirm);
        row("and Escape cancels, whatever the search", Qt::Key_Escape, 0, "", true, true, true, K::Cancel);
        row("and Delete does not ask twice", Qt::Key_Delete, 0, "", false, false, true, K::Pass);
    }
    void theListOfEveryEntryTakesItsKeys()
    {
        QFETCH(int, key);
        QFETCH(int, modifiers);
        QFETCH(QString, text);
        QFETCH(bool, inSearch);
        QFETCH(bool, hasQuery);
        QFETCH(bool, confirming);
        QFETCH(AllItemsKey, action);
        QCOMPARE(allItemsKeyAction(key, Qt::KeyboardModifiers(modifiers), text, inSearch, hasQuery, confirming),
                 action);
    }
};

QTEST_GUILESS_MAIN(PanelLogicTest)
#include "PanelLogicTest.moc"
