#include "X11Pointer.h"

#include "X11Connection.h"

#include <xcb/xcb.h>

#include <cstdlib>

namespace rubbly {

X11Pointer::X11Pointer(QByteArray display, bool xwayland)
    : m_display(std::move(display))
    , m_xwayland(xwayland)
{
}

X11Pointer::~X11Pointer() = default;

bool X11Pointer::connect()
{
    if (!m_x && !m_failed) {
        m_x = X11Connection::open(m_display);
        m_failed = !m_x;
    }
    return m_x != nullptr;
}

bool X11Pointer::focusInXWindow()
{
    if (!m_activeWindowAtom) {
        m_activeWindowAtom = m_x->atom("_NET_ACTIVE_WINDOW");
        if (!m_activeWindowAtom)
            return true;
    }
    xcb_connection_t* connection = m_x->get();
    xcb_get_property_reply_t* reply = xcb_get_property_reply(
        connection, xcb_get_property(connection, 0, m_x->root(), m_activeWindowAtom, XCB_ATOM_WINDOW, 0, 1), nullptr);
    if (!reply)
        return true;
    const bool inX = xcb_get_property_value_length(reply) == 4 &&
                     *static_cast<const xcb_window_t*>(xcb_get_property_value(reply)) != XCB_WINDOW_NONE;
    std::free(reply);
    return inX;
}

std::optional<bool> X11Pointer::buttonHeld()
{
    if (!connect())
        return false;
    xcb_query_pointer_reply_t* reply =
        xcb_query_pointer_reply(m_x->get(), xcb_query_pointer(m_x->get(), m_x->root()), nullptr);
    if (!reply)
        return false;
    // The three buttons; 4 and 5 are the wheel's clicks, down only for an instant.
    constexpr uint16_t kButtons = XCB_BUTTON_MASK_1 | XCB_BUTTON_MASK_2 | XCB_BUTTON_MASK_3;
    const bool held = (reply->mask & kButtons) != 0;
    std::free(reply);
    if (!held && m_xwayland && !focusInXWindow())
        return std::nullopt;
    return held;
}

} // namespace rubbly
