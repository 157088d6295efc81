#include "GeekWidgets.h"

#include "Accessibility.h"
#include "GeekFonts.h"
#include "Painting.h"
#include "Symbols.h"

#include <QFocusEvent>
#include <QKeyEvent>
#include <QPainter>
#include <QPainterPath>
#include <QTextLayout>
#include <QVariantAnimation>

#include <algorithm>
#include <cmath>

namespace rubbly {

void paintSquareDot(QPainter& painter, const QPointF& topLeft, qreal size, const QColor& color)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(color);
    painter.drawPath(roundedRect(QRectF(topLeft, QSizeF(size, size)), 1.5));
    painter.restore();
}

GeekSquareDot::GeekSquareDot(Tint color, qreal size, QWidget* parent)
    : QWidget(parent)
    , m_color(color)
    , m_size(size)
{
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

GeekSquareDot::GeekSquareDot(Tint color, qreal size, const QFont& beside, QWidget* parent)
    : GeekSquareDot(color, size, parent)
{
    m_lineHeight = QFontMetricsF(beside).height();
    m_offset = visualMiddleOffset(beside);
}

void GeekSquareDot::setColor(Tint color)
{
    if (m_color == color)
        return;
    m_color = color;
    update();
}

QSize GeekSquareDot::sizeHint() const
{
    const int side = static_cast<int>(std::ceil(m_size));
    return {side, std::max(side, static_cast<int>(std::ceil(m_lineHeight)))};
}

void GeekSquareDot::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const QPointF topLeft((width() - m_size) / 2, (height() - m_size) / 2 + m_offset);
    paintSquareDot(painter, topLeft, m_size, m_color.resolve(this));
}

PlainButton::PlainButton(QWidget* parent)
    : QAbstractButton(parent)
{
    setFocusPolicy(Qt::TabFocus);
    setCursor(Qt::ArrowCursor);
}

void PlainButton::enterEvent(QEnterEvent* event)
{
    QAbstractButton::enterEvent(event);
    if (!m_hovered) {
        m_hovered = true;
        update();
        Q_EMIT hoveredChanged(true);
    }
}

void PlainButton::leaveEvent(QEvent* event)
{
    QAbstractButton::leaveEvent(event);
    if (m_hovered) {
        m_hovered = false;
        update();
        Q_EMIT hoveredChanged(false);
    }
}

void PlainButton::keyPressEvent(QKeyEvent* event)
{
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && isEnabled()) {
        animateClick();
        return;
    }
    QAbstractButton::keyPressEvent(event);
}

void PlainButton::focusInEvent(QFocusEvent* event)
{
    m_keyboardFocus = event->reason() == Qt::TabFocusReason || event->reason() == Qt::BacktabFocusReason;
    QAbstractButton::focusInEvent(event);
}

void PlainButton::focusOutEvent(QFocusEvent* event)
{
    m_keyboardFocus = false;
    QAbstractButton::focusOutEvent(event);
}

void PlainButton::paintFocusRing(QPainter& painter, const QRectF& rect, qreal radius) const
{
    if (!hasFocus() || !m_keyboardFocus)
        return;
    paintCard(painter, rect, radius, QColor(), Tint::accent(4).opacity(0.7, 1.0).resolve(this), 1.0);
}

qreal PlainButton::paintCommandButton(QPainter& painter, std::optional<std::pair<QColor, QColor>> live,
                                      const QList<LabelPiece>& pieces, qreal gap, qreal lead) const
{
    const QRectF box = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    if (live)
        paintCard(painter, box, 6, live->first, live->second, 1);
    else
        paintCard(painter, box, 6, GeekTheme::shared().inertButtonFill, Tint::border().resolve(this), 1);
    qreal total = lead;
    for (qsizetype i = 0; i < pieces.size(); ++i)
        total += QFontMetricsF(pieces[i].font).horizontalAdvance(pieces[i].text) + (i + 1 < pieces.size() ? gap : 0);
    total = std::min<qreal>(total, width() - 12);
    const qreal leadAt = (width() - total) / 2;
    qreal x = leadAt + lead;
    for (const LabelPiece& piece : pieces) {
        const QFontMetricsF metrics(piece.font);
        const QString text = metrics.elidedText(piece.text, Qt::ElideRight, width() - 6 - x);
        painter.setFont(piece.font);
        painter.setPen(piece.color);
        painter.drawText(QRectF(x, 0, metrics.horizontalAdvance(text) + 1, height()), Qt::AlignLeft | Qt::AlignVCenter,
                         text);
        x += metrics.horizontalAdvance(text) + gap;
    }
    paintFocusRing(painter, box, 6);
    return leadAt;
}

