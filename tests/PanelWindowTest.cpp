#include "PanelWindow.h"
#include "MenuBarView.h"
#include "Motion.h"
#include "PanelKeeper.h"
#include "RecordingWorkspace.h"
#include "ViewModelRig.h"

#include <QMimeData>
#include <QSignalSpy>
#include <QTest>

using namespace rubbly;
using namespace rubbly::test;
using namespace std::chrono_literals;
using namespace Qt::StringLiterals;

namespace {

const QRect kScreen(0, 32, 1280, 768); // a 32-high bar at the top

struct Host {
    ViewModelRig rig;
    RecordingWorkspace workspace;
    // A mouse button held down in another program; none: a program the display cannot see.
    std::optional<bool> buttonHeld = false;
    MenuBarView* view;
    PanelWindow window;

    Host()
        : view((rig.make(), new MenuBarView(*rig.vm, *rig.slimVm, rig.settings, workspace)))
        , window(view, rig.clock, PanelWindow::Anchor::HostCoordinates, [this] { return buttonHeld; })
    {
    }
    void send(QEvent::Type type) // what the window manager would tell the window
    {
        settle(); // the platform's own activation of a window just shown comes first
        QEvent event(type);
        QCoreApplication::sendEvent(&window, &event);
    }
    // A drag from another program: "enter", "leave" or "drop".
    void drag(const QString& how)
    {
        QMimeData mime;
        mime.setData(QStringLiteral("text/uri-list"), "file:///tmp/x\r\n");
        QDragLeaveEvent leave;
        QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(view, how == u"leave"_s  ? static_cast<QEvent*>(&leave)
                                          : how == u"drop"_s ? static_cast<QEvent*>(&drop)
                                                             : &enter);
    }
};

} // namespace

class PanelWindowTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { motion::setEnabled(false); }

    // Where the panel opens, whichever way it was asked for: against the bar that holds the item,
    // flush, on the anchor's screen. Screens are given as (geometry, available) pairs; bars are
    // struts (none: the available areas tell).
    void thePanelOpensAgainstTheBarOfTheItem_data()
    {
        QTest::addColumn<QVariant>("activation");
        QTest::addColumn<QVariant>("pointer");
        QTest::addColumn<bool>("fromMenu");
        QTest::addColumn<QList<QRect>>("screens");
        QTest::addColumn<QList<QRect>>("bars");
        QTest::addColumn<QRect>("placed");
        const QRect full(0, 0, 1280, 800);
        const QVariant none;
        const auto one = [&](QRect available) { return QList<QRect>{full, available}; };
        const QList<QRect> bottomBar{QRect(0, 768, 1280, 32)};
        QTest::newRow("top bar") << QVariant(QPoint(600, 16)) << none << false << one(kScreen) << QList<QRect>()
                                 << QRect(440, 32, 320, 348);
        QTest::newRow("bottom bar, item at its left end")
            << QVariant(QPoint(11, 784)) << none << false << one({0, 0, 1280, 768}) << QList<QRect>()
            << QRect(0, 420, 320, 348);
        QTest::newRow("left bar") << QVariant(QPoint(16, 400)) << none << false << one({32, 0, 1248, 800})
                                  << QList<QRect>() << QRect(32, 226, 320, 348);
        QTest::newRow("right bar, item at its bottom")
            << QVariant(QPoint(1264, 780)) << none << false << one({0, 0, 1248, 800}) << QList<QRect>()
            << QRect(928, 452, 320, 348);
        QTest::newRow("menu: the pointer beside the item")
            << none << QVariant(QPoint(40, 700)) << true << one(full) << bottomBar << QRect(0, 420, 320, 348);
        QTest::newRow("shortcut: the pointer elsewhere, the corner of the bar")
            << none << QVariant(QPoint(640, 400)) << false << one(full) << bottomBar << QRect(960, 420, 320, 348);
        QTest::newRow("a widget on the bar: its pointer over an older click")
            << QVariant(QPoint(1200, 784)) << QVariant(QPoint(100, 790)) << false << one(full) << bottomBar
            << QRect(0, 420, 320, 348);
        QTest::newRow("nothing known") << none << none << false << one(full) << QList<QRect>()
                                       << QRect(960, 0, 320, 348);
        QTest::newRow("no bar, a click low on the screen")
            << QVariant(QPoint(600, 700)) << none << false << one(full) << QList<QRect>() << QRect(440, 353, 320, 348);
        const QList<QRect> twoScreens{full, full, full.translated(1280, 0), full.translated(1280, 0)};
        const QList<QRect> rightBar{QRect(1280, 768, 1280, 32)};
        QTest::newRow("two screens, the bar on the right one")
            << none << none << false << twoScreens << rightBar << QRect(2240, 420, 320, 348);
        QTest::newRow("two screens, a click at the right one's left end")
            << QVariant(QPoint(1300, 784)) << none << false << twoScreens << rightBar << QRect(1280, 420, 320, 348);
        // A host may send any coordinate: an extreme one keeps the panel at that end of the bar.
        QTest::newRow("the far left and bottom") << QVariant(QPoint(INT_MIN, INT_MAX)) << none << false << one(kScreen)
                                                 << QList<QRect>() << QRect(0, 32, 320, 348);
    }
    void thePanelOpensAgainstTheBarOfTheItem()
    {
        QFETCH(QVariant, activation);
        QFETCH(QVariant, pointer);
        QFETCH(bool, fromMenu);
        QFETCH(QList<QRect>, screens);
        QFETCH(QList<QRect>, bars);
        QFETCH(QRect, placed);
        PanelSurroundings around{std::nullopt, std::nullopt, fromMenu, {}, bars};
        if (activation.isValid())
            around.activation = activation.toPoint();
        if (pointer.isValid())
            around.pointer = pointer.toPoint();
        for (qsizetype i = 0; i + 1 < screens.size(); i += 2)
            around.screens.append({screens[i], screens[i + 1]});
        QCOMPARE(placePanel(placed.size(), around).geometry, placed);
        // Openbox reported the panel at its frame's origin as it mapped it, and Qt sent that back
        // with the next resize: what the window system reports is put back.
        QCOMPARE(PanelWindow::correction(placed, around), std::nullopt);
        QCOMPARE(PanelWindow::correction(QRect(QPoint(0, 0), placed.size()), around).value_or(placed), placed);
    }

    // Pressing on a file in a file manager takes the focus; carrying it to the panel takes a second
    // or three. The panel waits while that button is held and while the drag is over it. Steps: a
    // button pressed ("press"; "unseen" where the display cannot tell) takes the focus away, as does
    // "away" without a button; "release", "enter", "leave", "drop", "activate" (the focus comes back),
    // "click" (the status item clicked), a time in milliseconds, "=open" or "=closed".
    void theFocusLeavingClosesOnlyOnceNoDragIsOnItsWay_data()
    {
        QTest::addColumn<QString>("gesture");
        QTest::addColumn<int>("closedAfter"); // milliseconds from the start; -1: it stays
        QTest::newRow("a second click on the item") << u"click =closed"_s << 0;
        // The press on the item takes the focus; the host's click comes with the release, before the
        // panel gave up waiting, and closes it.
        QTest::newRow("the item clicked while open") << u"press 250 =open release click"_s << 250;
        // A host whose click comes late: the panel closed on its own a moment before, and that click
        // does not open it again; a later one does.
        QTest::newRow("a late click does not reopen") << u"away 250 =closed 100 click =closed 300 click =open"_s << 250;
        QTest::newRow("a plain click elsewhere") << u"press 80 release"_s << 250;
        QTest::newRow("the focus taken without a button") << u"away"_s << 250;
        // After a drop the panel stays while the drop can be undone (a click elsewhere closes it at
        // once: TrayAppTest's drag onto the panel).
        QTest::newRow("dragged over the panel and dropped") << u"press 1600 enter 300 drop release"_s << 11900;
        QTest::newRow("dropped, then back to the panel") << u"press 1600 enter 300 drop release 3000 activate"_s << -1;
        QTest::newRow("dragged over, out again, released elsewhere")
            << u"press 1600 enter 300 leave 400 release"_s << 2600;
        QTest::newRow("held over the panel for a long time") << u"press 1000 enter 20000"_s << -1;
        QTest::newRow("the user comes back to the panel") << u"press 200 release activate"_s << -1;
        // XWayland cannot see a press in a native Wayland program (a file manager on GNOME).
        QTest::newRow("unseen press: a plain click") << u"unseen 80"_s << 3000;
        QTest::newRow("unseen press: dragged over the panel and dropped") << u"unseen 1600 enter 300 drop"_s << 11900;
        QTest::newRow("unseen press: dragged over and out again") << u"unseen 1600 enter 300 leave"_s << 4900;
    }
    void theFocusLeavingClosesOnlyOnceNoDragIsOnItsWay()
    {
        QFETCH(QString, gesture);
        QFETCH(int, closedAfter);
        Host host;
        host.window.open();
        host.send(QEvent::WindowActivate);
        const Timestamp start = host.rig.clock.now();
        std::optional<Timestamp> closedAt; // the first time
        connect(&host.window, &PanelWindow::closed, this, [&] { closedAt = closedAt.value_or(host.rig.clock.now()); });

        bool left = false;
        for (const QString& step : gesture.split(u' ', Qt::SkipEmptyParts)) {
            bool isNumber = false;
            const int ms = step.toInt(&isNumber);
            if (isNumber)
                host.rig.clock.advance(std::chrono::milliseconds(ms));
            else if (step == u"press"_s || step == u"unseen"_s)
                host.buttonHeld = step == u"press"_s ? std::optional(true) : std::nullopt;
            else if (step == u"release"_s)
                host.buttonHeld = false;
            else if (step == u"enter"_s || step == u"leave"_s || step == u"drop"_s)
                host.drag(step);
            else if (step == u"activate"_s)
                host.send(QEvent::WindowActivate);
            else if (step == u"click"_s)
                host.window.activate(QPoint(600, 10));
            else if (step.startsWith(u'='))
                QCOMPARE(host.window.isOpen(), step == u"=open"_s);
            // The first press is what takes the focus away.
            if ((step == u"press"_s || step == u"unseen"_s || step == u"away"_s) && !std::exchange(left, true))
                host.send(QEvent::WindowDeactivate);
        }
        host.rig.clock.advance(15s);
        const auto after =
            std::chrono::duration_cast<std::chrono::milliseconds>(closedAt.value_or(start - 1ms) - start);
        QCOMPARE(after.count(), closedAfter);
    }

    void aClosedPanelIsLetGoAfterAWhile()
    {
        ViewModelRig rig;
        RecordingWorkspace workspace;
        BinwellViewModel& model = rig.make();
        int made = 0;
        PanelKeeper keeper(rig.clock, [&] {
            ++made;
            return std::make_unique<PanelWindow>(new MenuBarView(model, *rig.slimVm, rig.settings, workspace),
                                                 rig.clock, PanelWindow::Anchor::HostCoordinates);
        });
        QSignalSpy released(&keeper, &PanelKeeper::released);
        QVERIFY(!keeper.get());
        keeper.window().open(QPoint(600, 100));
        const QPoint placed = keeper.get()->pos();
        rig.clock.advance(PanelKeeper::kReleaseAfter * 2); // never while open
        keeper.get()->close();
        rig.clock.advance(PanelKeeper::kReleaseAfter - 1s);
        keeper.window().open(); // opened again in time: the count starts over at the next close
        keeper.get()->close();
        rig.clock.advance(PanelKeeper::kReleaseAfter - 1s);
        QCOMPARE(released.size(), 0);
        rig.clock.advance(1s);
        QVERIFY(!keeper.get());
        QCOMPARE(released.size(), 1);

        // Needed again: a new one, opened from the menu where the last click was. An ordinary window
        // (no tray) is the program's window and stays.
        keeper.window().open();
        QCOMPARE(keeper.get()->pos(), placed);
        keeper.get()->close();
        keeper.window().setMode(PanelWindow::Mode::Window);
        QCOMPARE(made, 2);
        keeper.get()->open();
        keeper.get()->close();
        rig.clock.advance(PanelKeeper::kReleaseAfter * 2);
        QVERIFY(keeper.get());
    }
};

QTEST_MAIN(PanelWindowTest)
#include "PanelWindowTest.moc"
