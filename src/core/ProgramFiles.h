#pragma once

#include <QString>

namespace rubbly {

// The program is two executables side by side. `rubbly` runs the commands and links only Qt's core,
// D-Bus and network libraries: a command such as `rubbly trash status` then starts in half the time,
// because loading Qt's GUI libraries (about sixty shared objects) costs more than a small Trash's
// scan. `rubbly-tray` is the whole program with the tray and its windows; `rubbly` replaces itself
// with it (same process, same arguments) for a tray action. Whatever another program is told to run
// (the autostart entry, a panel item, the desktop entry) is `rubbly`, the name users know.
inline constexpr char kCommandProgramName[] = "rubbly";
inline constexpr char kTrayProgramName[] = "rubbly-tray";

// `rubbly` beside the running executable when it is there and executable, else the running executable
// (a build or a copy that has only one of the two). Needs a QCoreApplication.
QString commandProgramPath();

} // namespace rubbly
