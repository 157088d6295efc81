#pragma once

#include "TrashTypes.h"

#include "TempHome.h"
#include "TrashLocations.h"
#include "TreeBuilder.h"

namespace rubbly::test {

// A temporary home whose trash the test fills by hand, the way another trasher would have. The mount
// table is empty, so no real volume's trash is ever in reach.
class TrashFixture final {
public:
    TrashFixture();

    TempHome& home() { return m_home; }
    QByteArray trashPath() const { return m_trash; }
    QByteArray filesPath() const { return m_trash + "/files"; }
    QByteArray infoPath() const { return m_trash + "/info"; }
    // Builds entries inside files/.
    TreeBuilder& files() { return m_files; }
    // A folder outside the trash, for originals and link targets.
    TreeBuilder& outside() { return m_outside; }

    // Writes info/<name>.trashinfo with the given raw Path= and DeletionDate= values.
    void writeInfo(const QByteArray& name, const QByteArray& path, const QByteArray& deletionDate);
    // A file entry of `size` bytes with an info file dated `deletionDate`.
    void addFile(const QByteArray& name, qint64 size, const QByteArray& deletionDate = "2026-03-01T10:00:00");

    // A folder `name` beside the home that the mount table lists as an ext4 volume (it is no real
    // mount), with an empty .Trash-$uid of its own; returns that trash folder's path.
    QByteArray addVolume(const QByteArray& name);

    TrashLocations locations() const;
    // Moves `paths` to the Trash as the tray program does, through the trash service (KDE told, the
    // entries made reported), on a clock at the real time.
    TrashPutReport trashWithService(const QList<QByteArray>& paths) const;
    QByteArray mountInfoPath() const { return QFile::encodeName(m_home.root()) + "/mountinfo"; }

private:
    TempHome m_home;
    QByteArray m_trash;
    TreeBuilder m_files;
    TreeBuilder m_outside;
};

} // namespace rubbly::test
