#include "DesktopSession.h"

#include "PortalKeyGrabber.h"
#include "X11KeyGrabber.h"

// Apart from DesktopSession.cpp: the command line detects the session too, and would otherwise link
// (and load) the X11 libraries of a grabber it never makes.

namespace rubbly {

std::unique_ptr<KeyGrabber> createKeyGrabber(const DesktopSession& session)
{
    if (session.wayland)
        return std::make_unique<PortalKeyGrabber>();
    if (session.x11)
        return std::make_unique<X11KeyGrabber>();
    return nullptr;
}

} // namespace rubbly
