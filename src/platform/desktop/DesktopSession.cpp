#include "DesktopSession.h"

namespace rubbly {

DesktopSession DesktopSession::detect(const QProcessEnvironment& env)
{
    DesktopSession session;
    session.wayland = !env.value(QStringLiteral("WAYLAND_DISPLAY")).isEmpty() ||
                      env.value(QStringLiteral("XDG_SESSION_TYPE")) == QLatin1String("wayland");
    session.x11 = !env.value(QStringLiteral("DISPLAY")).isEmpty();
    session.waylandDisplay = !env.value(QStringLiteral("WAYLAND_DISPLAY")).isEmpty();
    session.desktops = env.value(QStringLiteral("XDG_CURRENT_DESKTOP")).split(QLatin1Char(':'), Qt::SkipEmptyParts);
    session.qpaPlatform = env.value(QStringLiteral("QT_QPA_PLATFORM"));
    session.sandboxed = !env.value(QStringLiteral("FLATPAK_ID")).isEmpty();
    return session;
}

bool DesktopSession::isGnome() const
{
    return desktops.contains(QStringLiteral("GNOME"), Qt::CaseInsensitive);
}

} // namespace rubbly
