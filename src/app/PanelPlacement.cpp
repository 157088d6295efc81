#include "PanelPlacement.h"

#include <algorithm>

namespace rubbly {

namespace {

using Screen = PanelSurroundings::Screen;

// The strips of `screen` its available area leaves out: the bars, where no struts are known.
QList<QRect> barsFromAvailable(const Screen& screen)
{
    const QRect& g = screen.geometry;
    const QRect& a = screen.available;
    if (!a.isValid() || !g.contains(a))
        return {};
    QList<QRect> bars;
    if (a.top() > g.top())
        bars.append(QRect(QPoint(g.left(), g.top()), QPoint(g.right(), a.top() - 1)));
    if (a.bottom() < g.bottom())
        bars.append(QRect(QPoint(g.left(), a.bottom() + 1), QPoint(g.right(), g.bottom())));
    if (a.left() > g.left())
        bars.append(QRect(QPoint(g.left(), g.top()), QPoint(a.left() - 1, g.bottom())));
    if (a.right() < g.right())
        bars.append(QRect(QPoint(a.right() + 1, g.top()), QPoint(g.right(), g.bottom())));
    return bars;
}

qint64 distance(QPoint p, const QRect& r)
{
    const qint64 dx = std::max({qint64(r.left()) - p.x(), qint64(0), qint64(p.x()) - r.right()});
    const qint64 dy = std::max({qint64(r.top()) - p.y(), qint64(0), qint64(p.y()) - r.bottom()});
    return dx * dx + dy * dy;
}

// Which side of `screen` a bar lies along: a wide strip is a top or bottom bar, a tall one a side bar.
PanelEdge edgeOf(const QRect& bar, const QRect& screen)
{
    if (bar.width() >= bar.height())
        return bar.center().y() < screen.center().y() ? PanelEdge::Top : PanelEdge::Bottom;
    return bar.center().x() < screen.center().x() ? PanelEdge::Left : PanelEdge::Right;
}

} // namespace

PanelPlace placePanel(QSize size, const PanelSurroundings& around)
{
    const QList<Screen> screens =
        around.screens.isEmpty() ? QList<Screen>{{QRect(0, 0, 1280, 800), QRect(0, 0, 1280, 800)}} : around.screens;
    // The bars on each screen, cut to it.
    QList<QList<QRect>> bars;
    for (const Screen& screen : screens) {
        QList<QRect> own;
        for (const QRect& bar : around.bars.isEmpty() ? barsFromAvailable(screen) : around.bars) {
            const QRect part = bar.intersected(screen.geometry);
            if (!part.isEmpty() && part != screen.geometry)
                own.append(part);
        }
        bars.append(own);
    }
    const auto screenOf = [&](QPoint p) {
        qsizetype best = 0;
        for (qsizetype i = 0; i < screens.size(); ++i) {
            if (distance(p, screens[i].geometry) < distance(p, screens[best].geometry))
                best = i;
        }
        return best;
    };
    const auto onABar = [&](QPoint p) {
        const qsizetype s = screenOf(p);
        return std::any_of(bars[s].begin(), bars[s].end(), [p](const QRect& bar) { return bar.contains(p); });
    };

    std::optional<QPoint> anchor;
    if (around.pointer && onABar(*around.pointer))
        anchor = around.pointer;
    else if (around.activation)
        anchor = around.activation;
    else if (around.pointer && around.pointerBesideItem)
        anchor = around.pointer;

    // The screen: the anchor's; without one, the first with a bar (the primary when it has one).
    qsizetype s = 0;
    if (anchor)
        s = screenOf(*anchor);
    else if (bars[0].isEmpty()) {
        for (qsizetype i = 0; i < screens.size(); ++i) {
            if (!bars[i].isEmpty()) {
                s = i;
                break;
            }
        }
    }
    const QRect geometry = screens[s].geometry;
    // The free area: the screen less its bars on every side.
    qint64 top = geometry.top(), bottom = geometry.bottom(), left = geometry.left(), right = geometry.right();
    for (const QRect& bar : bars[s]) {
        switch (edgeOf(bar, geometry)) {
        case PanelEdge::Top:
            top = std::max<qint64>(top, bar.bottom() + 1);
            break;
        case PanelEdge::Bottom:
            bottom = std::min<qint64>(bottom, bar.top() - 1);
            break;
        case PanelEdge::Left:
            left = std::max<qint64>(left, bar.right() + 1);
            break;
        case PanelEdge::Right:
            right = std::min<qint64>(right, bar.left() - 1);
            break;
        }
    }

    // The edge: that of the bar nearest the anchor; without bars, the half of the screen it is in;
    // without an anchor, the bar trays are most often in (top, bottom, right, left).
    PanelEdge edge = PanelEdge::Top;
    if (anchor && !bars[s].isEmpty()) {
        const QRect nearest = *std::min_element(bars[s].begin(), bars[s].end(), [&](const QRect& a, const QRect& b) {
            return distance(*anchor, a) < distance(*anchor, b);
        });
        edge = edgeOf(nearest, geometry);
    } else if (anchor) {
        edge = anchor->y() < geometry.center().y() ? PanelEdge::Top : PanelEdge::Bottom;
        // Nothing to be flush with: the panel starts at the point, on the side away from the edge.
        (edge == PanelEdge::Top ? top : bottom) = std::clamp<qint64>(anchor->y(), top, bottom);
    } else {
        for (const PanelEdge candidate : {PanelEdge::Top, PanelEdge::Bottom, PanelEdge::Right, PanelEdge::Left}) {
            if (std::any_of(bars[s].begin(), bars[s].end(),
                            [&](const QRect& bar) { return edgeOf(bar, geometry) == candidate; })) {
                edge = candidate;
                break;
            }
        }
    }

    const int w = size.width(), h = size.height();
    const bool horizontal = edge == PanelEdge::Top || edge == PanelEdge::Bottom;
    // Along the bar: centred on the anchor, or at the end of the bar where the tray is.
    qint64 x = 0, y = 0;
    if (horizontal) {
        x = anchor ? qint64(anchor->x()) - w / 2 : right - w + 1;
        y = edge == PanelEdge::Top ? top : bottom - h + 1;
    } else {
        y = anchor ? qint64(anchor->y()) - h / 2 : bottom - h + 1;
        x = edge == PanelEdge::Left ? left : right - w + 1;
    }
    const auto clampTo = [](qint64 v, qint64 low, qint64 high) {
        return static_cast<int>(std::clamp(v, low, std::max(low, high)));
    };
    return {QRect(clampTo(x, left, right - w + 1), clampTo(y, top, bottom - h + 1), w, h), edge};
}

} // namespace rubbly
