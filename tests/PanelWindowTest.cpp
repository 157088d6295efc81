#include "PanelWindow.h"
#include "MenuBarView.h"
#include "Motion.h"
#include "RecordingWorkspace.h"
#include "ViewModelRig.h"

#include <QMimeData>
#include <QTest>

using namespace rubbly;
using namespace rubbly::test;
using namespace std::chrono_literals;

namespace {

struct Host {
    ViewModelRig rig;
    RecordingWorkspace workspace;
    MenuBarView* view;
    PanelWindow window;

    Host()
        : view(new MenuBarView(rig.make(), rig.settings, workspace))
        , window(view, rig.clock, PanelWindow::Anchor::HostCoordinates)
    {
    }
    void send(QEvent::Type type) // what the window manager would tell the window
    {
        settle(); // the platform's own activation of a window just shown comes first
        QEvent event(type);
        QCoreApplication::sendEvent(&window, &event);
    }
    void drag(QEvent::Type type)
    {
        QMimeData mime;
        mime.setData(QStringLiteral("text/uri-list"), "file:///tmp/x\r\n");
        if (type == QEvent::DragLeave) {
            QDragLeaveEvent leave;
            QCoreApplication::sendEvent(view, &leave);
        } else if (type == QEvent::Drop) {
            QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
            QCoreApplication::sendEvent(view, &drop);
        } else {
            QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
            QCoreApplication::sendEvent(view, &enter);
        }
    }
};

} // namespace

class PanelWindowTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { motion::setEnabled(false); }

    void thePanelSitsNextToTheClickInsideTheScreen_data()
    {
        QTest::addColumn<QPoint>("anchor");
        QTest::addColumn<QPoint>("topLeft");
        const QRect screen(0, 32, 1280, 768); // a 32-high bar at the top
        QTest::newRow("under a click in the upper half") << QPoint(600, 100) << QPoint(440, 106);
        QTest::newRow("above a click in the lower half") << QPoint(600, 700) << QPoint(440, 194);
        QTest::newRow("a click on the top bar, at the right edge") << QPoint(1270, 16) << QPoint(960, 32);
        QTest::newRow("a click on a bottom bar, at the left edge") << QPoint(5, 790) << QPoint(0, 284);
    }
    void thePanelSitsNextToTheClickInsideTheScreen()
    {
        QFETCH(QPoint, anchor);
        QFETCH(QPoint, topLeft);
        const QRect placed = PanelWindow::placement(QSize(320, 500), anchor, QRect(0, 32, 1280, 768));
        QCOMPARE(placed.topLeft(), topLeft);
        QCOMPARE(placed.size(), QSize(320, 500));
    }

    void aSecondClickClosesAndTheSameClickDoesNotReopen()
    {
        Host host;
        host.window.activate(QPoint(600, 10));
        QVERIFY(host.window.isOpen());
        host.window.activate(QPoint(600, 10));
        QVERIFY(!host.window.isOpen());
        host.rig.clock.advance(PanelWindow::kReopenGuard);

        // Clicking the item while the panel is open: the focus leaves first and closes it, then the
        // click's own activation arrives.
        host.window.activate(QPoint(600, 10));
        host.send(QEvent::WindowActivate);
        host.send(QEvent::WindowDeactivate);
        host.rig.clock.advance(PanelWindow::kFocusGrace);
        QVERIFY(!host.window.isOpen());
        host.rig.clock.advance(100ms);
        host.window.activate(QPoint(600, 10));
        QVERIFY(!host.window.isOpen());
        host.rig.clock.advance(PanelWindow::kReopenGuard);
        host.window.activate(QPoint(600, 10));
        QVERIFY(host.window.isOpen());
    }

    void aDragKeepsThePanelOpenAfterTheFocusLeaves()
    {
        Host host;
        host.window.open();
        host.send(QEvent::WindowActivate);
        host.send(QEvent::WindowDeactivate); // the user pressed on a file elsewhere
        host.rig.clock.advance(PanelWindow::kFocusGrace - 100ms);
        host.drag(QEvent::DragEnter);
        host.rig.clock.advance(10s);
        QVERIFY(host.window.isOpen()); // never while a drag is over it
        host.drag(QEvent::DragLeave);
        host.rig.clock.advance(PanelWindow::kFocusGrace);
        QVERIFY(!host.window.isOpen());

        host.window.open();
        host.drag(QEvent::DragEnter);
        host.drag(QEvent::Drop);
        host.rig.clock.advance(PanelWindow::kFocusGrace);
        QVERIFY(host.window.isOpen()); // long enough to see the file arrive
        host.rig.clock.advance(PanelWindow::kAfterDrop);
        QVERIFY(!host.window.isOpen());
    }

    void escapeClosesAndTheWindowModeOnlyHides()
    {
        Host host;
        host.window.open();
        QTest::keyClick(host.view, Qt::Key_Escape);
        QVERIFY(!host.window.isOpen());

        host.window.setMode(PanelWindow::Mode::Window);
        host.window.open();
        host.send(QEvent::WindowDeactivate); // an ordinary window stays when left
        host.rig.clock.advance(10s);
        QVERIFY(host.window.isOpen());
        QVERIFY(!host.window.QWidget::close()); // the close button hides; the program goes on
        QVERIFY(!host.window.isOpen());
    }
};

QTEST_MAIN(PanelWindowTest)
#include "PanelWindowTest.moc"
