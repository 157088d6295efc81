#include "Symbols.h"

#include <QFile>
#include <QHash>
#include <QIcon>
#include <QPainter>
#include <QPixmapCache>
#include <QSvgRenderer>

#include <cmath>

namespace rubbly {

namespace {

QString resourcePath(const QString& name)
{
    return QStringLiteral(":/symbols/") + name + QStringLiteral(".svg");
}

// The theme icons that stand in for a drawing we lack.
QString themeIconName(const QString& name)
{
    static const QHash<QString, QString> names{
        {QStringLiteral("trash"), QStringLiteral("user-trash-symbolic")},
        {QStringLiteral("gear"), QStringLiteral("preferences-system-symbolic")},
        {QStringLiteral("info.circle"), QStringLiteral("help-about-symbolic")},
    };
    return names.value(name, name);
}

void renderSvg(QPainter& painter, const QString& path, const QRectF& rect)
{
    QSvgRenderer renderer(path);
    if (renderer.isValid())
        renderer.render(&painter, rect);
}

} // namespace

bool hasSymbol(const QString& name)
{
    return QFile::exists(resourcePath(name));
}

QPixmap symbolPixmap(const QString& name, qreal size, const QColor& color, qreal dpr)
{
    const QString key = QStringLiteral("rubbly-symbol/%1/%2/%3/%4").arg(name).arg(size).arg(color.rgba()).arg(dpr);
    QPixmap pixmap;
    if (QPixmapCache::find(key, &pixmap))
        return pixmap;
    const int pixels = static_cast<int>(std::ceil(size * dpr));
    QImage image(pixels, pixels, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        const QRectF area(0, 0, pixels, pixels);
        if (hasSymbol(name)) {
            renderSvg(painter, resourcePath(name), area);
        } else {
            QIcon::fromTheme(themeIconName(name)).paint(&painter, area.toRect());
        }
        // Tint: keep the drawing's coverage, take the colour.
        painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
        painter.fillRect(area, color);
        const QString cut = resourcePath(name + QStringLiteral(".cut"));
        if (QFile::exists(cut)) {
            painter.setCompositionMode(QPainter::CompositionMode_DestinationOut);
            renderSvg(painter, cut, area);
        }
    }
    pixmap = QPixmap::fromImage(std::move(image));
    pixmap.setDevicePixelRatio(dpr);
    QPixmapCache::insert(key, pixmap);
    return pixmap;
}

void paintSymbol(QPainter& painter, const QRectF& rect, const QString& name, qreal size, const QColor& color)
{
    // The device's own ratio, or the painter's scale where a widget is rendered into a larger image.
    const qreal device = painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
    const qreal dpr = std::max(device, painter.deviceTransform().m11());
    const QPixmap pixmap = symbolPixmap(name, size, color, dpr);
    const QPointF topLeft(rect.center().x() - size / 2, rect.center().y() - size / 2);
    painter.drawPixmap(QRectF(topLeft, QSizeF(size, size)), pixmap, QRectF(pixmap.rect()));
}

} // namespace rubbly
