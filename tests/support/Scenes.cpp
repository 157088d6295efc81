#include "Scenes.h"

#include "AllItemsView.h"
#include "DiskSlimSnapshot.h"
#include "DiskSlimView.h"
#include "GeekWidgets.h"
#include "MenuBarView.h"
#include "RecordingWorkspace.h"
#include "SettingsForm.h"
#include "SettingsView.h"
#include "StoredRecords.h"
#include "TrashEntryFilterModel.h"
#include "TrashTabViews.h"
#include "UiLanguage.h"
#include "ViewModelRig.h"

#include <QDragEnterEvent>
#include <QFile>
#include <QListView>
#include <QMessageBox>
#include <QMimeData>
#include <QTest>

#include <functional>

namespace rubbly::test {

namespace {

TrashItemDetail entry(const char* name, qint64 size, FileCategory category)
{
    TrashItemDetail item;
    item.name = QString::fromUtf8(name);
    item.trashFolder = "/home/user/.local/share/Trash";
    item.path = item.trashFolder + "/files/" + name;
    item.originalPath = QByteArray("/home/user/Downloads/") + name;
    item.size = size;
    item.category = category;
    return item;
}

TrashStatus statusOf(const QList<TrashItemDetail>& items)
{
    TrashStatus status;
    status.topItems = items;
    for (const TrashItemDetail& item : items) {
        status.totalSize += item.size;
        status.categoryDistribution[item.category] += item.size;
    }
    status.itemCount = static_cast<int>(items.size());
    return status;
}

} // namespace

TrashStatus fullTrash()
{
    TrashStatus status = statusOf({
        entry("ubuntu-24.04-desktop-amd64.iso", 6'114'246'656, FileCategory::Archive),
        entry("holiday-2025-final-cut-4k.mov", 2'350'000'000, FileCategory::Video),
        entry("node_modules-backup-of-the-old-monorepo", 912'000'000, FileCategory::Development),
        entry("IMG_20251107_183355_panorama.heic", 48'300'000, FileCategory::Image),
        entry("季度报告 2025 Q3 最终版.pdf", 12'400'000, FileCategory::Document),
        entry("podcast-episode-42.flac", 9'800'000, FileCategory::Audio),
        entry("notes.unknownext", 4'096, FileCategory::Other),
    });
    status.topItems[4].originalPath.reset(); // no info file: nowhere to put it back
    return status;
}

TrashEntryList sampleListing(Timestamp now)
{
    const char* const paths[] = {
        "/home/user/Downloads/invoice-2026-11.pdf",
        "/home/user/文档/年度报告 2026 初稿.docx",
        "/home/user/Projects/rubbly/build-old",
        "/home/user/Pictures/Screenshots/Screenshot from 2026-12-07 09-14-55.png",
        "/home/user/Downloads/report-q3-final.xlsx",
        "/home/user/Music/podcast-episode-41.mp3",
        "/media/user/USB STICK/DCIM/IMG_0042.JPG",
        "/home/user/Desktop/todo.txt",
        "/home/user/Videos/会议录像 2026-11-30.mp4",
        "/home/user/Downloads/ubuntu-24.04-desktop-amd64.iso",
        "/home/user/Projects/site/node_modules.tar.gz",
        "/home/user/Documents/Report draft (old).odt",
        "/home/user/.config/app/settings.json.bak",
        "/home/user/Downloads/setup.exe",
        "/home/user/Pictures/holiday/DSC_1187.NEF",
        "/home/user/Documents/letters/cover-letter-v3.pdf",
        "/home/user/Music/录音/采访 第二段.m4a",
        "/home/user/Projects/rubbly/notes.md",
        "/home/user/Downloads/fonts.zip",
        "/home/user/Desktop/untitled folder",
        "/home/user/Documents/scan0001.pdf",
        "/home/user/Downloads/report-q2.xlsx",
        "/home/user/Videos/clip.webm",
    };
    const QByteArray trash = "/home/user/.local/share/Trash";
    TrashEntryList list;
    int n = 0;
    for (const char* path : paths) {
        const QByteArray original(path);
        const QByteArray name = original.mid(original.lastIndexOf('/') + 1);
        TrashItemDetail item;
        item.trashFolder = trash;
        item.path = trash + "/files/" + name;
        item.originalPath = original;
        item.category = categoryFor(QString::fromUtf8(name));
        item.isDirectory = !name.contains('.');
        item.size = (static_cast<qint64>(n * 7919 % 97) + 1) * (n % 3 == 0 ? 31'000'000 : 41'000);
        item.deletionDate = now - std::chrono::minutes(3) - std::chrono::hours(17 * n++);
        list.append(item);
    }
    TrashItemDetail stray;
    stray.trashFolder = trash;
    stray.path = trash + "/files/recovered-without-info.bin";
    stray.size = 512;
    list.append(stray);
    list.finish();
    return list;
}

TrashStatus zeroByteTrash()
{
    return statusOf(
        {entry("empty-folder", 0, FileCategory::Other), entry("placeholder.txt", 0, FileCategory::Document)});
}

namespace {

// A slim scan result over several groups, every category with paths, times counted back from `now`.
QList<DiskSlimItem> slimItems(Timestamp now)
{
    struct Row {
        DiskSlimCategory category;
        QList<std::pair<const char*, qint64>> paths;
        int daysOld;
    };
    const QList<Row> rows{
        {DiskSlimCategory::HuggingFaceCache,
         {{"models--meta-llama--Llama-3.1-8B", 16'106'127'360}, {"datasets", 734'003'200}},
         3},
        {DiskSlimCategory::OllamaCache, {{"blobs", 4'831'838'208}}, 12},
        {DiskSlimCategory::WechatCache, {{"Cache", 1'288'490'188}, {"Temp", 52'428'800}}, 0},
        {DiskSlimCategory::ChromeCache,
         {{"Default/Cache", 943'718'400}, {"Default/Code Cache", 188'743'680}, {"Profile 1/Cache", 75'497'472}},
         1},
        {DiskSlimCategory::FirefoxCache, {{"xk4w2bqv.default-release/cache2", 402'653'184}}, 2},
        {DiskSlimCategory::FigmaCache, {{"DesktopProfile", 96'468'992}}, 40},
        {DiskSlimCategory::RustCargoCache, {{"registry", 2'147'483'648}, {"git", 536'870'912}}, 5},
        {DiskSlimCategory::GoCache, {{"go-build", 1'610'612'736}}, 8},
        {DiskSlimCategory::PythonPipUvCache, {{"pip", 314'572'800}, {"uv", 1'073'741'824}}, 20},
        {DiskSlimCategory::NpmCache, {{"_cacache", 880'803'840}}, 1},
        {DiskSlimCategory::PnpmStore, {{"v3", 2'684'354'560}}, 4},
        {DiskSlimCategory::JetbrainsCache, {{"IntelliJIdea2025.2", 1'181'116'006}, {"CLion2025.2", 660'602'880}}, 9},
        {DiskSlimCategory::DmgInstallers,
         {{"Downloads/balena-etcher-2.1.0-x64.AppImage", 104'857'600},
          {"Downloads/code_1.106.0_amd64.deb", 111'149'056}},
         33},
        {DiskSlimCategory::SystemLogs, {{"journal-user-1000", 167'772'160}}, 0},
    };
    QList<DiskSlimItem> items;
    for (const Row& row : rows) {
        DiskSlimItem item;
        item.category = row.category;
        int n = 0;
        for (const auto& [name, size] : row.paths) {
            DiskSlimSubItem sub;
            sub.name = QString::fromUtf8(name);
            sub.path = QByteArray("/home/user/.cache/") + diskSlimInfo(row.category).rowID + '/' + name;
            sub.size = size;
            sub.isDirectory = true;
            sub.modificationDate = now - std::chrono::hours(24 * row.daysOld + 3 * n++);
            item.size += size;
            item.subItems.append(sub);
        }
        item.fileCount = 100;
        items.append(item);
    }
    return items;
}

// What a panel scene works on: the rig before the view exists, then the view too.
struct Stage {
    ViewModelRig rig;
    RecordingWorkspace workspace;
    MenuBarView* view = nullptr;
    BinwellViewModel& vm() const { return *rig.vm; }
    SlimViewModel& slimVm() const { return *rig.slimVm; }
    TrashTabView* trashTab() const { return part<TrashTabView>(*view); }
    DiskSlimView* slimView() const { return part<DiskSlimView>(*view); }
    TrashVisualizationView* chart() const { return trashTab()->statusView()->visualization(); }
};
using Step = std::function<void(Stage&)>;

struct PanelScene {
    const char* name;
    Step before; // before the view exists
    Step after;
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
    return TrashAccessProblem{TrashAccessProblem::Kind::NotOwned, trash, trash, 0, 0700, {}};
}

TrashStatus longNamedTrash()
{
    TrashStatus status = fullTrash();
    status.topItems[0].name =
        QStringLiteral("Screen Recording 2026-02-14 at 10.42.17 - quarterly review, final cut (2).webm");
    status.topItems[1].name = QStringLiteral("非常长的文件名称用于测试中间截断效果的季度财务报告最终版本第三稿.pdf");
    return status;
}

Step showing(const TrashStatusResult& status, std::optional<TrashAccessProblem> problem = {})
{
    return [status, problem](Stage& s) {
        s.rig.trash.status = status;
        s.workspace.accessProblem = problem;
    };
}

// A record of a cleaning `ago`, over a full Trash.
Step recorded(std::chrono::hours ago)
{
    return [ago](Stage& s) {
        s.rig.trash.status = fullTrash();
        saveRecord(s.rig.defaults, CleaningRecord{s.rig.clock.now() - ago, 1'288'490'188, 12}, kLastCleaningRecordKey);
    };
}

// A Trash tab scene: `before` readies the rig, the view shows what the first scan found, then `more`.
PanelScene scanned(const char* name, const Step& before, const Step& more = {})
{
    return {name, before, [more](Stage& s) {
                finish(s.vm().refresh());
                if (more)
                    more(s);
            }};
}
PanelScene full(const char* name, const Step& more)
{
    return scanned(name, showing(fullTrash()), more);
}

// The trash tab's list of every entry over the sample listing, searching for `query`; then `more`.
PanelScene allItems(const char* name, const char* query, const Step& more = {})
{
    return scanned(
        name,
        [](Stage& s) {
            s.rig.trash.status = fullTrash();
            s.rig.trash.entryList = sampleListing(s.rig.clock.now());
        },
        [query, more](Stage& s) {
            s.trashTab()->openAllItems();
            settle();
            s.trashTab()->allItemsView()->setQuery(QString::fromUtf8(query));
            if (more)
                more(s);
        });
}

// What the engine says of an entry whose place is taken: `place` is below the stage's home.
TrashError takenPlace(Stage& s, const QByteArray& entry, const QByteArray& place)
{
    const QByteArray home = QFile::encodeName(s.rig.home.home());
    return TrashError{TrashServiceError::FileSystem,
                      EEXIST,
                      QStringLiteral("cannot restore %1: its original place is taken").arg(QString::fromUtf8(entry)),
                      TrashFailure::PlaceTaken,
                      home + place,
                      {}};
}

void emptyWithOneFailure(Stage& s)
{
    const QByteArray files = QFile::encodeName(s.rig.home.dataHome()) + "/Trash/files/";
    const TrashError heldMount{TrashServiceError::FileSystem,
                               0,
                               QStringLiteral("backup-disk holds a mount point"),
                               TrashFailure::HoldsMountPoint,
                               files + "backup-disk",
                               files + "backup-disk/mnt"};
    s.rig.trash.emptyResult = TrashCleanupResult{3, 300'000, 1, {heldMount}};
    finish(s.vm().emptyTrash());
    settle();
}

// The fake slim engine finds the sample items; `more` adjusts it.
Step slimFinds(const Step& more = {})
{
    return [more](Stage& s) {
        s.rig.slimService = &s.rig.fakeSlim;
        s.rig.fakeSlim.result = slimItems(s.rig.clock.now());
        if (more)
            more(s);
    };
}

// Opens the slim tab, which starts the scan; `wait` lets it get as far as the engine allows.
void openSlimTab(Stage& s, bool wait)
{
    s.view->selectTab(MenuBarTab::Slim);
    const QString detecting = QCoreApplication::translate("ViewModel", "Finding installed applications…");
    // The installed-application lookup runs on a thread of its own.
    (void)QTest::qWaitFor([&s, &detecting] { return s.slimVm().slimScanProgressText() != detecting; }, wait ? 3000 : 0);
    (void)QTest::qWaitFor([&s] { return !s.slimVm().isScanningSlim(); }, wait && !s.rig.fakeSlim.scanGate ? 3000 : 0);
    settle();
}

// The last purge removed five folders of 891 MB.
void purgedFiveFolders(Stage& s)
{
    s.rig.fakeSlim.purgeResult = {5, 934'281'216};
}

// A slim tab scene: the engine as `before` leaves it, the tab opened (see openSlimTab), then `more`.
PanelScene slim(const char* name, const Step& before, bool wait = true, const Step& more = {})
{
    return {name, slimFinds(before), [wait, more](Stage& s) {
                openSlimTab(s, wait);
                if (more)
                    more(s);
                settle();
            }};
}

// The slim engine's scan stops at its gate after reporting `reported` categories.
Step slimHeld(int reported, int categories = 0, bool finds = true)
{
    return [=](Stage& s) {
        s.rig.fakeSlim.scanGate = holdGate();
        s.rig.fakeSlim.reportBeforeGate = reported;
        if (categories)
            s.rig.fakeSlim.categoryCount = categories;
        if (!finds)
            s.rig.fakeSlim.result.clear();
    };
}

Step slimWork(bool scanning, bool purging)
{
    return [=](Stage& s) { s.rig.showSlimWork(scanning, purging); };
}

QList<PanelScene> panelScenes()
{
    using std::chrono::hours;
    const TrashError denied{TrashServiceError::PermissionDenied, EACCES, {}};
    const QByteArray home = "/home/user/.local/share/Trash";
    const TrashItemDetail second = fullTrash().topItems[1];
    return {
        // The first scan never ends here, so the panel shows its placeholder.
        {"scanning", [](Stage& s) { s.rig.trash.scanGate = holdGate(); }, {}},
        // The list opened during that scan: the reader needs none of it.
        {"all-items-while-scanning",
         [](Stage& s) {
             s.rig.trash.scanGate = holdGate();
             s.rig.trash.entryList = sampleListing(s.rig.clock.now());
         },
         [](Stage& s) {
             s.trashTab()->openAllItems();
             settle();
         }},
        scanned("permission-denied", showing(denied, rootOwned(home))),
        scanned("permission-denied-all-well", showing(denied)),
        scanned("empty", showing(statusWith(0, 0))),
        full("full", [second](Stage& s) { s.chart()->setHoveredRowID(topItemRowID(second)); }),
        full("full-hovered-kind-and-button",
             [](Stage& s) {
                 s.chart()->setHoveredRowID(distributionRowID(FileCategory::Video));
                 hover(part(*s.view, "refresh"));
             }),
        full("full-hovered-empty-button", [](Stage& s) { hover(s.trashTab()->emptyButton()); }),
        full("top-items-collapsed", [](Stage& s) { s.chart()->setTopExpanded(false); }),
        scanned("long-names", showing(longNamedTrash()),
                [](Stage& s) { s.chart()->setHoveredRowID(topItemRowID(longNamedTrash().topItems[1])); }),
        scanned("zero-byte-items", showing(zeroByteTrash())),
        full("cleaning",
             [](Stage& s) {
                 s.rig.trash.emptyGate = holdGate();
                 s.vm().emptyTrash();
                 settle();
             }),
        full("success",
             [](Stage& s) {
                 s.rig.trash.emptyResult = TrashCleanupResult{7, 9'446'550'752, 0, {}};
                 finish(s.vm().emptyTrash());
                 settle();
             }),
        scanned("error", showing(TrashError{TrashServiceError::FileSystem, EIO, {}})),
        scanned("failure-and-record-lines", recorded(hours(26)), emptyWithOneFailure),
        // A stick's trash folder refused: its entries are left out, and the line says why.
        scanned("folder-problem",
                [](Stage& s) {
                    TrashStatus status = fullTrash();
                    TrashFolderProblem refused{"/media/user/STICK/.Trash-1000",
                                               QStringLiteral("files/ is a symbolic link"), ELOOP};
                    refused.fault = TrashFolderFault::Link;
                    refused.part = TrashFolderPart::Files;
                    status.folderProblems = {refused};
                    s.rig.trash.status = status;
                }),
        scanned("record-yesterday", recorded(hours(26))),
        scanned("record-older-day", recorded(hours(24 * 4))),
        full("drop-undo",
             [](Stage& s) {
                 finish(s.vm().moveToTrash({"/home/user/Downloads/setup.exe", "/home/user/Downloads/notes.txt"}));
             }),
        full("restore-failure",
             [second](Stage& s) {
                 s.rig.trash.restoreReport =
                     TrashRestoreReport{{},
                                        {takenPlace(s, second.path, "/Downloads/holiday-2025-final-cut-4k.mov")},
                                        {BinwellViewModel::entryOf(second)}};
                 finish(s.vm().restore({BinwellViewModel::entryOf(second)}));
                 s.chart()->setHoveredRowID(topItemRowID(second));
             }),
        full("confirmation", [](Stage& s) { s.view->requestEmpty(); }),
        // The first start on Plasma or XFCE, whose trays draw no size: the offer, then what adding did.
        full("panel-item-offer", [](Stage& s) { s.view->offerPanelItem([] { return PanelItemOutcome{}; }); }),
        full("panel-item-added",
             [](Stage& s) {
                 const QString added =
                     QCoreApplication::translate("PanelItems", "Added the Rubbly widget (%1) to Plasma's panel; remove "
                                                               "it as any widget, in the panel's edit mode.");
                 const auto add = [added] { return PanelItemOutcome{true, added.arg(PanelItems::plasmaWidgetId(6))}; };
                 s.view->offerPanelItem(add);
                 part<QAbstractButton>(*s.view, "offerAdd")->click();
             }),
        allItems("all-items", "", [](Stage& s) { s.trashTab()->allItemsView()->setActionRow(1); }),
        allItems("all-items-search", "report"),
        allItems("all-items-search-chinese", "报告"),
        allItems("all-items-no-match", "invoice-2019"),
        allItems("all-items-largest-selection", "",
                 [](Stage& s) {
                     AllItemsView* list = s.trashTab()->allItemsView();
                     list->setOrder(TrashListOrder::LargestFirst);
                     for (const int row : {0, 2, 3})
                         list->listView()->selectionModel()->select(list->model()->index(row),
                                                                    QItemSelectionModel::Select);
                 }),
        allItems("all-items-confirm-delete", "",
                 [](Stage& s) {
                     AllItemsView* list = s.trashTab()->allItemsView();
                     list->listView()->setCurrentIndex(list->model()->index(0));
                     list->requestDeleteSelection();
                 }),
        allItems("all-items-put-back-failed", "todo",
                 [](Stage& s) {
                     AllItemsView* list = s.trashTab()->allItemsView();
                     const TrashEntryRef ref = list->model()->entries()->ref(list->model()->entryAt(0));
                     s.rig.trash.restoreReport =
                         TrashRestoreReport{{}, {takenPlace(s, "todo.txt", "/Desktop/todo.txt")}, {ref}};
                     finish(s.vm().restore({ref}));
                     settle();
                 }),
        full("drop-target",
             [](Stage& s) {
                 QMimeData mime;
                 mime.setData(QStringLiteral("text/uri-list"), "file:///home/user/Downloads/setup.exe\r\n");
                 QDragEnterEvent enter(QPoint(100, 100), Qt::MoveAction, &mime, Qt::LeftButton, Qt::NoModifier);
                 QCoreApplication::sendEvent(s.view, &enter);
             }),
        // The slim tab, fed by a fake engine so each moment of a scan can be held.
        slim("slim-scanning-no-items", slimHeld(0), false),
        slim("slim-scanning-37-percent", slimHeld(10, 27)),
        slim("slim-scanning-without-text", {}, true, slimWork(true, false)),
        slim("slim-all-clean", [](Stage& s) { s.rig.fakeSlim.result.clear(); }),
        slim("slim-all-clean-never-scanned", slimHeld(0, 0, false), false, slimWork(false, false)),
        slim(
            "slim-list",
            [](Stage& s) {
                // More paths than the snapshot keeps by name: the rest shows as a count.
                DiskSlimItem& chrome = s.rig.fakeSlim.result[3];
                chrome.unlistedCount = 1834;
                chrome.unlistedSize = 96'468'992;
                chrome.size += chrome.unlistedSize;
            },
            true,
            [](Stage& s) {
                DiskSlimView* tab = s.slimView();
                tab->setExpanded(DiskSlimCategory::ChromeCache, true);
                tab->setExpanded(DiskSlimCategory::RustCargoCache, true);
                // A copy: toggling replaces the view model's list, which a reference would outlive.
                const DiskSlimItem chrome = s.slimVm().diskSlimItems()[3];
                s.slimVm().toggleSlimSubItem(chrome.category, chrome.subItems[1].path);
                tab->setHoveredRowID(tab->rowIDs().at(tab->rowIDs().indexOf(diskSlimTitle(chrome.category)) + 1));
            }),
        slim(
            "slim-hovered-category-long-path",
            [](Stage& s) {
                s.rig.fakeSlim.result[0].subItems[0].name =
                    QStringLiteral("models--meta-llama--Meta-Llama-3.1-70B-Instruct-GGUF-Q4_K_M-with-a-long-tail");
            },
            true,
            [](Stage& s) {
                s.slimView()->setExpanded(s.slimVm().diskSlimItems()[0].category, true);
                s.slimView()->setHoveredRowID(diskSlimTitle(s.slimVm().diskSlimItems()[1].category));
            }),
        slim("slim-nothing-selected", {}, true,
             [](Stage& s) {
                 // Over a copy: each toggle replaces the view model's list.
                 const QList<DiskSlimItem> items = s.slimVm().diskSlimItems();
                 for (const DiskSlimItem& item : items)
                     s.slimVm().toggleSlimCategory(item.category);
             }),
        slim(
            "slim-purging", [](Stage& s) { s.rig.fakeSlim.purgeGate = holdGate(); }, true,
            [](Stage& s) {
                s.slimVm().purgeSelectedSlimItems();
                settle();
            }),
        slim("slim-purging-without-text", {}, true, slimWork(false, true)),
        slim("slim-last-purged", purgedFiveFolders, true,
             [](Stage& s) {
                 finish(s.slimVm().purgeSelectedSlimItems());
                 (void)QTest::qWaitFor([&s] { return !s.slimVm().isScanningSlim(); }, 3000);
             }),
        {"slim-failure-line", slimFinds(showing(fullTrash())),
         [](Stage& s) {
             finish(s.vm().refresh());
             emptyWithOneFailure(s);
             openSlimTab(s, true);
         }},
    };
}

} // namespace

void forEachPanelScene(const std::function<void(const QString& name, QWidget& view)>& visit)
{
    for (const PanelScene& scene : panelScenes()) {
        Stage stage;
        if (scene.before)
            scene.before(stage);
        stage.rig.make();
        MenuBarView view(stage.vm(), stage.slimVm(), stage.rig.settings, stage.workspace);
        stage.view = &view;
        view.show();
        view.panelAppeared();
        if (scene.after)
            scene.after(stage);
        settle();
        view.adjustSize();
        QCoreApplication::processEvents();
        visit(QString::fromLatin1(scene.name), view);
    }
}

namespace {

using Key = SettingsService::Key;

struct SettingsScene {
    const char* name;
    SidebarItem pane;
    QList<std::pair<Key, bool>> values = {};
    std::optional<UpdateStatus> update = {};
    std::optional<KeyGrabber::Status> shortcut = {};
    std::optional<TrashAccessProblem> access = {};
    bool wayland = false;
    bool confirmationTurnedOff = false; // shows the one-time warning instead of the window
    QString shortcutDetail = {};        // the desktop's trigger text or reason
    bool anonymous = false;             // started without an application id
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
    using S = SidebarItem;
    using Grab = KeyGrabber::Status;
    const UpdateInfo update = sampleUpdate(true);
    const TrashAccessProblem readOnly{TrashAccessProblem::Kind::NotWritable,
                                      "/home/user/.local/share/Trash/files",
                                      "/home/user/.local/share/Trash",
                                      1000,
                                      0500,
                                      {}};
    const QString failed = QCoreApplication::translate("Update", "Download failed; try downloading it in a browser");
    return {
        {"general", S::General},
        {"menuBar", S::MenuBar},
        {"menuBar-size-hidden", S::MenuBar, {{Key::ShowSizeInMenuBar, false}}},
        {"cleaning", S::Cleaning},
        {"automation", S::Automation, {{Key::AutoCleanBySizeEnabled, true}}},
        {"automation-off", S::Automation, {{Key::AutoCleanEnabled, false}}},
        {"automation-age-rule-off",
         S::Automation,
         {{Key::AutoCleanByAgeEnabled, false}, {Key::AutoCleanBySizeEnabled, true}}},
        {"interaction", S::Interaction},
        {"interaction-shortcut-off", S::Interaction, {{Key::GlobalShortcutEnabled, false}}},
        {"interaction-shortcut-registering", S::Interaction, {}, {}, Grab::Inactive},
        {"interaction-shortcut-taken", S::Interaction, {}, {}, Grab::Conflict},
        {"interaction-shortcut-unsupported", S::Interaction, {}, {}, Grab::Unavailable},
        {"interaction-shortcut-wayland", S::Interaction, {}, {}, Grab::Unavailable, {}, true},
        {"interaction-shortcut-bound",
         S::Interaction,
         {},
         {},
         Grab::Active,
         {},
         true,
         false,
         QStringLiteral("Shift+Alt+BackSpace")},
        {"interaction-shortcut-waiting", S::Interaction, {}, {}, Grab::Waiting, {}, true},
        {"interaction-shortcut-declined", S::Interaction, {}, {}, Grab::RefusedByUser, {}, true},
        {"interaction-shortcut-no-app-id", S::Interaction, {}, {}, Grab::RefusedByDesktop, {}, true, false, {}, true},
        {"interaction-shortcut-refused",
         S::Interaction,
         {},
         {},
         Grab::RefusedByDesktop,
         {},
         true,
         false,
         QStringLiteral("invalid app_id")},
        {"permissions", S::Permissions, {}, {}, {}, rootOwned("/home/user/.local/share/Trash")},
        {"permissions-all-well", S::Permissions},
        {"permissions-modes", S::Permissions, {}, {}, {}, readOnly},
        {"permissions-volume", S::Permissions, {}, {}, {}, rootOwned("/media/user/USB STICK/.Trash-1000")},
        {"about", S::About},
        {"about-checking", S::About, {}, UpdateStatus::checking()},
        {"about-up-to-date", S::About, {}, UpdateStatus::upToDate()},
        {"about-update-available", S::About, {}, UpdateStatus::updateAvailable(update)},
        {"about-update-without-notes", S::About, {}, UpdateStatus::updateAvailable(sampleUpdate(false))},
        {"about-downloading", S::About, {}, UpdateStatus::downloading(0.42, update)},
        {"about-downloading-99-percent", S::About, {}, UpdateStatus::downloading(0.999, update)},
        {"about-ready-to-install", S::About, {}, UpdateStatus::readyToInstall("/tmp/Rubbly-Update/Rubbly.app", update)},
        {"about-error", S::About, {}, UpdateStatus::error(failed)},
        // The one-time warning when the confirmation is first turned off.
        {"cleaning-confirmation-off-alert", S::Cleaning, {}, {}, {}, {}, false, true},
    };
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
        for (const auto& [key, value] : scene.values)
            rig.settings.setValue(key, value);
        if (scene.shortcut)
            rig.grabber.force(*scene.shortcut, scene.shortcutDetail, scene.anonymous);
        if (scene.update)
            updates.setStatus(*scene.update);
        workspace.accessProblem = scene.access;
        SettingsView view(
            rig.settings, updates, rig.shortcut, workspace,
            {QStringLiteral("1.1.0 (1)"),
             scene.wayland,
             {QUrl(QStringLiteral("https://rubbly.pages.dev/")),
              QUrl(QStringLiteral("https://codeberg.org/tolvik/rubbly")), QStringLiteral("tolvik/rubbly")},
             {QStringLiteral("GNOME")}});
        view.resize(780, 520);
        view.show();
        view.setSelection(scene.pane);
        if (scene.confirmationTurnedOff) {
            for (FormRow* row : view.findChildren<FormRow*>()) {
                if (row->control()->accessibleName() == QCoreApplication::translate("Settings", "Ask before emptying"))
                    static_cast<QAbstractButton*>(row->control())->click();
            }
        }
        settle();
        QCoreApplication::processEvents();
        if (!scene.confirmationTurnedOff)
            visit(QString::fromLatin1(scene.name), view);
        else if (QDialog* warning = view.confirmOffWarning()) {
            warning->adjustSize();
            visit(QString::fromLatin1(scene.name), *warning);
        }
    }
}

} // namespace rubbly::test
