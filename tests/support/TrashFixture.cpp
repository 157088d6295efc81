#include "TrashFixture.h"

#include "BlockingWait.h"
#include "TrashService.h"
#include "VirtualScheduler.h"

#include <QDateTime>
#include <QFile>

#include <unistd.h>

namespace rubbly::test {

TrashFixture::TrashFixture()
    : m_trash(QFile::encodeName(m_home.dataHome()) + "/Trash")
    , m_files(m_trash + "/files")
    , m_outside(QFile::encodeName(m_home.home()) + "/outside")
{
    TreeBuilder(m_trash).dir("files", 0700).dir("info", 0700);
    m_outside.dir({});
    TreeBuilder(QFile::encodeName(m_home.root())).write("mountinfo", {});
}

void TrashFixture::writeInfo(const QByteArray& name, const QByteArray& path, const QByteArray& deletionDate)
{
    // By bytes: a name that is not UTF-8 gets its own info file, not its U+FFFD look-alike's.
    TreeBuilder(infoPath())
        .write(name + ".trashinfo", "[Trash Info]\nPath=" + path + "\nDeletionDate=" + deletionDate + '\n');
}

void TrashFixture::addFile(const QByteArray& name, qint64 size, const QByteArray& deletionDate)
{
    m_files.file(name, size);
    writeInfo(name, "/home/user/" + name.toPercentEncoding("/"), deletionDate);
}

QByteArray TrashFixture::addVolume(const QByteArray& name)
{
    const QByteArray top = QFile::encodeName(m_home.root()) + '/' + name;
    QByteArray trash = top + "/.Trash-" + QByteArray::number(::getuid());
    TreeBuilder(trash).dir("files", 0700).dir("info", 0700);
    // Escaped as the kernel writes the table: space, tab, newline and backslash in octal.
    QByteArray field;
    for (const char c : top) {
        if (QByteArrayView(" \t\n\\").contains(c))
            field += '\\' + QByteArray::number(c, 8).rightJustified(3, '0');
        else
            field += c;
    }
    TreeBuilder(QFile::encodeName(m_home.root()))
        .write("mountinfo",
               TreeBuilder::read(mountInfoPath()) + "30 1 8:2 / " + field + " rw shared:1 - ext4 /dev/sdb1 rw\n");
    return trash;
}

TrashLocations TrashFixture::locations() const
{
    return TrashLocations(m_home.environment(), mountInfoPath());
}

TrashPutReport TrashFixture::trashWithService(const QList<QByteArray>& paths) const
{
    VirtualScheduler clock(fromDateTime(QDateTime::currentDateTimeUtc()));
    TrashService service(&clock, locations());
    return blockingWait(service.moveToTrash(paths));
}

} // namespace rubbly::test