GeekIconButton::GeekIconButton(const QString& symbol, const QString& help, QWidget* parent)
    : PlainButton(parent)
    , m_symbol(symbol)
{
    setToolTip(help);
    setAccessibleName(help);
    setFixedSize(20, 20);
}

void GeekIconButton::setSymbol(const QString& symbol)
{
    if (m_symbol == symbol)
        return;
    m_symbol = symbol;
    update();
}

void GeekIconButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const QRectF box(0, 0, 20, 20);
    if (isHovered() && isEnabled())
        paintCard(painter, box, 3, GeekTheme::shared().iconButtonHover.resolve(isDarkScheme(this)),
                  Tint::hoverEdge().resolve(this), 1);
    QColor color = (isHovered() && isEnabled() ? Tint::primary() : Tint::tertiary()).resolve(this);
    if (!isEnabled())
        color.setAlphaF(color.alphaF() * 0.6f);
    paintSymbol(painter, box, m_symbol, 10, color);
    paintFocusRing(painter, box, 3);
}

GeekText::GeekText(const QString& text, const QFont& font, Tint tint, QWidget* parent)
    : QWidget(parent)
    , m_text(text)
    , m_tint(tint)
    , m_fade(this, 1.0)
{
    setFont(font);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    installAccessibility();
    setAccessibleRole(this, QAccessible::StaticText);
}

void GeekText::setText(const QString& text)
{
    if (m_text == text)
        return;
    if (m_transition && !m_text.isEmpty()) {
        m_previous = m_text;
        m_fade.jumpTo(0);
        m_text = text;
        m_fade.animateTo(1, *m_transition);
    } else {
        m_text = text;
    }
    // A size or a failure line that changes is heard as it changes.
    announceChange(this);
    updateGeometry();
    update();
}

void GeekText::setTint(Tint tint)
{
    if (m_tint == tint)
        return;
    m_tint = tint;
    update();
}

void GeekText::setElideMode(Qt::TextElideMode mode)
{
    // Preferred either way: the full text when there is room; eliding only lets it shrink below that.
    m_elide = mode;
    updateGeometry();
}

void GeekText::setWordWrap(bool wrap)
{
    m_wrap = wrap;
    QSizePolicy policy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    policy.setHeightForWidth(wrap);
    setSizePolicy(wrap ? policy : QSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed));
    updateGeometry();
}

void GeekText::setAlignment(Qt::Alignment alignment)
{
    m_alignment = alignment;
    update();
}

void GeekText::setLineSpacing(qreal spacing)
{
    m_lineSpacing = spacing;
    updateGeometry();
}

void GeekText::setMaximumLines(int lines)
{
    m_maxLines = lines;
    updateGeometry();
}

void GeekText::setTransition(std::optional<Curve> curve)
{
    m_transition = curve;
}

QSize GeekText::sizeHint() const
{
    const QMargins margins = contentsMargins();
    const QFontMetricsF metrics(font());
    const int height = static_cast<int>(std::ceil(metrics.height())) + margins.top() + margins.bottom();
    if (m_wrap)
        return {200, heightForWidth(200)};
    return {static_cast<int>(std::ceil(metrics.horizontalAdvance(m_text))) + margins.left() + margins.right(), height};
}

QSize GeekText::minimumSizeHint() const
{
    const QMargins margins = contentsMargins();
    if (m_elide != Qt::ElideNone || m_wrap)
        return {margins.left() + margins.right(),
                static_cast<int>(std::ceil(QFontMetricsF(font()).height())) + margins.top() + margins.bottom()};
    return sizeHint();
}

namespace {
// QTextLayout takes a '\n' for a character like any other: a line of its own needs the Unicode line
// separator.
QString withLineBreaks(QString text)
{
    return text.replace(u'\n', QChar::LineSeparator);
}
} // namespace

qreal GeekText::layoutHeight(int width) const
{
    QTextLayout layout(withLineBreaks(m_text), font());
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    layout.beginLayout();
    qreal y = 0;
    int lines = 0;
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        if (m_maxLines > 0 && lines == m_maxLines)
            break;
        line.setLineWidth(width);
        y += line.height() + (lines++ > 0 ? m_lineSpacing : 0);
    }
    layout.endLayout();
    return y;
}

int GeekText::heightForWidth(int width) const
{
    const QMargins margins = contentsMargins();
    return static_cast<int>(std::ceil(layoutHeight(width - margins.left() - margins.right()))) + margins.top() +
           margins.bottom();
}

void GeekText::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::FontChange)
        updateGeometry();
    QWidget::changeEvent(event);
}

