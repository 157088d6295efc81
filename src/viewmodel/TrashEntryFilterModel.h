#pragma once

#include "TrashEntryList.h"

#include <QAbstractListModel>

#include <memory>
#include <vector>

namespace rubbly {

// The rows of the panel's list of every entry: the entries of a listing that match the search, in
// the chosen order. A row is an index into the shared listing, so 100 000 rows cost 400 KB and no
// widget. Typing on at the end of the search narrows the current matches instead of searching the
// whole listing again, which keeps each keystroke within a few milliseconds at that size.
class TrashEntryFilterModel final : public QAbstractListModel {
    Q_OBJECT
public:
    enum Role {
        EntryIndexRole = Qt::UserRole, // the row's index into the listing (quint32)
    };

    explicit TrashEntryFilterModel(QObject* parent = nullptr);

    // A new listing (none: no rows). The search and order stay; the rows are matched again.
    void setEntries(std::shared_ptr<const TrashEntryList> entries);
    const TrashEntryList* entries() const { return m_entries.get(); }
    void setQuery(const QString& query);
    const QString& query() const { return m_query; }
    void setOrder(TrashListOrder order);
    TrashListOrder order() const { return m_order; }

    // The listing's index of `row`.
    quint32 entryAt(int row) const { return m_rows[static_cast<std::size_t>(row)]; }
    // The row showing the listing's entry `index`; -1 when it is not shown.
    int rowOf(quint32 index) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    // DisplayRole and AccessibleTextRole: what a screen reader says of a row (name, folder, date,
    // size); ToolTipRole: its original path.
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

private:
    void rematch(bool narrowing);

    std::shared_ptr<const TrashEntryList> m_entries;
    QString m_query;
    TrashListOrder m_order = TrashListOrder::NewestFirst;
    std::vector<quint32> m_rows;
};

} // namespace rubbly
