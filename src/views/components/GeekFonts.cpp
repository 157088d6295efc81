#include "GeekFonts.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QScreen>

namespace rubbly {

namespace {

// The panel's monospaced face: JetBrains Mono has the medium, semibold and heavy weights the designs
// draw in (the usual system face, DejaVu Sans Mono, has only regular and bold).
const QString kMonoFamily = QStringLiteral("JetBrains Mono");

QFont sized(const QString& family, const QString& cjkFamily, qreal size, Weight weight)
{
    // A family by its own name, never an alias such as "monospace": fontconfig resolves an alias for
    // the whole text, so a line with a few Chinese characters would take its digits, spaces and the
    // " · " separator from the Chinese font too, double width. With a real first family, only what
    // it lacks comes from the fallback.
    QFont font;
    font.setFamilies({family, cjkFamily, QStringLiteral("Noto Sans CJK SC")});
    // QFont takes whole pixels only; a point size measured against the screen's logical DPI gives
    // the fractional pixel sizes (8.5, 9.5) exactly.
    const QScreen* screen = QGuiApplication::primaryScreen();
    const qreal dpi = screen ? screen->logicalDotsPerInchY() : 96.0;
    font.setPointSizeF(size * 72.0 / (dpi > 0 ? dpi : 96.0));
    font.setWeight(static_cast<QFont::Weight>(weight));
    font.setStyleStrategy(QFont::PreferAntialias);
    return font;
}

// The family the desktop's `type` font resolves to.
QString resolvedFamily(QFontDatabase::SystemFont type)
{
    return QFontInfo(QFontDatabase::systemFont(type)).family();
}

} // namespace

QFont monoFont(qreal size, Weight weight)
{
    static const QString family =
        QFontDatabase::hasFamily(kMonoFamily) ? kMonoFamily : resolvedFamily(QFontDatabase::FixedFont);
    return sized(family, QStringLiteral("Noto Sans Mono CJK SC"), size, weight);
}

QFont uiFont(qreal size, Weight weight)
{
    static const QString family = resolvedFamily(QFontDatabase::GeneralFont);
    return sized(family, QStringLiteral("Noto Sans CJK SC"), size, weight);
}

qreal visualMiddleOffset(const QFont& font)
{
    const QFontMetricsF metrics(font);
    return (metrics.ascent() - metrics.descent()) / 2 - (metrics.xHeight() + metrics.capHeight()) / 4;
}

} // namespace rubbly
