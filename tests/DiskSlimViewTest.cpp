#include "DiskSlimView.h"
#include "Motion.h"
#include "PanelLogic.h"
#include "RecordingWorkspace.h"
#include "StoredRecords.h"
#include "ViewModelRig.h"

#include <QTest>

using namespace rubbly;
using namespace rubbly::test;

namespace {

DiskSlimItem item(DiskSlimCategory category, QList<QByteArray> paths = {})
{
    DiskSlimItem result{category, 1000 * std::max(qsizetype(1), paths.size()), 1, true, {}};
    for (const QByteArray& path : paths)
        result.subItems.append({QString::fromUtf8(path.mid(path.lastIndexOf('/') + 1)), path, 1000, {}});
    return result;
}

// The slim tab on a fake engine, its items the stored snapshot of a recent scan.
struct SlimTab {
    ViewModelRig rig;
    RecordingWorkspace workspace;
    std::unique_ptr<DiskSlimView> view;

    explicit SlimTab(const QList<DiskSlimItem>& items)
    {
        rig.slimService = &rig.fakeSlim;
        rig.fakeSlim.result = items;
        saveSlimSnapshot(rig.defaults, DiskSlimSnapshot{rig.clock.now(), items});
        rig.make();
        view = std::make_unique<DiskSlimView>(*rig.slimVm, workspace);
        view->resize(296, 700);
        view->show();
        view->appeared();
        QTRY_VERIFY_WITH_TIMEOUT(!rig.slimVm->isScanningSlim(), 5000);
        settle();
    }
    void click(const QRect& where)
    {
        QVERIFY(where.isValid());
        QTest::mouseClick(view->listCanvas(), Qt::LeftButton, {}, where.center());
        settle();
    }
    const DiskSlimItem& shown(int index) const { return rig.slimVm->diskSlimItems().at(index); }
    static QString path(const QByteArray& bytes) { return fileUrlString(bytes).mid(7); }
};

} // namespace

class DiskSlimViewTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { motion::setEnabled(false); }

    // How a tick spreads over the paths and back is the view model's rule, tested there; here each
    // place of a row reaches it.
    void ticksFollowTheCategoryAndItsPaths()
    {
        SlimTab tab({item(DiskSlimCategory::GoCache, {"/h/go/a", "/h/go/b", "/h/go/c"})});
        const QString go = diskSlimTitle(DiskSlimCategory::GoCache);
        tab.click(tab.view->checkRect(go));
        QVERIFY(!tab.shown(0).isSelected);
        tab.click(tab.view->checkRect(go));
        QVERIFY(tab.shown(0).isSelected);
        tab.click(tab.view->contentRect(go)); // the row's content folds it open
        QVERIFY(tab.view->isExpanded(DiskSlimCategory::GoCache));
        tab.click(tab.view->checkRect(SlimTab::path("/h/go/a")));
        tab.click(tab.view->contentRect(SlimTab::path("/h/go/b"))); // the row itself ticks too
        QCOMPARE(tab.view->headerSizeText(), QStringLiteral("1000B selected"));
    }

    void theKeyboardFocusStaysOnItsRowWhenTheListChanges()
    {
        SlimTab tab({item(DiskSlimCategory::NpmCache, {"/h/.npm/a", "/h/.npm/b"}), item(DiskSlimCategory::GoCache)});
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
        tab.rig.fakeSlim.result.insert(1, item(DiskSlimCategory::YarnCache));
        finish(tab.rig.slimVm->scanSlim(true));
        settle();
        QTest::keyClick(canvas, Qt::Key_Space);
        settle();
        QCOMPARE(tab.shown(2).category, DiskSlimCategory::GoCache);
        QVERIFY(!tab.shown(2).isSelected);
        QVERIFY(tab.shown(0).isSelected && tab.shown(1).isSelected);
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
