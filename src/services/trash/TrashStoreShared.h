#pragma once

// What every operation of TrashStore opens and reads the same way, in one place: trash folders are
// opened by TrashLocations::open() (O_NOFOLLOW from the parent's descriptor, ownership checked), and
// below them everything goes through the folder's descriptors: info files are looked at with
// AT_SYMLINK_NOFOLLOW and read as untrusted files (bounded, never a link or a FIFO), directorysizes
// the same, and an info file is unlinked only while it is still the one looked at. Private to the
// TrashStore*.cpp files.

#include "TrashStore.h"

#include <QByteArray>
#include <QString>

#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <limits>
#include <optional>
#include <sys/stat.h>

namespace rubbly {

namespace trashstore {

constexpr int kOpenDirFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;
constexpr qsizetype kNameMax = 255;
inline const QByteArray kInfoSuffix = QByteArrayLiteral(".trashinfo");

QString describe(int error);

inline bool isPermissionError(int error)
{
    return error == EACCES || error == EPERM;
}

// The problem of a trash folder whose files/ could not be listed (to the end).
TrashFolderProblem unlistable(const TrashDirectory& directory, int error);

// A trash folder's problem as a cleanup reports it: unusable, or not listable to the end.
TrashError folderFailure(const TrashFolderProblem& problem, TrashFailure reason);

// A cleanup's result before it removes anything: the folders it cannot use are its first problems.
TrashCleanupResult cleanupOf(const QList<TrashFolderProblem>& problems);

// The original path an info file gives, made absolute against its volume's top.
QByteArray absoluteOriginalPath(const QByteArray& infoPath, const QByteArray& topDir);

// The wall clock in seconds, for the put-in-flight margin (file mtimes are wall-clock times).
time_t secondsNow();

// "<name>.trashinfo" in `buffer`, on the stack: this runs for every entry of every scan. False when
// the name is too long to have an info file.
inline bool infoFileName(QByteArrayView name, char (&buffer)[kNameMax + 16])
{
    if (name.size() > kNameMax)
        return false;
    std::memcpy(buffer, name.data(), static_cast<size_t>(name.size()));
    std::memcpy(buffer + name.size(), kInfoSuffix.constData(), static_cast<size_t>(kInfoSuffix.size()) + 1);
    return true;
}

constexpr qint64 kNoDate = std::numeric_limits<qint64>::min();

inline qint64 toMicros(const std::optional<Timestamp>& t)
{
    return t ? t->time_since_epoch().count() : kNoDate;
}

inline std::optional<Timestamp> fromMicros(qint64 micros)
{
    if (micros == kNoDate)
        return std::nullopt;
    return Timestamp{std::chrono::microseconds(micros)};
}

inline qint64 nanoseconds(const timespec& t)
{
    return t.tv_sec * 1'000'000'000LL + t.tv_nsec;
}

// True when `st` is still the info file seen before: same inode, mtime and size.
inline bool sameFile(const struct stat& st, const timespec& mtime, off_t size, ino_t inode)
{
    return st.st_mtim.tv_sec == mtime.tv_sec && st.st_mtim.tv_nsec == mtime.tv_nsec && st.st_size == size &&
           st.st_ino == inode;
}

inline bool sameFile(const struct stat& st, qint64 mtimeNs, off_t size, ino_t inode)
{
    return nanoseconds(st.st_mtim) == mtimeNs && st.st_size == size && st.st_ino == inode;
}

// Stats info/<name>.trashinfo without following a link; true when it is a regular file. Inline: the
// scan and the age rule call it for every entry.
inline bool statInfo(int infoFd, QByteArrayView name, struct stat* infoStat)
{
    char infoName[kNameMax + 16];
    return infoFd >= 0 && infoFileName(name, infoName) &&
           ::fstatat(infoFd, infoName, infoStat, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(infoStat->st_mode);
}

// The info file an entry's date and original path were read from: while a stat still finds this
// inode, mtime and size, the file was not replaced or written since. An inode of 0: none was read.
struct InfoStamp {
    quint64 inode = 0;
    qint64 mtimeNs = 0;
    qint64 size = 0;

    static InfoStamp of(const struct stat& st)
    {
        return {static_cast<quint64>(st.st_ino), nanoseconds(st.st_mtim), static_cast<qint64>(st.st_size)};
    }
    bool isStampOf(const struct stat& st) const
    {
        return inode != 0 && sameFile(st, mtimeNs, static_cast<off_t>(size), static_cast<ino_t>(inode));
    }
};

// Reads the listing index file's fields (TrashStoreIndex.cpp).
class IndexReader;

// What a pass learns of one entry before it knows whether the entry is worth a name.
struct ScannedEntry {
    qint64 size = 0;
    qint64 modified = kNoDate;
    // Position in the listing over every trash folder: ties of size keep this order.
    qint64 order = 0;
    quint32 folder = 0;
    FileCategory category = FileCategory::Other;
    bool isDirectory = false;
};

} // namespace trashstore

// Every entry a listing pass saw, as small rows; their names and original paths share one buffer, so
// an entry costs its bytes and a few numbers rather than a string object per field.
struct TrashStore::EntryTable {
    struct Row {
        trashstore::ScannedEntry entry;
        qint64 deleted = trashstore::kNoDate;
        qsizetype name = 0;
        qsizetype original = 0;
        int originalLength = -1; // none
        int nameLength = 0;
        // The info file the date and path came from.
        trashstore::InfoStamp info;
        // The date, path and stamp are in: answered by the listing index, or read while the folder
        // was listed. Its info file is not read again.
        bool haveInfo = false;
    };
    // The listed trash folders, by ScannedEntry::folder.
    std::vector<TrashDirectory> folders;
    std::vector<Row> rows;
    QByteArray bytes;

