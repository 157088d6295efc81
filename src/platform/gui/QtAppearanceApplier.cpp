#include "QtAppearanceApplier.h"

#include <QGuiApplication>

namespace rubbly {

namespace {
QPalette makePalette(QColor window, QColor base, QColor text, QColor dimText)
{
    QPalette palette;
    palette.setColor(QPalette::Window, window);
    palette.setColor(QPalette::Base, base);
    palette.setColor(QPalette::AlternateBase, base);
    palette.setColor(QPalette::Button, base);
    palette.setColor(QPalette::WindowText, text);
    palette.setColor(QPalette::Text, text);
    palette.setColor(QPalette::ButtonText, text);
    palette.setColor(QPalette::PlaceholderText, dimText);
    palette.setColor(QPalette::Disabled, QPalette::Text, dimText);
    palette.setColor(QPalette::Disabled, QPalette::WindowText, dimText);
    palette.setColor(QPalette::Highlight, QColor::fromRgbF(0.0f, 0.88f, 0.82f));
    palette.setColor(QPalette::HighlightedText, window);
    return palette;
}
} // namespace

QPalette QtAppearanceApplier::lightPalette()
{
    return makePalette(QColor::fromRgbF(0.96f, 0.965f, 0.975f), QColor::fromRgbF(0.91f, 0.92f, 0.94f),
                       QColor::fromRgbF(0.12f, 0.12f, 0.12f), QColor::fromRgbF(0.55f, 0.55f, 0.55f));
}

QPalette QtAppearanceApplier::darkPalette()
{
    return makePalette(QColor::fromRgbF(0.08f, 0.085f, 0.095f), QColor::fromRgbF(0.12f, 0.125f, 0.14f),
                       QColor::fromRgbF(0.95f, 0.95f, 0.95f), QColor::fromRgbF(0.4f, 0.4f, 0.4f));
}

QtAppearanceApplier::QtAppearanceApplier(AppearanceSource* source, QObject* parent)
    : QObject(parent)
    , m_source(source)
    , m_platformPalette(QGuiApplication::palette())
{
    if (m_source)
        connect(m_source, &AppearanceSource::colorSchemeChanged, this, &QtAppearanceApplier::update);
    m_dark = m_platformPalette.color(QPalette::Window).lightness() < 128;
}

void QtAppearanceApplier::applyAppearance(AppAppearance appearance)
{
    m_appearance = appearance;
    update();
}

void QtAppearanceApplier::update()
{
    const auto scheme = m_source ? m_source->colorScheme() : AppearanceSource::ColorScheme::NoPreference;
    bool dark = false;
    QPalette palette = m_platformPalette;
    if (m_appearance == AppAppearance::Dark ||
        (m_appearance == AppAppearance::System && scheme == AppearanceSource::ColorScheme::Dark)) {
        dark = true;
        palette = darkPalette();
    } else if (m_appearance == AppAppearance::Light ||
               (m_appearance == AppAppearance::System && scheme == AppearanceSource::ColorScheme::Light)) {
        palette = lightPalette();
    } else {
        dark = m_platformPalette.color(QPalette::Window).lightness() < 128;
    }
    QGuiApplication::setPalette(palette);
    if (dark != m_dark) {
        m_dark = dark;
        Q_EMIT darkChanged(dark);
    }
}

} // namespace rubbly
