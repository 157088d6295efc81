#pragma once

#include "StatusNotifierTypes.h"

#include <QColor>
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
// the build tree's copy. Empty when neither holds our icon.
QString themePath();
// The icon name to hand the host with `themePath`: ours where a host can find it (in that folder or
// installed in the desktop's icon folders), else none. A name no theme holds is worse than none:
// GNOME's AppIndicator then draws its "loading" dots and never looks at our pixmaps.
QString iconNameFor(const QString& themePath);

// The icon's colour for hosts that draw our pixmaps as they are: dark on a light panel, light on a
// dark one. `panelText` is the panel's own text colour when the desktop tells it (the XEmbed tray's
// colours); `darkPanel` what we know of the panel otherwise (GNOME Shell's top bar is dark in every
// stock theme). With neither, dark: most panels are light.
QColor pixmapColor(const QColor& panelText, bool darkPanel);

// The SVG at `svgPath` rendered at each size in `color`, as ARGB32 in network byte order. A file
// that does not render gives an empty list.
StatusIconPixmapList renderPixmaps(const QString& svgPath, const QColor& color, const QList<int>& sizes = kPixmapSizes);

// The tray icon in `color` as a QIcon (the XEmbed backend, whose trays draw it as it is).
QIcon icon(const QColor& color);

} // namespace trayicons

} // namespace rubbly
