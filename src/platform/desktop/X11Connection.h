#pragma once

#include <QByteArray>

#include <cstdint>
#include <functional>
#include <memory>

class QObject;
class QSocketNotifier;
struct xcb_connection_t;

namespace rubbly {

// A connection of our own to an X server, apart from Qt's: the key grab, the tray watch and the
// pointer query use one each, so they work before (and without) a QGuiApplication and never see or
// disturb the events Qt reads. Closed when destroyed.
class X11Connection final {
public:
    // Connects to `display` (as in $DISPLAY; empty for the environment's). Null when no X server
    // answers there, or it lacks the screen the display names.
    static std::unique_ptr<X11Connection> open(const QByteArray& display);
    ~X11Connection();
    X11Connection(const X11Connection&) = delete;
    X11Connection& operator=(const X11Connection&) = delete;

    xcb_connection_t* get() const { return m_connection; }
    // The root window of the display's screen, and that screen's number.
    std::uint32_t root() const { return m_root; }
    int screen() const { return m_screen; }
    // True once the server has gone away: nothing more comes from this connection.
    bool failed() const;
    // The atom of `name`, made if the server has none yet; XCB_ATOM_NONE when the server does not answer.
    std::uint32_t atom(const QByteArray& name) const;
    // Calls `read` in `context`'s thread whenever the socket has something to read. Events that a
    // reply wait has already pulled into xcb's own queue wake no one: the reader drains with
    // xcb_poll_for_event() until it is empty, and after its own round trips. Stops once the
    // connection failed (see stopWatching()).
    void watch(QObject* context, std::function<void()> read);
    void stopWatching();

private:
    X11Connection(xcb_connection_t* connection, std::uint32_t root, int screen);

    xcb_connection_t* m_connection;
    std::uint32_t m_root;
    int m_screen;
    std::unique_ptr<QSocketNotifier> m_notifier;
};

// True when an X server answers at `display` (empty: $DISPLAY).
bool x11DisplayReachable(const QByteArray& display = {});

} // namespace rubbly
