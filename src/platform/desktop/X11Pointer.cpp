#include "X11Pointer.h"

#include <xcb/xcb.h>

#include <cstdlib>
#include <string_view>

namespace rubbly {

X11Pointer::X11Pointer(QByteArray display, bool xwayland)
    : m_display(std::move(display))
    , m_xwayland(xwayland)
{
}

X11Pointer::~X11Pointer()
{
    if (m_connection)
        xcb_disconnect(m_connection);
}

bool X11Pointer::connect()
{
    if (!m_connection && !m_failed) {
        int screenNumber = 0;
        xcb_connection_t* connection =
            xcb_connect(m_display.isEmpty() ? nullptr : m_display.constData(), &screenNumber);
        xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(connection));
        for (int i = 0; i < screenNumber && screens.rem; ++i)
            xcb_screen_next(&screens);
        if (xcb_connection_has_error(connection) || !screens.rem) {
            xcb_disconnect(connection);
            m_failed = true;
        } else {
            m_connection = connection;
            m_root = screens.data->root;
        }
    }
    return m_connection != nullptr;
}

bool X11Pointer::focusInXWindow()
{
    if (!m_activeWindowAtom) {
        constexpr std::string_view kName = "_NET_ACTIVE_WINDOW";
        xcb_intern_atom_reply_t* atom = xcb_intern_atom_reply(
            m_connection, xcb_intern_atom(m_connection, 0, uint16_t(kName.size()), kName.data()), nullptr);
        if (!atom)
            return true;
        m_activeWindowAtom = atom->atom;
        std::free(atom);
    }
    xcb_get_property_reply_t* reply = xcb_get_property_reply(
        m_connection, xcb_get_property(m_connection, 0, m_root, m_activeWindowAtom, XCB_ATOM_WINDOW, 0, 1), nullptr);
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
        xcb_query_pointer_reply(m_connection, xcb_query_pointer(m_connection, m_root), nullptr);
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
