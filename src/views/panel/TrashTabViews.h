#pragma once

#include "GeekWidgets.h"
#include "TrashStatus.h"

#include <QWidget>

#include <functional>

namespace rubbly {

class AllItemsView;
class BinwellViewModel;
class PermissionGuideView;
class Workspace;

// What the put-back action of a top item does with it.
using PutBackAction = std::function<void(const TrashItemDetail&)>;

// The kinds of the Trash with their share: one row per kind that holds bytes, largest first, and
// under them a strip of coloured segments; then the largest entries (five at most), which can be
// collapsed. While a row is hovered it shows two small actions: put back (for an entry whose info
// file names its original place) and reveal in the file manager.
class TrashVisualizationView final : public GeekCard {
    Q_OBJECT
public:
    TrashVisualizationView(Workspace& workspace, PutBackAction putBack, QWidget* parent = nullptr);

    void setStatus(const TrashStatus& status);
    void setTopExpanded(bool expanded);
    // The row under the pointer ("cat-<title>" or "file-<path>"); empty for none.
    const QString& hoveredRowID() const { return m_hoveredRowID; }
    void setHoveredRowID(const QString& id);

    // For tests: the shown rows' identities, in order; a top item's reveal button; the strip.
    QStringList rowIDs() const;
    QAbstractButton* revealButton(const QString& rowID) const;
    // The put-back button of a top item; none for an entry without an original place.
    QAbstractButton* putBackButton(const QString& rowID) const;
    QWidget* distributionBar() const;
    QAbstractButton* allItemsButton() const;

Q_SIGNALS:
    // The "ALL ITEMS" link: the list of every entry is wanted.
    void allItemsRequested();

private:
    class DistributionRow;
    class DistributionBar;
    class TopItemRow;
    void rebuild();

    Workspace& m_workspace;
    PutBackAction m_putBack;
    TrashStatus m_status;
    bool m_topExpanded = true;
    QString m_hoveredRowID;
    QWidget* m_distribution;
    DistributionBar* m_bar;
    QWidget* m_topHeader;
    SymbolButton* m_chevron;
    QAbstractButton* m_allItems;
    QWidget* m_topRows;
};

// What the trash tab shows in Normal: the all-clean card for an empty Trash, else the visualization.
class TrashStatusView final : public QWidget {
    Q_OBJECT
public:
    TrashStatusView(Workspace& workspace, PutBackAction putBack, QWidget* parent = nullptr);
    void setStatus(const TrashStatus& status);
    TrashVisualizationView* visualization() const { return m_visualization; }

private:
    QWidget* m_emptyCard;
    TrashVisualizationView* m_visualization;
};

// The card shown while emptying: what is being removed.
class CleaningView final : public GeekCard {
    Q_OBJECT
public:
    explicit CleaningView(QWidget* parent = nullptr);
    void setStatus(const TrashStatus& status);

private:
    GeekText* m_detail;
};

// "$ EMPTY TRASH (size)": dimmed and inert for an empty Trash, glowing in the danger colour while
// hovered.
class EmptyTrashButton final : public PlainButton {
    Q_OBJECT
public:
    explicit EmptyTrashButton(QWidget* parent = nullptr);
    void setStatus(const TrashStatus& status);
    QSize sizeHint() const override;
    // Removes the hover glow at once. Call before an ancestor turns on a graphics effect: Qt cannot
    // draw an effect inside another one.
    void dropGlow();

protected:
    void paintEvent(QPaintEvent*) override;

private:
    // All it draws of the status.
    int m_itemCount = 0;
    qint64 m_totalSize = 0;
    AnimatedValue m_hover;
};

// The trash tab: what the view model's state calls for. Normal shows the status and, for a Trash
// with entries, the empty button; the other states their card or line, and the permission guide.
class TrashTabView final : public QWidget {
    Q_OBJECT
public:
    TrashTabView(BinwellViewModel& viewModel, Workspace& workspace, std::function<void()> emptyAction,
                 QWidget* parent = nullptr);

    TrashStatusView* statusView() const { return m_statusView; }
    EmptyTrashButton* emptyButton() const { return m_emptyButton; }
    // The one part shown for the current state.
    QWidget* shownPart() const;

    // The list of every entry in place of the overview, and back. The list exists only while it
    // shows, and with it the listing of the Trash it searches.
    void openAllItems();
    void closeAllItems();
    AllItemsView* allItemsView() const { return m_allItems; }

private:
    void updateFromState();

    BinwellViewModel& m_viewModel;
    Workspace& m_workspace;
    AllItemsView* m_allItems = nullptr;
    TrashStatusView* m_statusView;
    EmptyTrashButton* m_emptyButton;
    CleaningView* m_cleaning;
    QWidget* m_success;
    GeekText* m_successText;
    QWidget* m_error;
    GeekText* m_errorText;
    QWidget* m_scanning;
    PermissionGuideView* m_permission;
};

} // namespace rubbly
