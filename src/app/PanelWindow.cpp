#include "PanelWindow.h"

#include "AppIdentity.h"
#include "MenuBarView.h"
#include "Scheduler.h"

#include <QCloseEvent>
#include <QCursor>
#include <QGuiApplication>
#include <QLoggingCategory>
#include <QScreen>
#include <QVBoxLayout>

namespace rubbly {

Q_LOGGING_CATEGORY(lcPanel, RUBBLY_APP_ID ".Panel")

namespace {
// A window manager that insists on a place of its own wins after this many moves back per opening.
constexpr int kMaxCorrections = 3;
} // namespace

PanelWindow::PanelWindow(MenuBarView* view, Scheduler& scheduler, Anchor anchor, ButtonProbe buttonHeld, BarProbe bars,
                         QWidget* parent)
    : QWidget(parent)
    , m_view(view)
    , m_scheduler(scheduler)
    , m_anchorSource(anchor)
    , m_buttonHeld(std::move(buttonHeld))
    , m_bars(std::move(bars))
    , m_closeTimer(scheduler.createTimer(this))
    , m_idleTimer(scheduler.createTimer(this))
{
    m_closeTimer->setSingleShot(true);
    connect(m_closeTimer, &Timer::timeout, this, &PanelWindow::checkClose);
    m_idleTimer->setSingleShot(true);
    connect(m_idleTimer, &Timer::timeout, this, [this] {
        if (isVisible())
            Q_EMIT idle();
    });
    setWindowTitle(kAppName);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    layout->addWidget(view);
    view->installEventFilter(this);
    connect(view, &MenuBarView::closeRequested, this, &PanelWindow::close);
    setMode(Mode::Popup);
}

void PanelWindow::setMode(Mode mode)
{
    const bool wasOpen = isVisible();
    m_mode = mode;
    // Not a Qt::Popup: its pointer grab would close the panel the moment the user presses on a file
    // in another program to drag it here.
    setWindowFlags(mode == Mode::Popup
                       ? Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::NoDropShadowWindowHint
                       : Qt::Window | Qt::WindowTitleHint | Qt::WindowCloseButtonHint | Qt::WindowMinimizeButtonHint);
    if (wasOpen)
        show();
}

std::optional<QRect> PanelWindow::correction(const QRect& reported, const PanelSurroundings& around)
{
    const QRect wanted = placePanel(reported.size(), around).geometry;
    if (reported == wanted)
        return std::nullopt;
    return wanted;
}

void PanelWindow::keepPlaced(bool moved)
{
    // Openbox sometimes reports the panel at its frame's origin (0, 0) as it maps it, and Qt sends
    // that position back with the next resize (the panel grows as the Trash's content arrives): the
    // panel ends up over the bar. So the open panel goes back to its placement whenever it is
    // reported elsewhere, which also keeps it next to the click as its height changes.
    if (m_mode != Mode::Popup || !m_placedFrom || !isVisible() || (moved && m_corrections >= kMaxCorrections))
        return;
    if (const auto wanted = correction(geometry(), *m_placedFrom)) {
        if (moved) {
            ++m_corrections;
            qCDebug(lcPanel) << "the panel was moved to" << geometry() << "and goes back to" << *wanted;
        }
        setGeometry(*wanted);
    }
}

PanelSurroundings PanelWindow::surroundings(std::optional<QPoint> position, Via via)
{
    PanelSurroundings around;
    const bool pointerExact = m_anchorSource == Anchor::Pointer;
    if (position)
        m_lastAnchor = pointerExact ? QCursor::pos() : *position;
    // The menu and the other ways in carry no point of the host's: the pointer says where the user
    // is, where it can be read (XWayland's is stale over the shell's own bar and menus).
    if (pointerExact)
        around.pointer = QCursor::pos();
    around.pointerBesideItem = via == Via::Menu;
    // Before any click, the item's menu is the best sign of where the item is: later requests
    // without a point of their own (a second start, the shortcut) open there too.
    if (via == Via::Menu && around.pointer && !m_lastAnchor)
        m_lastAnchor = around.pointer;
    around.activation = m_lastAnchor;
    QList<QScreen*> screens = QGuiApplication::screens();
    if (QScreen* primary = QGuiApplication::primaryScreen()) {
        screens.removeAll(primary);
        screens.prepend(primary);
    }
    for (const QScreen* screen : screens)
        around.screens.append({screen->geometry(), screen->availableGeometry()});
    if (m_bars)
        around.bars = m_bars();
    return around;
}

void PanelWindow::activate(std::optional<QPoint> position, Via via)
{
    if (isVisible()) {
        close();
        return;
    }
    // The click on the item took the focus from the open panel, which closed it just now: this
    // activation is that same click, not a request to open again.
    if (m_closedAt && m_scheduler.now() - *m_closedAt < kReopenGuard)
        return;
    open(position, via);
}

void PanelWindow::open(std::optional<QPoint> position, Via via)
{
    cancelPendingClose();
    if (m_mode == Mode::Popup) {
        adjustSize();
        // Worked out once per opening: the panel stays where it opened while it grows or shrinks.
        m_placedFrom = surroundings(position, via);
        m_corrections = 0;
        const PanelPlace place = placePanel(sizeHint(), *m_placedFrom);
        qCDebug(lcPanel) << "placed at" << place.geometry << "from" << m_placedFrom->activation.value_or(QPoint(-1, -1))
                         << m_placedFrom->pointer.value_or(QPoint(-1, -1)) << m_placedFrom->bars;
        move(place.geometry.topLeft());
    }
    const bool wasOpen = isVisible();
    show();
    raise();
    activateWindow();
    if (!wasOpen) {
        m_view->panelAppeared();
        Q_EMIT opened();
    }
}

void PanelWindow::close()
{
    cancelPendingClose();
    if (!isVisible())
        return;
    hide();
    m_idleTimer->stop();
    m_placedFrom.reset();
    m_view->panelDisappeared();
    m_closedAt = m_scheduler.now();
    Q_EMIT closed();
}

void PanelWindow::checkLater(std::chrono::milliseconds delay)
{
    m_closeTimer->start(delay);
}

void PanelWindow::cancelPendingClose()
{
    m_closeTimer->stop();
    m_sawHeldButton = false;
    m_waitedForUnseenButton = false;
    m_droppedAt.reset();
}

void PanelWindow::checkClose()
{
    if (!isVisible() || m_active || m_dragInside)
        return; // the focus came back, or a drag is over the panel: its leave or drop looks again
    const std::optional<bool> held = m_buttonHeld ? m_buttonHeld() : std::optional(false);
    if (m_droppedAt) {
        if (held.value_or(false)) {
            // A press elsewhere after the drop: the user has moved on; its release closes the panel.
            m_droppedAt.reset();
            m_waitedForUnseenButton = true;
            m_sawHeldButton = true;
            checkLater(kButtonPoll);
        } else if (m_scheduler.now() - *m_droppedAt < kAfterDrop) {
            checkLater(kAfterDropPoll);
        } else {
            close();
        }
        return;
    }
    if (held.value_or(false)) {
        // Pressed elsewhere and still held: perhaps a file on its way here.
        m_sawHeldButton = true;
        checkLater(kButtonPoll);
        return;
    }
    if (!held && !m_waitedForUnseenButton) {
        // The press may be held in a program the display cannot see: give a drag the time a person
        // needs to bring it here. A drag entering cancels this; a plain click closes after it.
        m_waitedForUnseenButton = true;
        checkLater(kUnseenButtonWait - kCloseGrace);
        return;
    }
    if (m_sawHeldButton) {
        // Just released, outside the panel: a drop that is on its way gets its moment.
        m_sawHeldButton = false;
        checkLater(kCloseGrace);
        return;
    }
    close();
}

bool PanelWindow::event(QEvent* event)
{
    // Every repaint of the window's widgets goes through its update request.
    if (event->type() == QEvent::UpdateRequest && isVisible())
        m_idleTimer->start(kIdleAfter);
    if (event->type() == QEvent::Move || event->type() == QEvent::Resize) {
        const bool result = QWidget::event(event);
        keepPlaced(event->type() == QEvent::Move);
        return result;
    }
    if (m_mode == Mode::Popup) {
        if (event->type() == QEvent::WindowDeactivate) {
            m_active = false;
            if (isVisible() && !m_dragInside)
                checkLater(kCloseGrace);
        } else if (event->type() == QEvent::WindowActivate) {
            m_active = true;
            cancelPendingClose();
        }
    }
    return QWidget::event(event);
}

bool PanelWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_view && m_mode == Mode::Popup) {
        switch (event->type()) {
        case QEvent::DragEnter:
            m_dragInside = true;
            cancelPendingClose();
            break;
        case QEvent::DragLeave:
            // Carried away again: the panel waits for the button as before.
            m_dragInside = false;
            if (!m_active)
                checkLater(kCloseGrace);
            break;
        case QEvent::Drop:
            m_dragInside = false;
            if (!m_active) {
                m_droppedAt = m_scheduler.now();
                checkLater(kAfterDropPoll);
            }
            break;
        default:
            break;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void PanelWindow::closeEvent(QCloseEvent* event)
{
    // Closing the window only hides it: the program keeps looking after the Trash.
    event->ignore();
    close();
}

} // namespace rubbly
