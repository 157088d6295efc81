// Names in the applications folders: package managers, Flatpak and the user put .desktop files
// there, under any name and in sub-folders. Their desktop-file ids tell the slim scan which
// applications are installed. (Only the names are read; a file's contents play no part.)
//
// Each line of the input is a path below a fresh applications folder. The paths are created as
// files, the folder is scanned as the program scans it, and the scan must report the id of every
// application file and nothing else. (Qt does not list names that are not UTF-8; no application id
// could match one anyway, so for those either answer is fine.)

#include "FuzzCheck.h"
#include "ScratchFolder.h"

#include "InstalledAppDetector.h"

#include <QFile>
#include <QList>
#include <QSet>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace rubbly;

namespace {

// Creates `relative` (components below `folder`) as a file, its parents as folders. False when a
// component is unusable as a name, hidden, or already taken by something else.
bool createFile(const QByteArray& folder, const QList<QByteArray>& relative)
{
    if (relative.isEmpty() || relative.size() > 6)
        return false;
    QByteArray path = folder;
    for (qsizetype i = 0; i < relative.size(); ++i) {
        const QByteArray& part = relative[i];
        if (part.isEmpty() || part.size() > 255 || part.startsWith('.') || part.contains('\0'))
            return false;
        path += '/' + part;
        if (i + 1 < relative.size()) {
            if (::mkdir(path.constData(), 0700) != 0 && errno != EEXIST)
                return false;
            struct stat st = {};
            if (::lstat(path.constData(), &st) != 0 || !S_ISDIR(st.st_mode))
                return false;
        }
    }
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0)
        return false;
    ::close(fd);
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QList<QByteArray> lines = fuzz::bytes(data, size).split('\n');
    if (lines.size() > 16)
        return 0;
    for (const QByteArray& line : lines) {
        // Whatever the name, an id is a name without its suffix and with no folder separator left.
        const QString name = QFile::decodeName(line);
        const QString id = InstalledAppDetector::desktopFileId(name);
        FUZZ_CHECK(id.isEmpty() || name.endsWith(QLatin1String(".desktop")));
        FUZZ_CHECK(!id.contains(QLatin1Char('/')));
        FUZZ_CHECK(id.isEmpty() || id.size() == name.size() - 8);
    }

    fuzz::ScratchFolder scratch("applications");
    QSet<QString> expected;
    QSet<QString> mayBeSeen; // names that are not UTF-8: no application id can match them either way
    for (const QByteArray& line : lines) {
        if (createFile(scratch.path(), line.split('/'))) {
            const QString name = QFile::decodeName(line);
            if (const QString id = InstalledAppDetector::desktopFileId(name); !id.isEmpty())
                (QFile::encodeName(name) == line ? expected : mayBeSeen).insert(id);
        }
    }
    const QSet<QString> found = InstalledAppDetector::scanFolders({QFile::decodeName(scratch.path())});
    FUZZ_CHECK(found.contains(expected));
    FUZZ_CHECK((expected + mayBeSeen).contains(found));
    return 0;
}
