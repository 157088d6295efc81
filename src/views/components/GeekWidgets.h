#pragma once

#include "GeekTheme.h"
#include "Motion.h"

#include <QAbstractButton>
#include <QFont>
#include <QList>
#include <QString>
#include <QWidget>

#include <optional>
#include <utility>

namespace rubbly {

// Draws the theme's square marker: a `size` × `size` square with corners of 1.5 filled with `color`.
void paintSquareDot(QPainter& painter, const QPointF& topLeft, qreal size, const QColor& color);

// The square marker as a widget, for layouts. Given the font of the text it stands beside, it is as
// tall as that text's line and sits at its visual middle.
class GeekSquareDot final : public QWidget {
    Q_OBJECT
public:
    GeekSquareDot(Tint color, qreal size, QWidget* parent = nullptr);
    GeekSquareDot(Tint color, qreal size, const QFont& beside, QWidget* parent = nullptr);
    void setColor(Tint color);
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent*) override;

private:
    Tint m_color;
    qreal m_size;
    qreal m_lineHeight = 0;
    qreal m_offset = 0;
};

// A button without a platform bezel: subclasses paint everything. It tracks the pointer for hover
// looks, takes the keyboard focus only by Tab (so a click never moves it), shows a focus ring then, and
// answers Return and Enter as well as Space.
class PlainButton : public QAbstractButton {
    Q_OBJECT
public:
    explicit PlainButton(QWidget* parent = nullptr);
    bool isHovered() const { return m_hovered; }

Q_SIGNALS:
    void hoveredChanged(bool hovered);

protected:
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    // A thin accent ring inside `rect` while the button has the focus from the keyboard (Tab), not
    // when a window hands it the focus on opening, where it would look like a selection.
    void paintFocusRing(QPainter& painter, const QRectF& rect, qreal radius) const;

    // One run of a command button's label, in its own font and colour.
    struct LabelPiece {
        QString text;
        QFont font;
        QColor color;
    };
    // The panel's wide "$ VERB (size)" buttons (EMPTY TRASH, PURGE SELECTED): a card filled and
    // outlined in `live` colours, or the inert look without them; the pieces side by side, `gap` apart,
    // centred after `lead` points the caller fills (an activity indicator), those that do not fit cut
    // short with an ellipsis; the focus ring. Returns where the lead starts.
    qreal paintCommandButton(QPainter& painter, std::optional<std::pair<QColor, QColor>> live,
                             const QList<LabelPiece>& pieces, qreal gap, qreal lead = 0) const;

private:
    bool m_hovered = false;
    bool m_keyboardFocus = false;
};

// A 20 × 20 icon button: the symbol at 10 in the tertiary colour, primary and on a faint square while
// hovered (no animation). Its help text is both the tooltip and the accessible name.
class GeekIconButton final : public PlainButton {
    Q_OBJECT
public:
    GeekIconButton(const QString& symbol, const QString& help, QWidget* parent = nullptr);
    void setSymbol(const QString& symbol);
    const QString& symbol() const { return m_symbol; }
    QSize sizeHint() const override { return {20, 20}; }

protected:
    void paintEvent(QPaintEvent*) override;

private:
    QString m_symbol;
};

// One line (or, with word wrap, a paragraph) of themed text. The colour is resolved when painted, so
// a change of appearance needs only a repaint; with a transition, a new text cross-fades over the old.
class GeekText final : public QWidget {
    Q_OBJECT
public:
    GeekText(const QString& text, const QFont& font, Tint tint, QWidget* parent = nullptr);

    const QString& text() const { return m_text; }
    void setText(const QString& text);
    void setTint(Tint tint);
    const Tint& tint() const { return m_tint; }
    // Middle or right: the text shrinks with the layout and loses characters there.
    void setElideMode(Qt::TextElideMode mode);
    void setWordWrap(bool wrap);
    void setAlignment(Qt::Alignment alignment);
    // Extra space between wrapped lines.
    void setLineSpacing(qreal spacing);
    // Wrapped text shows at most this many lines (0: all).
    void setMaximumLines(int lines);
    // Changes of the text cross-fade along `curve` (the numeric-text transition).
    void setTransition(std::optional<Curve> curve);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;
    bool hasHeightForWidth() const override { return m_wrap; }
    int heightForWidth(int width) const override;

protected:
    void paintEvent(QPaintEvent*) override;
    void changeEvent(QEvent* event) override;

private:
    void paintText(QPainter& painter, const QString& text, qreal opacity) const;
    // The height of the wrapped text at `width`.
    qreal layoutHeight(int width) const;

    QString m_text;
    QString m_previous;
    Tint m_tint;
    Qt::TextElideMode m_elide = Qt::ElideNone;
    bool m_wrap = false;
    Qt::Alignment m_alignment = Qt::AlignLeft | Qt::AlignVCenter;
    qreal m_lineSpacing = 0;
    int m_maxLines = 0;
    std::optional<Curve> m_transition;
    AnimatedValue m_fade;
};

// The small indeterminate progress indicator: an arc that turns while the widget is visible.
class ActivityIndicator final : public QWidget {
    Q_OBJECT
public:
    explicit ActivityIndicator(Tint tint, qreal size = 12, QWidget* parent = nullptr);
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent*) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    Tint m_tint;
    qreal m_size;
    qreal m_angle = 0;
    class QVariantAnimation* m_spin;
};

} // namespace rubbly

namespace rubbly {

// A rounded card: a fill and an optional outline drawn inside its edge; children are laid out on it.
class GeekCard : public QWidget {
    Q_OBJECT
public:
    GeekCard(qreal radius, Tint fill, std::optional<Tint> outline = std::nullopt, qreal outlineWidth = 0.5,
             QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent*) override;

private:
    qreal m_radius;
    Tint m_fill;
    std::optional<Tint> m_outline;
    qreal m_outlineWidth;
};

// A symbol-only plain button: `symbol` at `symbolSize` centred in a `frame`-sized box, in `tint`, or
// `hoverTint` while hovered. Its help text is its tooltip and accessible name.
class SymbolButton final : public PlainButton {
    Q_OBJECT
public:
    SymbolButton(const QString& symbol, qreal symbolSize, QSize frame, Tint tint, Tint hoverTint,
                 const QString& help = {}, QWidget* parent = nullptr);
    void setSymbol(const QString& symbol);
    QSize sizeHint() const override { return m_frame; }

protected:
    void paintEvent(QPaintEvent*) override;

private:
    QString m_symbol;
    qreal m_symbolSize;
    QSize m_frame;
    Tint m_tint;
    Tint m_hoverTint;
};

} // namespace rubbly
