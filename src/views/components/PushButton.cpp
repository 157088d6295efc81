#include "PushButton.h"

#include "GeekFonts.h"
#include "GeekTheme.h"
#include "Painting.h"
#include "Symbols.h"

#include <QPainter>

namespace rubbly {

PushButton::PushButton(const QString& text, Style style, Size size, QWidget* parent)
    : PlainButton(parent)
    , m_style(style)
    , m_size(size)
{
    setText(text);
    setAccessibleName(text);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void PushButton::setSymbol(const QString& symbol, qreal symbolSize)
{
    m_symbol = symbol;
    m_symbolSize = symbolSize;
    updateGeometry();
    update();
}

void PushButton::setExpanding(bool expanding)
{
    setSizePolicy(expanding ? QSizePolicy::Expanding : QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void PushButton::setTextWeight(Weight weight)
{
    m_weight = weight;
    updateGeometry();
}

QFont PushButton::textFont() const
{
    switch (m_size) {
    case Size::Regular:
        return uiFont(13, m_weight);
    case Size::Small:
        return uiFont(11, m_weight);
    case Size::Mini:
        return uiFont(9.5, m_weight);
    }
    return uiFont(11, m_weight);
}

qreal PushButton::height() const
{
    switch (m_size) {
    case Size::Regular:
        return 28;
    case Size::Small:
        return 22;
    case Size::Mini:
        return 17;
    }
    return 22;
}

QSize PushButton::sizeHint() const
{
    const QFontMetricsF metrics(textFont());
    qreal width = metrics.horizontalAdvance(text());
    const qreal symbol = m_symbolSize > 0 ? m_symbolSize : metrics.height() * 0.8;
    if (!m_symbol.isEmpty())
        width += symbol + (text().isEmpty() ? 0 : 4);
    const qreal padding = m_style == Style::Borderless ? 2 : (m_size == Size::Mini ? 7 : 10);
    return {static_cast<int>(std::ceil(width + 2 * padding)), static_cast<int>(height())};
}

QColor PushButton::textOn(const QColor& fill)
{
    const double luminance = 0.2126 * fill.redF() + 0.7152 * fill.greenF() + 0.0722 * fill.blueF();
    const GeekTheme& theme = GeekTheme::shared();
    return luminance > 0.55 ? theme.textOnLightFill : theme.textOnDarkFill;
}

void PushButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QPalette& pal = palette();
    const bool dark = isDarkScheme(this);
    const QRectF box = QRectF(0, (QWidget::height() - height()) / 2, width(), height()).adjusted(0.5, 0.5, -0.5, -0.5);
    const qreal radius = m_size == Size::Mini ? 4 : 5;
    QColor content = pal.color(QPalette::ButtonText);
    switch (m_style) {
    case Style::Prominent: {
        QColor fill = Tint::accent(4).resolve(dark);
        if (isDown())
            fill = fill.darker(115);
        else if (isHovered())
            fill = fill.lighter(108);
        paintCard(painter, box, radius, fill);
        content = textOn(fill);
        break;
    }
    case Style::Bordered: {
        const GeekTheme& theme = GeekTheme::shared();
        const QColor fill = (isDown()      ? theme.buttonFillPressed
                             : isHovered() ? theme.buttonFillHover
                                           : theme.buttonFill)
                                .resolve(dark);
        paintCard(painter, box, radius, fill, Tint::border().resolve(dark), 1);
        break;
    }
    case Style::Borderless:
        content = isHovered() ? pal.color(QPalette::WindowText) : pal.color(QPalette::PlaceholderText);
        if (!m_symbol.isEmpty() && text().isEmpty())
            content = isHovered() ? pal.color(QPalette::WindowText) : pal.color(QPalette::Text);
        break;
    }
    if (!isEnabled())
        content.setAlphaF(content.alphaF() * 0.4f);

    const QFont font = textFont();
    const QFontMetricsF metrics(font);
    const qreal symbol = m_symbolSize > 0 ? m_symbolSize : metrics.height() * 0.8;
    qreal total = text().isEmpty() ? 0 : metrics.horizontalAdvance(text());
    if (!m_symbol.isEmpty())
        total += symbol + (text().isEmpty() ? 0 : 4);
    qreal x = (width() - total) / 2;
    if (!m_symbol.isEmpty()) {
        paintSymbol(painter, QRectF(x, 0, symbol, QWidget::height()), m_symbol, symbol, content);
        x += symbol + 4;
    }
    painter.setFont(font);
    painter.setPen(content);
    painter.drawText(QRectF(x, 0, width() - x, QWidget::height()), Qt::AlignLeft | Qt::AlignVCenter, text());
    paintFocusRing(painter, box, radius);
}

} // namespace rubbly
