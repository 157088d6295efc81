#pragma once

#include <QByteArray>
#include <QList>
#include <QRect>

#include <memory>

namespace rubbly {

class X11Connection;

// The strips of the desktop that bars (panels, docks) reserve for themselves, read from the struts
// of the windows the window manager manages (_NET_CLIENT_LIST, _NET_WM_STRUT_PARTIAL or _NET_WM_STRUT).
// Per bar, unlike the one work area _NET_WORKAREA gives for all screens together: a bar along the
// bottom of the right screen leaves the left one whole. Uses a connection of its own, opened on
// first use.
class X11Bars final {
public:
    explicit X11Bars(QByteArray display = {});
    ~X11Bars();
    X11Bars(const X11Bars&) = delete;
    X11Bars& operator=(const X11Bars&) = delete;

    // In the root window's coordinates; empty without a window manager or an X server.
    QList<QRect> read();

private:
    QByteArray m_display;
    std::unique_ptr<X11Connection> m_x;
    bool m_failed = false;
};

} // namespace rubbly
