#include "MappedFiles.h"

#include <QFile>
#include <QList>

#include <algorithm>

#include <sys/mman.h>

namespace rubbly::mappedfiles {

namespace {

struct Mapping {
    quintptr start = 0;
    quintptr end = 0;
    QByteArray path;
    long residentKiB = 0;
    bool writable = false;
    long privateKiB = 0; // pages copied on write: no longer the file's
};

// /proc/self/smaps: a header line per mapping ("start-end perms offset dev inode path") followed by
// its counters, among them "Rss:".
QList<Mapping> mappings()
{
    QList<Mapping> result;
    QFile smaps(QStringLiteral("/proc/self/smaps"));
    if (!smaps.open(QIODevice::ReadOnly))
        return result;
    for (const QByteArray& line : smaps.readAll().split('\n')) {
        const QList<QByteArray> fields = line.simplified().split(' ');
        const qsizetype dash = fields.value(0).indexOf('-');
        if (fields.size() >= 5 && dash > 0 && fields[1].size() == 4) {
            Mapping mapping;
            mapping.writable = fields[1].at(1) == 'w';
            mapping.start = fields[0].left(dash).toULongLong(nullptr, 16);
            mapping.end = fields[0].mid(dash + 1).toULongLong(nullptr, 16);
            // The path may hold spaces: it is everything after the fifth field.
            if (fields.size() >= 6)
                mapping.path = fields.mid(5).join(' ');
            result.append(mapping);
        } else if (!result.isEmpty() && line.startsWith("Rss:")) {
            result.last().residentKiB = fields.value(1).toLong();
        } else if (!result.isEmpty() && line.startsWith("Anonymous:")) {
            result.last().privateKiB = fields.value(1).toLong();
        }
    }
    return result;
}

} // namespace

bool isFontFile(const QByteArray& path)
{
    const QByteArray lower = path.toLower();
    for (const char* suffix : {".ttf", ".otf", ".ttc", ".otc", ".pfb", ".pfa", ".pcf", ".pcf.gz"}) {
        if (lower.endsWith(suffix))
            return true;
    }
    return false;
}

bool isSharedLibrary(const QByteArray& path)
{
    // "libfoo.so" or "libfoo.so.6.4.2"
    const QByteArray name = path.mid(path.lastIndexOf('/') + 1);
    const qsizetype so = name.indexOf(".so");
    if (so <= 0)
        return false;
    const QByteArray rest = name.mid(so + 3);
    return rest.isEmpty() || (rest.startsWith('.') && std::all_of(rest.begin(), rest.end(), [](char c) {
                                  return c == '.' || (c >= '0' && c <= '9');
                              }));
}

long residentKiB(const std::function<bool(const QByteArray& path)>& matches)
{
    long total = 0;
    for (const Mapping& mapping : mappings()) {
        if (mapping.path.startsWith('/') && matches(mapping.path))
            total += mapping.residentKiB;
    }
    return total;
}

long dropPages(const std::function<bool(const QByteArray& path)>& matches)
{
    long dropped = 0;
    for (const Mapping& mapping : mappings()) {
        // Only read-only mappings without copied pages hold nothing but the file's. A writable one
        // may get a page written, and so copied, by another thread between the look and the drop; a
        // read-only one may hold copies from before it was made read-only: a library's relocated
        // constants (RELRO), which the file does not have.
        if (mapping.writable || mapping.privateKiB > 0 || !mapping.path.startsWith('/') || mapping.residentKiB == 0 ||
            !matches(mapping.path))
            continue;
        // NOLINTNEXTLINE(performance-no-int-to-ptr): the address is known only as a number from /proc/self/maps.
        if (madvise(reinterpret_cast<void*>(mapping.start), mapping.end - mapping.start, MADV_DONTNEED) == 0)
            dropped += mapping.residentKiB;
    }
    return dropped;
}

} // namespace rubbly::mappedfiles
