#include "TrashLocations.h"
#include "TempHome.h"
#include "TreeBuilder.h"

#include <QFile>
#include <QTest>

#include <unistd.h>

using namespace rubbly;
using namespace rubbly::test;

namespace {

QByteArray line(int id, const QByteArray& mountPoint, const QByteArray& type, const QByteArray& options = "rw")
{
    return QByteArray::number(id) + " 1 8:1 / " + mountPoint + ' ' + options + " shared:1 - " + type +
           " /dev/sda1 rw\n";
}

} // namespace

class TrashLocationsTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // That every escape the kernel writes decodes back is the MountInfo fuzz target's, replayed by ctest.
    void parsesMountInfoFieldsAndLeavesBadEscapes()
    {
        const QByteArray table = "22 27 0:21 / /proc rw,relatime - proc proc rw\n"
                                 "30 1 8:2 / /media/u/My\\040Disk rw,nosuid master:3 shared:7 - ext4 /dev/sdb1 rw\n"
                                 "31 1 8:3 / /mnt/ro ro,relatime - vfat /dev/sdc1 rw\n"
                                 "32 1 8:4 / /mnt/superro rw - xfs /dev/sdd1 ro,noatime\n"
                                 "garbage line\n";
        const QList<MountEntry> mounts = TrashLocations::parseMountInfo(table);
        QCOMPARE(mounts, (QList<MountEntry>{{"/proc", "proc", false},
                                            {"/media/u/My Disk", "ext4", false},
                                            {"/mnt/ro", "vfat", true},
                                            {"/mnt/superro", "xfs", true}}));
        QVERIFY(mounts[0].isHidden() && !mounts[1].isHidden() && mounts[2].isHidden());
        QCOMPARE(decodeMountInfoPath("/trailing\\04"), QByteArray("/trailing\\04"));
        QCOMPARE(decodeMountInfoPath("/\\777x"), QByteArray("/\\777x"));
        // A table that would block, never end or fill memory is not read at all.
        TempHome home;
        TreeBuilder tree(QFile::encodeName(home.root()));
        for (const QByteArray& kind : TreeBuilder::hostileFileKinds()) {
            tree.hostileFile("table/" + kind, kind);
            QVERIFY2(TrashLocations(QProcessEnvironment(), tree.path("table/" + kind)).mounts().isEmpty(), kind);
        }
    }

    void listsHomeFirstThenVolumeTrashesOnceAndOpensOnlyTrustworthyOnes()
    {
        TempHome home;
        const QByteArray root = QFile::encodeName(home.root());
        const QByteArray uid = QByteArray::number(::getuid());
        TreeBuilder tree(root);
        // A volume with a shared sticky .Trash holding our folder, and a .Trash-uid as well.
        tree.dir("vol1/.Trash/" + uid + "/files", 0700).dir("vol1/.Trash/" + uid + "/info", 0700);
        tree.chmod("vol1/.Trash", 01777).dir("vol1/.Trash-" + uid + "/files", 0700).dir("vol1/.Trash-" + uid + "/info");
        // A shared .Trash without the sticky bit is not to be trusted.
        tree.dir("vol2/.Trash/" + uid + "/files", 0700).dir("vol2/.Trash/" + uid + "/info").chmod("vol2/.Trash", 0777);
        // A .Trash that is a link, even to a good folder, is not followed.
        tree.dir("elsewhere/" + uid + "/files", 0700)
            .dir("elsewhere/" + uid + "/info", 0700)
            .chmod("elsewhere", 01777)
            .dir("vol3")
            .symlink("vol3/.Trash", root + "/elsewhere");
        // A tmpfs volume with a trash is hidden.
        tree.dir("vol4/.Trash-" + uid, 0700);
        // A .Trash-uid that is a link is not used.
        tree.dir("vol5").symlink("vol5/.Trash-" + uid, root + "/vol1/.Trash-" + uid);
        // A volume without any trash lists none.
        tree.dir("vol6/.Trash");
        tree.write("mountinfo", line(1, root + "/vol1", "ext4") + line(2, root + "/vol2", "ext4") +
                                    line(3, root + "/vol3", "btrfs") + line(4, root + "/vol4", "tmpfs") +
                                    line(5, root + "/vol5", "ext4") + line(6, root + "/vol1", "ext4") +
                                    line(7, root + "/vol6", "ext4"));

        const TrashLocations locations(home.environment(), root + "/mountinfo");
        QVERIFY(locations.ensureHomeTrash());
        QList<QByteArray> listed, usable;
        for (const TrashDirectory& dir : locations.trashDirectories()) {
            listed.append(dir.path.mid(root.size()));
            if (locations.open(dir, false))
                usable.append(dir.path.mid(root.size()));
        }
        const QByteArray homeTrash = "/home/.local/share/Trash";
        QCOMPARE(listed, (QList<QByteArray>{homeTrash, "/vol1/.Trash/" + uid, "/vol1/.Trash-" + uid,
                                            "/vol2/.Trash/" + uid, "/vol3/.Trash/" + uid, "/vol5/.Trash-" + uid}));
        QCOMPARE(usable, (QList<QByteArray>{homeTrash, "/vol1/.Trash/" + uid, "/vol1/.Trash-" + uid}));
    }

    void homeTrashFollowsAnAbsoluteXdgDataHomeAndIsCreatedPrivate()
    {
        TempHome home;
        EnvGuard env;
        const QByteArray root = QFile::encodeName(home.root());
        for (const auto& [dataHome, trash] :
             {std::pair<QByteArray, QByteArray>{root + "/fresh/data", "/fresh/data/Trash"},
              {"relative/data", "/home/.local/share/Trash"}}) {
            env.set("XDG_DATA_HOME", dataHome); // a relative one is ignored
            const TrashLocations locations(QProcessEnvironment::systemEnvironment(), "/dev/null");
            QCOMPARE(locations.homeTrashPath(), root + trash);
            QVERIFY(locations.ensureHomeTrash());
            const auto perms = QFile::permissions(QFile::decodeName(locations.homeTrashPath() + "/files"));
            QCOMPARE(perms & (QFile::ReadGroup | QFile::ReadOther | QFile::WriteOther), QFile::Permissions());
        }
    }
};

QTEST_GUILESS_MAIN(TrashLocationsTest)
#include "TrashLocationsTest.moc"
