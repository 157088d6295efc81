#include "XEmbedTrayWatch.h"

#include <QSocketNotifier>

#include <xcb/xcb.h>

#include <algorithm>
#include <cstdlib>

namespace rubbly {

namespace {

xcb_atom_t internAtom(xcb_connection_t* connection, const QByteArray& name)
{
    xcb_intern_atom_reply_t* reply =
        xcb_intern_atom_reply(connection, xcb_intern_atom(connection, 0, name.size(), name.constData()), nullptr);
    const xcb_atom_t atom = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    std::free(reply);
    return atom;
}

} // namespace

bool x11DisplayReachable(const QByteArray& display)
{
    xcb_connection_t* connection = xcb_connect(display.isEmpty() ? nullptr : display.constData(), nullptr);
    const bool ok = !xcb_connection_has_error(connection);
    xcb_disconnect(connection);
    return ok;
}

XEmbedTrayWatch::XEmbedTrayWatch(QByteArray display, QObject* parent)
    : QObject(parent)
    , m_display(std::move(display))
{
}

XEmbedTrayWatch::~XEmbedTrayWatch()
{
    m_notifier.reset();
    if (m_connection)
        xcb_disconnect(m_connection);
}

bool XEmbedTrayWatch::start()
{
    if (m_connection)
        return true;
    int screenNumber = 0;
    xcb_connection_t* connection = xcb_connect(m_display.isEmpty() ? nullptr : m_display.constData(), &screenNumber);
    if (xcb_connection_has_error(connection)) {
        xcb_disconnect(connection);
        return false;
    }
    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(connection));
    for (int i = 0; i < screenNumber && screens.rem; ++i)
        xcb_screen_next(&screens);
    if (!screens.rem) {
        xcb_disconnect(connection);
        return false;
    }
    m_connection = connection;
    m_root = screens.data->root;
    m_selection = internAtom(m_connection, "_NET_SYSTEM_TRAY_S" + QByteArray::number(screenNumber));
    m_managerAtom = internAtom(m_connection, "MANAGER");
    m_colorsAtom = internAtom(m_connection, "_NET_SYSTEM_TRAY_COLORS");
    // The MANAGER announcement is sent to the root window with StructureNotify.
    const std::uint32_t mask = XCB_EVENT_MASK_STRUCTURE_NOTIFY;
    xcb_change_window_attributes(m_connection, m_root, XCB_CW_EVENT_MASK, &mask);
    m_notifier = std::make_unique<QSocketNotifier>(xcb_get_file_descriptor(m_connection), QSocketNotifier::Read);
    connect(m_notifier.get(), &QSocketNotifier::activated, this, [this] { readEvents(); });
    findOwner();
    return true;
}

void XEmbedTrayWatch::findOwner()
{
    const std::uint32_t before = m_owner;
    m_owner = 0;
    for (int attempt = 0; attempt < 3 && !m_owner; ++attempt) {
        xcb_get_selection_owner_reply_t* reply =
            xcb_get_selection_owner_reply(m_connection, xcb_get_selection_owner(m_connection, m_selection), nullptr);
        const xcb_window_t owner = reply ? reply->owner : xcb_window_t(XCB_WINDOW_NONE);
        std::free(reply);
        if (owner == XCB_WINDOW_NONE)
            break;
        // Its DestroyNotify tells us when the manager is gone, its PropertyNotify when its colours
        // change. The window may vanish between the two requests; then the selection is asked for
        // again.
        const std::uint32_t mask = XCB_EVENT_MASK_STRUCTURE_NOTIFY | XCB_EVENT_MASK_PROPERTY_CHANGE;
        xcb_generic_error_t* error = xcb_request_check(
            m_connection, xcb_change_window_attributes_checked(m_connection, owner, XCB_CW_EVENT_MASK, &mask));
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
        xcb_get_property_reply_t* reply = xcb_get_property_reply(
            m_connection, xcb_get_property(m_connection, 0, m_owner, m_colorsAtom, XCB_ATOM_CARDINAL, 0, 12), nullptr);
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
    while (xcb_generic_event_t* event = xcb_poll_for_event(m_connection)) {
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
    if (xcb_connection_has_error(m_connection)) {
        // The X server went away, and every tray with it.
        m_notifier->setEnabled(false);
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
