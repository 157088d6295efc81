#pragma once

#include "GeekFonts.h"
#include "GeekWidgets.h"

namespace rubbly {

// The settings window's push buttons, drawn the same on every desktop: "prominent" is filled with the
// accent (the palette's highlight), "bordered" is a quiet outlined button, "borderless" only its
// content. Sizes follow the small and mini control sizes. An optional symbol leads the text.
class PushButton final : public PlainButton {
    Q_OBJECT
public:
    enum class Style { Prominent, Bordered, Borderless };
    enum class Size { Regular, Small, Mini };

    PushButton(const QString& text, Style style, Size size = Size::Small, QWidget* parent = nullptr);
    void setSymbol(const QString& symbol, qreal symbolSize = 0);
    // Fills the width it is given instead of hugging its content.
    void setExpanding(bool expanding);
    void setTextWeight(Weight weight);
    QSize sizeHint() const override;

    // The text colour that reads on `fill`: near-black on light fills, white on dark ones.
    static QColor textOn(const QColor& fill);

protected:
    void paintEvent(QPaintEvent*) override;

private:
    QFont textFont() const;
    qreal height() const;

    Style m_style;
    Size m_size;
    QString m_symbol;
    qreal m_symbolSize = 0;
    Weight m_weight = Weight::Regular;
};

} // namespace rubbly
