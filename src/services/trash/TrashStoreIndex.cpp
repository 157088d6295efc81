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
// with the stamps of the trash folders it listed and, per entry, the stamp of the info file its date
// and original path came from. Reading 100 000 info files takes about a second. While every trash
// folder is found exactly as it was stamped before that listing began (the rule that lets a scan
// answer from the last one), the file answers the next listing whole in a few tens of milliseconds.
// Once a folder changed (a put, a put back), the next listing still lists every entry, but an entry
// whose info file is still the one read then (same inode, mtime and size: one stat) is taken from
// here, its size, date and original path, instead of a stat of its data and a read of its info file;
// only new entries and info files written since are read. A folder entry still takes its size from
// directorysizes. Another time zone, a file cut short or one that does not parse to the end, and the
// listing reads the Trash as if there were no index.

namespace rubbly {

using namespace trashstore;

namespace {

Q_LOGGING_CATEGORY(lcIndex, "com.tolvik.Rubbly.Trash.ListingIndex")

const QByteArray kMagic = QByteArrayLiteral("rubbly-trash-listing 2\n");

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

enum EntryFlags : quint8 { kDirectory = 1, kHasOriginal = 2 };

} // namespace

namespace trashstore {

// Every read is checked against the end: a file cut short or written by anything else only fails.
class IndexReader {
public:
    explicit IndexReader(QByteArrayView data)
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
    qsizetype position() const { return m_at; }
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

} // namespace trashstore

QByteArray TrashStore::defaultListingIndexPath()
{
    return QFile::encodeName(xdg::cacheHome()) + "/rubbly/trash-listing";
}

bool TrashStore::ListingIndex::readRecord(IndexReader& in, qsizetype folders, Record& record)
{
    record.folder = in.take<quint16>();
    const auto category = in.take<quint8>();
    const auto flags = in.take<quint8>();
    record.size = in.take<qint64>();
    record.deleted = in.take<qint64>();
    record.modified = in.take<qint64>();
    record.info.inode = in.take<quint64>();
    record.info.mtimeNs = in.take<qint64>();
    record.info.size = in.take<qint64>();
    record.name = in.text();
    record.original = std::nullopt;
    if (flags & kHasOriginal)
        record.original = in.text();
    record.isDirectory = flags & kDirectory;
    record.category = static_cast<FileCategory>(category);
    return in.ok() && record.folder < folders && category <= static_cast<quint8>(FileCategory::Other) &&
           !record.name.isEmpty();
}

std::optional<TrashStore::ListingIndex> TrashStore::ListingIndex::parse(QByteArray content, QByteArrayView zoneId)
{
    if (!content.startsWith(kMagic))
        return std::nullopt;
    ListingIndex index;
    IndexReader in(QByteArrayView(content).sliced(kMagic.size()));
    if (in.text() != zoneId)
        return std::nullopt;
    index.m_stamps.takenAt = in.time();
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
        index.m_stamps.stamps.append(std::move(stamp));
    }
    index.m_count = in.take<quint32>();
    // A count beyond what the file could hold is not believed.
    if (!in.ok() || index.m_count > static_cast<quint32>(content.size() / kSmallestRecord))
        return std::nullopt;
    index.m_entriesAt = kMagic.size() + in.position();
    // Every record is checked once here, so the readers below can take any record's offset as sound.
    Record record;
    for (quint32 i = 0; i < index.m_count; ++i) {
        if (!readRecord(in, index.m_stamps.stamps.size(), record))
            return std::nullopt;
    }
    if (!in.atEnd())
        return std::nullopt;
    index.m_content = std::move(content);
    index.m_cursor = index.m_entriesAt;
    return index;
}

TrashEntryList TrashStore::ListingIndex::list() const
{
    IndexReader in(QByteArrayView(m_content).sliced(m_entriesAt));
    TrashEntryList list;
    list.reserve(m_count, m_content.size());
    Record record;
    for (quint32 i = 0; i < m_count && readRecord(in, m_stamps.stamps.size(), record); ++i) {
        list.append(TrashEntryList::Fields{m_stamps.stamps[record.folder].path, record.name, record.original,
                                           record.size, fromMicros(record.deleted), record.category,
                                           record.isDirectory});
    }
    list.finish();
    return list;
}

void TrashStore::ListingIndex::buildLookup()
{
    IndexReader in(QByteArrayView(m_content).sliced(m_entriesAt));
    m_byName.assign(static_cast<std::size_t>(m_stamps.stamps.size()), {});
    Record record;
    for (quint32 i = 0; i < m_count; ++i) {
        const qsizetype at = m_entriesAt + in.position();
        if (!readRecord(in, m_stamps.stamps.size(), record))
            return;
        m_byName[record.folder].insert(record.name, at);
    }
}

int TrashStore::ListingIndex::folderOf(const FolderStamp& now) const
{
    for (qsizetype i = 0; i < m_stamps.stamps.size(); ++i) {
        const FolderStamp& stored = m_stamps.stamps[i];
        if (stored.path == now.path && stored.device == now.device && stored.filesInode == now.filesInode &&
            stored.infoInode == now.infoInode)
            return static_cast<int>(i);
    }
    return -1;
}

qsizetype TrashStore::ListingIndex::locate(int folder, QByteArrayView name)
{
    if (folder < 0)
        return -1;
    // A folder lists its names in the same order while only a few entries came or went, and the
    // records are in the order of the listing that wrote them: the record at the cursor, or one of
    // the few after it, is nearly always the one. Names found there cost no lookup table; once too
    // many were not, the table is built and answers the rest.
    if (m_byName.empty()) {
        IndexReader in(QByteArrayView(m_content).sliced(m_cursor));
        qsizetype at = m_cursor;
        Record record;
        const qsizetype folders = m_stamps.stamps.size();
        std::vector<qsizetype> passed;
        for (int step = 0; step < kLookAhead && !in.atEnd() && readRecord(in, folders, record); ++step) {
            const qsizetype next = m_cursor + in.position();
            if (record.folder == folder && record.name == name) {
                // The records stepped over may be listed later (an entry put anew moved ahead of them).
                m_passed.insert(m_passed.end(), passed.begin(), passed.end());
                if (m_passed.size() > kPassedKept)
                    m_passed.erase(m_passed.begin(), m_passed.end() - kPassedKept);
                m_cursor = next;
                return at;
            }
            passed.push_back(at);
            at = next;
        }
        for (auto it = m_passed.begin(); it != m_passed.end(); ++it) {
            const Record stepped = recordAt(*it);
            if (stepped.folder == folder && stepped.name == name) {
                const qsizetype found = *it;
                m_passed.erase(it);
                return found;
            }
        }
        // Not near the cursor: a name the index does not hold (an entry put since), or the folder
        // lists in another order. The first costs a read of its info file; many of them, the table.
        if (++m_misses <= kMissesBeforeTable)
            return -1;
        buildLookup();
    }
    if (static_cast<std::size_t>(folder) >= m_byName.size())
        return -1;
    const auto& names = m_byName[static_cast<std::size_t>(folder)];
    const auto found = names.constFind(name);
    return found == names.cend() ? -1 : *found;
}

void TrashStore::ListingIndex::release()
{
    m_content = QByteArray();
    m_byName.clear();
    m_passed.clear();
    m_count = 0;
    m_cursor = m_entriesAt = 0;
}

TrashStore::ListingIndex::Record TrashStore::ListingIndex::recordAt(qsizetype offset) const
{
    IndexReader in(QByteArrayView(m_content).sliced(offset));
    Record record;
    readRecord(in, m_stamps.stamps.size(), record);
    return record;
}

std::optional<TrashStore::ListingIndex> TrashStore::readListingIndex() const
{
    auto content = readUntrustedFile(m_indexPath, kListingIndexLimit);
    if (!content)
        return std::nullopt;
    return ListingIndex::parse(std::move(content).value(), m_zone.id());
}

void TrashStore::writeListingIndex(const Snapshot& before, const EntryTable& table) const
{
    const qsizetype slash = m_indexPath.lastIndexOf('/');
    const QByteArray folder = m_indexPath.left(slash);
    // A listing that cannot be answered from the index must not leave an older one to be read.
    const auto drop = [this] { ::unlink(m_indexPath.constData()); };
    // Stamped even when a folder changed within the last two seconds: such an index is never taken
    // whole (see unchangedSince()), but its entries still answer for their unchanged info files.
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
    // The table's folders by their place among the stamps.
    std::vector<quint16> folderAt;
    for (const TrashDirectory& listed : table.folders) {
        const auto at = std::find_if(before.stamps.cbegin(), before.stamps.cend(),
                                     [&](const FolderStamp& s) { return s.path == listed.path; });
        if (at == before.stamps.cend())
            return drop();
        folderAt.push_back(static_cast<quint16>(at - before.stamps.cbegin()));
    }
    out.put(static_cast<quint32>(table.rows.size()));
    for (const EntryTable::Row& row : table.rows) {
        const std::optional<QByteArrayView> original = table.original(row);
        out.put(folderAt[row.entry.folder]);
        out.put(static_cast<quint8>(row.entry.category));
        out.put(static_cast<quint8>((row.entry.isDirectory ? kDirectory : 0) | (original ? kHasOriginal : 0)));
        out.put(row.entry.size);
        out.put(row.deleted);
        out.put(row.entry.modified);
        out.put(row.info.inode);
        out.put(row.info.mtimeNs);
        out.put(row.info.size);
        out.putText(table.name(row));
        if (original)
            out.putText(*original);
        if (out.bytes.size() > kListingIndexLimit)
            return drop();
    }
    // The cache folder above ours is the user's: made with the usual modes, ours private.
    QDir().mkpath(QFile::decodeName(folder.left(folder.lastIndexOf('/'))));
    if (::mkdir(folder.constData(), 0700) != 0 && errno != EEXIST)
        return drop();
    // Not flushed: the listing waits for this write, and a lost or torn index only costs a listing.
    if (const auto written = fs::replaceFile(m_indexPath, out.bytes, 0600, fs::Durability::CacheOnly); !written) {
        qCWarning(lcIndex).noquote() << written.error();
        drop();
    }
}

} // namespace rubbly
