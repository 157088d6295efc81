#pragma once

#include "GeekWidgets.h"
#include "TrashEntryList.h"

#include <QWidget>

class QLineEdit;
class QListView;

namespace rubbly {

class BinwellViewModel;
class TextButton;
class TrashEntryFilterModel;
class Workspace;

// Every entry of the Trash, searchable: a search field that filters as the user types, the matches
// newest or largest first, and per entry put back, show in the file manager and delete for good;
// several rows can be selected and acted on at once. The rows are one model over the view model's
// shared listing, painted by one delegate, so 100 000 entries cost no widget each. The listing is
// asked for when the view is made and let go when it is destroyed.
class AllItemsView final : public GeekCard {
    Q_OBJECT
public:
    AllItemsView(BinwellViewModel& viewModel, Workspace& workspace, QWidget* parent = nullptr);
    ~AllItemsView() override;

    // The three actions the hovered (or, from the keyboard, the current) row shows.
    enum class RowAction { PutBack, Reveal, Delete };

    // Gives the keyboard to the search field.
    void focusSearch();
    void setQuery(const QString& query);
    void setOrder(TrashListOrder order);
    // On the selected rows (or the current one when none is selected). Deleting asks first when the
    // confirmation setting is on.
    void putBackSelection();
    void revealCurrent();
    void requestDeleteSelection();
    void confirmDelete();
    void cancelDelete();
    // Shows the row actions on `row` as if the pointer rested on it (-1: none).
    void setActionRow(int row);

    // For tests and the gallery.
    QLineEdit* searchField() const { return m_search; }
    QListView* listView() const;
    TrashEntryFilterModel* model() const { return m_model; }
    QAbstractButton* orderButton() const;
    QAbstractButton* actionButton(RowAction action) const;
    QAbstractButton* besideButton() const;
    bool isConfirmingDelete() const;
    // What the list shows in place of rows: "" while there are rows.
    QString placeholderText() const;

Q_SIGNALS:
    // Escape with an empty search, or the back button: the trash tab shows its overview again.
    void closeRequested();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    class EntryList;
    class EntryDelegate;
    class SearchField;

    // The rows acted on: the selection, else the current row.
    QList<quint32> chosenEntries() const;
    QList<TrashEntryRef> refsOf(const QList<quint32>& entries) const;
    bool handleKey(QKeyEvent* event, bool inSearch);
    void step(int delta);
    void deleteEntries(const QList<quint32>& entries);
    void updateFromEntries();
    void updateCount();
    void updateSelectionLine();
    void updateTakenLine();
    void placeActions();

    BinwellViewModel& m_viewModel;
    Workspace& m_workspace;
    TrashEntryFilterModel* m_model;
    GeekText* m_count;
    TextButton* m_order;
    SearchField* m_searchBox;
    QLineEdit* m_search;
    EntryList* m_list;
    QWidget* m_actions;
    SymbolButton* m_putBackAction;
    SymbolButton* m_revealAction;
    SymbolButton* m_deleteAction;
    int m_actionRow = -1;
    QWidget* m_selectionLine;
    GeekText* m_selectionText;
    QWidget* m_takenLine;
    GeekText* m_takenText;
    TextButton* m_beside;
    GeekCard* m_confirm;
    GeekText* m_confirmText;
    QList<quint32> m_pendingDelete;
};

} // namespace rubbly
