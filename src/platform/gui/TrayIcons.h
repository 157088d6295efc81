#pragma once

#include "StatusNotifierTypes.h"

#include <QIcon>
#include <QList>
#include <QString>

namespace rubbly {

// The status item's artwork: our symbolic trash-can SVG, bundled as a Qt resource and installed into
// the hicolor theme as com.tolvik.Rubbly-symbolic.
namespace trayicons {

// The sizes StatusNotifierItem hosts pick from when they draw pixmaps instead of theme icons.
inline const QList<int> kPixmapSizes{16, 22, 24, 32, 48};

QString iconName();
// The bundled SVG, for QIcon and rendering.
QString resourcePath();
// The icons folder (holding hicolor/) next to the program: <prefix>/share/icons when installed, or
// the build tree's copy. Empty when neither holds our icon; hosts then fall back to the pixmaps.
QString themePath();

// The SVG at `svgPath` rendered at each size, as ARGB32 in network byte order. A file that does not
// render gives an empty list.
StatusIconPixmapList renderPixmaps(const QString& svgPath, const QList<int>& sizes = kPixmapSizes);

// The tray icon as a QIcon (the XEmbed backend); the theme's copy when installed.
QIcon icon();

} // namespace trayicons

} // namespace rubbly
