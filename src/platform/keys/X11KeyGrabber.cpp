#include "X11KeyGrabber.h"

#include "AppIdentity.h"
#include "X11Connection.h"

#include <QLoggingCategory>

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
    if (m_symbols)
        xcb_key_symbols_free(m_symbols);
}

bool X11KeyGrabber::connectToServer()
{
    if (m_x)
        return true;
    m_x = X11Connection::open(m_display);
    if (!m_x)
        return false;
    m_symbols = xcb_key_symbols_alloc(m_x->get());
    m_x->watch(this, [this] { readEvents(); });
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
    if (m_x)
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
            cookies.append(xcb_grab_key_checked(m_x->get(), 0, m_x->root(), modifiers, keycode, XCB_GRAB_MODE_ASYNC,
                                                XCB_GRAB_MODE_ASYNC));
        }
    }
    bool refused = m_keycodes.isEmpty();
    for (const xcb_void_cookie_t cookie : std::as_const(cookies)) {
        if (xcb_generic_error_t* error = xcb_request_check(m_x->get(), cookie)) {
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
        xcb_ungrab_key(m_x->get(), keycode, m_x->root(), XCB_MOD_MASK_ANY);
    m_keycodes.clear();
    // A round trip, so the server has let go before we return: another client (or a new connection
    // of ours) that grabs right after must not be refused.
    if (hadGrab)
        std::free(xcb_get_input_focus_reply(m_x->get(), xcb_get_input_focus(m_x->get()), nullptr));
}

void X11KeyGrabber::readEvents()
{
    if (!m_x)
        return; // never connected
    bool remap = false;
    while (xcb_generic_event_t* event = xcb_poll_for_event(m_x->get())) {
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
    if (m_x->failed()) {
        // The X server went away; nothing more will come from this connection.
        m_x->stopWatching();
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

// Compiled here rather than with the library's other meta-objects: a program that links the
// library without this class (`rubbly`) then links none of the libraries it calls either.
#include "moc_X11KeyGrabber.cpp" // NOLINT(bugprone-suspicious-include): moc's output, on purpose
