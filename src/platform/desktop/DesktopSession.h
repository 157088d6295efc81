#pragma once

#include <QProcessEnvironment>
#include <QStringList>

#include <memory>

namespace rubbly {

class KeyGrabber;

// What kind of graphical session this is. The one place that reads the session's environment.
struct DesktopSession {
    bool wayland = false;        // WAYLAND_DISPLAY, or XDG_SESSION_TYPE=wayland
    bool x11 = false;            // DISPLAY (also set for XWayland under Wayland)
    bool waylandDisplay = false; // WAYLAND_DISPLAY: a compositor a client can connect to
    QStringList desktops;        // XDG_CURRENT_DESKTOP, e.g. {"ubuntu", "GNOME"}
    QString qpaPlatform;         // QT_QPA_PLATFORM: the user's (or a test's) choice of Qt platform
    bool sandboxed = false;      // FLATPAK_ID: running inside a Flatpak sandbox

    // True on GNOME Shell, which shows status items only through the AppIndicator extension.
    bool isGnome() const;

    static DesktopSession detect(const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment());
};

// The hot-key mechanism for the session: the GlobalShortcuts portal on Wayland (an X grab there would
// only see keys typed into X windows), an X11 grab on X11, none without a display.
std::unique_ptr<KeyGrabber> createKeyGrabber(const DesktopSession& session);

} // namespace rubbly
