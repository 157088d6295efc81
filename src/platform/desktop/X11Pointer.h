#pragma once

#include <QByteArray>

struct xcb_connection_t;

namespace rubbly {

// The X server's pointer, as every program shares it: whether a mouse button is held down, whichever
// window it was pressed in (the server answers from its own state, even while another program has
// grabbed the pointer for a drag). Uses a connection of its own, opened on first use.
class X11Pointer final {
public:
    // `display` as in $DISPLAY; empty for the environment's.
    explicit X11Pointer(QByteArray display = {});
    ~X11Pointer();
    X11Pointer(const X11Pointer&) = delete;
    X11Pointer& operator=(const X11Pointer&) = delete;

    // False when no button is held, and when the display cannot be reached.
    bool buttonHeld();

private:
    QByteArray m_display;
    xcb_connection_t* m_connection = nullptr;
    unsigned m_root = 0;
    bool m_failed = false;
};

} // namespace rubbly
