#include "TrashEntryList.h"

#include "ByteCounts.h"

#include <algorithm>
#include <cstring>
#include <numeric>

namespace rubbly {

namespace {

QByteArrayView lastPart(QByteArrayView path)
{
    const qsizetype slash = path.lastIndexOf('/');
    return slash < 0 ? path : path.sliced(slash + 1);
}

} // namespace

QByteArray TrashEntryList::searchKey(const QString& text)
{
    return text.trimmed().toCaseFolded().toUtf8();
}

void TrashEntryList::reserve(qsizetype entries, qsizetype bytes)
{
    m_rows.reserve(static_cast<std::size_t>(entries));
    m_bytes.reserve(bytes);
}

void TrashEntryList::append(const TrashItemDetail& item)
{
    append(Fields{item.trashFolder, lastPart(item.path),
                  item.originalPath ? std::optional<QByteArrayView>(*item.originalPath) : std::nullopt, item.size,
                  item.deletionDate, item.category, item.isDirectory});
}

void TrashEntryList::append(const Fields& entry)
{
    Row row;
    row.size = entry.size;
    row.deletedUs = entry.deletionDate ? entry.deletionDate->time_since_epoch().count() : kNoDate;
    row.category = static_cast<quint8>(entry.category);
    row.isDirectory = entry.isDirectory;
    if (entry.size == kUnknownSize)
        ++m_unsized;
    else
        m_total = saturatingAdd(m_total, entry.size);
    const QByteArrayView name = entry.name;
    // Names are at most NAME_MAX and paths PATH_MAX bytes; longer ones cannot come from a real
    // file system, and are cut rather than allowed to wrap the lengths.
    row.nameLength = static_cast<quint16>(std::min<qsizetype>(name.size(), 0xffff));
    row.bytes = static_cast<quint32>(m_bytes.size());
    m_bytes.append(name.first(row.nameLength));
    if (entry.originalPath) {
        row.hasOriginal = true;
        row.originalLength = static_cast<quint16>(std::min<qsizetype>(entry.originalPath->size(), 0xffff));
        m_bytes.append(entry.originalPath->first(row.originalLength));
    }
    // Entries come folder by folder: the last folder is nearly always the one.
    qsizetype folder = !m_folders.isEmpty() && m_folders.constLast() == entry.trashFolder
                           ? m_folders.size() - 1
                           : m_folders.indexOf(entry.trashFolder);
    if (folder < 0) {
        folder = m_folders.size();
        m_folders.append(entry.trashFolder.toByteArray());
    }
    row.folder = static_cast<quint16>(folder);
    // The original path holds the name the user gave the file; the name in files/ differs only after
    // a clash ("report.2.txt"), and is searched too then.
    row.search = static_cast<quint32>(m_search.size());
    if (row.hasOriginal)
        appendSearchText(*entry.originalPath);
    if (!row.hasOriginal || lastPart(*entry.originalPath) != name) {
        if (row.hasOriginal)
            m_search.append('\n');
        appendSearchText(name);
    }
    row.searchLength = static_cast<quint32>(m_search.size()) - row.search;
    m_rows.push_back(row);
}

void TrashEntryList::appendSearchText(QByteArrayView text)
{
    // Nearly every path is ASCII, whose case folding is lowering its capitals: done in place, that
    // spares three strings per entry. Leading and trailing spaces may stay: a trimmed query never
    // begins or ends with one, so it cannot match across them.
    const bool ascii =
        std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    if (!ascii) {
        m_search.append(searchKey(QString::fromUtf8(text)));
        return;
    }
    m_search.append(text);
    char* const end = m_search.data() + m_search.size();
    for (char* c = end - text.size(); c != end; ++c) {
        if (*c >= 'A' && *c <= 'Z')
            *c = static_cast<char>(*c + ('a' - 'A'));
    }
}

void TrashEntryList::finish()
{
    m_bytes.squeeze();
    m_search.squeeze();
    m_rows.shrink_to_fit();
    m_newest.resize(m_rows.size());
    std::iota(m_newest.begin(), m_newest.end(), 0u);
    m_largest = m_newest;
    // kNoDate is the lowest value: entries without a date come last.
    std::stable_sort(m_newest.begin(), m_newest.end(),
                     [this](quint32 a, quint32 b) { return m_rows[a].deletedUs > m_rows[b].deletedUs; });
    std::stable_sort(m_largest.begin(), m_largest.end(),
                     [this](quint32 a, quint32 b) { return m_rows[a].size > m_rows[b].size; });
}

QByteArray TrashEntryList::trashName(quint32 index) const
{
    const Row& row = m_rows[index];
    return m_bytes.mid(row.bytes, row.nameLength);
}

std::optional<QByteArray> TrashEntryList::originalPath(quint32 index) const
{
    const Row& row = m_rows[index];
    if (!row.hasOriginal)
        return std::nullopt;
    return m_bytes.mid(row.bytes + row.nameLength, row.originalLength);
}

QString TrashEntryList::displayName(quint32 index) const
{
    const Row& row = m_rows[index];
    const QByteArrayView bytes(m_bytes.constData() + row.bytes, row.nameLength + row.originalLength);
    const QByteArrayView name = row.hasOriginal ? lastPart(bytes.sliced(row.nameLength)) : bytes.first(row.nameLength);
    // Undecodable bytes show as U+FFFD; acting on the entry uses its exact bytes.
    return QString::fromUtf8(name.isEmpty() ? bytes.first(row.nameLength) : name);
}

QString TrashEntryList::originalFolder(quint32 index) const
{
    const Row& row = m_rows[index];
    if (!row.hasOriginal)
        return {};
    const QByteArrayView path(m_bytes.constData() + row.bytes + row.nameLength, row.originalLength);
    const qsizetype slash = path.lastIndexOf('/');
    return slash <= 0 ? QStringLiteral("/") : QString::fromUtf8(path.first(slash));
}

std::optional<Timestamp> TrashEntryList::deletionDate(quint32 index) const
{
    const qint64 us = m_rows[index].deletedUs;
    if (us == kNoDate)
        return std::nullopt;
    return Timestamp(std::chrono::microseconds(us));
}

QByteArray TrashEntryList::dataPath(quint32 index) const
{
    return m_folders[m_rows[index].folder] + "/files/" + trashName(index);
}

TrashEntryRef TrashEntryList::ref(quint32 index) const
{
    return TrashEntryRef{m_folders[m_rows[index].folder], trashName(index)};
}

TrashEntryList::Fields TrashEntryList::fields(quint32 index) const
{
    const Row& row = m_rows[index];
    const QByteArrayView bytes(m_bytes.constData() + row.bytes, row.nameLength + row.originalLength);
    return Fields{m_folders[row.folder],
                  bytes.first(row.nameLength),
                  row.hasOriginal ? std::optional(bytes.sliced(row.nameLength)) : std::nullopt,
                  row.size,
                  deletionDate(index),
                  category(index),
                  row.isDirectory};
}

const std::vector<quint32>& TrashEntryList::ordered(TrashListOrder order) const
{
    return order == TrashListOrder::NewestFirst ? m_newest : m_largest;
}

std::vector<quint32> TrashEntryList::filter(const QString& query, const std::vector<quint32>& candidates) const
{
    const QByteArray key = searchKey(query);
    if (key.isEmpty())
        return candidates;
    // UTF-8 is self-synchronising: a byte match of a whole encoded needle is a character match.
    std::vector<quint32> found;
    const char* base = m_search.constData();
    for (const quint32 index : candidates) {
        const Row& row = m_rows[index];
        if (::memmem(base + row.search, row.searchLength, key.constData(), static_cast<size_t>(key.size())))
            found.push_back(index);
    }
    return found;
}

} // namespace rubbly
