#pragma once

#include <QList>
#include <QPoint>
#include <QRect>
#include <QSize>

#include <optional>

namespace rubbly {

// Where the panel opens, worked out from what is known about the tray item at that moment, without
// asking the window system anything: the same answer for a click, the item's menu, a second start
// of the program, a desktop action and the shortcut.
struct PanelSurroundings {
    struct Screen {
        QRect geometry;
        QRect available; // what the window manager leaves free of bars (the work area on it)
    };
    // Where the host last said the item was activated (or the pointer at that click).
    std::optional<QPoint> activation;
    // The pointer as the panel was asked for; null where it cannot be trusted (XWayland).
    std::optional<QPoint> pointer;
    // Whether the pointer is near the item: the host draws the item's menu beside the item, so an
    // entry chosen there was chosen close to it. Otherwise the pointer counts only when it is on a bar
    // (a launcher or widget in a bar ran us), never when it is elsewhere (a key was pressed).
    bool pointerBesideItem = false;
    QList<Screen> screens; // the primary first
    // The bars' reserved strips (their struts) in desktop coordinates; when none are known, each
    // screen's edges that its available area leaves out are taken for bars.
    QList<QRect> bars;
};

enum class PanelEdge { Top, Bottom, Left, Right };

struct PanelPlace {
    QRect geometry;
    PanelEdge edge = PanelEdge::Top;
};

// The panel of `size` against the bar that holds the item, flush and never over it: under a top bar,
// above a bottom one, beside a left or right one, on the screen of the anchor and inside its free
// area. The anchor is a fresh pointer on a bar, else the activation point, else the pointer beside
// the item; the panel is centred on it along the bar. With none, the corner where trays sit on the
// bar's edge (the right end of a horizontal bar, the bottom of a vertical one).
PanelPlace placePanel(QSize size, const PanelSurroundings& around);

} // namespace rubbly
