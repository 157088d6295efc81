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
#include <sys/types.h>

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

namespace {

// The mode an unpacked entry of `type` gets: readable by all, writable by its owner alone, and
// executable by whoever the archive lets execute it. No set-uid, set-gid or sticky bit survives, nor
// write access for others: the folder is copied into place as the program the user runs.
mode_t plainMode(mode_t type, mode_t archived)
{
    if (type == AE_IFDIR)
        return 0755;
    return 0644 | (archived & 0111);
}

} // namespace

Result<Done, QString> ArchiveExtractor::extract(const QByteArray& archivePath, const QByteArray& destination,
                                                Limits limits)
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
    // be used for the reason above; ours covers that.) Owners, ACLs, extended attributes and file
    // flags are never restored: what is unpacked belongs to the user, with the modes plainMode() gives.
    archive_write_disk_set_options(writer.get(), ARCHIVE_EXTRACT_PERM | ARCHIVE_EXTRACT_TIME |
                                                     ARCHIVE_EXTRACT_SECURE_NODOTDOT | ARCHIVE_EXTRACT_SECURE_SYMLINKS);
    const QByteArray root = QByteArray(resolved.get()) + '/';
    const QString tooLarge = QStringLiteral("the archive unpacks to more than %1 bytes").arg(limits.maxBytes);
    qint64 entries = 0;
    qint64 unpacked = 0;
    archive_entry* entry = nullptr;
    for (;;) {
        const int next = archive_read_next_header(reader.get(), &entry);
        if (next == ARCHIVE_EOF)
            return Done{};
        if (next != ARCHIVE_OK && next != ARCHIVE_WARN)
            return reason(reader.get());
        if (++entries > limits.maxEntries)
            return QStringLiteral("the archive holds more than %1 entries").arg(limits.maxEntries);
        const QByteArray path(archive_entry_pathname(entry));
        if (!isContainedPath(path))
            return QStringLiteral("unsafe path in archive: %1").arg(QString::fromUtf8(path));
        const mode_t type = archive_entry_filetype(entry);
        const char* hardlink = archive_entry_hardlink(entry);
        // A device node would hand whoever runs the program a disk or a terminal, a FIFO or socket
        // would hang or redirect whatever opens it; a program folder has no need of any of them.
        if (!hardlink && type != AE_IFREG && type != AE_IFDIR && type != AE_IFLNK)
            return QStringLiteral("%1 is not a file, folder or link").arg(QString::fromUtf8(path));
        // A path of dots and slashes names the destination itself. As a folder it is the "./" that
        // `tar -C dir .` writes first, and the destination is already there; as anything else it
        // would replace the destination, with a link to wherever it points.
        if (depthAfter(0, path) == 0) {
            if (type == AE_IFDIR)
                continue;
            return QStringLiteral("unsafe path in archive: %1").arg(QString::fromUtf8(path));
        }
        if (const char* symlink = archive_entry_symlink(entry); symlink && !isContainedLink(path, symlink))
            return QStringLiteral("link leaving the archive: %1").arg(QString::fromUtf8(path));
        if (hardlink) {
            if (!isContainedPath(hardlink) || depthAfter(0, hardlink) == 0)
                return QStringLiteral("hard link leaving the archive: %1").arg(QString::fromUtf8(path));
            archive_entry_set_hardlink(entry, (root + hardlink).constData());
        }
        if (type != AE_IFLNK)
            archive_entry_set_perm(entry, plainMode(type, archive_entry_perm(entry)));
        // What the header announces is refused before a byte is written; what it hides is counted below.
        if (archive_entry_size_is_set(entry) && archive_entry_size(entry) > limits.maxBytes - unpacked)
            return tooLarge;
        archive_entry_set_pathname(entry, (root + path).constData());
        if (archive_write_header(writer.get(), entry) != ARCHIVE_OK)
            return reason(writer.get());
        const void* block = nullptr;
        size_t size = 0;
        la_int64_t offset = 0;
        // How far into this entry's data has been counted: a block that lies within it (a sparse
        // file's blocks arrive by offset) counts only its part beyond.
        qint64 counted = 0;
        for (;;) {
            const int r = archive_read_data_block(reader.get(), &block, &size, &offset);
            if (r == ARCHIVE_EOF)
                break;
            if (r != ARCHIVE_OK)
                return reason(reader.get());
            const qint64 end = offset + static_cast<qint64>(size);
            if (end > counted) {
                unpacked += end - counted;
                counted = end;
            }
            if (unpacked > limits.maxBytes)
                return tooLarge;
            if (archive_write_data_block(writer.get(), block, size, offset) != ARCHIVE_OK)
                return reason(writer.get());
        }
        if (archive_write_finish_entry(writer.get()) != ARCHIVE_OK)
            return reason(writer.get());
    }
}

} // namespace rubbly
