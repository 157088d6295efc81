#include "ArchiveExtractor.h"

#include <QDir>
#include <QFile>
#include <QList>

#include <archive.h>
#include <archive_entry.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace rubbly {

namespace {

struct ReadCloser {
    void operator()(archive* a) const { archive_read_free(a); }
};
struct WriteCloser {
    void operator()(archive* a) const { archive_write_free(a); }
};

// Lexical depth of a path below its root; -1 as soon as it would climb above it.
int depthAfter(int depth, const QByteArray& path)
{
    for (const QByteArray& part : path.split('/')) {
        if (part.isEmpty() || part == ".")
            continue;
        depth += part == ".." ? -1 : 1;
        if (depth < 0)
            return -1;
    }
    return depth;
}

// What went wrong in `a`; libarchive leaves some failures without a text, and a failure must never
// read as an empty message.
QString reason(archive* a)
{
    const char* text = archive_error_string(a);
    return text && *text ? QString::fromUtf8(text) : QStringLiteral("damaged archive");
}

} // namespace

bool ArchiveExtractor::isContainedPath(const QByteArray& path)
{
    if (path.isEmpty() || path.startsWith('/'))
        return false;
    for (const QByteArray& part : path.split('/')) {
        if (part == "..")
            return false;
    }
    return true;
}

bool ArchiveExtractor::isContainedLink(const QByteArray& linkPath, const QByteArray& target)
{
    if (target.isEmpty() || target.startsWith('/') || !isContainedPath(linkPath))
        return false;
    // The link's folder is its path without the last name, whatever slashes and dots surround it:
    // "a/l/" is the link l in a, as the disk writer creates it, not a link inside a/l.
    int depth = std::max(depthAfter(0, linkPath) - 1, 0);
    // A target may climb only before its first name ("../../lib/x"), never after one ("q/../.."):
    // that name may itself be a link of the archive to a shallower folder ("q" -> "."), and the
    // kernel climbs from where it leads, further than the text says. The folders the link sits in
    // are real ones (nothing is unpacked through a link), so a leading climb stays inside.
    bool named = false;
    for (const QByteArray& part : target.split('/')) {
        if (part.isEmpty() || part == ".")
            continue;
        if (part != "..")
            named = true;
        else if (named || --depth < 0)
            return false;
    }
    return true;
}

Result<Done, QString> ArchiveExtractor::extract(const QByteArray& archivePath, const QByteArray& destination)
{
    std::unique_ptr<archive, ReadCloser> reader(archive_read_new());
    archive_read_support_format_zip(reader.get());
    archive_read_support_format_tar(reader.get());
    archive_read_support_format_gnutar(reader.get());
    // The compressions an update may use, each decoded in-process. Not "all": for lrzip, lzop, grzip
    // and others libarchive starts an outside program, and downloaded bytes must not start anything.
    archive_read_support_filter_gzip(reader.get());
    archive_read_support_filter_bzip2(reader.get());
    archive_read_support_filter_xz(reader.get());
    archive_read_support_filter_zstd(reader.get());
    if (archive_read_open_filename(reader.get(), archivePath.constData(), 64 * 1024) != ARCHIVE_OK)
        return reason(reader.get());
    // Entries are given absolute paths below the destination, and libarchive refuses to write through
    // any link on such a path, the destination's own ancestors included: a linked ~/.cache, or /home
    // as a link to /var/home, would refuse every entry. So the destination is resolved first; links
    // that entries would pass through stay refused. A missing destination is created, as libarchive
    // would create it.
    QDir().mkpath(QFile::decodeName(destination));
    const std::unique_ptr<char, decltype(&::free)> resolved(::realpath(destination.constData(), nullptr), &::free);
    if (!resolved) {
        return QStringLiteral("cannot resolve %1: %2")
            .arg(QString::fromLocal8Bit(destination), QString::fromLocal8Bit(::strerror(errno)));
    }
    std::unique_ptr<archive, WriteCloser> writer(archive_write_disk_new());
    // Belt and braces: libarchive's own guards as well as ours below. (Its absolute-path guard cannot
    // be used for the reason above; ours covers that.)
    archive_write_disk_set_options(writer.get(), ARCHIVE_EXTRACT_PERM | ARCHIVE_EXTRACT_TIME |
                                                     ARCHIVE_EXTRACT_SECURE_NODOTDOT | ARCHIVE_EXTRACT_SECURE_SYMLINKS);
    const QByteArray root = QByteArray(resolved.get()) + '/';
    archive_entry* entry = nullptr;
    for (;;) {
        const int next = archive_read_next_header(reader.get(), &entry);
        if (next == ARCHIVE_EOF)
            return Done{};
        if (next != ARCHIVE_OK && next != ARCHIVE_WARN)
            return reason(reader.get());
        const QByteArray path(archive_entry_pathname(entry));
        if (!isContainedPath(path))
            return QStringLiteral("unsafe path in archive: %1").arg(QString::fromUtf8(path));
        // A path of dots and slashes names the destination itself. As a folder it is the "./" that
        // `tar -C dir .` writes first, and the destination is already there; as anything else it
        // would replace the destination, with a link to wherever it points.
        if (depthAfter(0, path) == 0) {
            if (archive_entry_filetype(entry) == AE_IFDIR)
                continue;
            return QStringLiteral("unsafe path in archive: %1").arg(QString::fromUtf8(path));
        }
        if (const char* symlink = archive_entry_symlink(entry); symlink && !isContainedLink(path, symlink))
            return QStringLiteral("link leaving the archive: %1").arg(QString::fromUtf8(path));
        if (const char* hardlink = archive_entry_hardlink(entry)) {
            if (!isContainedPath(hardlink) || depthAfter(0, hardlink) == 0)
                return QStringLiteral("hard link leaving the archive: %1").arg(QString::fromUtf8(path));
            archive_entry_set_hardlink(entry, (root + hardlink).constData());
        }
        archive_entry_set_pathname(entry, (root + path).constData());
        if (archive_write_header(writer.get(), entry) != ARCHIVE_OK)
            return reason(writer.get());
        const void* block = nullptr;
        size_t size = 0;
        la_int64_t offset = 0;
        for (;;) {
            const int r = archive_read_data_block(reader.get(), &block, &size, &offset);
            if (r == ARCHIVE_EOF)
                break;
            if (r != ARCHIVE_OK)
                return reason(reader.get());
            if (archive_write_data_block(writer.get(), block, size, offset) != ARCHIVE_OK)
                return reason(writer.get());
        }
        if (archive_write_finish_entry(writer.get()) != ARCHIVE_OK)
            return reason(writer.get());
    }
}

} // namespace rubbly
