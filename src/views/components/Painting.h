#pragma once

#include <QColor>
#include <QRectF>

class QPainter;
class QPainterPath;

namespace rubbly {

// A rounded rectangle path; corner radii are clamped to half the shorter side.
QPainterPath roundedRect(const QRectF& rect, qreal radius);

// Fills `rect` and strokes its outline inside the edge. An outline thinner than one device pixel is
// drawn one pixel wide with its alpha scaled down, so a 0.5-point hairline stays visible and crisp on
// a 1x screen.
void paintCard(QPainter& painter, const QRectF& rect, qreal radius, const QColor& fill, const QColor& outline = {},
               qreal outlineWidth = 1.0);

// The colour `t` of the way from `from` to `to` (0 is `from`, 1 is `to`), alpha included.
QColor blend(const QColor& from, const QColor& to, qreal t);

// A soft shadow of the rounded rectangle `rect`, blurred by `blur`, moved by (dx, dy).
void paintShadow(QPainter& painter, const QRectF& rect, qreal radius, const QColor& color, qreal blur, qreal dx = 0,
                 qreal dy = 0);

} // namespace rubbly
