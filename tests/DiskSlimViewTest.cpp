#include "DiskSlimView.h"
#include "GeekTheme.h"
#include "Motion.h"
#include "PanelLogic.h"
#include "PanelStates.h"
#include "RecordingWorkspace.h"
#include "StoredRecords.h"
#include "ViewModelRig.h"

#include <QAbstractButton>
#include <QTest>

using namespace rubbly;
using namespace rubbly::test;

namespace {

DiskSlimItem item(DiskSlimCategory category, QList<QByteArray> paths, qint64 size = 1000)
{
    DiskSlimItem result{category, 0, 1, true, {}};
    for (const QByteArray& path : paths) {
        DiskSlimSubItem sub;
        sub.path = path;
        sub.name = QString::fromUtf8(path.mid(path.lastIndexOf('/') + 1));
        sub.size = size;
        result.subItems.append(sub);
        result.size += size;
    }
    if (paths.isEmpty())
        result.size = size;
    return result;
}

// The slim tab on a fake engine. With `stored`, the items are the stored snapshot of a recent scan.
struct SlimTab {
    ViewModelRig rig;
    RecordingWorkspace workspace;
    std::unique_ptr<DiskSlimView> view;

    explicit SlimTab(const QList<DiskSlimItem>& items, bool stored = true)
    {
        rig.slimService = &rig.fakeSlim;
        rig.fakeSlim.result = items;
        if (stored)
            saveSlimSnapshot(rig.defaults, DiskSlimSnapshot{rig.clock.now(), items});
        rig.make();
        view = std::make_unique<DiskSlimView>(*rig.vm, workspace);
        view->resize(296, 700);
        view->show();
        view->appeared();
        QTRY_VERIFY_WITH_TIMEOUT(!rig.vm->isScanningSlim() || rig.fakeSlim.scanGate, 5000);
        settle();
    }
    void click(const QRect& where)
    {
        QVERIFY(where.isValid());
        QTest::mouseClick(view->listCanvas(), Qt::LeftButton, {}, where.center());
        settle();
    }
    const DiskSlimItem& shown(int index) const { return rig.vm->diskSlimItems().at(index); }
    static QString path(const QByteArray& bytes) { return fileUrlString(bytes).mid(7); }
};

} // namespace

class DiskSlimViewTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { motion::setEnabled(false); }

    void ticksFollowTheCategoryAndItsPaths()
    {
        SlimTab tab({item(DiskSlimCategory::GoCache,
                          {"/h/.cache/go-build/a", "/h/.cache/go-build/b", "/h/.cache/go-build/c"})});
        const QString go = diskSlimTitle(DiskSlimCategory::GoCache);
        // How a tick spreads over the paths and back is the view model's rule, tested there; here
        // each place of a row reaches it.
        tab.click(tab.view->checkRect(go));
        QCOMPARE(tab.view->headerSizeText(), QStringLiteral("0B selected"));
        tab.click(tab.view->checkRect(go));
        QCOMPARE(tab.view->headerSizeText(), QStringLiteral("3K selected"));

        tab.click(tab.view->contentRect(go)); // the row's content folds it open
        QVERIFY(tab.view->isExpanded(DiskSlimCategory::GoCache));
        tab.click(tab.view->checkRect(SlimTab::path("/h/.cache/go-build/a")));
        tab.click(tab.view->contentRect(SlimTab::path("/h/.cache/go-build/b"))); // the row itself ticks too
        QCOMPARE(tab.view->headerSizeText(), QStringLiteral("1000B selected"));
    }

    void theKeyboardFocusStaysOnItsRowWhenTheListChanges()
    {
        SlimTab tab({item(DiskSlimCategory::NpmCache, {"/h/.npm/_cacache/a", "/h/.npm/_cacache/b"}),
                     item(DiskSlimCategory::GoCache, {"/h/.cache/go-build/a"})});
        QWidget* canvas = tab.view->listCanvas();
        canvas->setFocus(Qt::TabFocusReason);
        QTest::keyClick(canvas, Qt::Key_Down);
        QTest::keyClick(canvas, Qt::Key_Down);                   // the last row: Go's
        tab.view->setExpanded(DiskSlimCategory::NpmCache, true); // two rows appear above it
        QTest::keyClick(canvas, Qt::Key_Space);
        settle();
        QVERIFY(!tab.shown(1).isSelected);
        QVERIFY(tab.shown(0).isSelected && tab.shown(0).subItems[0].isSelected);

        // A rescan that finds another category above it: still Go's.
        tab.rig.fakeSlim.result.insert(1, item(DiskSlimCategory::YarnCache, {"/h/.yarn/cache/a"}));
        tab.rig.vm->scanSlim(true);
        QTRY_VERIFY_WITH_TIMEOUT(!tab.rig.vm->isScanningSlim(), 5000);
        settle();
        QTest::keyClick(canvas, Qt::Key_Space);
        settle();
        QCOMPARE(tab.shown(2).category, DiskSlimCategory::GoCache);
        QVERIFY(!tab.shown(2).isSelected);
        QVERIFY(tab.shown(0).isSelected && tab.shown(1).isSelected);
    }

    void nothingSelectedLeavesTheButtonInert()
    {
        SlimTab tab({item(DiskSlimCategory::NpmCache, {}, 500)});
        tab.rig.vm->toggleSlimCategory(DiskSlimCategory::NpmCache);
        QVERIFY(!tab.view->purgeButton()->isEnabled()); // a purge of nothing: BinwellViewModelTest
        tab.rig.vm->toggleSlimCategory(DiskSlimCategory::NpmCache);
        tab.view->purgeButton()->click(); // no confirmation step
        settle();
        QCOMPARE(tab.rig.fakeSlim.purged.size(), 1);
    }

    void appearingScansOnlyWithNothingToShow()
    {
        SlimTab stored({item(DiskSlimCategory::NpmCache, {}, 500)});
        QCOMPARE(stored.rig.fakeSlim.scans, 0);
        SlimTab fresh({item(DiskSlimCategory::NpmCache, {}, 500)}, false);
        fresh.view->appeared(); // again, now with items: nothing more
        settle();
        QCOMPARE(fresh.rig.fakeSlim.scans, 1);
    }

    void theBodyFollowsTheScan()
    {
        SlimTab never({}, false);
        never.rig.fakeSlim.scanGate = new Cancellation(&never.rig.clock);
        QCOMPARE(never.view->body(), DiskSlimView::Body::AllClean);
        QCOMPARE(never.view->emptyResultText(), QStringLiteral("> scanned 刚刚 · no reclaimable caches found."));
        never.rig.clock.advance(std::chrono::seconds(9));
        auto rescan = never.rig.vm->scanSlim(true);
        QTRY_COMPARE(never.view->body(), DiskSlimView::Body::Scanning);
        delete never.rig.fakeSlim.scanGate.data();
        finish(rescan);

        // Part of the list found, the scan still going: the strip shows how far, truncated.
        SlimTab scanning({}, false);
        scanning.rig.fakeSlim.result = slimItems(scanning.rig.clock.now());
        scanning.rig.fakeSlim.categoryCount = 27;
        scanning.rig.fakeSlim.reportBeforeGate = 10;
        scanning.rig.fakeSlim.scanGate = new Cancellation(&scanning.rig.clock);
        scanning.rig.clock.advance(std::chrono::seconds(9));
        auto scan = scanning.rig.vm->scanSlim(true);
        QTRY_VERIFY(scanning.view->isProgressStripShown());
        QCOMPARE(scanning.view->body(), DiskSlimView::Body::List);
        QVERIFY(scanning.view->progressStripText().endsWith(QStringLiteral(" 37%")));
        delete scanning.rig.fakeSlim.scanGate.data();
        finish(scan);
        QVERIFY(!scanning.view->isProgressStripShown());
    }

    void aRowTakesItsColourFromItsPlaceInTheList()
    {
        QList<DiskSlimItem> items;
        for (int i = 0; i < 12; ++i)
            items.append(item(static_cast<DiskSlimCategory>(int(DiskSlimCategory::RustCargoCache) + i), {}));
        items.append(item(DiskSlimCategory::KimiCache, {}));
        SlimTab tab(items);
        // Place 12 in the list: drawn first, in the AI group, yet coloured by its place.
        QCOMPARE(tab.view->rowIDs().at(1), diskSlimTitle(DiskSlimCategory::KimiCache));
        const QRect content = tab.view->contentRect(diskSlimTitle(items[12].category));
        const QImage picture = tab.view->listCanvas()->grab().toImage();
        QCOMPARE(picture.pixel(content.left() + 3, content.center().y()), spectrum()[1].rgb());
    }

    void revealUsesThePathsExactBytes()
    {
        const QByteArray odd = "/h/.cache/pip/na\xffme\nwith newline";
        SlimTab tab({item(DiskSlimCategory::PythonPipUvCache, {odd})});
        tab.view->setExpanded(DiskSlimCategory::PythonPipUvCache, true);
        tab.click(tab.view->revealRect(SlimTab::path(odd)));
        QCOMPARE(tab.workspace.revealed, QByteArrayList{odd});
        QVERIFY(tab.shown(0).subItems[0].isSelected); // revealing is not ticking
    }
};

QTEST_MAIN(DiskSlimViewTest)
#include "DiskSlimViewTest.moc"
