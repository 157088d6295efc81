// Update archives (zip, tar with any of the supported compressions): they come from the network, and
// are unpacked into a folder of the user's cache that the installer later copies from.
//
// Each input is written to a file and unpacked by the program's extractor into a fresh folder at the
// bottom of a chain of folders, so an entry that escapes by a few levels lands where it is seen.
// Whatever the extractor answers, nothing may appear outside the destination, no link inside may lead
// out of it, nothing inside may be a device, a FIFO or a socket or carry a set-uid, set-gid or sticky
// bit, and no program may be started on the bytes.
//
// Checksums in tar headers and zip directories make most mutated archives fail early, so an input may
// also describe an archive as text, which is packed here first (see describedArchive()): the fuzzer can
// then try any list of names, folders and links.

#include "FuzzCheck.h"
#include "ScratchFolder.h"

#include "ArchiveExtractor.h"
#include "PosixFd.h"

#include <QList>

#include <archive.h>
#include <archive_entry.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

using namespace rubbly;

namespace {

// Folders between the scratch folder and the destination; each must hold only the next one.
const QList<QByteArray> kChain{"a", "b", "c", "d"};

QList<QByteArray> namesIn(const QByteArray& folder)
{
    QList<QByteArray> names;
    if (DIR* dir = ::opendir(folder.constData())) {
        while (const dirent* entry = ::readdir(dir)) {
            const QByteArray name(entry->d_name);
            if (name != "." && name != "..")
                names.append(name);
        }
        ::closedir(dir);
    }
    return names;
}

// "rubbly-archive tar" or "rubbly-archive zip" on the first line, then one entry per line:
//   f PATH<tab>CONTENT   file (x: executable, s: set-uid, set-gid and sticky)
//   d PATH   folder      p PATH   named pipe
//   l PATH<tab>TARGET    symbolic link            h PATH<tab>TARGET     hard link
// packed by libarchive into that format. Empty when the input is not such a description.
QByteArray describedArchive(const QByteArray& input)
{
    const QList<QByteArray> lines = input.split('\n');
    const bool zip = lines.first() == "rubbly-archive zip";
    if (!zip && lines.first() != "rubbly-archive tar")
        return {};
    std::unique_ptr<archive, int (*)(archive*)> writer(archive_write_new(), archive_write_free);
    if (zip)
        archive_write_set_format_zip(writer.get());
    else
        archive_write_set_format_pax_restricted(writer.get());
    QByteArray out;
    const auto append = [](archive*, void* to, const void* buffer, size_t length) -> la_ssize_t {
        static_cast<QByteArray*>(to)->append(static_cast<const char*>(buffer), static_cast<qsizetype>(length));
        return static_cast<la_ssize_t>(length);
    };
    archive_write_set_bytes_in_last_block(writer.get(), 1);
    archive_write_open2(writer.get(), &out, nullptr, append, nullptr, nullptr);
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QByteArray& line = lines[i];
        if (line.size() < 3 || line[1] != ' ')
            continue;
        const qsizetype tab = line.indexOf('\t');
        const QByteArray path = line.mid(2, tab < 0 ? -1 : tab - 2);
        const QByteArray argument = tab < 0 ? QByteArray() : line.mid(tab + 1);
        std::unique_ptr<archive_entry, void (*)(archive_entry*)> entry(archive_entry_new(), archive_entry_free);
        archive_entry_set_pathname(entry.get(), path.constData());
        switch (line[0]) {
        case 'f':
        case 'x':
        case 's':
            archive_entry_set_filetype(entry.get(), AE_IFREG);
            archive_entry_set_perm(entry.get(), line[0] == 'x' ? 0755 : line[0] == 's' ? 07777 : 0644);
            archive_entry_set_size(entry.get(), argument.size());
            break;
        case 'd':
            archive_entry_set_filetype(entry.get(), AE_IFDIR);
            archive_entry_set_perm(entry.get(), 0755);
            break;
        case 'p':
            archive_entry_set_filetype(entry.get(), AE_IFIFO);
            archive_entry_set_perm(entry.get(), 0644);
            break;
        case 'l':
            archive_entry_set_filetype(entry.get(), AE_IFLNK);
            archive_entry_set_perm(entry.get(), 0777);
            archive_entry_set_symlink(entry.get(), argument.constData());
            break;
        case 'h':
            archive_entry_set_filetype(entry.get(), AE_IFREG);
            archive_entry_set_perm(entry.get(), 0644);
            archive_entry_set_hardlink(entry.get(), argument.constData());
            break;
        default:
            continue;
        }
        if (archive_write_header(writer.get(), entry.get()) != ARCHIVE_OK)
            continue;
        if (line[0] == 'f' || line[0] == 'x' || line[0] == 's')
            archive_write_data(writer.get(), argument.constData(), static_cast<size_t>(argument.size()));
    }
    archive_write_close(writer.get());
    return out;
}

