#include "X11Pointer.h"

#include <xcb/xcb.h>

#include <cstdlib>

namespace rubbly {

X11Pointer::X11Pointer(QByteArray display)
    : m_display(std::move(display))
{
}

X11Pointer::~X11Pointer()
{
    if (m_connection)
        xcb_disconnect(m_connection);
}

bool X11Pointer::buttonHeld()
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
    if (!m_connection)
        return false;
    xcb_query_pointer_reply_t* reply =
        xcb_query_pointer_reply(m_connection, xcb_query_pointer(m_connection, m_root), nullptr);
    if (!reply)
        return false;
    // The three buttons; 4 and 5 are the wheel's clicks, down only for an instant.
    constexpr uint16_t kButtons = XCB_BUTTON_MASK_1 | XCB_BUTTON_MASK_2 | XCB_BUTTON_MASK_3;
    const bool held = (reply->mask & kButtons) != 0;
    std::free(reply);
    return held;
}

} // namespace rubbly
