#include "X11KeyGrabber.h"

#include "AppIdentity.h"

#include <QLoggingCategory>
#include <QSocketNotifier>

#include <xcb/xcb.h>
#include <xcb/xcb_keysyms.h>

#include <cstdlib>

namespace rubbly {

Q_LOGGING_CATEGORY(lcShortcut, RUBBLY_APP_ID ".Shortcut")

namespace {

constexpr xcb_keysym_t kBackSpace = 0xff08;                              // XK_BackSpace
constexpr std::uint16_t kRequired = XCB_MOD_MASK_1 | XCB_MOD_MASK_SHIFT; // Alt is Mod1 in every common layout
// Modifiers that may be held as well: Control and Super fire too; NumLock and CapsLock are states.
constexpr std::uint16_t kOptional[] = {XCB_MOD_MASK_CONTROL, XCB_MOD_MASK_4, XCB_MOD_MASK_2, XCB_MOD_MASK_LOCK};

} // namespace

X11KeyGrabber::X11KeyGrabber(QByteArray display, QObject* parent)
    : KeyGrabber(parent)
    , m_display(std::move(display))
{
}

X11KeyGrabber::~X11KeyGrabber()
{
    stop();
    m_notifier.reset();
    if (m_symbols)
        xcb_key_symbols_free(m_symbols);
    if (m_connection)
        xcb_disconnect(m_connection);
}

bool X11KeyGrabber::connectToServer()
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
    m_symbols = xcb_key_symbols_alloc(m_connection);
    m_notifier = std::make_unique<QSocketNotifier>(xcb_get_file_descriptor(m_connection), QSocketNotifier::Read);
    connect(m_notifier.get(), &QSocketNotifier::activated, this, [this] { readEvents(); });
    return true;
}

void X11KeyGrabber::start()
{
    m_wanted = true;
    if (!connectToServer()) {
        setStatus(Status::Unavailable);
        return;
    }
    ungrab();
    grab();
    drainLater();
}

void X11KeyGrabber::drainLater()
{
    // Waiting for the server's replies reads whatever else arrived into xcb's own queue, where the
    // socket notifier never sees it: a press made during a (re)grab would wait for the next event.
    QMetaObject::invokeMethod(this, &X11KeyGrabber::readEvents, Qt::QueuedConnection);
}

void X11KeyGrabber::stop()
{
    m_wanted = false;
    if (m_connection)
        ungrab();
    setStatus(Status::Inactive);
}

void X11KeyGrabber::grab()
{
    m_keycodes.clear();
    if (xcb_keycode_t* codes = xcb_key_symbols_get_keycode(m_symbols, kBackSpace)) {
        for (xcb_keycode_t* code = codes; *code != XCB_NO_SYMBOL; ++code)
            m_keycodes.append(*code);
        std::free(codes);
    }
    QList<xcb_void_cookie_t> cookies;
    for (const std::uint8_t keycode : std::as_const(m_keycodes)) {
        for (unsigned subset = 0; subset < 16; ++subset) {
            std::uint16_t modifiers = kRequired;
            for (unsigned bit = 0; bit < 4; ++bit) {
                if (subset & (1u << bit))
                    modifiers |= kOptional[bit];
            }
            cookies.append(xcb_grab_key_checked(m_connection, 0, m_root, modifiers, keycode, XCB_GRAB_MODE_ASYNC,
                                                XCB_GRAB_MODE_ASYNC));
        }
    }
    bool refused = m_keycodes.isEmpty();
    for (const xcb_void_cookie_t cookie : std::as_const(cookies)) {
        if (xcb_generic_error_t* error = xcb_request_check(m_connection, cookie)) {
            refused = true;
            std::free(error);
        }
    }
    if (refused) {
        // Half a grab would fire with some lock states and not others: all or nothing.
        ungrab();
        qCWarning(lcShortcut) << "Alt+Shift+BackSpace is already taken by another program";
        setStatus(Status::Conflict);
        return;
    }
    setStatus(Status::Active);
}

void X11KeyGrabber::ungrab()
{
    const bool hadGrab = !m_keycodes.isEmpty();
    for (const std::uint8_t keycode : std::as_const(m_keycodes))
        xcb_ungrab_key(m_connection, keycode, m_root, XCB_MOD_MASK_ANY);
    m_keycodes.clear();
    // A round trip, so the server has let go before we return: another client (or a new connection
    // of ours) that grabs right after must not be refused.
    if (hadGrab)
        std::free(xcb_get_input_focus_reply(m_connection, xcb_get_input_focus(m_connection), nullptr));
}

void X11KeyGrabber::readEvents()
{
    if (!m_connection)
        return; // stopped since the drain was queued
    bool remap = false;
    while (xcb_generic_event_t* event = xcb_poll_for_event(m_connection)) {
        const std::uint8_t type = event->response_type & 0x7f;
        if (type == XCB_KEY_PRESS) {
            const auto* press = reinterpret_cast<xcb_key_press_event_t*>(event);
            if (m_status == Status::Active && m_keycodes.contains(press->detail) &&
                (press->state & kRequired) == kRequired)
                Q_EMIT activated();
        } else if (type == XCB_MAPPING_NOTIFY) {
            xcb_refresh_keyboard_mapping(m_symbols, reinterpret_cast<xcb_mapping_notify_event_t*>(event));
            remap = true;
        }
        std::free(event);
    }
    if (xcb_connection_has_error(m_connection)) {
        // The X server went away; nothing more will come from this connection.
        m_notifier->setEnabled(false);
        setStatus(Status::Unavailable);
        return;
    }
    if (remap && m_wanted && m_status == Status::Active) {
        ungrab();
        grab();
        drainLater();
    }
}

void X11KeyGrabber::setStatus(Status status)
{
    if (m_status == status)
        return;
    m_status = status;
    Q_EMIT statusChanged();
}

} // namespace rubbly
