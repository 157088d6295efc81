#include "TrashStoreShared.h"

#include "AtomicFile.h"
#include "UntrustedFile.h"
#include "XdgPaths.h"

#include <QDir>
#include <QFile>
#include <QLoggingCategory>

#include <algorithm>
#include <cerrno>
#include <type_traits>
#include <unistd.h>

// The listing index: what the last complete listing of every entry found, kept in our cache folder
// with the stamps of the trash folders it listed. Reading 100 000 info files takes about a second;
// this file answers the next listing in a few tens of milliseconds, and only while every trash
// folder is found exactly as it was stamped before that listing began (the rule that lets a scan
// answer from the last one). Anything else, a folder changed, added or gone, another time zone, a
// file that does not parse to the end, and the listing reads the Trash as if there were no index.

namespace rubbly {

using namespace trashstore;

namespace {

Q_LOGGING_CATEGORY(lcIndex, "com.tolvik.Rubbly.Trash.ListingIndex")

const QByteArray kMagic = QByteArrayLiteral("rubbly-trash-listing 1\n");

// Fixed-width fields in the machine's own byte order: the file never leaves this machine's cache.
class Writer {
public:
    template <typename T> void put(T value)
    {
        static_assert(std::is_trivially_copyable_v<T>);
        bytes.append(reinterpret_cast<const char*>(&value), sizeof value);
    }
    void putText(QByteArrayView text)
    {
        put(static_cast<quint32>(text.size()));
        bytes.append(text);
    }
    void putTime(const timespec& t)
    {
        put(static_cast<qint64>(t.tv_sec));
        put(static_cast<qint64>(t.tv_nsec));
    }
    QByteArray bytes;
};

// Every read is checked against the end: a file cut short or written by anything else only fails.
class Reader {
public:
    explicit Reader(QByteArrayView data)
        : m_data(data)
    {
    }
    template <typename T> T take()
    {
        T value{};
        if (!have(sizeof value))
            return value;
        std::memcpy(&value, m_data.data() + m_at, sizeof value);
        m_at += static_cast<qsizetype>(sizeof value);
        return value;
    }
    QByteArrayView text()
    {
        const auto size = take<quint32>();
        if (!have(size))
            return {};
        const QByteArrayView result = m_data.sliced(m_at, size);
        m_at += size;
        return result;
    }
    timespec time()
    {
        timespec t{};
        t.tv_sec = static_cast<time_t>(take<qint64>());
        t.tv_nsec = static_cast<long>(take<qint64>());
        return t;
    }
    bool ok() const { return m_ok; }
    bool atEnd() const { return m_ok && m_at == m_data.size(); }

private:
    bool have(std::size_t size)
    {
        m_ok = m_ok && size <= static_cast<std::size_t>(m_data.size() - m_at);
        return m_ok;
    }
    QByteArrayView m_data;
    qsizetype m_at = 0;
    bool m_ok = true;
};

enum EntryFlags : quint8 { kDirectory = 1, kHasOriginal = 2 };

} // namespace

QByteArray TrashStore::defaultListingIndexPath()
{
    return QFile::encodeName(xdg::cacheHome()) + "/rubbly/trash-listing";
}

std::optional<TrashEntryList> TrashStore::readListingIndex(const Snapshot& now) const
{
    const auto content = readUntrustedFile(m_indexPath, kListingIndexLimit);
    if (!content || !content->startsWith(kMagic))
        return std::nullopt;
    Reader in(QByteArrayView(*content).sliced(kMagic.size()));
    if (in.text() != m_zone.id())
        return std::nullopt;
    Snapshot stored;
    stored.takenAt = in.time();
    const auto folders = in.take<quint32>();
    for (quint32 i = 0; i < folders && in.ok(); ++i) {
        FolderStamp stamp;
        stamp.path = in.text().toByteArray();
        stamp.device = static_cast<dev_t>(in.take<quint64>());
        stamp.filesInode = static_cast<ino_t>(in.take<quint64>());
        stamp.infoInode = static_cast<ino_t>(in.take<quint64>());
        stamp.filesMtime = in.time();
        stamp.filesCtime = in.time();
        stamp.infoMtime = in.time();
        stamp.infoCtime = in.time();
        stored.stamps.append(std::move(stamp));
    }
    // Checked before a single entry is built: a stale index costs this much and no more.
    if (!in.ok() || !unchangedSince(now, stored))
        return std::nullopt;
    const auto count = in.take<quint32>();
    TrashEntryList list;
    // Each entry takes at least 25 bytes of the file: a count beyond that is not believed.
    if (count > static_cast<quint32>(content->size() / 25))
        return std::nullopt;
    list.reserve(count, content->size());
    for (quint32 i = 0; i < count && in.ok(); ++i) {
        const auto folder = in.take<quint16>();
        const auto category = in.take<quint8>();
        const auto flags = in.take<quint8>();
        TrashEntryList::Fields entry;
        entry.size = in.take<qint64>();
        entry.deletionDate = fromMicros(in.take<qint64>());
        entry.name = in.text();
        if (flags & kHasOriginal)
            entry.originalPath = in.text();
        entry.isDirectory = flags & kDirectory;
        if (folder >= stored.stamps.size() || category > static_cast<quint8>(FileCategory::Other) ||
            entry.name.isEmpty())
            return std::nullopt;
        entry.trashFolder = stored.stamps[folder].path;
        entry.category = static_cast<FileCategory>(category);
        if (in.ok())
            list.append(entry);
    }
    if (!in.atEnd())
        return std::nullopt;
    list.finish();
    return list;
}

void TrashStore::writeListingIndex(const Snapshot& before, const TrashEntryList& list) const
{
    const qsizetype slash = m_indexPath.lastIndexOf('/');
    const QByteArray folder = m_indexPath.left(slash);
    // A listing that cannot be answered from the index must not leave an older one to be read.
    const auto drop = [this] { ::unlink(m_indexPath.constData()); };
    // Folders changed within the last two seconds are never trusted (see unchangedSince()), so an
    // index stamped with them could answer nothing.
    if (!unchangedSince(before, before))
        return drop();
    Writer out;
    out.bytes = kMagic;
    out.putText(m_zone.id());
    out.putTime(before.takenAt);
    out.put(static_cast<quint32>(before.stamps.size()));
    for (const FolderStamp& stamp : before.stamps) {
        out.putText(stamp.path);
        out.put(static_cast<quint64>(stamp.device));
        out.put(static_cast<quint64>(stamp.filesInode));
        out.put(static_cast<quint64>(stamp.infoInode));
        out.putTime(stamp.filesMtime);
        out.putTime(stamp.filesCtime);
        out.putTime(stamp.infoMtime);
        out.putTime(stamp.infoCtime);
    }
    out.put(static_cast<quint32>(list.size()));
    for (quint32 i = 0; i < static_cast<quint32>(list.size()); ++i) {
        const TrashEntryList::Fields entry = list.fields(i);
        const auto at = std::find_if(before.stamps.cbegin(), before.stamps.cend(),
                                     [&](const FolderStamp& s) { return s.path == entry.trashFolder; });
        if (at == before.stamps.cend())
            return drop();
        out.put(static_cast<quint16>(at - before.stamps.cbegin()));
        out.put(static_cast<quint8>(entry.category));
        out.put(static_cast<quint8>((entry.isDirectory ? kDirectory : 0) | (entry.originalPath ? kHasOriginal : 0)));
        out.put(entry.size);
        out.put(toMicros(entry.deletionDate));
        out.putText(entry.name);
        if (entry.originalPath)
            out.putText(*entry.originalPath);
        if (out.bytes.size() > kListingIndexLimit)
            return drop();
    }
    // The cache folder above ours is the user's: made with the usual modes, ours private.
    QDir().mkpath(QFile::decodeName(folder.left(folder.lastIndexOf('/'))));
    if (::mkdir(folder.constData(), 0700) != 0 && errno != EEXIST)
        return drop();
    if (const auto written = fs::replaceFile(m_indexPath, out.bytes, 0600); !written) {
        qCWarning(lcIndex).noquote() << written.error();
        drop();
    }
}

} // namespace rubbly