// A folder on the PATH whose programs would leave a mark: libarchive runs external programs for some
// compressions (lrzip, lzop, grzip, …) when asked to support every filter.
const QByteArray& markerPath()
{
    static const QByteArray marker = [] {
        const QByteArray bin = fuzz::ScratchFolder::root() + "/bin";
        // Not const, so that the return at the end moves it rather than copying.
        QByteArray mark = fuzz::ScratchFolder::root() + "/a-program-ran";
        FUZZ_CHECK(::mkdir(bin.constData(), 0700) == 0);
        const QByteArray script = "#!/bin/sh\ntouch '" + mark + "'\nexit 1\n";
        for (const char* program : {"lrzip", "lzop", "grzip", "lz4", "lzip", "lzma", "xz", "zstd", "bzip2", "gzip",
                                    "compress", "uncompress", "uudecode", "rpm2cpio"}) {
            const QByteArray path = bin + '/' + program;
            const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_EXCL, 0700);
            FUZZ_CHECK(fd >= 0);
            FUZZ_CHECK(::write(fd, script.constData(), static_cast<size_t>(script.size())) == script.size());
            ::close(fd);
        }
        const char* path = std::getenv("PATH");
        ::setenv("PATH", (bin + ':' + (path ? path : "/usr/bin:/bin")).constData(), 1);
        return mark;
    }();
    return marker;
}

enum class Walk { Inside, Outside, Loop };

