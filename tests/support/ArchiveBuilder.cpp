#include "ArchiveBuilder.h"

#include <archive.h>
#include <archive_entry.h>

namespace rubbly::test {

QByteArray makeArchive(const QList<ArchiveEntry>& entries, bool zip)
{
    archive* a = archive_write_new();
    if (zip) {
        archive_write_set_format_zip(a);
    } else {
        archive_write_set_format_pax_restricted(a);
        archive_write_add_filter_gzip(a);
    }
    QByteArray out(8 << 20, '\0');
    size_t used = 0;
    archive_write_open_memory(a, out.data(), static_cast<size_t>(out.size()), &used);
    for (const ArchiveEntry& e : entries) {
        archive_entry* entry = archive_entry_new();
        const bool link = !e.linkTarget.isEmpty();
        const bool file = !link && !e.path.endsWith('/') && (!e.fileType || e.fileType == AE_IFREG);
        archive_entry_set_pathname(entry, e.path.constData());
        archive_entry_set_filetype(entry, e.fileType ? e.fileType : link ? AE_IFLNK : file ? AE_IFREG : AE_IFDIR);
        archive_entry_set_perm(entry, link ? 0777 : e.mode);
        if (link)
            archive_entry_set_symlink(entry, e.linkTarget.constData());
        if (file)
            archive_entry_set_size(entry, e.content.size());
        archive_write_header(a, entry);
        if (file)
            archive_write_data(a, e.content.constData(), static_cast<size_t>(e.content.size()));
        archive_entry_free(entry);
    }
    archive_write_close(a);
    archive_write_free(a);
    out.truncate(static_cast<qsizetype>(used));
    return out;
}

} // namespace rubbly::test