void GeekText::paintText(QPainter& painter, const QString& text, qreal opacity) const
{
    QColor color = m_tint.resolve(this);
    color.setAlphaF(static_cast<float>(color.alphaF() * opacity));
    painter.setPen(color);
    const QRect area = contentsRect();
    if (!m_wrap) {
        const QString shown = m_elide == Qt::ElideNone ? text : fontMetrics().elidedText(text, m_elide, area.width());
        painter.drawText(area, static_cast<int>(m_alignment) | Qt::TextSingleLine, shown);
        return;
    }
    QTextLayout layout(withLineBreaks(text), font());
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    option.setAlignment(m_alignment & Qt::AlignHorizontal_Mask);
    layout.setTextOption(option);
    layout.beginLayout();
    qreal y = 0;
    int lines = 0;
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(area.width());
        line.setPosition(QPointF(0, y));
        y += line.height() + m_lineSpacing;
        ++lines;
    }
    layout.endLayout();
    const int shown = m_maxLines > 0 ? std::min(lines, m_maxLines) : lines;
    for (int i = 0; i < shown; ++i)
        layout.lineAt(i).draw(&painter, QPointF(area.topLeft()));
}

void GeekText::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::TextAntialiasing);
    // A spring transition overshoots; as an opacity its value must stay within [0, 1].
    const qreal fade = std::clamp(m_fade.value(), 0.0, 1.0);
    if (fade < 1.0 && !m_previous.isEmpty())
        paintText(painter, m_previous, 1.0 - fade);
    paintText(painter, m_text, fade);
}

ActivityIndicator::ActivityIndicator(Tint tint, qreal size, QWidget* parent)
    : QWidget(parent)
    , m_tint(tint)
    , m_size(size)
    , m_spin(new QVariantAnimation(this))
{
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    m_spin->setStartValue(0.0);
    m_spin->setEndValue(360.0);
    m_spin->setDuration(900);
    m_spin->setLoopCount(-1);
    connect(m_spin, &QVariantAnimation::valueChanged, this, [this](const QVariant& value) {
        m_angle = value.toDouble();
        update();
    });
}

QSize ActivityIndicator::sizeHint() const
{
    const int side = static_cast<int>(std::ceil(m_size));
    return {side, side};
}

void ActivityIndicator::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (motion::enabled())
        m_spin->start();
}

void ActivityIndicator::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    m_spin->stop();
}

void ActivityIndicator::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal pen = std::max<qreal>(1.5, m_size / 7);
    const QRectF box = QRectF((width() - m_size) / 2, (height() - m_size) / 2, m_size, m_size)
                           .adjusted(pen / 2, pen / 2, -pen / 2, -pen / 2);
    QColor track = m_tint.resolve(this);
    track.setAlphaF(track.alphaF() * 0.2f);
    painter.setPen(QPen(track, pen));
    painter.drawEllipse(box);
    QPen arc(m_tint.resolve(this), pen);
    arc.setCapStyle(Qt::RoundCap);
    painter.setPen(arc);
    // Qt counts angles anticlockwise in sixteenths of a degree; the arc turns clockwise.
    painter.drawArc(box, static_cast<int>((90 - m_angle) * 16), -100 * 16);
}

} // namespace rubbly

namespace rubbly {

GeekCard::GeekCard(qreal radius, Tint fill, std::optional<Tint> outline, qreal outlineWidth, QWidget* parent)
    : QWidget(parent)
    , m_radius(radius)
    , m_fill(fill)
    , m_outline(outline)
    , m_outlineWidth(outlineWidth)
{
}

void GeekCard::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    paintCard(painter, QRectF(rect()), m_radius, m_fill.resolve(this), m_outline ? m_outline->resolve(this) : QColor(),
              m_outlineWidth);
}

SymbolButton::SymbolButton(const QString& symbol, qreal symbolSize, QSize frame, Tint tint, Tint hoverTint,
                           const QString& help, QWidget* parent)
    : PlainButton(parent)
    , m_symbol(symbol)
    , m_symbolSize(symbolSize)
    , m_frame(frame)
    , m_tint(tint)
    , m_hoverTint(hoverTint)
{
    setFixedSize(frame);
    if (!help.isEmpty()) {
        setToolTip(help);
        setAccessibleName(help);
    }
}

void SymbolButton::setSymbol(const QString& symbol)
{
    m_symbol = symbol;
    update();
}

void SymbolButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const QRectF box(rect());
    paintSymbol(painter, box, m_symbol, m_symbolSize, (isHovered() ? m_hoverTint : m_tint).resolve(this));
    paintFocusRing(painter, box, 3);
}

} // namespace rubbly
