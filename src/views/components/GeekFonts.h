#pragma once

#include <QFont>

namespace rubbly {

// Weights by the names the designs use.
enum class Weight { Regular = 400, Medium = 500, Semibold = 600, Bold = 700, Heavy = 800, Black = 900 };

// The system's fixed-pitch font at `size` device-independent pixels (fractions allowed), with Noto
// Sans CJK SC behind it so Chinese text takes the Simplified forms whatever the locale says.
QFont monoFont(qreal size, Weight weight = Weight::Regular);
// The system's general font at the same pixel sizes, for the settings window.
QFont uiFont(qreal size, Weight weight = Weight::Regular);

} // namespace rubbly
