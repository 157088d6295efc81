#include "Scenes.h"

#include "DiskSlimView.h"
#include "GeekWidgets.h"
#include "MenuBarView.h"
#include "PanelStates.h"
#include "RecordingWorkspace.h"
#include "SettingsForm.h"
#include "SettingsView.h"
#include "StoredRecords.h"
#include "TrashTabViews.h"
#include "UiLanguage.h"
#include "ViewModelRig.h"

#include <QDragEnterEvent>
#include <QMessageBox>
#include <QMimeData>
#include <QTest>

#include <functional>

namespace rubbly::test {

namespace {

struct PanelScene {
    const char* name;
    std::function<void(ViewModelRig&, RecordingWorkspace&)> before; // before the view exists
    std::function<void(ViewModelRig&, MenuBarView&)> after;
};

// A gate that stays shut until the program ends: the flow waiting on it stays where it is.
Cancellation* holdGate()
{
    static QObject owner;
    return new Cancellation(&owner);
}

void hover(QWidget* widget)
{
    QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
    QCoreApplication::sendEvent(widget, &enter);
}

TrashAccessProblem rootOwned(const QByteArray& trash)
{
    return TrashAccessProblem{TrashAccessProblem::Kind::NotOwned, trash, trash, 0, 0700};
}

TrashStatus longNamedTrash()
{
    TrashStatus status = fullTrash();
    status.topItems[0].name =
        QStringLiteral("Screen Recording 2026-02-14 at 10.42.17 - quarterly review, final cut (2).webm");
    status.topItems[1].name = QStringLiteral("非常长的文件名称用于测试中间截断效果的季度财务报告最终版本第三稿.pdf");
    return status;
}

const auto kShowing = [](TrashStatus status) {
    return [status](ViewModelRig& rig, RecordingWorkspace&) { rig.trash.status = status; };
};

void scanned(ViewModelRig& rig, MenuBarView&)
{
    auto scan = rig.vm->refresh();
    finish(scan);
}

// After the first scan has landed, `more`.
std::function<void(ViewModelRig&, MenuBarView&)> scannedThen(std::function<void(ViewModelRig&, MenuBarView&)> more)
{
    return [more](ViewModelRig& rig, MenuBarView& view) {
        scanned(rig, view);
        more(rig, view);
    };
}

TrashVisualizationView* visualization(MenuBarView& view)
{
    return view.trashTab()->statusView()->visualization();
}

// The fake slim engine finds the sample items; `more` adjusts it.
std::function<void(ViewModelRig&, RecordingWorkspace&)> slim(std::function<void(ViewModelRig&)> more = {})
{
    return [more](ViewModelRig& rig, RecordingWorkspace&) {
        rig.slimService = &rig.fakeSlim;
        rig.fakeSlim.result = slimItems(rig.clock.now());
        if (more)
            more(rig);
    };
}

// Opens the slim tab, which starts the scan; `wait` lets it get as far as the engine allows.
void openSlimTab(ViewModelRig& rig, MenuBarView& view, bool wait)
{
    view.selectTab(MenuBarTab::Slim);
    const QString detecting = QCoreApplication::translate("ViewModel", "Finding installed applications…");
    // The installed-application lookup runs on a thread of its own.
    (void)QTest::qWaitFor([&rig, &detecting] { return rig.vm->slimScanProgressText() != detecting; }, wait ? 3000 : 0);
    (void)QTest::qWaitFor([&rig] { return !rig.vm->isScanningSlim(); }, wait && !rig.fakeSlim.scanGate ? 3000 : 0);
    settle();
}

std::function<void(ViewModelRig&, MenuBarView&)> slimTab(bool wait,
                                                         std::function<void(ViewModelRig&, MenuBarView&)> more = {})
{
    return [wait, more](ViewModelRig& rig, MenuBarView& view) {
        openSlimTab(rig, view, wait);
        if (more)
            more(rig, view);
        settle();
    };
}

void emptyWithOneFailure(ViewModelRig& rig, MenuBarView& view)
{
    scanned(rig, view);
    rig.trash.emptyResult = TrashCleanupResult{3, 300'000, 1, {}};
    auto empty = rig.vm->emptyTrash();
    finish(empty);
    settle();
}

QList<PanelScene> panelScenes()
{
    const auto record = [](std::chrono::hours ago) {
        return [ago](ViewModelRig& rig, RecordingWorkspace&) {
            rig.trash.status = fullTrash();
            saveRecord(rig.defaults, CleaningRecord{rig.clock.now() - ago, 1'288'490'188, 12}, kLastCleaningRecordKey);
        };
    };
    return {
        // The first scan never ends here, so the panel shows its placeholder.
        {"scanning", [](ViewModelRig& rig, RecordingWorkspace&) { rig.trash.scanGate = holdGate(); }, {}},
        {"permission-denied",
         [](ViewModelRig& rig, RecordingWorkspace& workspace) {
             rig.trash.status = TrashError{TrashServiceError::PermissionDenied, EACCES, {}};
             workspace.accessProblem = rootOwned("/home/user/.local/share/Trash");
         },
         scanned},
        {"permission-denied-all-well",
         [](ViewModelRig& rig, RecordingWorkspace&) {
             rig.trash.status = TrashError{TrashServiceError::PermissionDenied, EACCES, {}};
         },
         scanned},
        {"empty", kShowing(statusWith(0, 0)), scanned},
        {"full", kShowing(fullTrash()), scannedThen([](ViewModelRig&, MenuBarView& view) {
             visualization(view)->setHoveredRowID(topItemRowID(fullTrash().topItems[1]));
         })},
        {"full-hovered-kind-and-button", kShowing(fullTrash()), scannedThen([](ViewModelRig&, MenuBarView& view) {
             visualization(view)->setHoveredRowID(distributionRowID(FileCategory::Video));
             hover(view.refreshButton());
         })},
        {"full-hovered-empty-button", kShowing(fullTrash()),
         scannedThen([](ViewModelRig&, MenuBarView& view) { hover(view.trashTab()->emptyButton()); })},
        {"top-items-collapsed", kShowing(fullTrash()),
         scannedThen([](ViewModelRig&, MenuBarView& view) { visualization(view)->setTopExpanded(false); })},
        {"long-names", kShowing(longNamedTrash()), scannedThen([](ViewModelRig&, MenuBarView& view) {
             visualization(view)->setHoveredRowID(topItemRowID(longNamedTrash().topItems[1]));
         })},
        {"zero-byte-items", kShowing(zeroByteTrash()), scanned},
        {"cleaning", kShowing(fullTrash()), scannedThen([](ViewModelRig& rig, MenuBarView&) {
             rig.trash.emptyGate = holdGate();
             rig.vm->emptyTrash();
             settle();
         })},
        {"success", kShowing(fullTrash()), scannedThen([](ViewModelRig& rig, MenuBarView&) {
             rig.trash.emptyResult = TrashCleanupResult{7, 9'446'550'752, 0, {}};
             auto empty = rig.vm->emptyTrash();
             finish(empty);
             settle();
         })},
        {"error",
         [](ViewModelRig& rig, RecordingWorkspace&) {
             rig.trash.status = TrashError{TrashServiceError::FileSystem, EIO, {}};
         },
         scanned},
        {"failure-and-record-lines", record(std::chrono::hours(26)), emptyWithOneFailure},
        {"record-yesterday", record(std::chrono::hours(26)), scanned},
        {"record-older-day", record(std::chrono::hours(24 * 4)), scanned},
        {"drop-undo", kShowing(fullTrash()), scannedThen([](ViewModelRig& rig, MenuBarView&) {
             auto drop = rig.vm->moveToTrash({"/home/user/Downloads/setup.exe", "/home/user/Downloads/notes.txt"});
             finish(drop);
         })},
        {"restore-failure", kShowing(fullTrash()), scannedThen([](ViewModelRig& rig, MenuBarView& view) {
             rig.trash.restoreReport = TrashRestoreReport{
                 {},
                 {TrashError{TrashServiceError::FileSystem, EEXIST,
                             QStringLiteral("cannot restore /home/user/.local/share/Trash/files/holiday-2025-final-cut-"
                                            "4k.mov: its original place is taken (/home/user/Downloads/holiday-2025-"
                                            "final-cut-4k.mov)")}}};
             auto restore = rig.vm->restore({BinwellViewModel::entryOf(fullTrash().topItems[1])});
             finish(restore);
             visualization(view)->setHoveredRowID(topItemRowID(fullTrash().topItems[1]));
         })},
        {"confirmation", kShowing(fullTrash()),
         scannedThen([](ViewModelRig&, MenuBarView& view) { view.requestEmpty(); })},
        {"drop-target", kShowing(fullTrash()), scannedThen([](ViewModelRig&, MenuBarView& view) {
             QMimeData mime;
             mime.setData(QStringLiteral("text/uri-list"), "file:///home/user/Downloads/setup.exe\r\n");
             QDragEnterEvent enter(QPoint(100, 100), Qt::MoveAction, &mime, Qt::LeftButton, Qt::NoModifier);
             QCoreApplication::sendEvent(&view, &enter);
         })},
        // The slim tab, fed by a fake engine so each moment of a scan can be held.
        {"slim-scanning-no-items", slim([](ViewModelRig& rig) {
             rig.fakeSlim.scanGate = holdGate();
             rig.fakeSlim.reportBeforeGate = 0;
         }),
         slimTab(false)},
        {"slim-scanning-37-percent", slim([](ViewModelRig& rig) {
             rig.fakeSlim.scanGate = holdGate();
             rig.fakeSlim.reportBeforeGate = 10;
             rig.fakeSlim.categoryCount = 27;
         }),
         slimTab(true)},
        {"slim-scanning-without-text", slim(),
         slimTab(true, [](ViewModelRig& rig, MenuBarView&) { rig.showSlimWork(true, false); })},
        {"slim-all-clean", slim([](ViewModelRig& rig) { rig.fakeSlim.result.clear(); }), slimTab(true)},
        {"slim-all-clean-never-scanned", slim([](ViewModelRig& rig) {
             rig.fakeSlim.scanGate = holdGate();
             rig.fakeSlim.result.clear();
         }),
         slimTab(false, [](ViewModelRig& rig, MenuBarView&) { rig.showSlimWork(false, false); })},
        {"slim-list", slim(),
         slimTab(true,
                 [](ViewModelRig& rig, MenuBarView& view) {
                     DiskSlimView* tab = view.slimView();
                     tab->setExpanded(DiskSlimCategory::ChromeCache, true);
                     tab->setExpanded(DiskSlimCategory::RustCargoCache, true);
                     const DiskSlimItem& chrome = rig.vm->diskSlimItems()[3];
                     rig.vm->toggleSlimSubItem(chrome.category, chrome.subItems[1].path);
                     tab->setHoveredRowID(tab->rowIDs().at(tab->rowIDs().indexOf(diskSlimTitle(chrome.category)) + 1));
                 })},
        {"slim-hovered-category-long-path", slim([](ViewModelRig& rig) {
             rig.fakeSlim.result[0].subItems[0].name =
                 QStringLiteral("models--meta-llama--Meta-Llama-3.1-70B-Instruct-GGUF-Q4_K_M-with-a-long-tail");
         }),
         slimTab(true,
                 [](ViewModelRig& rig, MenuBarView& view) {
                     DiskSlimView* tab = view.slimView();
                     tab->setExpanded(rig.vm->diskSlimItems()[0].category, true);
                     tab->setHoveredRowID(diskSlimTitle(rig.vm->diskSlimItems()[1].category));
                 })},
        {"slim-nothing-selected", slim(),
         slimTab(true,
                 [](ViewModelRig& rig, MenuBarView&) {
                     for (const DiskSlimItem& item : rig.vm->diskSlimItems())
                         rig.vm->toggleSlimCategory(item.category);
                 })},
        {"slim-purging", slim([](ViewModelRig& rig) { rig.fakeSlim.purgeGate = holdGate(); }),
         slimTab(true,
                 [](ViewModelRig& rig, MenuBarView&) {
                     rig.vm->purgeSelectedSlimItems();
                     settle();
                 })},
        {"slim-purging-without-text", slim(),
         slimTab(true, [](ViewModelRig& rig, MenuBarView&) { rig.showSlimWork(false, true); })},
        {"slim-last-purged", slim([](ViewModelRig& rig) {
             rig.fakeSlim.purgeResult = SlimPurgeResult{5, 934'281'216};
         }),
         slimTab(true,
                 [](ViewModelRig& rig, MenuBarView&) {
                     auto purge = rig.vm->purgeSelectedSlimItems();
                     finish(purge);
                     (void)QTest::qWaitFor([&rig] { return !rig.vm->isScanningSlim(); }, 3000);
                 })},
        {"slim-failure-line", slim([](ViewModelRig& rig) { rig.trash.status = fullTrash(); }),
         [](ViewModelRig& rig, MenuBarView& view) {
             emptyWithOneFailure(rig, view);
             openSlimTab(rig, view, true);
         }},
    };
}

} // namespace

void forEachPanelScene(const std::function<void(const QString& name, QWidget& view)>& visit)
{
    for (const PanelScene& scene : panelScenes()) {
        ViewModelRig rig;
        RecordingWorkspace workspace;
        if (scene.before)
            scene.before(rig, workspace);
        rig.make();
        MenuBarView view(*rig.vm, rig.settings, workspace);
        view.show();
        view.panelAppeared();
        if (scene.after)
            scene.after(rig, view);
        settle();
        view.adjustSize();
        QCoreApplication::processEvents();
        visit(QString::fromLatin1(scene.name), view);
    }
}

namespace {

struct SettingsScene {
    const char* name;
    SidebarItem pane;
    std::function<void(ViewModelRig&, FakeUpdateService&, RecordingWorkspace&)> before;
    bool wayland = false;
    bool confirmationTurnedOff = false; // shows the one-time warning instead of the window
};

// Release notes are the manifest's, written in one language; the sample follows the interface's.
UpdateInfo sampleUpdate(bool notes)
{
    const QString chinese =
        QStringLiteral("1. 瘦身页支持按路径勾选\n\n2. 修复多个卷的废纸篓统计\n  \n3. 更快的首次扫描\n"
                       "4. 新增深色模式细节优化，并改进了在小屏幕上的排版与滚动体验\n5. 第五条不显示");
    const QString english =
        QStringLiteral("1. Tick single paths on the slim tab\n\n2. Trash folders of several volumes "
                       "counted right\n  \n3. A faster first scan\n4. Finer dark colours, and "
                       "better layout and scrolling on small screens\n5. A fifth note, not shown");
    const QString text = installedUiLanguage() == UiLanguage::Chinese ? chinese : english;
    return UpdateInfo{QStringLiteral("1.2.0"), notes ? text : QString(),
                      QUrl(QStringLiteral("https://rubbly.pages.dev/downloads/Rubbly.zip")), std::nullopt};
}

QList<SettingsScene> settingsScenes()
{
    using Rig = ViewModelRig;
    using Updates = FakeUpdateService;
    using Desk = RecordingWorkspace;
    const auto update = [](UpdateStatus status) {
        return [status](Rig&, Updates& updates, Desk&) { updates.setStatus(status); };
    };
    const auto shortcut = [](std::optional<KeyGrabber::Status> status, bool enabled = true) {
        return [status, enabled](Rig& rig, Updates&, Desk&) {
            rig.settings.setGlobalShortcutEnabled(enabled);
            if (status)
                rig.grabber.force(*status);
        };
    };
    const auto access = [](TrashAccessProblem problem) {
        return [problem](Rig&, Updates&, Desk& workspace) { workspace.accessProblem = problem; };
    };
    return {
        {"general", SidebarItem::General, {}},
        {"menuBar", SidebarItem::MenuBar, {}},
        {"menuBar-size-hidden", SidebarItem::MenuBar,
         [](Rig& rig, Updates&, Desk&) { rig.settings.setShowSizeInMenuBar(false); }},
        {"cleaning", SidebarItem::Cleaning, {}},
        {"automation", SidebarItem::Automation,
         [](Rig& rig, Updates&, Desk&) { rig.settings.setAutoCleanBySizeEnabled(true); }},
        {"automation-off", SidebarItem::Automation,
         [](Rig& rig, Updates&, Desk&) { rig.settings.setAutoCleanEnabled(false); }},
        {"automation-age-rule-off", SidebarItem::Automation,
         [](Rig& rig, Updates&, Desk&) {
             rig.settings.setAutoCleanByAgeEnabled(false);
             rig.settings.setAutoCleanBySizeEnabled(true);
         }},
        {"interaction", SidebarItem::Interaction, shortcut(std::nullopt)},
        {"interaction-shortcut-off", SidebarItem::Interaction, shortcut(std::nullopt, false)},
        {"interaction-shortcut-registering", SidebarItem::Interaction, shortcut(KeyGrabber::Status::Inactive)},
        {"interaction-shortcut-taken", SidebarItem::Interaction, shortcut(KeyGrabber::Status::Conflict)},
        {"interaction-shortcut-unsupported", SidebarItem::Interaction, shortcut(KeyGrabber::Status::Unavailable)},
        {"interaction-shortcut-wayland", SidebarItem::Interaction, shortcut(KeyGrabber::Status::Unavailable), true},
        {"permissions", SidebarItem::Permissions, access(rootOwned("/home/user/.local/share/Trash"))},
        {"permissions-all-well", SidebarItem::Permissions, {}},
        {"permissions-modes", SidebarItem::Permissions,
         access(TrashAccessProblem{TrashAccessProblem::Kind::NotWritable, "/home/user/.local/share/Trash/files",
                                   "/home/user/.local/share/Trash", 1000, 0500})},
        {"permissions-volume", SidebarItem::Permissions, access(rootOwned("/media/user/USB STICK/.Trash-1000"))},
        {"about", SidebarItem::About, {}},
        {"about-checking", SidebarItem::About, update(UpdateStatus::checking())},
        {"about-up-to-date", SidebarItem::About, update(UpdateStatus::upToDate())},
        {"about-update-available", SidebarItem::About, update(UpdateStatus::updateAvailable(sampleUpdate(true)))},
        {"about-update-without-notes", SidebarItem::About, update(UpdateStatus::updateAvailable(sampleUpdate(false)))},
        {"about-downloading", SidebarItem::About, update(UpdateStatus::downloading(0.42, sampleUpdate(true)))},
        {"about-downloading-99-percent", SidebarItem::About,
         update(UpdateStatus::downloading(0.999, sampleUpdate(true)))},
        {"about-ready-to-install", SidebarItem::About,
         update(UpdateStatus::readyToInstall("/tmp/Rubbly-Update/Rubbly.app", sampleUpdate(true)))},
        {"about-error", SidebarItem::About,
         update(UpdateStatus::error(
             QCoreApplication::translate("Update", "Download failed; try downloading it in a browser")))},
        // The one-time warning when the confirmation is first turned off.
        {"cleaning-confirmation-off-alert", SidebarItem::Cleaning, {}, false, true},
    };
}

SettingsView::Options sampleOptions(bool wayland)
{
    return SettingsView::Options{QStringLiteral("1.1.0 (1)"),
                                 wayland,
                                 {QUrl(QStringLiteral("https://rubbly.pages.dev/")),
                                  QUrl(QStringLiteral("https://codeberg.org/tolvik/rubbly")),
                                  QStringLiteral("tolvik/rubbly")}};
}

} // namespace

void forEachSettingsScene(const std::function<void(const QString& name, QWidget& view)>& visit)
{
    for (const SettingsScene& scene : settingsScenes()) {
        ViewModelRig rig;
        FakeUpdateService updates;
        RecordingWorkspace workspace;
        rig.settings.setGlobalShortcutEnabled(true);
        rig.settings.setAutoCleanEnabled(true);
        rig.shortcut.start();
        if (scene.before)
            scene.before(rig, updates, workspace);
        SettingsView view(rig.settings, updates, rig.shortcut, workspace, sampleOptions(scene.wayland));
        view.resize(780, 520);
        view.show();
        view.setSelection(scene.pane);
        for (FormRow* row : view.findChildren<FormRow*>()) {
            if (scene.confirmationTurnedOff &&
                row->control()->accessibleName() == QCoreApplication::translate("Settings", "Ask before emptying"))
                static_cast<QAbstractButton*>(row->control())->click();
        }
        settle();
        QCoreApplication::processEvents();
        if (!scene.confirmationTurnedOff)
            visit(QString::fromLatin1(scene.name), view);
        else if (QMessageBox* warning = view.confirmOffWarning()) {
            warning->adjustSize();
            visit(QString::fromLatin1(scene.name), *warning);
        }
    }
}

} // namespace rubbly::test
