#include "TrayIcons.h"

#include "AppIdentity.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QPainter>
#include <QPixmap>
#include <QStandardPaths>
#include <QSvgRenderer>

namespace rubbly::trayicons {

QString iconName()
{
    return kSymbolicIconName;
}

QString resourcePath()
{
    return kSymbolicIconResource;
}

QString themePath()
{
    const QString icons = QCoreApplication::applicationDirPath() + QStringLiteral("/../share/icons");
    if (!QFileInfo::exists(icons + QStringLiteral("/hicolor/symbolic/apps/") + iconName() + QStringLiteral(".svg")))
        return {};
    return QDir(icons).canonicalPath();
}

QString iconNameFor(const QString& themePath)
{
    const QString file = QStringLiteral("icons/hicolor/symbolic/apps/") + iconName() + QStringLiteral(".svg");
    if (!themePath.isEmpty() || !QStandardPaths::locate(QStandardPaths::GenericDataLocation, file).isEmpty())
        return iconName();
    return {};
}

namespace {

// The icon's shapes at `size` filled with `color`: whatever colour the file draws in, its coverage
// is kept and the colour replaced.
QImage rendered(QSvgRenderer& renderer, int size, const QColor& color)
{
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    renderer.render(&painter, QRectF(0, 0, size, size));
    painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
    painter.fillRect(image.rect(), color);
    return image;
}

} // namespace

QColor pixmapColor(const QColor& panelText, bool darkPanel)
{
    if (panelText.isValid())
        return panelText;
    return darkPanel ? QColor(0xf6, 0xf5, 0xf4) : QColor(0x2e, 0x34, 0x36);
}

StatusIconPixmapList renderPixmaps(const QString& svgPath, const QColor& color, const QList<int>& sizes)
{
    QSvgRenderer renderer(svgPath);
    if (!renderer.isValid())
        return {};
    StatusIconPixmapList pixmaps;
    for (const int size : sizes) {
        QImage image = rendered(renderer, size, color);
        // The protocol wants straight (not premultiplied) alpha, each pixel as the bytes A, R, G, B.
        image.convertTo(QImage::Format_ARGB32);
        QByteArray data;
        data.reserve(size * size * 4);
        for (int y = 0; y < size; ++y) {
            const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
            for (int x = 0; x < size; ++x) {
                const QRgb pixel = line[x];
                data.append(char(qAlpha(pixel)));
                data.append(char(qRed(pixel)));
                data.append(char(qGreen(pixel)));
                data.append(char(qBlue(pixel)));
            }
        }
        pixmaps.append({size, size, data});
    }
    return pixmaps;
}

QIcon icon(const QColor& color)
{
    QSvgRenderer renderer(resourcePath());
    QIcon result;
    for (const int size : kPixmapSizes)
        result.addPixmap(QPixmap::fromImage(rendered(renderer, size, color)));
    return result;
}

} // namespace rubbly::trayicons
