#include "TrayApplication.h"
#include "UiLanguage.h"

#include "AppIdentity.h"
#include "CommandLine.h"
#include "DesktopSession.h"
#include "X11Connection.h"

#include <QApplication>
#include <QTextStream>

#include <vector>

namespace rubbly {

namespace {

const char* const kNoDisplayMessage =
    "rubbly: there is no display to show the tray application on (neither DISPLAY nor WAYLAND_DISPLAY is\n"
    "set, or the display does not answer). Without a display these commands work:\n"
    "  rubbly trash status [--json] | trash empty [--older-than DAYS] | trash put PATH...\n"
    "  rubbly slim scan [--json] | slim purge [CATEGORY...]\n"
    "  rubbly update check | update download | update install\n"
    "See rubbly --help.\n";

enum class Platform {
    None,    // nothing to show windows on
    Default, // whatever Qt picks (the user's QT_QPA_PLATFORM, or X11, or Wayland)
    Xcb,     // X11 forced: a Wayland session that also runs XWayland
};

Platform choosePlatform(const DesktopSession& session)
{
    if (!session.qpaPlatform.isEmpty()) {
        // The user's choice stands; only a window system that is plainly absent is reported here
        // rather than by Qt's abort.
        if (session.qpaPlatform.startsWith(QLatin1String("xcb")))
            return session.x11 && x11DisplayReachable() ? Platform::Default : Platform::None;
        if (session.qpaPlatform.startsWith(QLatin1String("wayland")))
            return session.waylandDisplay ? Platform::Default : Platform::None;
        return Platform::Default;
    }
    // A popup cannot place itself on native Wayland, and Qt 6.4 picks native Wayland whenever
    // WAYLAND_DISPLAY is set; on XWayland the panel can open next to the click.
    if (session.x11 && x11DisplayReachable())
        return session.waylandDisplay ? Platform::Xcb : Platform::Default;
    return session.waylandDisplay ? Platform::Default : Platform::None;
}

int forwardOnly(int argc, char** argv, ApplicationAction action)
{
    QCoreApplication app(argc, argv);
    if (ApplicationBus::send(QDBusConnection::sessionBus(), action))
        return ExitSuccess;
    QTextStream(stderr) << kNoDisplayMessage;
    return ExitFailure;
}

} // namespace

int runTrayApplication(int argc, char** argv, ApplicationAction action,
                       const std::function<int(ApplicationBus& bus, ApplicationAction action)>& body)
{
    const DesktopSession session = DesktopSession::detect();
    const Platform platform = choosePlatform(session);
    if (platform == Platform::None)
        return forwardOnly(argc, argv, action);

    // "-platform xcb" on the command line rather than QT_QPA_PLATFORM in the environment, which
    // every program we start (a file manager, the updated version) would inherit.
    std::vector<char*> arguments(argv, argv + argc);
    char platformOption[] = "-platform";
    char xcb[] = "xcb";
    if (platform == Platform::Xcb) {
        arguments.push_back(platformOption);
        arguments.push_back(xcb);
    }
    int count = int(arguments.size());
    arguments.push_back(nullptr);
    // Every window here is drawn by the raster engine and no OpenGL context is ever made, yet Qt's X11
    // platform loads a GL integration as it starts and, through it, the desktop's driver stack (in a
    // Plasma 6 session Mesa with its LLVM: tens of MB resident for nothing). "none" keeps it out. Only
    // for this process: Qt reads the variable while the application is made, and it is gone again
    // before any program we start (a file manager, the updated version) could inherit it. A value the
    // user set stands.
    const bool withoutGl = qEnvironmentVariableIsEmpty("QT_XCB_GL_INTEGRATION");
    if (withoutGl)
        qputenv("QT_XCB_GL_INTEGRATION", "none");
    QApplication app(count, arguments.data());
    if (withoutGl)
        qunsetenv("QT_XCB_GL_INTEGRATION");
    QGuiApplication::setDesktopFileName(kAppId);
    // The application lives in the tray: closing the panel or the settings window must not end it.
    QApplication::setQuitOnLastWindowClosed(false);
    // Once, before anything shows a text; the command line stays in the English it is written in.
    if (!installUiLanguage(uiLanguageFor(QProcessEnvironment::systemEnvironment())))
        qWarning("rubbly: the interface's translation could not be loaded; it shows English");

    ApplicationBus bus;
    switch (bus.claim()) {
    case ApplicationBus::Claim::Primary:
        return body(bus, action);
    case ApplicationBus::Claim::NoBus:
        qWarning("rubbly: no session bus; running without the single-instance check");
        return body(bus, action);
    case ApplicationBus::Claim::AlreadyRunning:
        break;
    }
    const auto sent = ApplicationBus::send(QDBusConnection::sessionBus(), action);
    if (sent)
        return ExitSuccess;
    // The other instance quit in between: this one takes over.
    if (sent.error().noInstance && bus.claim() == ApplicationBus::Claim::Primary)
        return body(bus, action);
    QTextStream(stderr) << "rubbly: the running instance did not answer: " << sent.error().why << "\n";
    return ExitFailure;
}

} // namespace rubbly
