#pragma once

#include <QByteArray>
#include <QList>

namespace rubbly::test {

// One member of a test archive: a regular file, with `linkTarget` a symbolic link, or with a path
// ending in '/' a folder. Every member has an initializer, so a brace list may stop after any of them.
struct ArchiveEntry {
    QByteArray path{};
    QByteArray content{};
    int mode = 0644;
    QByteArray linkTarget{};
    // Another kind of entry (AE_IFCHR, AE_IFIFO, …) in place of the one the path and target imply.
    unsigned fileType = 0;
};

// A zip or a tar.gz in memory, members written exactly as given (hostile names included).
QByteArray makeArchive(const QList<ArchiveEntry>& entries, bool zip);

} // namespace rubbly::test
