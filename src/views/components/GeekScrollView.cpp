#include "GeekScrollView.h"

#include "GeekTheme.h"
#include "Painting.h"

#include <QPainter>
#include <QScrollBar>

namespace rubbly {

std::optional<ScrollThumb> scrollThumb(qreal visible, qreal content, qreal offset)
{
    if (visible <= 0 || content <= visible)
        return std::nullopt;
    const qreal scrollable = std::max<qreal>(content - visible, 1);
    const qreal progress = std::clamp(-offset / scrollable, 0.0, 1.0);
    const qreal height = std::max<qreal>(visible * visible / content, 24);
    return ScrollThumb{(visible - height) * progress, height};
}

// The thumb floats over the content's trailing edge and lets the pointer through.
class GeekScrollView::Thumb final : public QWidget {
public:
    explicit Thumb(GeekScrollView* view)
        : QWidget(view)
        , m_top(this)
        , m_hover(this)
    {
        setAttribute(Qt::WA_TransparentForMouseEvents);
    }

    void place(const std::optional<ScrollThumb>& thumb, bool hovering)
    {
        m_thumb = thumb;
        setVisible(thumb.has_value());
        if (thumb)
            m_top.animateTo(thumb->top, Curve::easeInOut(0.08));
        m_hover.animateTo(hovering ? 1 : 0, Curve::easeInOut(0.15));
        update();
    }
    qreal top() const { return m_top.value(); }

protected:
    void paintEvent(QPaintEvent*) override
    {
        if (!m_thumb)
            return;
        QPainter painter(this);
        const QColor idle = GeekTheme::shared().scrollThumb.resolve(isDarkScheme(this));
        const QColor hovered = Tint::accent(4).opacity(0.8).resolve(this);
        const qreal h = m_hover.value();
        const QColor color = blend(idle, hovered, h);
        paintCard(painter, QRectF(0, m_top.value(), 3, m_thumb->height), 1.5, color);
    }

private:
    std::optional<ScrollThumb> m_thumb;
    AnimatedValue m_top;
    AnimatedValue m_hover;
};

GeekScrollView::GeekScrollView(QWidget* parent)
    : QScrollArea(parent)
    , m_thumb(new Thumb(this))
{
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setWidgetResizable(true);
    setAutoFillBackground(false);
    viewport()->setAutoFillBackground(false);
    connect(verticalScrollBar(), &QScrollBar::valueChanged, this, &GeekScrollView::refresh);
    connect(verticalScrollBar(), &QScrollBar::rangeChanged, this, &GeekScrollView::refresh);
}

std::optional<ScrollThumb> GeekScrollView::thumb() const
{
    const qreal visible = viewport()->height();
    const qreal content = widget() ? widget()->height() : 0;
    return scrollThumb(visible, content, -verticalScrollBar()->value());
}

void GeekScrollView::refresh()
{
    m_thumb->setGeometry(width() - 3 - 1.5, 0, 3, height());
    m_thumb->raise();
    m_thumb->place(thumb(), m_hovering);
}

void GeekScrollView::enterEvent(QEnterEvent* event)
{
    QScrollArea::enterEvent(event);
    m_hovering = true;
    refresh();
}

void GeekScrollView::leaveEvent(QEvent* event)
{
    QScrollArea::leaveEvent(event);
    m_hovering = false;
    refresh();
}

void GeekScrollView::resizeEvent(QResizeEvent* event)
{
    QScrollArea::resizeEvent(event);
    refresh();
}

} // namespace rubbly
