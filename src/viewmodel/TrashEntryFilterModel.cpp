#include "TrashEntryFilterModel.h"

#include "Formatting.h"

#include <QCoreApplication>

namespace rubbly {

TrashEntryFilterModel::TrashEntryFilterModel(QObject* parent)
    : QAbstractListModel(parent)
{
}

void TrashEntryFilterModel::setEntries(std::shared_ptr<const TrashEntryList> entries)
{
    m_entries = std::move(entries);
    rematch(false);
}

void TrashEntryFilterModel::setQuery(const QString& query)
{
    if (query == m_query)
        return;
    // What matches the longer text is among what matched the shorter one it starts with (after
    // folding, which keeps a prefix a prefix).
    const QByteArray before = TrashEntryList::searchKey(m_query);
    const QByteArray after = TrashEntryList::searchKey(query);
    m_query = query;
    if (before == after)
        return;
    rematch(!before.isEmpty() && after.contains(before));
}

void TrashEntryFilterModel::setOrder(TrashListOrder order)
{
    if (order == m_order)
        return;
    m_order = order;
    rematch(false);
}

int TrashEntryFilterModel::rowOf(quint32 index) const
{
    const auto it = std::find(m_rows.cbegin(), m_rows.cend(), index);
    return it == m_rows.cend() ? -1 : static_cast<int>(it - m_rows.cbegin());
}

void TrashEntryFilterModel::rematch(bool narrowing)
{
    beginResetModel();
    if (!m_entries)
        m_rows.clear();
    else
        m_rows = m_entries->filter(m_query, narrowing ? m_rows : m_entries->ordered(m_order));
    endResetModel();
}

int TrashEntryFilterModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

QVariant TrashEntryFilterModel::data(const QModelIndex& index, int role) const
{
    if (!m_entries || !index.isValid() || index.row() >= rowCount())
        return {};
    const quint32 entry = entryAt(index.row());
    switch (role) {
    case EntryIndexRole:
        return entry;
    case Qt::DisplayRole:
    case Qt::AccessibleTextRole: {
        QStringList parts{m_entries->displayName(entry)};
        const QString folder = m_entries->originalFolder(entry);
        if (!folder.isEmpty())
            parts.append(QCoreApplication::translate("Panel", "from %1").arg(folder));
        if (const qint64 size = m_entries->entrySize(entry); size != TrashEntryList::kUnknownSize)
            parts.append(formatBytesCompact(size));
        return parts.join(QStringLiteral(", "));
    }
    case Qt::ToolTipRole:
        return QString::fromUtf8(m_entries->originalPath(entry).value_or(m_entries->dataPath(entry)));
    default:
        return {};
    }
}

} // namespace rubbly
