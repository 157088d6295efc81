#include "GeekTheme.h"

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

} // namespace

const GeekTheme& GeekTheme::shared()
{
    static const GeekTheme theme{
        {rgb(0.08, 0.085, 0.095), rgb(0.96, 0.965, 0.975)},
        {rgb(0.12, 0.125, 0.14), rgb(0.91, 0.92, 0.94)},
        {white(1.0, 0.08), white(0.0, 0.08)},
        {white(1.0, 0.08), white(0.0, 0.06)},
        {white(0.95), white(0.12)},
        {white(0.62), white(0.38)},
        {white(0.4), white(0.55)},
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

} // namespace rubbly
