#include "LastPutRecord.h"

#include "AtomicFile.h"
#include "UntrustedFile.h"
#include "XdgPaths.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace rubbly {

namespace {

// A first line that names the format, then a line per entry: trash folder, name (both
// percent-encoded, so any byte but '/' in a name survives), info file inode and digest (hex).
const QByteArray kHeader = "rubbly-last-put 1\n";

QString shown(const QByteArray& path)
{
    return QFile::decodeName(path);
}

} // namespace

LastPutRecord::LastPutRecord(QByteArray path)
    : m_path(std::move(path))
{
}

QByteArray LastPutRecord::defaultPath(const QProcessEnvironment& env)
{
    return QFile::encodeName(xdg::stateHome(env)) + "/rubbly/last-put";
}

Result<Done, QString> LastPutRecord::write(const QList<Entry>& entries) const
{
    QByteArray content = kHeader;
    for (const Entry& entry : entries) {
        content += entry.ref.trashFolder.toPercentEncoding("/") + '\t' + entry.ref.name.toPercentEncoding() + '\t' +
                   QByteArray::number(entry.stamp.inode) + '\t' + entry.stamp.digest.toHex() + '\n';
    }
    const qsizetype slash = m_path.lastIndexOf('/');
    const QByteArray folder = m_path.left(slash);
    Result<Done, QString> result = Done{};
    if (content.size() > kMaxBytes) {
        result = QStringLiteral("%1 entries are more than %2 can remember").arg(entries.size()).arg(shown(m_path));
    } else {
        // The state folder above ours is the user's: made with the usual modes, ours private.
        const QByteArray parent = folder.left(folder.lastIndexOf('/'));
        if (!parent.isEmpty())
            QDir().mkpath(shown(parent));
        if (::mkdir(folder.constData(), 0700) != 0 && errno != EEXIST)
            result =
                QStringLiteral("cannot make %1: %2").arg(shown(folder), QString::fromLocal8Bit(std::strerror(errno)));
        else
            result = fs::replaceFile(m_path, content, 0600);
    }
    if (!result)
        ::unlink(m_path.constData());
    return result;
}

Result<QList<LastPutRecord::Entry>, QString> LastPutRecord::read() const
{
    const auto bytes = readUntrustedFile(m_path, kMaxBytes);
    if (!bytes) {
        switch (bytes.error().kind) {
        case UntrustedReadError::Kind::Missing:
            return QStringLiteral("no put has been recorded yet (%1)").arg(shown(m_path));
        case UntrustedReadError::Kind::TooLarge:
            return QStringLiteral("%1 is too large to be a record of ours").arg(shown(m_path));
        case UntrustedReadError::Kind::Link:
        case UntrustedReadError::Kind::NotRegular:
            return QStringLiteral("%1 is not a regular file").arg(shown(m_path));
        case UntrustedReadError::Kind::Failed:
            break;
        }
        return QStringLiteral("%1 cannot be read: %2")
            .arg(shown(m_path), QString::fromLocal8Bit(std::strerror(bytes.error().error)));
    }
    const QByteArray& content = bytes.value();
    const QString corrupt = QStringLiteral("%1 is not a record of the last put").arg(shown(m_path));
    if (!content.startsWith(kHeader) || !content.endsWith('\n'))
        return corrupt;
    QList<Entry> entries;
    const QByteArrayList lines = content.mid(kHeader.size()).split('\n');
    for (qsizetype i = 0; i + 1 < lines.size(); ++i) {
        const QByteArrayList fields = lines[i].split('\t');
        bool inodeOk = false;
        const quint64 inode = fields.value(2).toULongLong(&inodeOk);
        if (fields.size() != 4 || !inodeOk)
            return corrupt;
        Entry entry{{QByteArray::fromPercentEncoding(fields[0]), QByteArray::fromPercentEncoding(fields[1])},
                    {inode, QByteArray::fromHex(fields[3])}};
        if (!entry.ref.trashFolder.startsWith('/') || entry.ref.name.isEmpty() || entry.stamp.digest.size() != 32)
            return corrupt;
        entries.append(std::move(entry));
    }
    return entries;
}

} // namespace rubbly
