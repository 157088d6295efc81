#pragma once

#include "DiskSlimSnapshot.h"
#include "GeekWidgets.h"

#include <QSet>
#include <QWidget>

namespace rubbly {

class SlimViewModel;
class GeekScrollView;
class Workspace;

// The slim tab: what the last cache scan found, grouped, with a tick per category and per path, the
// size the selection frees, scan and purge progress, and the purge button. Selection lives in the
// view model's items; this view keeps only which categories are expanded and which row the pointer is
// over, both empty each time it is created. The list is one painted canvas, so thousands of paths cost
// a layout pass, not thousands of widgets, and a progress signal repaints instead of rebuilding rows.
class DiskSlimView final : public GeekCard {
    Q_OBJECT
public:
    DiskSlimView(SlimViewModel& viewModel, Workspace& workspace, QWidget* parent = nullptr);
    ~DiskSlimView() override;

    // The tab came into view: scans when there is nothing to show and no scan runs.
    void appeared();

    bool isExpanded(DiskSlimCategory category) const { return m_expanded.contains(category); }
    const QSet<DiskSlimCategory>& expandedCategories() const { return m_expanded; }
    void setExpanded(DiskSlimCategory category, bool expanded);
    // A category row is known by its title, a path row by its path.
    const QString& hoveredRowID() const { return m_hoveredRowID; }
    void setHoveredRowID(const QString& id);

    // For tests and the gallery.
    enum class Body { Scanning, AllClean, List };
    Body body() const;
    bool isProgressStripShown() const;
    QString headerSizeText() const;
    QString progressStripText() const;
    QString emptyResultText() const;
    QAbstractButton* purgeButton() const;
    QWidget* listCanvas() const;
    // Where a row's parts are, in the canvas's coordinates; empty when the row is not laid out.
    QRect checkRect(const QString& rowID) const;
    QRect contentRect(const QString& rowID) const;
    QRect revealRect(const QString& rowID) const;
    // The rows as laid out: group headers as "// TAG", categories by title, paths by path.
    QStringList rowIDs() const;

private:
    class Canvas;
    class ProgressStrip;
    class PurgeButton;

    void updateFromModel();
    void updateProgress();

    SlimViewModel& m_viewModel;
    Workspace& m_workspace;
    QSet<DiskSlimCategory> m_expanded;
    QString m_hoveredRowID;

    GeekText* m_timeAgo;
    GeekText* m_selectedSize;
    GeekText* m_selectedWord;
    QWidget* m_scanningBody;
    GeekText* m_scanningText;
    QWidget* m_cleanBody;
    GeekText* m_cleanDetail;
    QWidget* m_listBody;
    ProgressStrip* m_strip;
    GeekScrollView* m_scroll;
    Canvas* m_canvas;
    PurgeButton* m_purge;
};

} // namespace rubbly
