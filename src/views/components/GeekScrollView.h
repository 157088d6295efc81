#pragma once

#include "Motion.h"

#include <QScrollArea>

#include <optional>

namespace rubbly {

// Where the scroll thumb sits in a container `visible` high showing content `content` high, scrolled
// so that the content's top is at `offset` (0 at the top, negative further down). None when the
// content fits.
struct ScrollThumb {
    qreal top = 0;
    qreal height = 0;
    bool operator==(const ScrollThumb&) const = default;
};
std::optional<ScrollThumb> scrollThumb(qreal visible, qreal content, qreal offset);

// A vertical scroll area that draws its own thin thumb (3 wide, 1.5 in from the trailing edge)
// instead of the platform's scroll bars: faint white, the accent while the pointer is over the area.
class GeekScrollView final : public QScrollArea {
    Q_OBJECT
public:
    explicit GeekScrollView(QWidget* parent = nullptr);

    // The thumb as it is drawn now, in the view's coordinates; none when the content fits.
    std::optional<ScrollThumb> thumb() const;

protected:
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    class Thumb;
    void refresh();

    Thumb* m_thumb;
    bool m_hovering = false;
};

} // namespace rubbly
