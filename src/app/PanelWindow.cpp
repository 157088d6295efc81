#include "PanelWindow.h"

#include "AppIdentity.h"
#include "MenuBarView.h"
#include "Scheduler.h"

#include <QCloseEvent>
#include <QCursor>
#include <QGuiApplication>
#include <QScreen>
#include <QVBoxLayout>

namespace rubbly {

namespace {
constexpr int kGap = 6;
}

PanelWindow::PanelWindow(MenuBarView* view, Scheduler& scheduler, Anchor anchor, QWidget* parent)
    : QWidget(parent)
    , m_view(view)
    , m_scheduler(scheduler)
    , m_anchorSource(anchor)
{
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
    QRect rect(QPoint(0, 0), size);
    const bool upperHalf = anchor.y() < available.center().y();
    rect.moveTo(anchor.x() - size.width() / 2, upperHalf ? anchor.y() + kGap : anchor.y() - kGap - size.height());
    rect.moveLeft(
        std::clamp(rect.left(), available.left(), std::max(available.left(), available.right() - size.width() + 1)));
    rect.moveTop(
        std::clamp(rect.top(), available.top(), std::max(available.top(), available.bottom() - size.height() + 1)));
    return rect;
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
        if (screen)
            move(placement(sizeHint(), anchor, screen->availableGeometry()).topLeft());
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
    m_view->panelDisappeared();
    m_closedAt = m_scheduler.now();
    Q_EMIT closed();
}

void PanelWindow::closeLater(std::chrono::milliseconds delay)
{
    cancelPendingClose();
    m_pendingClose = new Cancellation(this);
    QPointer<PanelWindow> self = this;
    QPointer<Cancellation> token = m_pendingClose;
    m_scheduler.singleShot(delay, m_pendingClose, [self, token] {
        if (self && token && !token->isCancelled() && !self->m_dragInside && !self->m_active)
            self->close();
    });
}

void PanelWindow::cancelPendingClose()
{
    if (m_pendingClose) {
        m_pendingClose->cancel();
        m_pendingClose->deleteLater();
        m_pendingClose = nullptr;
    }
}

bool PanelWindow::event(QEvent* event)
{
    if (m_mode == Mode::Popup) {
        if (event->type() == QEvent::WindowDeactivate) {
            m_active = false;
            if (isVisible() && !m_dragInside)
                closeLater(kFocusGrace);
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
            m_dragInside = false;
            if (!m_active)
                closeLater(kFocusGrace);
            break;
        case QEvent::Drop:
            m_dragInside = false;
            // Long enough to see the file arrive in the list; the focus is still elsewhere.
            if (!m_active)
                closeLater(kAfterDrop);
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
