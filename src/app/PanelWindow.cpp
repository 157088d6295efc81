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
constexpr int kGap = 6;
// A window manager that insists on a place of its own wins after this many moves back per opening.
constexpr int kMaxCorrections = 3;
} // namespace

PanelWindow::PanelWindow(MenuBarView* view, Scheduler& scheduler, Anchor anchor, ButtonProbe buttonHeld,
                         QWidget* parent)
    : QWidget(parent)
    , m_view(view)
    , m_scheduler(scheduler)
    , m_anchorSource(anchor)
    , m_buttonHeld(std::move(buttonHeld))
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

QRect PanelWindow::placement(QSize size, QPoint anchor, const QRect& available)
{
    // The anchor may come from a tray host as any int: the sums are taken wide, so an extreme one puts
    // the panel at the screen's edge instead of wrapping round to the other.
    const bool upperHalf = anchor.y() < available.center().y();
    const qint64 left = qint64(anchor.x()) - size.width() / 2;
    const qint64 top = upperHalf ? qint64(anchor.y()) + kGap : qint64(anchor.y()) - kGap - size.height();
    const auto fit = [](qint64 value, int low, qint64 high) {
        return static_cast<int>(std::clamp(value, qint64(low), std::max(qint64(low), high)));
    };
    return {fit(left, available.left(), qint64(available.right()) - size.width() + 1),
            fit(top, available.top(), qint64(available.bottom()) - size.height() + 1), size.width(), size.height()};
}

std::optional<QRect> PanelWindow::correction(const QRect& reported, QPoint anchor, const QRect& available)
{
    const QRect wanted = placement(reported.size(), anchor, available);
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
    if (const auto wanted = correction(geometry(), m_placedFrom->first, m_placedFrom->second)) {
        if (moved) {
            ++m_corrections;
            qCDebug(lcPanel) << "the panel was moved to" << geometry() << "and goes back to" << *wanted;
        }
        setGeometry(*wanted);
    }
}

QPoint PanelWindow::anchorFor(std::optional<QPoint> position)
{
    if (m_anchorSource == Anchor::Pointer && position)
        m_lastAnchor = QCursor::pos();
    else if (position)
        m_lastAnchor = *position;
    if (m_lastAnchor)
        return *m_lastAnchor;
    // Nothing known yet (the menu, a second start): the corner where tray items live.
    const QScreen* screen = QGuiApplication::primaryScreen();
    const QRect available = screen ? screen->availableGeometry() : QRect(0, 0, 1280, 800);
    return available.topRight();
}

void PanelWindow::activate(std::optional<QPoint> position)
{
    if (isVisible()) {
        close();
        return;
    }
    // The click on the item took the focus from the open panel, which closed it just now: this
    // activation is that same click, not a request to open again.
    if (m_closedAt && m_scheduler.now() - *m_closedAt < kReopenGuard)
        return;
    open(position);
}

void PanelWindow::open(std::optional<QPoint> position)
{
    cancelPendingClose();
    if (m_mode == Mode::Popup) {
        adjustSize();
        const QPoint anchor = anchorFor(position);
        const QScreen* screen = QGuiApplication::screenAt(anchor);
        if (!screen)
            screen = QGuiApplication::primaryScreen();
        if (screen) {
            m_placedFrom = {anchor, screen->availableGeometry()};
            m_corrections = 0;
            move(placement(sizeHint(), anchor, screen->availableGeometry()).topLeft());
        }
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
