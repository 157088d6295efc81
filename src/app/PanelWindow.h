#pragma once

#include "Timestamp.h"

#include <QPointer>
#include <QWidget>

#include <optional>

namespace rubbly {

class Cancellation;
class MenuBarView;
class Scheduler;

// The window that holds the panel. As a popup it is frameless, sits next to where the tray item was
// clicked, and closes on a second click of the item, on Escape, and when it loses the focus; but only
// after a short grace in which no drag has come in, and never while a drag is over it, so a file can
// still be dragged onto it from a file manager (pressing on the file takes the focus away first).
// Without any tray it is an ordinary window with the panel in it.
class PanelWindow final : public QWidget {
    Q_OBJECT
public:
    enum class Mode {
        Popup,  // next to the tray item, closes when left
        Window, // no tray on this desktop: a normal window that hides when closed
    };
    // Where an activation's coordinates come from: on X11 the pointer is exact with every host (the
    // hosts' own coordinates differ); on a Wayland desktop, where we run on XWayland, the pointer is
    // stale over the shell's bar and the host's coordinates are the ones to trust.
    enum class Anchor { Pointer, HostCoordinates };

    PanelWindow(MenuBarView* view, Scheduler& scheduler, Anchor anchor, QWidget* parent = nullptr);

    void setMode(Mode mode);
    Mode mode() const { return m_mode; }
    // A click on the tray item (or the desktop's Activate): opens or closes the panel. `position` is
    // what the host sent, if anything.
    void activate(std::optional<QPoint> position);
    // Opens (or raises) the panel; `position` as for activate().
    void open(std::optional<QPoint> position = std::nullopt);
    void close();
    bool isOpen() const { return isVisible(); }

    // Where a panel of `size` goes for a click at `anchor`: centred under it in the upper half of the
    // screen, above it in the lower half, always inside `available`.
    static QRect placement(QSize size, QPoint anchor, const QRect& available);

    static constexpr std::chrono::milliseconds kFocusGrace{400};
    static constexpr std::chrono::milliseconds kAfterDrop{1500};
    static constexpr std::chrono::milliseconds kReopenGuard{300};

Q_SIGNALS:
    void opened();
    void closed();

protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    QPoint anchorFor(std::optional<QPoint> position);
    void closeLater(std::chrono::milliseconds delay);
    void cancelPendingClose();

    MenuBarView* m_view;
    Scheduler& m_scheduler;
    Anchor m_anchorSource;
    Mode m_mode = Mode::Popup;
    std::optional<QPoint> m_lastAnchor;
    std::optional<Timestamp> m_closedAt;
    QPointer<Cancellation> m_pendingClose;
    bool m_dragInside = false;
    // From the window's own activation events: what the window manager last told us.
    bool m_active = false;
};

} // namespace rubbly
