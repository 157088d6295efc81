#include "X11Connection.h"

#include <QSocketNotifier>

#include <xcb/xcb.h>

#include <cstdlib>

namespace rubbly {

std::unique_ptr<X11Connection> X11Connection::open(const QByteArray& display)
{
    int screen = 0;
    xcb_connection_t* connection = xcb_connect(display.isEmpty() ? nullptr : display.constData(), &screen);
    if (xcb_connection_has_error(connection)) {
        xcb_disconnect(connection);
        return nullptr;
    }
    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(connection));
    for (int i = 0; i < screen && screens.rem; ++i)
        xcb_screen_next(&screens);
    if (!screens.rem) {
        xcb_disconnect(connection);
        return nullptr;
    }
    return std::unique_ptr<X11Connection>(new X11Connection(connection, screens.data->root, screen));
}

X11Connection::X11Connection(xcb_connection_t* connection, std::uint32_t root, int screen)
    : m_connection(connection)
    , m_root(root)
    , m_screen(screen)
{
}

X11Connection::~X11Connection()
{
    // The notifier watches the socket that disconnecting closes.
    m_notifier.reset();
    xcb_disconnect(m_connection);
}

bool X11Connection::failed() const
{
    return xcb_connection_has_error(m_connection) != 0;
}

std::uint32_t X11Connection::atom(const QByteArray& name) const
{
    xcb_intern_atom_reply_t* reply =
        xcb_intern_atom_reply(m_connection, xcb_intern_atom(m_connection, 0, name.size(), name.constData()), nullptr);
    const xcb_atom_t atom = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    std::free(reply);
    return atom;
}

void X11Connection::watch(QObject* context, std::function<void()> read)
{
    m_notifier = std::make_unique<QSocketNotifier>(xcb_get_file_descriptor(m_connection), QSocketNotifier::Read);
    QObject::connect(m_notifier.get(), &QSocketNotifier::activated, context, std::move(read));
}

void X11Connection::stopWatching()
{
    if (m_notifier)
        m_notifier->setEnabled(false);
}

bool x11DisplayReachable(const QByteArray& display)
{
    xcb_connection_t* connection = xcb_connect(display.isEmpty() ? nullptr : display.constData(), nullptr);
    const bool ok = !xcb_connection_has_error(connection);
    xcb_disconnect(connection);
    return ok;
}

} // namespace rubbly
