// Renders every state of the panel offscreen, light and dark, at a device-pixel ratio of 2, into PNG
// files: panel-gallery [OUTPUT_FOLDER]. The pictures are for people: look at them after changing a view.

#include "DiskSlimView.h"
#include "MenuBarView.h"
#include "Motion.h"
#include "PanelStates.h"
#include "QtAppearance.h"
#include "RecordingWorkspace.h"
#include "SettingsView.h"
#include "StoredRecords.h"
#include "TrashTabViews.h"
#include "ViewModelRig.h"

#include <QApplication>
#include <QDir>
#include <QDragEnterEvent>
#include <QMimeData>
#include <QPainter>
#include <QTest>

#include <functional>

using namespace rubbly;
using namespace rubbly::test;

namespace {

struct Scene {
    const char* name;
    std::function<void(ViewModelRig&)> before; // before the view exists
    std::function<void(ViewModelRig&, MenuBarView&)> after;
};

// A gate that stays shut until the program ends: the flow waiting on it stays where it is.
Cancellation* holdGate()
{
    static QObject owner;
    return new Cancellation(&owner);
}

void settleFor(ViewModelRig& rig, QCoro::Task<void>& task)
{
    finish(task);
    settle();
    Q_UNUSED(rig);
}

QImage render(QWidget& widget)
{
    widget.adjustSize();
    QCoreApplication::processEvents();
    QImage image(widget.size() * 2, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(2);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    widget.render(&painter);
    return image;
}

// A scene on the fake slim engine that finds the sample items; `more` adjusts it.
std::function<void(ViewModelRig&)> slim(std::function<void(ViewModelRig&)> more)
{
    return [more](ViewModelRig& rig) {
        rig.slimService = &rig.fakeSlim;
        rig.fakeSlim.result = slimItems(rig.clock.now());
        if (more)
            more(rig);
    };
}

// Opens the slim tab, which starts the scan; `wait` lets it get as far as the engine allows.
std::function<void(ViewModelRig&, MenuBarView&)> slimTab(bool wait)
{
    return [wait](ViewModelRig& rig, MenuBarView& view) {
        view.selectTab(MenuBarTab::Slim);
        // The installed-application lookup runs on a thread of its own.
        (void)QTest::qWaitFor(
            [&rig] { return rig.vm->slimScanProgressText() != QStringLiteral("正在检测已安装 App…"); },
            wait ? 3000 : 0);
        (void)QTest::qWaitFor([&rig] { return !rig.vm->isScanningSlim(); }, wait && !rig.fakeSlim.scanGate ? 3000 : 0);
        settle();
    };
}

QList<Scene> scenes()
{
    const auto showing = [](TrashStatus status) { return [status](ViewModelRig& rig) { rig.trash.status = status; }; };
    const auto scanned = [](ViewModelRig& rig, MenuBarView&) {
        auto scan = rig.vm->refresh();
        finish(scan);
    };
    return {
        // The first scan never ends here, so the panel shows its placeholder.
        {"scanning", [](ViewModelRig& rig) { rig.trash.scanGate = holdGate(); }, {}},
        {"permission-denied",
         [](ViewModelRig& rig) {
             rig.trash.status = TrashError{TrashServiceError::PermissionDenied, EACCES, {}};
         },
         scanned},
        {"empty", showing(statusWith(0, 0)), scanned},
        {"full", showing(fullTrash()),
         [scanned](ViewModelRig& rig, MenuBarView& view) {
             scanned(rig, view);
             auto* visualization = view.trashTab()->statusView()->visualization();
             visualization->setHoveredRowID(topItemRowID(fullTrash().topItems[1]));
         }},
        {"zero-byte-items", showing(zeroByteTrash()), scanned},
        {"cleaning", showing(fullTrash()),
         [scanned](ViewModelRig& rig, MenuBarView& view) {
             scanned(rig, view);
             rig.trash.emptyGate = holdGate();
             rig.vm->emptyTrash();
             settle();
         }},
        {"success", showing(fullTrash()),
         [scanned](ViewModelRig& rig, MenuBarView& view) {
             scanned(rig, view);
             rig.trash.emptyResult = TrashCleanupResult{7, 9'446'550'752, 0, {}};
             auto empty = rig.vm->emptyTrash();
             settleFor(rig, empty);
         }},
        {"error",
         [](ViewModelRig& rig) {
             rig.trash.status = TrashError{TrashServiceError::FileSystem, EIO, {}};
         },
         scanned},
        {"failure-and-record-lines",
         [](ViewModelRig& rig) {
             rig.trash.status = fullTrash();
             saveRecord(rig.defaults, CleaningRecord{rig.clock.now() - std::chrono::hours(26), 1'288'490'188, 12},
                        kLastCleaningRecordKey);
         },
         [scanned](ViewModelRig& rig, MenuBarView& view) {
             scanned(rig, view);
             rig.trash.emptyResult = TrashCleanupResult{3, 300'000, 1, {}};
             auto empty = rig.vm->emptyTrash();
             settleFor(rig, empty);
         }},
        {"confirmation", showing(fullTrash()),
         [scanned](ViewModelRig& rig, MenuBarView& view) {
             scanned(rig, view);
             view.requestEmpty();
         }},
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
        {"slim-all-clean", slim([](ViewModelRig& rig) { rig.fakeSlim.result.clear(); }), slimTab(true)},
        {"slim-list", slim({}),
         [](ViewModelRig& rig, MenuBarView& view) {
             slimTab(true)(rig, view);
             DiskSlimView* tab = view.slimView();
             tab->setExpanded(DiskSlimCategory::ChromeCache, true);
             tab->setExpanded(DiskSlimCategory::RustCargoCache, true);
             const DiskSlimItem& chrome = rig.vm->diskSlimItems()[3];
             rig.vm->toggleSlimSubItem(chrome.category, chrome.subItems[1].path);
             tab->setHoveredRowID(tab->rowIDs().at(tab->rowIDs().indexOf(diskSlimTitle(chrome.category)) + 1));
         }},
        {"slim-nothing-selected", slim({}),
         [](ViewModelRig& rig, MenuBarView& view) {
             slimTab(true)(rig, view);
             for (const DiskSlimItem& item : rig.vm->diskSlimItems())
                 rig.vm->toggleSlimCategory(item.category);
         }},
        {"slim-purging", slim([](ViewModelRig& rig) { rig.fakeSlim.purgeGate = holdGate(); }),
         [](ViewModelRig& rig, MenuBarView& view) {
             slimTab(true)(rig, view);
             rig.vm->purgeSelectedSlimItems();
             settle();
         }},
        {"drop-target", showing(fullTrash()),
         [scanned](ViewModelRig& rig, MenuBarView& view) {
             scanned(rig, view);
             QMimeData mime;
             mime.setData(QStringLiteral("text/uri-list"), "file:///home/user/Downloads/setup.exe\r\n");
             QDragEnterEvent enter(QPoint(100, 100), Qt::MoveAction, &mime, Qt::LeftButton, Qt::NoModifier);
             QCoreApplication::sendEvent(&view, &enter);
         }},
    };
}

} // namespace

// The settings window on every pane, and the About pane in every update state.
int renderSettings(const QString& folder, bool dark)
{
    ViewModelRig rig;
    FakeUpdateService updates;
    RecordingWorkspace workspace;
    rig.settings.setGlobalShortcutEnabled(true);
    rig.settings.setAutoCleanEnabled(true);
    rig.shortcut.start();
    SettingsView view(rig.settings, updates, rig.shortcut, workspace,
                      SettingsView::Options{QStringLiteral("1.1.0 (1)"),
                                            false,
                                            {QUrl(QStringLiteral("https://rubbly.pages.dev/")),
                                             QUrl(QStringLiteral("https://codeberg.org/tolvik/rubbly")),
                                             QStringLiteral("tolvik/rubbly")}});
    view.resize(780, 520);
    view.show();
    const QString scheme = dark ? QStringLiteral("dark") : QStringLiteral("light");
    int written = 0;
    const auto shoot = [&](const QString& name) {
        settle();
        const bool ok = render(view).save(QStringLiteral("%1/settings-%2-%3.png").arg(folder, name, scheme));
        written += ok ? 1 : 0;
        return ok;
    };
    for (SidebarItem item : kAllSidebarItems) {
        view.setSelection(item);
        if (!shoot(sidebarItemRawValue(item)))
            return -1;
    }
    UpdateInfo info{QStringLiteral("1.2.0"),
                    QStringLiteral("1. 瘦身页支持按路径勾选\n\n2. 修复多个卷的废纸篓统计\n  \n3. 更快的首次扫描\n"
                                   "4. 新增深色模式细节优化，并改进了在小屏幕上的排版与滚动体验\n5. 第五条不显示"),
                    QUrl(QStringLiteral("https://rubbly.pages.dev/downloads/Rubbly.zip")), std::nullopt};
    const QList<std::pair<QString, UpdateStatus>> states{
        {QStringLiteral("idle"), UpdateStatus::idle()},
        {QStringLiteral("checking"), UpdateStatus::checking()},
        {QStringLiteral("up-to-date"), UpdateStatus::upToDate()},
        {QStringLiteral("update-available"), UpdateStatus::updateAvailable(info)},
        {QStringLiteral("downloading"), UpdateStatus::downloading(0.42, info)},
        {QStringLiteral("ready-to-install"), UpdateStatus::readyToInstall("/tmp/Rubbly-Update/Rubbly.app", info)},
        {QStringLiteral("error"), UpdateStatus::error(QStringLiteral("自动下载失败，建议在浏览器中下载"))},
    };
    view.setSelection(SidebarItem::About);
    for (const auto& [name, status] : states) {
        updates.setStatus(status);
        if (!shoot(QStringLiteral("about-") + name))
            return -1;
    }
    return written;
}

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    motion::setEnabled(false);
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("gallery");
    QDir().mkpath(folder);
    QtAppearanceApplier appearance(nullptr);
    int written = 0;
    for (const bool dark : {false, true}) {
        appearance.applyAppearance(dark ? AppAppearance::Dark : AppAppearance::Light);
        for (const Scene& scene : scenes()) {
            ViewModelRig rig;
            if (scene.before)
                scene.before(rig);
            rig.make();
            RecordingWorkspace workspace;
            MenuBarView view(*rig.vm, rig.settings, workspace);
            view.show();
            view.panelAppeared();
            if (scene.after)
                scene.after(rig, view);
            settle();
            const QString file = QStringLiteral("%1/panel-%2-%3.png")
                                     .arg(folder, QString::fromLatin1(scene.name),
                                          dark ? QStringLiteral("dark") : QStringLiteral("light"));
            if (!render(view).save(file)) {
                qCritical("cannot write %s", qPrintable(file));
                return 1;
            }
            ++written;
        }
        const int settings = renderSettings(folder, dark);
        if (settings < 0) {
            qCritical("cannot write the settings pictures to %s", qPrintable(folder));
            return 1;
        }
        written += settings;
    }
    qInfo("panel-gallery: wrote %d pictures to %s", written, qPrintable(folder));
    return 0;
}
