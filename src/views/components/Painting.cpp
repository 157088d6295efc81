#include "Painting.h"

#include <QHash>
#include <QImage>
#include <QPainter>
#include <QPainterPath>

#include <cmath>

namespace rubbly {

QPainterPath roundedRect(const QRectF& rect, qreal radius)
{
    QPainterPath path;
    const qreal r = std::min(radius, std::min(rect.width(), rect.height()) / 2);
    path.addRoundedRect(rect, r, r);
    return path;
}

void paintCard(QPainter& painter, const QRectF& rect, qreal radius, const QColor& fill, const QColor& outline,
               qreal outlineWidth)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    if (fill.isValid() && fill.alpha() > 0) {
        painter.setBrush(fill);
        painter.drawPath(roundedRect(rect, radius));
    }
    if (outline.isValid() && outline.alpha() > 0 && outlineWidth > 0) {
        const qreal dpr = painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
        qreal width = outlineWidth;
        QColor color = outline;
        if (width * dpr < 1.0) {
            color.setAlphaF(static_cast<float>(color.alphaF() * width * dpr));
            width = 1.0 / dpr;
        }
        QPen pen(color, width);
        pen.setJoinStyle(Qt::RoundJoin);
        painter.setPen(pen);
        painter.setBrush(Qt::NoBrush);
        const qreal inset = width / 2;
        painter.drawPath(roundedRect(rect.adjusted(inset, inset, -inset, -inset), std::max<qreal>(0, radius - inset)));
    }
    painter.restore();
}

namespace {

// Three box blurs approximate a gaussian; the image is small (a card's size), so this is cheap.
void boxBlurAlpha(QImage& image, int radius)
{
    if (radius < 1)
        return;
    const int w = image.width();
    const int h = image.height();
    QList<int> line(std::max(w, h));
    for (int pass = 0; pass < 3; ++pass) {
        for (int y = 0; y < h; ++y) {
            auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
            for (int x = 0; x < w; ++x)
                line[x] = qAlpha(row[x]);
            int sum = 0;
            for (int x = -radius; x <= radius; ++x)
                sum += line[std::clamp(x, 0, w - 1)];
            for (int x = 0; x < w; ++x) {
                row[x] = qRgba(0, 0, 0, sum / (2 * radius + 1));
                sum += line[std::min(x + radius + 1, w - 1)] - line[std::max(x - radius, 0)];
            }
        }
        for (int x = 0; x < w; ++x) {
            for (int y = 0; y < h; ++y)
                line[y] = qAlpha(reinterpret_cast<const QRgb*>(image.constScanLine(y))[x]);
            int sum = 0;
            for (int y = -radius; y <= radius; ++y)
                sum += line[std::clamp(y, 0, h - 1)];
            for (int y = 0; y < h; ++y) {
                reinterpret_cast<QRgb*>(image.scanLine(y))[x] = qRgba(0, 0, 0, sum / (2 * radius + 1));
                sum += line[std::min(y + radius + 1, h - 1)] - line[std::max(y - radius, 0)];
            }
        }
    }
}

} // namespace

void paintShadow(QPainter& painter, const QRectF& rect, qreal radius, const QColor& color, qreal blur, qreal dx,
                 qreal dy)
{
    const qreal dpr = painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
    const int pad = static_cast<int>(std::ceil(blur * 2));
    const QSize logical(static_cast<int>(std::ceil(rect.width())) + 2 * pad,
                        static_cast<int>(std::ceil(rect.height())) + 2 * pad);
    // The mask depends only on the size, radius and blur: cache it, since the card is redrawn often.
    static QHash<QString, QImage> cache;
    const QString key =
        QStringLiteral("%1x%2/%3/%4/%5").arg(logical.width()).arg(logical.height()).arg(radius).arg(blur).arg(dpr);
    QImage mask = cache.value(key);
    if (mask.isNull()) {
        mask = QImage(logical * dpr, QImage::Format_ARGB32_Premultiplied);
        mask.fill(Qt::transparent);
        {
            QPainter p(&mask);
            p.setRenderHint(QPainter::Antialiasing);
            p.scale(dpr, dpr);
            p.setPen(Qt::NoPen);
            p.setBrush(Qt::black);
            p.drawPath(roundedRect(QRectF(pad, pad, rect.width(), rect.height()), radius));
        }
        // A blur "radius" in the designs is close to a gaussian's two sigmas; three box passes of
        // about sigma each come near enough.
        boxBlurAlpha(mask, static_cast<int>(std::round(blur * dpr / 2)));
        if (cache.size() > 16)
            cache.clear();
        cache.insert(key, mask);
    }
    QImage tinted = mask;
    {
        QPainter p(&tinted);
        p.setCompositionMode(QPainter::CompositionMode_SourceIn);
        p.fillRect(tinted.rect(), color);
    }
    tinted.setDevicePixelRatio(dpr);
    painter.drawImage(QPointF(rect.left() - pad + dx, rect.top() - pad + dy), tinted);
}

QColor blend(const QColor& from, const QColor& to, qreal t)
{
    return QColor::fromRgbF(
        from.redF() + (to.redF() - from.redF()) * t, from.greenF() + (to.greenF() - from.greenF()) * t,
        from.blueF() + (to.blueF() - from.blueF()) * t, from.alphaF() + (to.alphaF() - from.alphaF()) * t);
}

} // namespace rubbly
