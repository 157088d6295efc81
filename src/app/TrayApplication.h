#pragma once

#include "ApplicationBus.h"

#include <functional>

namespace rubbly {

// Starts `rubbly` as the tray application, or hands `action` to the one already running.
//
// In order: with no display, a running instance still gets the request, otherwise a message names
// the commands that work without one (exit 1). With a display, the Qt platform is chosen (xcb on a
// Wayland session that also has X, unless QT_QPA_PLATFORM says otherwise), the QApplication is
// created and the single-instance name claimed; if another process holds it, the request goes
// there and this process exits (0 when it was taken). Only the process that owns the name runs
// `body`, with the bus object to connect and the action it was started for; `body` builds the
// application and returns the exit status of its event loop.
int runTrayApplication(int argc, char** argv, ApplicationAction action,
                       const std::function<int(ApplicationBus& bus, ApplicationAction action)>& body);

} // namespace rubbly
