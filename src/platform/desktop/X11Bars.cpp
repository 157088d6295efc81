#include "X11Bars.h"

#include "X11Connection.h"

#include <xcb/xcb.h>

#include <cstdlib>
#include <vector>

namespace rubbly {

namespace {

// A property of `window` as 32-bit values, at most `length` of them; empty when absent.
std::vector<std::uint32_t> cardinals(xcb_connection_t* c, xcb_window_t window, xcb_atom_t property, xcb_atom_t type,
                                     std::uint32_t length)
{
    xcb_get_property_reply_t* reply =
        xcb_get_property_reply(c, xcb_get_property(c, 0, window, property, type, 0, length), nullptr);
    if (!reply)
        return {};
    std::vector<std::uint32_t> values;
    if (reply->format == 32) {
        const auto* data = static_cast<const std::uint32_t*>(xcb_get_property_value(reply));
        values.assign(data, data + xcb_get_property_value_length(reply) / 4);
    }
    std::free(reply);
    return values;
}

} // namespace

X11Bars::X11Bars(QByteArray display)
    : m_display(std::move(display))
{
}

X11Bars::~X11Bars() = default;

QList<QRect> X11Bars::read()
{
    if (!m_x && !m_failed) {
        m_x = X11Connection::open(m_display);
        m_failed = !m_x;
    }
    if (!m_x || m_x->failed())
        return {};
    xcb_connection_t* c = m_x->get();
    xcb_get_geometry_reply_t* root = xcb_get_geometry_reply(c, xcb_get_geometry(c, m_x->root()), nullptr);
    if (!root)
        return {};
    const int width = root->width, height = root->height;
    std::free(root);

    const xcb_atom_t partialAtom = m_x->atom("_NET_WM_STRUT_PARTIAL");
    const xcb_atom_t strutAtom = m_x->atom("_NET_WM_STRUT");
    // A desktop has a few dozen windows at most; the cap only bounds a hostile list.
    const std::vector<std::uint32_t> clients =
        cardinals(c, m_x->root(), m_x->atom("_NET_CLIENT_LIST"), XCB_ATOM_WINDOW, 4096);
    QList<QRect> bars;
    for (const std::uint32_t window : clients) {
        std::vector<std::uint32_t> s = cardinals(c, window, partialAtom, XCB_ATOM_CARDINAL, 12);
        if (s.size() < 12) {
            const std::vector<std::uint32_t> plain = cardinals(c, window, strutAtom, XCB_ATOM_CARDINAL, 4);
            if (plain.size() < 4)
                continue;
            // The whole length of each side.
            const auto w = std::uint32_t(width - 1), h = std::uint32_t(height - 1);
            s = {plain[0], plain[1], plain[2], plain[3], 0, h, 0, h, 0, w, 0, w};
        }
        // left, right, top, bottom, then the start and end of each along its side.
        const auto span = [](std::uint32_t start, std::uint32_t end) { return int(end) - int(start) + 1; };
        if (s[0] > 0 && s[0] < std::uint32_t(width))
            bars.append(QRect(0, int(s[4]), int(s[0]), span(s[4], s[5])));
        if (s[1] > 0 && s[1] < std::uint32_t(width))
            bars.append(QRect(width - int(s[1]), int(s[6]), int(s[1]), span(s[6], s[7])));
        if (s[2] > 0 && s[2] < std::uint32_t(height))
            bars.append(QRect(int(s[8]), 0, span(s[8], s[9]), int(s[2])));
        if (s[3] > 0 && s[3] < std::uint32_t(height))
            bars.append(QRect(int(s[10]), height - int(s[3]), span(s[10], s[11]), int(s[3])));
    }
    return bars;
}

} // namespace rubbly
