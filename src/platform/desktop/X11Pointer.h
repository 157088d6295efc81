#pragma once

#include <QByteArray>

#include <memory>
#include <optional>

namespace rubbly {

class X11Connection;

// The X server's pointer, as every program shares it: whether a mouse button is held down, whichever
// window it was pressed in (the server answers from its own state, even while another program has
// grabbed the pointer for a drag). Uses a connection of its own, opened on first use.
//
// XWayland is the exception: it sees the pointer only over X windows, so a press in a native Wayland
// program (Nautilus on GNOME) is invisible to it. There, while the focus is in a window that is not an
// X window (the window manager's _NET_ACTIVE_WINDOW is None), the answer is "cannot tell".
class X11Pointer final {
public:
    // `display` as in $DISPLAY; empty for the environment's. `xwayland`: the server is XWayland.
    explicit X11Pointer(QByteArray display = {}, bool xwayland = false);
    ~X11Pointer();
    X11Pointer(const X11Pointer&) = delete;
    X11Pointer& operator=(const X11Pointer&) = delete;

    // False when no button is held, and when the display cannot be reached; none when XWayland
    // cannot see the program that has the focus.
    std::optional<bool> buttonHeld();

private:
    bool connect();
    bool focusInXWindow();

    QByteArray m_display;
    bool m_xwayland = false;
    unsigned m_activeWindowAtom = 0;
    std::unique_ptr<X11Connection> m_x;
    bool m_failed = false;
};

} // namespace rubbly
