#pragma once

#include <QFont>

namespace rubbly {

// Weights by the names the designs use.
enum class Weight { Regular = 400, Medium = 500, Semibold = 600, Bold = 700, Heavy = 800, Black = 900 };

// The panel's monospaced font (JetBrains Mono, else the system's fixed-pitch font) at `size`
// device-independent pixels (fractions allowed), with Noto Sans Mono CJK SC behind it so Chinese text
// takes the Simplified forms whatever the locale says.
QFont monoFont(qreal size, Weight weight = Weight::Regular);
// The system's general font at the same pixel sizes, for the settings window.
QFont uiFont(qreal size, Weight weight = Weight::Regular);

// How far below the middle of its line box a line of `font` looks centred: between the middle of the
// lower-case letters and that of the capitals. A marker beside the text sits there, not at the box's
// middle, which the descender space pulls down less than the ascender space pushes up.
qreal visualMiddleOffset(const QFont& font);

} // namespace rubbly
