#pragma once

#include "DiskSlimView.h"
#include "PanelItems.h"
#include "PanelLogic.h"

#include <QAbstractButton>
#include <QPointer>

#include <QWidget>
#include <functional>
#include <memory>

class QGraphicsBlurEffect;
class QVBoxLayout;

namespace rubbly {

class AnimatedValue;
class BinwellViewModel;
class GeekCard;
class GeekIconButton;
class GeekText;
class SettingsService;
class SlimViewModel;
class TextButton;
class TrashTabView;
class Workspace;

// The panel under the tray item: a header with the date, the size summary and four buttons; the tab
// bar; the selected tab's content; the failure and record lines; and two overlays, the confirmation
// card before emptying and the drop target for files dragged onto the panel. Everything shown comes
// from the two view models (the Trash's and the slim tab's) and the settings; every action is a
// view-model call, a settings read or a Workspace call. Tests and the gallery reach its parts by
// their object names. 320 wide; its height follows its content.
class MenuBarView final : public QWidget {
    Q_OBJECT
public:
    MenuBarView(BinwellViewModel& viewModel, SlimViewModel& slimViewModel, SettingsService& settings,
                Workspace& workspace, QWidget* parent = nullptr);
    ~MenuBarView() override;

    void selectTab(MenuBarTab tab);
    bool isConfirmingEmpty() const { return m_confirming; }
    bool isDropTargeted() const { return m_dropTargeted; }

    // A line above everything, for what the desktop lacks (no tray: the panel is an ordinary window).
    void setNotice(const QString& notice);
    // Offers, once, to show the size in the desktop's own panel, whose tray draws only the icon:
    // `add` puts our item there and says what it did. The offer stays until it is dismissed or the
    // item is added; the first time the panel shows it, it is marked shown in the settings, so a
    // later start does not offer it again. An empty `add` withdraws it.
    void offerPanelItem(std::function<PanelItemOutcome()> add);
    // A hairline around the panel, for when it floats without a window frame.
    void setFramed(bool framed);

    // The host calls these as it shows and hides the panel.
    void panelAppeared();
    void panelDisappeared();

    // The empty action, from the button, the tray menu or a desktop action: with confirmation on it
    // shows the card; otherwise it empties at once.
    void requestEmpty();
    void confirmEmpty();
    void cancelEmpty();
    void refresh();

Q_SIGNALS:
    void settingsRequested();
    void quitRequested();
    // Escape with no card open: the host hides the panel.
    void closeRequested();
    // The offer to add the panel item was dismissed, or the item was added: not to be made again.
    void panelItemOfferClosed();

protected:
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    class TabBar;
    class ConfirmationOverlay;
    class DropOverlay;

    void buildHeader(QWidget* header);
    void setConfirming(bool confirming);
    void setDropTargeted(bool targeted);
    void updateHeader();
    void updateLines();
    void updateOverlayGeometry();
    void buildPanelItemOffer(QVBoxLayout* column);
    void closePanelItemOffer();
    void showTabContent(bool animated);

    BinwellViewModel& m_viewModel;
    SlimViewModel& m_slimViewModel;
    SettingsService& m_settings;
    Workspace& m_workspace;
    MenuBarTab m_tab = MenuBarTab::Trash;
    bool m_confirming = false;
    bool m_dropTargeted = false;

    QWidget* m_column;
    GeekText* m_dateStamp;
    GeekText* m_summary;
    GeekIconButton* m_refresh;
    TabBar* m_tabBar;
    QWidget* m_content;
    TrashTabView* m_trashTab;
    QPointer<DiskSlimView> m_slimView;
    GeekText* m_notice;
    GeekCard* m_offer;
    GeekText* m_offerText;
    TextButton* m_offerAdd;
    TextButton* m_offerDismiss;
    std::function<PanelItemOutcome()> m_addPanelItem;
    bool m_framed = false;
    QWidget* m_undoLine;
    GeekText* m_undoText;
    TextButton* m_undoButton;
    GeekText* m_failureLine;
    GeekText* m_recordLine;
    ConfirmationOverlay* m_confirmation;
    DropOverlay* m_dropOverlay;
    QGraphicsBlurEffect* m_blur;
    std::unique_ptr<AnimatedValue> m_contentFade;
    std::unique_ptr<AnimatedValue> m_cardFade;
};

} // namespace rubbly
