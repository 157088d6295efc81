#include "XEmbedTrayWatch.h"

#include "X11Connection.h"

#include <xcb/xcb.h>

#include <algorithm>
#include <cstdlib>

namespace rubbly {

XEmbedTrayWatch::XEmbedTrayWatch(QByteArray display, QObject* parent)
    : QObject(parent)
    , m_display(std::move(display))
{
}

XEmbedTrayWatch::~XEmbedTrayWatch() = default;

bool XEmbedTrayWatch::start()
{
    if (m_x)
        return true;
    m_x = X11Connection::open(m_display);
    if (!m_x)
        return false;
    m_selection = m_x->atom("_NET_SYSTEM_TRAY_S" + QByteArray::number(m_x->screen()));
    m_managerAtom = m_x->atom("MANAGER");
    m_colorsAtom = m_x->atom("_NET_SYSTEM_TRAY_COLORS");
    // The MANAGER announcement is sent to the root window with StructureNotify.
    const std::uint32_t mask = XCB_EVENT_MASK_STRUCTURE_NOTIFY;
    xcb_change_window_attributes(m_x->get(), m_x->root(), XCB_CW_EVENT_MASK, &mask);
    m_x->watch(this, [this] { readEvents(); });
    findOwner();
    return true;
}

void XEmbedTrayWatch::findOwner()
{
    const std::uint32_t before = m_owner;
    m_owner = 0;
    for (int attempt = 0; attempt < 3 && !m_owner; ++attempt) {
        xcb_connection_t* connection = m_x->get();
        xcb_get_selection_owner_reply_t* reply =
            xcb_get_selection_owner_reply(connection, xcb_get_selection_owner(connection, m_selection), nullptr);
        const xcb_window_t owner = reply ? reply->owner : xcb_window_t(XCB_WINDOW_NONE);
        std::free(reply);
        if (owner == XCB_WINDOW_NONE)
            break;
        // Its DestroyNotify tells us when the manager is gone, its PropertyNotify when its colours
        // change. The window may vanish between the two requests; then the selection is asked for
        // again.
        const std::uint32_t mask = XCB_EVENT_MASK_STRUCTURE_NOTIFY | XCB_EVENT_MASK_PROPERTY_CHANGE;
        xcb_generic_error_t* error = xcb_request_check(
            connection, xcb_change_window_attributes_checked(connection, owner, XCB_CW_EVENT_MASK, &mask));
        if (error)
            std::free(error);
        else
            m_owner = owner;
    }
    readColors();
    if ((before != 0) != (m_owner != 0))
        Q_EMIT availableChanged();
}

void XEmbedTrayWatch::readColors()
{
    std::optional<std::uint32_t> foreground;
    if (m_owner) {
        // Twelve CARDINALs, 0 to 65535 each: red, green and blue of the normal, error, warning and
        // success colours. The normal one is the text colour of the panel.
        xcb_connection_t* connection = m_x->get();
        xcb_get_property_reply_t* reply = xcb_get_property_reply(
            connection, xcb_get_property(connection, 0, m_owner, m_colorsAtom, XCB_ATOM_CARDINAL, 0, 12), nullptr);
        if (reply && reply->format == 32 && xcb_get_property_value_length(reply) >= 3 * 4) {
            const auto* values = static_cast<const std::uint32_t*>(xcb_get_property_value(reply));
            const auto channel = [](std::uint32_t value) { return std::min<std::uint32_t>(value, 65535) >> 8; };
            foreground = channel(values[0]) << 16 | channel(values[1]) << 8 | channel(values[2]);
        }
        std::free(reply);
    }
    if (foreground != m_foreground) {
        m_foreground = foreground;
        Q_EMIT foregroundChanged();
    }
}

void XEmbedTrayWatch::readEvents()
{
    bool recheck = false;
    bool recolor = false;
    while (xcb_generic_event_t* event = xcb_poll_for_event(m_x->get())) {
        const std::uint8_t type = event->response_type & 0x7f;
        if (type == XCB_CLIENT_MESSAGE) {
            const auto* message = reinterpret_cast<xcb_client_message_event_t*>(event);
            if (message->type == m_managerAtom && message->format == 32 && message->data.data32[1] == m_selection)
                recheck = true;
        } else if (type == XCB_DESTROY_NOTIFY) {
            if (reinterpret_cast<xcb_destroy_notify_event_t*>(event)->window == m_owner)
                recheck = true;
        } else if (type == XCB_PROPERTY_NOTIFY) {
            const auto* property = reinterpret_cast<xcb_property_notify_event_t*>(event);
            if (property->window == m_owner && property->atom == m_colorsAtom)
                recolor = true;
        }
        std::free(event);
    }
    if (m_x->failed()) {
        // The X server went away, and every tray with it.
        m_x->stopWatching();
        if (m_owner != 0) {
            m_owner = 0;
            readColors();
            Q_EMIT availableChanged();
        }
        return;
    }
    if (recheck)
        findOwner();
    else if (recolor)
        readColors();
}

} // namespace rubbly

// Compiled here rather than with the library's other meta-objects: a program that links the
// library without this class (`rubbly`) then links none of the libraries it calls either.
#include "moc_XEmbedTrayWatch.cpp" // NOLINT(bugprone-suspicious-include): moc's output, on purpose
