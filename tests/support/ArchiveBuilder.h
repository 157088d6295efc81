#pragma once

#include <QByteArray>
#include <QList>

namespace rubbly::test {

// One member of a test archive: a regular file, with `linkTarget` a symbolic link, or with a path
// ending in '/' a folder.
struct ArchiveEntry {
    ArchiveEntry(QByteArray path, QByteArray content = {}, int mode = 0644, QByteArray linkTarget = {})
        : path(std::move(path))
        , content(std::move(content))
        , mode(mode)
        , linkTarget(std::move(linkTarget))
    {
    }
    QByteArray path;
    QByteArray content;
    int mode = 0644;
    QByteArray linkTarget;
};

// A zip or a tar.gz in memory, members written exactly as given (hostile names included).
QByteArray makeArchive(const QList<ArchiveEntry>& entries, bool zip);

} // namespace rubbly::test
