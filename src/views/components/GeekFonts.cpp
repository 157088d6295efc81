#include "GeekFonts.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QScreen>

namespace rubbly {

namespace {

QFont sized(QFont font, const QString& cjkFamily, qreal size, Weight weight)
{
    QStringList families{font.family(), cjkFamily, QStringLiteral("Noto Sans CJK SC")};
    font.setFamilies(families);
    // QFont takes whole pixels only; a point size measured against the screen's logical DPI gives
    // the fractional pixel sizes (8.5, 9.5) exactly.
    const QScreen* screen = QGuiApplication::primaryScreen();
    const qreal dpi = screen ? screen->logicalDotsPerInchY() : 96.0;
    font.setPointSizeF(size * 72.0 / (dpi > 0 ? dpi : 96.0));
    font.setWeight(static_cast<QFont::Weight>(weight));
    font.setStyleStrategy(QFont::PreferAntialias);
    return font;
}

} // namespace

QFont monoFont(qreal size, Weight weight)
{
    static const QFont base = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    return sized(base, QStringLiteral("Noto Sans Mono CJK SC"), size, weight);
}

QFont uiFont(qreal size, Weight weight)
{
    static const QFont base = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    return sized(base, QStringLiteral("Noto Sans CJK SC"), size, weight);
}

} // namespace rubbly
