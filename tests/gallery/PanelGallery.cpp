// Renders every state of the panel offscreen, light and dark, at a device-pixel ratio of 2, into PNG
// files: panel-gallery [OUTPUT_FOLDER]. The pictures are for people: look at them after changing a view.

#include "MenuBarView.h"
#include "Motion.h"
#include "PanelStates.h"
#include "QtAppearance.h"
#include "RecordingWorkspace.h"
#include "StoredRecords.h"
#include "TrashTabViews.h"
#include "ViewModelRig.h"

#include <QApplication>
#include <QDir>
#include <QDragEnterEvent>
#include <QMimeData>
#include <QPainter>

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
             rig.trash.emptyResult = TrashCleanupResult{7, 9'446'550'752, 0};
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
             rig.trash.emptyResult = TrashCleanupResult{3, 300'000, 1};
             auto empty = rig.vm->emptyTrash();
             settleFor(rig, empty);
         }},
        {"confirmation", showing(fullTrash()),
         [scanned](ViewModelRig& rig, MenuBarView& view) {
             scanned(rig, view);
             view.requestEmpty();
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
    }
    qInfo("panel-gallery: wrote %d pictures to %s", written, qPrintable(folder));
    return 0;
}
