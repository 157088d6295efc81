#pragma once

#include <QColor>

#include <array>

namespace rubbly {

// The colour set of the panel's terminal look. Each colour has a dark and a light variant; views pick
// the variant from the effective colour scheme.
struct GeekThemeColor {
    QColor dark;
    QColor light;

    const QColor& resolve(bool darkScheme) const { return darkScheme ? dark : light; }
};

struct GeekTheme {
    GeekThemeColor background;
    GeekThemeColor surface;
    GeekThemeColor border;
    GeekThemeColor hoverFill;
    GeekThemeColor textPrimary;
    GeekThemeColor textSecondary;
    GeekThemeColor textTertiary;

    // The one instance, created on first use.
    static const GeekTheme& shared();
};

// The 11 accent colours views pick by index: 4 accent, 6 success, 8 warning, 10 danger; the file
// categories use 0 (video), 1 (audio), 4 (development), 5 (image), 6 (document), 8 (archive), 9 (other).
const std::array<QColor, 11>& spectrum();

} // namespace rubbly
