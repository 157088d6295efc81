#include "CommandLine.h"
#include "ProgramFiles.h"

#include <QCoreApplication>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <unistd.h>

namespace {

// The tray program's path beside this executable's real file (not beside a link to it on PATH).
std::string trayProgramPath()
{
    std::string self(4096, '\0');
    const ssize_t length = ::readlink("/proc/self/exe", self.data(), self.size());
    if (length <= 0 || static_cast<std::size_t>(length) >= self.size())
        return {};
    self.resize(static_cast<std::size_t>(length));
    const std::size_t slash = self.rfind('/');
    return slash == std::string::npos ? std::string{} : self.substr(0, slash + 1) + rubbly::kTrayProgramName;
}

} // namespace

// `rubbly`: the commands run here; a tray action (plain `rubbly`, --toggle-panel, --settings,
// --empty-trash) becomes the tray program in this same process, so that whoever started `rubbly`
// (a desktop entry, the autostart entry, a test) still holds its process id. So does an update
// command: only the tray program links the network, archive and signature libraries, whose loading
// would otherwise be a tenth of a first `rubbly trash status`.
int main(int argc, char* argv[])
{
    const QStringList arguments = rubbly::startProgram(argc, argv);
    if (!rubbly::trayActionFromArguments(arguments) && !rubbly::isUpdateCommand(arguments)) {
        QCoreApplication app(argc, argv);
        return rubbly::runCommandLine(arguments);
    }
    const std::string tray = trayProgramPath();
    if (!tray.empty())
        ::execv(tray.c_str(), argv);
    const int error = errno;
    std::fprintf(stderr, "rubbly: cannot start the tray program %s: %s\n",
                 tray.empty() ? rubbly::kTrayProgramName : tray.c_str(), std::strerror(error));
    return rubbly::ExitFailure;
}
