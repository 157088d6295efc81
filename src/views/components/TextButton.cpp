#include "TextButton.h"

#include "GeekFonts.h"
#include "GeekTheme.h"
#include "Painting.h"

#include <QPainter>

#include <cmath>

namespace rubbly {

TextButton::TextButton(const QString& text, int accent, QWidget* parent)
    : PlainButton(parent)
    , m_accent(accent)
{
    setLabel(text);
    setCursor(Qt::PointingHandCursor);
    connect(this, &PlainButton::hoveredChanged, this, qOverload<>(&QWidget::update));
}

void TextButton::setLabel(const QString& text)
{
    setText(text);
    if (accessibleName().isEmpty() || m_namedByText)
        setAccessibleName(text);
    m_namedByText = true;
    updateGeometry();
    update();
}

void TextButton::nameFor(const QString& name)
{
    m_namedByText = false;
    setAccessibleName(name);
}

QSize TextButton::sizeHint() const
{
    return {static_cast<int>(std::ceil(QFontMetricsF(monoFont(9, Weight::Bold)).horizontalAdvance(text()))) + 12, 16};
}

void TextButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const QRectF box(rect());
    if (isHovered())
        paintCard(painter, box, 4, Tint::accent(m_accent).opacity(0.12).resolve(this),
                  Tint::accent(m_accent).opacity(0.4).resolve(this), 0.5);
    painter.setFont(monoFont(9, Weight::Bold));
    painter.setPen(Tint::accent(m_accent).resolve(this));
    painter.drawText(box, Qt::AlignCenter, text());
    paintFocusRing(painter, box, 4);
}

} // namespace rubbly