    std::size_t append(const trashstore::ScannedEntry& entry, QByteArrayView name)
    {
        rows.push_back(Row{entry, trashstore::kNoDate, bytes.size(), 0, -1, static_cast<int>(name.size()), {}, false});
        bytes.append(name);
        return rows.size() - 1;
    }
    QByteArrayView name(const Row& row) const { return QByteArrayView(bytes).sliced(row.name, row.nameLength); }
    std::optional<QByteArrayView> original(const Row& row) const
    {
        if (row.originalLength < 0)
            return std::nullopt;
        return QByteArrayView(bytes).sliced(row.original, row.originalLength);
    }
    TrashItemDetail detail(const Row& row) const;
};

// What the listing index file holds: the stamps of the trash folders as they were before the
// listing it keeps began, and a record per entry with the stamp of the info file it was read from.
// Taken whole while no folder changed since; otherwise each entry whose info file is still that one
// is taken from here rather than read again (see TrashStoreIndex.cpp for the file's form).
class TrashStore::ListingIndex {
public:
    struct Record {
        QByteArrayView name;
        std::optional<QByteArrayView> original;
        qint64 size = 0;
        qint64 modified = trashstore::kNoDate;
        qint64 deleted = trashstore::kNoDate;
        trashstore::InfoStamp info;
        quint16 folder = 0;
        FileCategory category = FileCategory::Other;
        bool isDirectory = false;
    };

    // Nothing when `content` is not a whole index written for time zone `zoneId`, every record sound.
    static std::optional<ListingIndex> parse(QByteArray content, QByteArrayView zoneId);
    const Snapshot& stamps() const { return m_stamps; }
    // Every entry, in the order listed.
    TrashEntryList list() const;
    // The stored folder that `now` is still the same folder as (path, device, both inodes), or -1.
    int folderOf(const FolderStamp& now) const;
    // Where the record of `name` in stored folder `folder` (from folderOf()) is, or -1. Asked for
    // the names in the order a folder lists them, most are found at once (see the .cpp); one thread.
    qsizetype locate(int folder, QByteArrayView name);
    // The record at an offset that locate() gave; any thread.
    Record recordAt(qsizetype offset) const;
    qsizetype entryCount() const { return m_count; }
    // About what the names and original paths of all records take.
    qsizetype textBytes() const { return m_content.size() - m_entriesAt - qsizetype(m_count) * kSmallestRecord; }
    // Lets go of the file's content (10 MB at 100 000 entries) once no record is needed any more.
    void release();

private:
    // The smallest record: the fixed fields, a name's length and a name of one byte.
    static constexpr qsizetype kSmallestRecord = 2 + 1 + 1 + 6 * 8 + 4 + 1;
    static constexpr int kLookAhead = 8;
    static constexpr int kMissesBeforeTable = 64;
    static constexpr std::size_t kPassedKept = 64;
    // Reads the record at `in`, checked against the file's `folders`.
    static bool readRecord(trashstore::IndexReader& in, qsizetype folders, Record& record);
    void buildLookup();

    QByteArray m_content;
    Snapshot m_stamps;
    qsizetype m_entriesAt = 0;
    quint32 m_count = 0;
    qsizetype m_cursor = 0;
    int m_misses = 0;
    // Records a look-ahead stepped over, the latest kPassedKept.
    std::vector<qsizetype> m_passed;
    // Per stored folder: name to the offset of its record in m_content.
    std::vector<QHash<QByteArrayView, qsizetype>> m_byName;
};

} // namespace rubbly
