#include "GeekTheme.h"

#include <QPalette>
#include <QWidget>

#include <algorithm>
#include <cmath>

namespace rubbly {

namespace {

QColor rgb(double r, double g, double b)
{
    return QColor::fromRgbF(static_cast<float>(r), static_cast<float>(g), static_cast<float>(b));
}

QColor white(double level, double alpha = 1.0)
{
    return QColor::fromRgbF(static_cast<float>(level), static_cast<float>(level), static_cast<float>(level),
                            static_cast<float>(alpha));
}

// White over the dark scheme, black over the light one, each as opaque as given.
GeekThemeColor veil(double darkAlpha, double lightAlpha)
{
    return {white(1.0, darkAlpha), white(0.0, lightAlpha)};
}

} // namespace

const GeekTheme& GeekTheme::shared()
{
    static const GeekTheme theme{
        {rgb(0.08, 0.085, 0.095), rgb(0.96, 0.965, 0.975)},
        {rgb(0.12, 0.125, 0.14), rgb(0.91, 0.92, 0.94)},
        {white(1.0, 0.08), white(0.0, 0.08)},
        {white(1.0, 0.08), white(0.0, 0.06)},
        {white(0.95), white(0.12)},
        {white(0.62), white(0.3)},
        {white(0.4), white(0.4)},
        {white(1.0, 0.0), white(0.5)},
        {white(1.0, 0.05), white(1.0, 0.75)},
        veil(0.08, 0.06),
        veil(0.08 * 1.6, 0.06 * 1.6),
        {white(1.0, 0.2), white(1.0)},
        veil(0.18, 0.16),
        veil(0.08, 0.04),
        veil(0.12, 0.07),
        veil(0.16, 0.1),
        white(0.0, 0.6),
        white(0.0, 0.5),
        white(1.0, 0.02),
        {white(1.0, 0.08), white(0.0, 0.08)},
        {white(1.0, 0.22), white(0.5)},
        rgb(0.06, 0.07, 0.08),
        white(1.0),
        white(1.0),
        white(1.0, 0.6),
        {QColor(255, 149, 0), QColor(136, 77, 0)},
        QColor(20, 22, 24),
    };
    return theme;
}

const std::array<QColor, 11>& spectrum()
{
    static const std::array<QColor, 11> colors{
        rgb(0.75, 0.3, 0.95), rgb(0.55, 0.42, 0.96), rgb(0.23, 0.45, 0.92), rgb(0.17, 0.62, 0.96),
        rgb(0.0, 0.88, 0.82), rgb(0.0, 0.8, 0.6),    rgb(0.21, 0.75, 0.42), rgb(0.52, 0.75, 0.1),
        rgb(0.88, 0.6, 0.12), rgb(0.88, 0.4, 0.12),  rgb(0.92, 0.25, 0.25),
    };
    return colors;
}

QColor accentColor(int index, bool dark)
{
    const std::size_t at = static_cast<std::size_t>(index) % spectrum().size();
    if (dark)
        return spectrum()[at];
    // Each keeps its hue: the linear channels scaled to a luminance of about 0.105.
    switch (at) {
    case 4:
        return QColor(0, 98, 90);
    case 6:
        return QColor(25, 105, 56);
    case 8:
        return QColor(124, 83, 12);
    case 10:
        return QColor(160, 41, 41);
    default:
        return spectrum()[at];
    }
}

namespace {

double luminance(const QColor& color)
{
    const auto channel = [](double c) { return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4); };
    return 0.2126 * channel(color.redF()) + 0.7152 * channel(color.greenF()) + 0.0722 * channel(color.blueF());
}

} // namespace

double contrastRatio(const QColor& foreground, const QColor& background)
{
    const double a = foreground.alphaF();
    const QColor drawn = QColor::fromRgbF(static_cast<float>(foreground.redF() * a + background.redF() * (1 - a)),
                                          static_cast<float>(foreground.greenF() * a + background.greenF() * (1 - a)),
                                          static_cast<float>(foreground.blueF() * a + background.blueF() * (1 - a)));
    // By value: std::minmax of two temporaries returns references to them, gone by the next line.
    const double one = luminance(drawn);
    const double other = luminance(background);
    return (std::max(one, other) + 0.05) / (std::min(one, other) + 0.05);
}

Tint Tint::fixed(QColor color)
{
    Tint tint(Role::Fixed);
    tint.m_fixed = color;
    return tint;
}

Tint Tint::opacity(double opacity) const
{
    Tint tint = *this;
    tint.m_opacity *= opacity;
    tint.m_lightOpacity *= opacity;
    return tint;
}

Tint Tint::opacity(double dark, double light) const
{
    Tint tint = *this;
    tint.m_opacity *= dark;
    tint.m_lightOpacity *= light;
    return tint;
}

QColor Tint::resolve(bool dark) const
{
    const GeekTheme& theme = GeekTheme::shared();
    QColor color;
    switch (m_role) {
    case Role::Background:
        color = theme.background.resolve(dark);
        break;
    case Role::Surface:
        color = theme.surface.resolve(dark);
        break;
    case Role::Border:
        color = theme.border.resolve(dark);
        break;
    case Role::HoverFill:
        color = theme.hoverFill.resolve(dark);
        break;
    case Role::HoverEdge:
        color = theme.hoverEdge.resolve(dark);
        break;
    case Role::TextPrimary:
        color = theme.textPrimary.resolve(dark);
        break;
    case Role::TextSecondary:
        color = theme.textSecondary.resolve(dark);
        break;
    case Role::TextTertiary:
        color = theme.textTertiary.resolve(dark);
        break;
    case Role::Warning:
        color = theme.warning.resolve(dark);
        break;
    case Role::Spectrum:
        color = accentColor(m_index, dark);
        break;
    case Role::Fixed:
        color = m_fixed;
        break;
    }
    color.setAlphaF(static_cast<float>(color.alphaF() * (dark ? m_opacity : m_lightOpacity)));
    return color;
}

QColor Tint::resolve(const QWidget* widget) const
{
    return resolve(isDarkScheme(widget));
}

bool isDarkScheme(const QWidget* widget)
{
    const QPalette palette = widget ? widget->palette() : QPalette();
    return palette.color(QPalette::Window).lightness() < 128;
}

} // namespace rubbly
