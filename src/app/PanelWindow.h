#pragma once

#include "BinwellViewModel.h"
#include "PanelPlacement.h"
#include "Timestamp.h"

#include <QWidget>

#include <functional>
#include <optional>

namespace rubbly {

class MenuBarView;
class Scheduler;
class Timer;

// The window that holds the panel. As a popup it is frameless, sits next to where the tray item was
// clicked, and closes on a second click of the item, on Escape, and when it loses the focus. A file
// dragged from a file manager takes the focus away first (the press on the file), and a person needs
// a second or three to carry it to the top of the screen: so after losing the focus the panel stays
// while the mouse button pressed elsewhere is held and while a drag is over it, and closes shortly
// after the button comes up without a drop. A plain click elsewhere closes it within half a second.
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

    // Whether a mouse button is held down anywhere on the screen (in any program), as far as the
    // display lets us know: none when it cannot tell (XWayland, while a Wayland program has the
    // focus). An empty probe means never.
    using ButtonProbe = std::function<std::optional<bool>()>;
    // The bars' reserved strips (struts) in desktop coordinates, as the window manager knows them;
    // empty when it cannot tell (the screens' available areas stand in then).
    using BarProbe = std::function<QList<QRect>()>;
    // How the panel was asked for: a click on the item (with the host's point), an entry of the
    // item's menu (drawn beside the item, so the pointer is near it), or anything else (a second
    // start, a desktop action, the shortcut).
    enum class Via { Item, Menu, Elsewhere };

    PanelWindow(MenuBarView* view, Scheduler& scheduler, Anchor anchor, ButtonProbe buttonHeld = {}, BarProbe bars = {},
                QWidget* parent = nullptr);

    void setMode(Mode mode);
    Mode mode() const { return m_mode; }
    // A click on the tray item (or the desktop's Activate): opens or closes the panel. `position` is
    // what the host sent, if anything.
    void activate(std::optional<QPoint> position, Via via = Via::Item);
    // Opens (or raises) the panel; `position` as for activate().
    void open(std::optional<QPoint> position = std::nullopt, Via via = Via::Elsewhere);
    void close();
    bool isOpen() const { return isVisible(); }
    // Where the last activation came from (the menu and a second start open the panel there again).
    std::optional<QPoint> lastAnchor() const { return m_lastAnchor; }
    void setLastAnchor(std::optional<QPoint> anchor) { m_lastAnchor = anchor; }

    // Where the open panel must be moved when the window system reports it at `reported` (after
    // the window manager placed it, or as Qt resizes it for content that grew): to the placement
    // for that size when it is anywhere else, nowhere when it is there already.
    static std::optional<QRect> correction(const QRect& reported, const PanelSurroundings& around);

    // After the focus left, or the held button came up, without a drag over the panel: time for a
    // drop already on its way to arrive, and for the window manager to give the focus back.
    static constexpr std::chrono::milliseconds kCloseGrace{250};
    // When the display cannot tell whether the press that took the focus is still held: how long,
    // from the focus leaving, a drag gets to reach the panel (a person takes one to three seconds).
    static constexpr std::chrono::milliseconds kUnseenButtonWait{3000};
    // How often the held button is looked at while the panel waits for it.
    static constexpr std::chrono::milliseconds kButtonPoll{100};
    // After a drop: the time the drop can be undone from the panel. A press elsewhere that the
    // display can see ends it sooner; the buttons are looked at more often then, as a click lasts
    // about a tenth of a second.
    static constexpr std::chrono::milliseconds kAfterDrop = BinwellViewModel::kDropUndoDisplay;
    static constexpr std::chrono::milliseconds kAfterDropPoll{25};
    static constexpr std::chrono::milliseconds kReopenGuard{300};
    // The open panel counts as idle once it has not repainted for this long.
    static constexpr std::chrono::milliseconds kIdleAfter{2000};

Q_SIGNALS:
    void opened();
    void closed();
    // The open panel has not repainted for kIdleAfter: whatever its drawing needed only while
    // drawing (the pages of the font files its glyphs came from) can go.
    void idle();

protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    PanelSurroundings surroundings(std::optional<QPoint> position, Via via);
    // Puts the open panel back where it belongs after it was reported `moved` or resized.
    void keepPlaced(bool moved);
    // Looks again after `delay` whether the panel, left without the focus, should close.
    void checkLater(std::chrono::milliseconds delay);
    void cancelPendingClose();
    void checkClose();

    MenuBarView* m_view;
    Scheduler& m_scheduler;
    Anchor m_anchorSource;
    ButtonProbe m_buttonHeld;
    BarProbe m_bars;
    Timer* m_closeTimer;
    Timer* m_idleTimer;
    Mode m_mode = Mode::Popup;
    std::optional<QPoint> m_lastAnchor;
    // While open as a popup: what it was placed from, and how often it was moved back since.
    std::optional<PanelSurroundings> m_placedFrom;
    int m_corrections = 0;
    std::optional<Timestamp> m_closedAt;
    bool m_dragInside = false;
    // A button held elsewhere was seen since the focus left: its release ends the wait.
    bool m_sawHeldButton = false;
    // The wait for a button the display cannot see has been given since the focus left.
    bool m_waitedForUnseenButton = false;
    // When a file was dropped while the focus was elsewhere: the panel stays for kAfterDrop, so its
    // undo can be reached, unless the user presses somewhere else first.
    std::optional<Timestamp> m_droppedAt;
    // From the window's own activation events: what the window manager last told us.
    bool m_active = false;
};

} // namespace rubbly