// The folder `parts` below `rootFd`, opened one component at a time without following links. The
// extractor creates entries relative to descriptors, so a tree may be deeper than PATH_MAX allows a
// path to name: the checks below never build a whole path.
PosixFd openBelow(int rootFd, const QList<QByteArray>& parts)
{
    PosixFd fd(::openat(rootFd, ".", O_PATH | O_DIRECTORY | O_CLOEXEC));
    for (const QByteArray& part : parts) {
        if (!fd.isValid())
            break;
        fd = PosixFd(::openat(fd.get(), part.constData(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    }
    return fd;
}

QByteArray linkTarget(int folderFd, const QByteArray& name)
{
    char buffer[PATH_MAX];
    const ssize_t n = ::readlinkat(folderFd, name.constData(), buffer, sizeof buffer);
    FUZZ_CHECK(n >= 0);
    return QByteArray(buffer, n);
}

// Resolves a link's target the way the kernel would, one component at a time from the link's own
// folder `at` (components below the destination `rootFd`), following links met on the way; on
// Inside, `at` is where it leads. A component that does not exist is taken literally, so a target
// that would escape once more is unpacked counts as escaping.
Walk resolve(int rootFd, QList<QByteArray>& at, const QByteArray& target, int depth = 0)
{
    if (target.startsWith('/'))
        return Walk::Outside;
    if (depth > 40)
        return Walk::Loop; // the kernel gives up (ELOOP) before it reaches anything
    for (const QByteArray& part : target.split('/')) {
        if (part.isEmpty() || part == ".")
            continue;
        if (part == "..") {
            if (at.isEmpty())
                return Walk::Outside;
            at.removeLast();
            continue;
        }
        const PosixFd folder = openBelow(rootFd, at);
        struct stat st = {};
        if (folder.isValid() && ::fstatat(folder.get(), part.constData(), &st, AT_SYMLINK_NOFOLLOW) == 0 &&
            S_ISLNK(st.st_mode)) {
            if (const Walk walk = resolve(rootFd, at, linkTarget(folder.get(), part), depth + 1); walk != Walk::Inside)
                return walk;
            continue;
        }
        at.append(part);
    }
    return Walk::Inside;
}

// Every entry of `folder`, which is `relative` below the destination `rootFd`: a folder, a regular file
// or a link that stays inside, without a set-uid, set-gid or sticky bit. Each level opens the next from its own
// descriptor, so a deep tree costs one open per folder.
void checkTree(int rootFd, int folderFd, const QList<QByteArray>& relative)
{
    DIR* dir = ::fdopendir(::dup(folderFd));
    FUZZ_CHECK(dir != nullptr);
    QList<QByteArray> names;
    while (const dirent* entry = ::readdir(dir)) {
        const QByteArray name(entry->d_name);
        if (name != "." && name != "..")
            names.append(name);
    }
    ::closedir(dir);
    for (const QByteArray& name : names) {
        struct stat st = {};
        FUZZ_CHECK(::fstatat(folderFd, name.constData(), &st, AT_SYMLINK_NOFOLLOW) == 0);
        if (S_ISLNK(st.st_mode)) {
            QList<QByteArray> at = relative;
            FUZZ_CHECK(resolve(rootFd, at, linkTarget(folderFd, name)) != Walk::Outside);
        } else if (S_ISDIR(st.st_mode)) {
            const PosixFd sub(::openat(folderFd, name.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
            FUZZ_CHECK(sub.isValid());
            checkTree(rootFd, sub.get(), relative + QList<QByteArray>{name});
        } else {
            FUZZ_CHECK(S_ISREG(st.st_mode));
        }
        FUZZ_CHECK((st.st_mode & (S_ISUID | S_ISGID | S_ISVTX)) == 0);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray& marker = markerPath();
    const QByteArray input = fuzz::bytes(data, size);
    const QByteArray described = describedArchive(input);
    const QByteArray& bytes = described.isEmpty() ? input : described;
    fuzz::ScratchFolder scratch("archive");
    const QByteArray archive = scratch.path() + "/update.bin";
    {
        const int fd = ::open(archive.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        FUZZ_CHECK(fd >= 0);
        FUZZ_CHECK(::write(fd, bytes.constData(), static_cast<size_t>(bytes.size())) == bytes.size());
        ::close(fd);
    }
    QByteArray destination = scratch.path();
    for (const QByteArray& name : kChain) {
        destination += '/' + name;
        FUZZ_CHECK(::mkdir(destination.constData(), 0700) == 0);
    }
    destination += "/dest";
    FUZZ_CHECK(::mkdir(destination.constData(), 0700) == 0);

    const auto unpacked = ArchiveExtractor::extract(archive, destination);
    FUZZ_CHECK(unpacked || !unpacked.error().isEmpty());

    FUZZ_CHECK(::access(marker.constData(), F_OK) != 0 && errno == ENOENT);
    // Nothing beside the destination or anywhere up the chain.
    FUZZ_CHECK(namesIn(scratch.path()).size() == 2); // update.bin and the chain
    QByteArray folder = scratch.path();
    for (const QByteArray& name : kChain) {
        folder += '/' + name;
        const QList<QByteArray> names = namesIn(folder);
        FUZZ_CHECK(names.size() == 1);
    }
    FUZZ_CHECK(namesIn(fuzz::ScratchFolder::root()).size() == 2); // bin and this scratch folder
    const PosixFd destinationFd(::open(destination.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    FUZZ_CHECK(destinationFd.isValid());
    checkTree(destinationFd.get(), destinationFd.get(), {});
    return 0;
}
