#pragma once

#include <QColor>
#include <QPixmap>
#include <QRectF>
#include <QString>

class QPainter;

namespace rubbly {

// The symbols the views name ("gearshape", "arrow.clockwise", "1.circle.fill", ...) are monochrome
// SVGs of our own drawing, bundled as resources and tinted when drawn. A filled symbol with a glyph
// inside ("N.circle.fill") has a second drawing, "<name>.cut", that is punched out of the first, so
// the glyph shows whatever lies behind. A name we have no drawing for falls back to the desktop's
// icon theme.

// True when `name` has a drawing of our own.
bool hasSymbol(const QString& name);
// `name` at `size` device-independent pixels in `color`, for a device-pixel ratio of `dpr`.
QPixmap symbolPixmap(const QString& name, qreal size, const QColor& color, qreal dpr);
// Draws `name` centred in `rect` at `size` pixels.
void paintSymbol(QPainter& painter, const QRectF& rect, const QString& name, qreal size, const QColor& color);

} // namespace rubbly
