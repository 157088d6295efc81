#pragma once

#include "FileCategory.h"
#include "Timestamp.h"
#include "TrashItemDetail.h"
#include "TrashTypes.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <limits>
#include <optional>
#include <vector>

namespace rubbly {

// The two orders the panel's list of every entry offers.
enum class TrashListOrder {
    NewestFirst,  // by deletion date, descending; entries without one last
    LargestFirst, // by size, descending
};

// How a listing of every entry comes by the sizes of folder entries.
enum class TrashListSizing {
    Measured,  // walks each folder its trash's directorysizes cannot answer for, and records the size
    KnownOnly, // takes what directorysizes answers and walks nothing: reads only, and waits for no walk
    // As KnownOnly, except that when the Trash changed since the last whole listing, that listing is
    // given as it was kept (TrashEntryList::isEarlier()) and nothing is listed: it is there at once,
    // where the current one can take a second at 100 000 entries.
    KnownOrEarlier,
};

// Every entry of the Trash, kept small enough to hold 100 000 of them while the panel lists them: a
// row of numbers per entry, and all names and paths in two byte buffers (one as found, one folded
// for searching). Built once on a thread of the trash service and read-only after finish(), so it
// can be shared between threads without locking.
class TrashEntryList final {
public:
    // The size of a folder entry a TrashListSizing::KnownOnly listing did not measure.
    static constexpr qint64 kUnknownSize = -1;

    // One entry as the engine's listing holds it; the views are only read during append().
    struct Fields {
        QByteArrayView trashFolder;
        QByteArrayView name; // in files/
        std::optional<QByteArrayView> originalPath;
        qint64 size = 0;
        std::optional<Timestamp> deletionDate;
        FileCategory category = FileCategory::Other;
        bool isDirectory = false;
    };
    // Room for `entries` entries whose names and original paths take `bytes` bytes in all.
    void reserve(qsizetype entries, qsizetype bytes);
    // Adds an entry; call finish() after the last one.
    void append(const Fields& entry);
    // Adds `item` (its folder, its name in files/ and what its info file says).
    void append(const TrashItemDetail& item);
    // Sorts the two orders. Equal keys keep the order the entries were appended in.
    void finish();

    qsizetype size() const { return static_cast<qsizetype>(m_rows.size()); }
    // True for an earlier listing that the Trash changed since (TrashListSizing::KnownOrEarlier).
    bool isEarlier() const { return m_earlier; }
    void setEarlier(bool earlier) { m_earlier = earlier; }
    bool isEmpty() const { return m_rows.empty(); }

    // The entry's name in files/, as bytes.
    QByteArray trashName(quint32 index) const;
    // Absolute, as its info file gives it; none without an info file or a Path=.
    std::optional<QByteArray> originalPath(quint32 index) const;
    // What a person knows the entry by: the last part of its original path, else its name in files/.
    QString displayName(quint32 index) const;
    // The folder it was trashed from; empty without an original path.
    QString originalFolder(quint32 index) const;
    // kUnknownSize for a folder not measured yet.
    qint64 entrySize(quint32 index) const { return m_rows[index].size; }
    // How many entries have no size yet; their sizes count as nothing in totalSize().
    qsizetype unsizedCount() const { return m_unsized; }
    qint64 totalSize() const { return m_total; }
    std::optional<Timestamp> deletionDate(quint32 index) const;
    FileCategory category(quint32 index) const { return static_cast<FileCategory>(m_rows[index].category); }
    bool isDirectory(quint32 index) const { return m_rows[index].isDirectory; }
    // The path of its data in files/, for revealing it.
    QByteArray dataPath(quint32 index) const;
    TrashEntryRef ref(quint32 index) const;
    // The entry as append() took it; the views point into this list.
    Fields fields(quint32 index) const;

    // Every entry in `order`.
    const std::vector<quint32>& ordered(TrashListOrder order) const;
    // The entries of `candidates` (indices, in their order) whose original path or name in files/
    // contains `query`, ignoring case (Unicode case folding; CJK text matches as it is). An empty or
    // blank query matches all.
    std::vector<quint32> filter(const QString& query, const std::vector<quint32>& candidates) const;
    // The text searches compare: case-folded UTF-8, without leading and trailing spaces.
    static QByteArray searchKey(const QString& text);

private:
    // Appends `text` folded as searchKey() folds it.
    void appendSearchText(QByteArrayView text);

    static constexpr qint64 kNoDate = std::numeric_limits<qint64>::min();
    struct Row {
        qint64 size = 0;
        qint64 deletedUs = kNoDate;
        quint32 bytes = 0;  // offset of the name in files/, followed by the original path, in m_bytes
        quint32 search = 0; // offset of the folded text in m_search
        quint32 searchLength = 0;
        quint16 nameLength = 0;
        quint16 originalLength = 0;
        quint16 folder = 0;
        quint8 category = 0;
        bool hasOriginal = false;
        bool isDirectory = false;
    };
    std::vector<Row> m_rows;
    QByteArray m_bytes;
    QByteArray m_search;
    QList<QByteArray> m_folders;
    qsizetype m_unsized = 0;
    qint64 m_total = 0;
    bool m_earlier = false;
    std::vector<quint32> m_newest;
    std::vector<quint32> m_largest;
};

using TrashEntryListResult = Result<TrashEntryList, TrashError>;

} // namespace rubbly
