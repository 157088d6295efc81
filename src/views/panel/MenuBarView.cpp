#include "MenuBarView.h"

#include "Accessibility.h"
#include "AppIdentity.h"
#include "BinwellViewModel.h"
#include "DiskSlimView.h"
#include "FileUriList.h"
#include "Formatting.h"
#include "GeekFonts.h"
#include "GeekTheme.h"
#include "GeekWidgets.h"
#include "Motion.h"
#include "Painting.h"
#include "SettingsService.h"
#include "SlimViewModel.h"
#include "TextButton.h"
#include "TrashTabViews.h"
#include "Workspace.h"

#include <QCoreApplication>
#include <QDragEnterEvent>
#include <QGraphicsBlurEffect>
#include <QGraphicsOpacityEffect>
#include <QHBoxLayout>
#include <QMimeData>
#include <QPainter>
#include <QPainterPath>
#include <QVBoxLayout>

namespace rubbly {

namespace {

const Curve kCardSpring = Curve::spring(0.22, 0.85);

QByteArrayList droppedPaths(const QMimeData* mime)
{
    if (!mime || !mime->hasFormat(QStringLiteral("text/uri-list")))
        return {};
    return localPathsFromUriList(mime->data(QStringLiteral("text/uri-list")));
}

// "BETA" on a faint accent plate.
class BetaBadge final : public QWidget {
public:
    explicit BetaBadge(QWidget* parent = nullptr)
        : QWidget(parent)
    {
        const QFontMetricsF metrics(monoFont(8.5, Weight::Black));
        setFixedSize(static_cast<int>(std::ceil(metrics.horizontalAdvance(text()) + 8)),
                     static_cast<int>(std::ceil(metrics.height() + 2)));
    }

protected:
    static QString text() { return QCoreApplication::translate("Panel", "BETA"); }
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        paintCard(painter, QRectF(rect()), 3, Tint::accent(4).opacity(0.15).resolve(this));
        painter.setFont(monoFont(8.5, Weight::Black));
        painter.setPen(Tint::accent(4).resolve(this));
        painter.drawText(QRectF(rect()), Qt::AlignCenter, text());
    }
};

} // namespace

// The two tabs on one plate; the selected one's plate and colour cross-fade over 0.15 s.
class MenuBarView::TabBar final : public QWidget {
public:
    explicit TabBar(MenuBarView* view)
        : QWidget(view)
        , m_selection(this)
    {
        auto* layout = new QHBoxLayout(this);
        layout->setContentsMargins(2, 2, 2, 2);
        layout->setSpacing(4);
        for (MenuBarTab tab : kAllMenuBarTabs) {
            auto* button = new Button(this, tab);
            layout->addWidget(button);
            connect(button, &QAbstractButton::clicked, view, [view, tab] { view->selectTab(tab); });
        }
    }
    void select(MenuBarTab tab, bool animated)
    {
        const double target = tab == MenuBarTab::Slim ? 1 : 0;
        if (animated)
            m_selection.animateTo(target, Curve::easeInOut(0.15));
        else
            m_selection.jumpTo(target);
        for (QWidget* child : findChildren<QWidget*>())
            child->update();
    }
    // How selected `tab` looks now, 0 to 1.
    double amount(MenuBarTab tab) const
    {
        return tab == MenuBarTab::Slim ? m_selection.value() : 1 - m_selection.value();
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        paintCard(painter, QRectF(rect()), 5, Tint::surface().resolve(this));
    }

private:
    class Button final : public PlainButton {
    public:
        Button(TabBar* bar, MenuBarTab tab)
            : PlainButton(bar)
            , m_bar(bar)
            , m_tab(tab)
        {
            setText(menuBarTabTitle(tab));
            // "01 // TRASH" is how the tab looks; a screen reader says the tab's plain name.
            setAccessibleName(tab == MenuBarTab::Trash ? QCoreApplication::translate("Panel", "Trash")
                                                       : QCoreApplication::translate("Panel", "Slim"));
            setFixedHeight(22);
            setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
        }
        QSize sizeHint() const override { return {100, 22}; }

    protected:
        void paintEvent(QPaintEvent*) override
        {
            QPainter painter(this);
            const double a = m_bar->amount(m_tab);
            const QRectF box(rect());
            if (a > 0)
                paintCard(painter, box, 4, Tint::accent(4).opacity(0.12 * a).resolve(this),
                          Tint::accent(4).opacity(0.4 * a, a).resolve(this), 0.5);
            const QColor on = Tint::accent(4).resolve(this);
            const QColor off = Tint::tertiary().resolve(this);
            painter.setPen(blend(off, on, a));
            painter.setFont(monoFont(10, a >= 0.5 ? Weight::Bold : Weight::Medium));
            painter.drawText(box, Qt::AlignCenter, text());
            paintFocusRing(painter, box, 4);
        }

    private:
        TabBar* m_bar;
        MenuBarTab m_tab;
    };

    AnimatedValue m_selection;
};

// The card that asks before emptying, over a dimmed and blurred panel.
class MenuBarView::ConfirmationOverlay final : public QWidget {
public:
    explicit ConfirmationOverlay(MenuBarView* view)
        : QWidget(view)
        , m_view(view)
        , m_card(new GeekCard(8, Tint::surface(), Tint::accent(10).opacity(0.5), 1, this))
        , m_sentence(new GeekText(QString(), monoFont(10), Tint::secondary()))
        , m_confirm(new CardButton(QCoreApplication::translate("Panel", "$ CONFIRM"), true, m_card))
        , m_cancel(new CardButton(QCoreApplication::translate("Panel", "CANCEL"), false, m_card))
    {
        m_card->setObjectName(QStringLiteral("confirmationCard"));
        m_confirm->setObjectName(QStringLiteral("confirm"));
        m_cancel->setObjectName(QStringLiteral("cancel"));
        m_card->setFixedWidth(260);
        auto* column = new QVBoxLayout(m_card);
        column->setContentsMargins(12, 12, 12, 12);
        column->setSpacing(10);
        auto* title = new QHBoxLayout;
        title->setSpacing(6);
        title->addWidget(new GeekSquareDot(Tint::accent(10), 7, monoFont(11, Weight::Bold)));
        title->addWidget(new GeekText(QCoreApplication::translate("Panel", "> CONFIRM PURGE"),
                                      monoFont(11, Weight::Bold), Tint::accent(10)));
        title->addStretch();
        column->addLayout(title);
        m_sentence->setWordWrap(true);
        m_sentence->setLineSpacing(2);
        column->addWidget(m_sentence);
        auto* buttons = new QHBoxLayout;
        buttons->setSpacing(8);
        buttons->addWidget(m_confirm);
        buttons->addWidget(m_cancel);
        column->addLayout(buttons);
        connect(m_confirm, &QAbstractButton::clicked, view, &MenuBarView::confirmEmpty);
        connect(m_cancel, &QAbstractButton::clicked, view, &MenuBarView::cancelEmpty);
    }

    void setStatus(const TrashStatus& status) { m_sentence->setText(confirmationSentence(status)); }
    void place()
    {
        setGeometry(m_view->rect());
        m_card->adjustSize();
        m_card->move((width() - m_card->width()) / 2, (height() - m_card->height()) / 2);
    }
    QWidget* card() const { return m_card; }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.fillRect(rect(), GeekTheme::shared().scrim);
        paintShadow(painter, QRectF(m_card->geometry()), 8, GeekTheme::shared().cardShadow, 16, 0, 6);
    }
    void mousePressEvent(QMouseEvent* event) override
    {
        if (!m_card->geometry().contains(event->position().toPoint()))
            m_view->setConfirming(false);
    }

private:
    class CardButton final : public PlainButton {
    public:
        CardButton(const QString& text, bool danger, QWidget* parent)
            : PlainButton(parent)
            , m_danger(danger)
        {
            setText(text);
            setAccessibleName(text);
            setFixedHeight(26);
            setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
        }
        QSize sizeHint() const override { return {80, 26}; }

    protected:
        void paintEvent(QPaintEvent*) override
        {
            QPainter painter(this);
            const QRectF box(rect());
            if (m_danger)
                paintCard(painter, box, 4, Tint::accent(10).opacity(0.15).resolve(this),
                          Tint::accent(10).opacity(0.6).resolve(this), 0.5);
            else
                paintCard(painter, box, 4, Tint::surface().resolve(this), Tint::border().resolve(this), 0.5);
            painter.setFont(monoFont(10, m_danger ? Weight::Bold : Weight::Medium));
            painter.setPen((m_danger ? Tint::accent(10) : Tint::secondary()).resolve(this));
            painter.drawText(box, Qt::AlignCenter, text());
            paintFocusRing(painter, box, 4);
        }

    private:
        bool m_danger;
    };

    MenuBarView* m_view;
    GeekCard* m_card;
    GeekText* m_sentence;
    CardButton* m_confirm;
    CardButton* m_cancel;
};

// "> RELEASE TO TRASH" in a dashed frame while files are dragged over the panel.
class MenuBarView::DropOverlay final : public QWidget {
public:
    explicit DropOverlay(QWidget* parent)
        : QWidget(parent)
        , m_shown(this)
    {
        setAttribute(Qt::WA_TransparentForMouseEvents);
        m_shown.onStep([this] { setVisible(m_shown.value() > 0); });
        hide();
    }
    void setShown(bool shown) { m_shown.animateTo(shown ? 1 : 0, Curve::easeInOut(0.15)); }
    // The fade needs the overlay visible to run.
    void prepare(bool shown)
    {
        if (shown)
            show();
        setShown(shown);
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setOpacity(m_shown.value());
        const QRectF box = QRectF(rect()).adjusted(4, 4, -4, -4);
        painter.setPen(Qt::NoPen);
        painter.setBrush(Tint::background().opacity(0.9).resolve(this));
        painter.drawPath(roundedRect(box, 6));
        QPen dash(Tint::accent(4).resolve(this), 1.5);
        dash.setCapStyle(Qt::FlatCap);           // a square cap would lengthen each dash by the pen's width
        dash.setDashPattern({4 / 1.5, 4 / 1.5}); // in pen widths
        painter.setPen(dash);
        painter.setBrush(Qt::NoBrush);
        painter.drawPath(roundedRect(box.adjusted(0.75, 0.75, -0.75, -0.75), 6));
        painter.setFont(monoFont(11, Weight::Bold));
        painter.setPen(Tint::accent(4).resolve(this));
        painter.drawText(box, Qt::AlignCenter, QCoreApplication::translate("Panel", "> RELEASE TO TRASH"));
    }

private:
    AnimatedValue m_shown;
};

MenuBarView::MenuBarView(BinwellViewModel& viewModel, SlimViewModel& slimViewModel, SettingsService& settings,
                         Workspace& workspace, QWidget* parent)
    : QWidget(parent)
    , m_viewModel(viewModel)
    , m_slimViewModel(slimViewModel)
    , m_settings(settings)
    , m_workspace(workspace)
    , m_column(new QWidget(this))
    , m_dateStamp(new GeekText(QString(), monoFont(14, Weight::Heavy), Tint::primary()))
    , m_summary(new GeekText(QString(), monoFont(11), Tint::secondary()))
    , m_refresh(new GeekIconButton(QStringLiteral("arrow.clockwise"), QCoreApplication::translate("Panel", "Refresh")))
    , m_tabBar(new TabBar(this))
    , m_content(new QWidget)
    , m_trashTab(new TrashTabView(viewModel, workspace, [this] { requestEmpty(); }))
    , m_notice(new GeekText(QString(), monoFont(9), Tint::accent(8)))
    , m_offer(new GeekCard(6, Tint::surface(), Tint::accent(4).opacity(0.4)))
    , m_offerText(new GeekText(QString(), monoFont(9), Tint::secondary()))
    , m_offerAdd(new TextButton(QCoreApplication::translate("Panel", "Add to panel")))
    , m_offerDismiss(new TextButton(QCoreApplication::translate("Panel", "Dismiss")))
    , m_undoLine(new QWidget)
    , m_undoText(new GeekText(QString(), monoFont(9), Tint::secondary()))
    , m_undoButton(new TextButton(QCoreApplication::translate("Panel", "Undo")))
    , m_failureLine(new GeekText(QString(), monoFont(9), Tint::accent(8)))
    , m_recordLine(new GeekText(QString(), monoFont(9), Tint::tertiary()))
    , m_confirmation(new ConfirmationOverlay(this))
    , m_dropOverlay(new DropOverlay(this))
    , m_blur(new QGraphicsBlurEffect(this))
    , m_contentFade(std::make_unique<AnimatedValue>(this, 1))
    , m_cardFade(std::make_unique<AnimatedValue>(m_confirmation, 1))
{
    setFixedWidth(320);
    setAcceptDrops(true);
    setFocusPolicy(Qt::StrongFocus);
    setAccessibleName(kAppName);
    installAccessibility();
    m_column->setObjectName(QStringLiteral("column"));
    m_refresh->setObjectName(QStringLiteral("refresh"));
    m_undoLine->setObjectName(QStringLiteral("undoLine"));
    m_undoButton->setObjectName(QStringLiteral("undo"));
    m_offer->setObjectName(QStringLiteral("offer"));
    m_offerAdd->setObjectName(QStringLiteral("offerAdd"));
    m_offerDismiss->setObjectName(QStringLiteral("offerDismiss"));
    setAccessibleRole(m_notice, QAccessible::AlertMessage);
    setAccessibleRole(m_failureLine, QAccessible::AlertMessage);

    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSizeConstraint(QLayout::SetFixedSize);
    outer->addWidget(m_column);
    auto* column = new QVBoxLayout(m_column);
    column->setContentsMargins(12, 12, 12, 12);
    column->setSpacing(8);
    m_column->setFixedWidth(320);

    m_notice->setWordWrap(true);
    m_notice->hide();
    column->addWidget(m_notice);
    buildPanelItemOffer(column);
    auto* header = new QWidget;
    buildHeader(header);
    column->addWidget(header);
    column->addWidget(m_tabBar);
    auto* content = new QVBoxLayout(m_content);
    content->setContentsMargins(0, 0, 0, 0);
    content->addWidget(m_trashTab);
    column->addWidget(m_content);
    auto* undo = new QHBoxLayout(m_undoLine);
    undo->setContentsMargins(0, 0, 0, 0);
    undo->setSpacing(6);
    undo->addWidget(m_undoText, 1);
    undo->addWidget(m_undoButton);
    connect(m_undoButton, &QAbstractButton::clicked, this, [this] { m_viewModel.undoLastDrop(); });
    column->addWidget(m_undoLine);
    m_failureLine->setWordWrap(true);
    column->addWidget(m_failureLine);
    auto* record = new QHBoxLayout;
    record->setContentsMargins(2, 0, 2, 0);
    record->addWidget(m_recordLine);
    column->addLayout(record);

    m_blur->setBlurRadius(0);
    m_blur->setEnabled(false);
    m_column->setGraphicsEffect(m_blur);
    m_confirmation->hide();
    m_cardFade->onStep([this] {
        const double v = std::clamp(m_cardFade->value(), 0.0, 1.0);
        m_blur->setBlurRadius(1.5 * v);
        auto* fade = qobject_cast<QGraphicsOpacityEffect*>(m_confirmation->graphicsEffect());
        if (v >= 1.0 && !m_cardFade->isRunning()) {
            m_confirmation->setGraphicsEffect(nullptr); // no effect to pay for once it is in place
            return;
        }
        if (!fade) {
            fade = new QGraphicsOpacityEffect;
            m_confirmation->setGraphicsEffect(fade);
        }
        fade->setOpacity(v);
    });
    m_contentFade->onStep([this] {
        auto* effect = qobject_cast<QGraphicsOpacityEffect*>(m_content->graphicsEffect());
        if (m_contentFade->value() >= 1) {
            if (effect)
                m_content->setGraphicsEffect(nullptr);
            return;
        }
        if (!effect) {
            effect = new QGraphicsOpacityEffect;
            m_content->setGraphicsEffect(effect);
        }
        effect->setOpacity(m_contentFade->value());
    });

    connect(&m_viewModel, &BinwellViewModel::stateChanged, this, [this] {
        updateHeader();
        // The card belongs to a Trash with entries; in any other state it is not drawn (the flag
        // stays until cancelled, confirmed, refreshed or the panel re-appears).
        setConfirming(m_confirming);
    });
    connect(&m_slimViewModel, &SlimViewModel::diskSlimItemsChanged, this, &MenuBarView::updateHeader);
    connect(&m_slimViewModel, &SlimViewModel::isScanningSlimChanged, this, &MenuBarView::updateHeader);
    connect(&m_viewModel, &BinwellViewModel::lastFailureDetailChanged, this, &MenuBarView::updateLines);
    connect(&m_viewModel, &BinwellViewModel::dropUndoChanged, this, &MenuBarView::updateLines);
    connect(&m_viewModel, &BinwellViewModel::lastCleaningRecordChanged, this, &MenuBarView::updateLines);
    connect(&m_slimViewModel, &SlimViewModel::lastSlimCleaningRecordChanged, this, &MenuBarView::updateLines);
    connect(&m_slimViewModel, &SlimViewModel::lastSlimScanDateChanged, this, &MenuBarView::updateLines);

    m_tabBar->select(m_tab, false);
    updateHeader();
    updateLines();
}

MenuBarView::~MenuBarView() = default;

void MenuBarView::buildPanelItemOffer(QVBoxLayout* column)
{
    auto* layout = new QVBoxLayout(m_offer);
    layout->setContentsMargins(8, 6, 6, 6);
    layout->setSpacing(4);
    m_offerText->setWordWrap(true);
    m_offerText->setLineSpacing(2);
    layout->addWidget(m_offerText);
    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(4);
    buttons->addStretch();
    buttons->addWidget(m_offerAdd);
    buttons->addWidget(m_offerDismiss);
    layout->addLayout(buttons);
    connect(m_offerAdd, &QAbstractButton::clicked, this, [this] {
        if (!m_addPanelItem)
            return;
        const PanelItemOutcome outcome = m_addPanelItem();
        m_offerText->setText(QStringLiteral("> ") + outcome.message);
        announceChange(m_offerText);
        if (!outcome.ok)
            return; // offered again as it is: the user may mend what was missing and retry
        // What was done stays in view until the panel closes; there is nothing left to offer.
        m_addPanelItem = {};
        m_offerAdd->hide();
        m_offerDismiss->setFocus(Qt::OtherFocusReason);
        Q_EMIT panelItemOfferClosed();
    });
    connect(m_offerDismiss, &QAbstractButton::clicked, this, &MenuBarView::closePanelItemOffer);
    m_offer->hide();
    column->addWidget(m_offer);
}

void MenuBarView::offerPanelItem(std::function<PanelItemOutcome()> add)
{
    m_addPanelItem = std::move(add);
    m_offerText->setText(QCoreApplication::translate(
        "Panel", "> this desktop's tray shows only the icon: the Trash's size can be shown in its panel too."));
    m_offerAdd->show();
    m_offer->setVisible(bool(m_addPanelItem));
    if (m_addPanelItem && isVisible())
        m_settings.setHasShownPanelItemOffer(true);
}

void MenuBarView::closePanelItemOffer()
{
    const bool offered = bool(m_addPanelItem);
    m_addPanelItem = {};
    m_offer->hide();
    if (offered)
        Q_EMIT panelItemOfferClosed();
}

void MenuBarView::buildHeader(QWidget* header)
{
    auto* row = new QHBoxLayout(header);
    row->setContentsMargins(0, 0, 0, 2);
    row->setSpacing(0);
    auto* left = new QVBoxLayout;
    left->setSpacing(2);
    auto* first = new QHBoxLayout;
    first->setSpacing(5);
    first->addWidget(m_dateStamp);
    first->addWidget(new BetaBadge, 0, Qt::AlignVCenter);
    first->addStretch();
    left->addLayout(first);
    m_summary->setTransition(Curve::spring(0.28, 0.8));
    left->addWidget(m_summary);
    row->addLayout(left, 1);

    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(4);
    auto* openTrash = new GeekIconButton(QStringLiteral("arrow.up.right.square"),
                                         QCoreApplication::translate("Panel", "Open the Trash in the file manager"));
    auto* settings = new GeekIconButton(QStringLiteral("gearshape"), QCoreApplication::translate("Panel", "Settings"));
    auto* quit = new GeekIconButton(QStringLiteral("xmark"), QCoreApplication::translate("Panel", "Quit Rubbly"));
    for (QWidget* button : {static_cast<QWidget*>(m_refresh), static_cast<QWidget*>(openTrash),
                            static_cast<QWidget*>(settings), static_cast<QWidget*>(quit)})
        buttons->addWidget(button, 0, Qt::AlignTop);
    row->addLayout(buttons);
    row->setAlignment(buttons, Qt::AlignTop);

    connect(m_refresh, &QAbstractButton::clicked, this, &MenuBarView::refresh);
    connect(openTrash, &QAbstractButton::clicked, this, [this] { m_workspace.openTrash(); });
    connect(settings, &QAbstractButton::clicked, this, &MenuBarView::settingsRequested);
    connect(quit, &QAbstractButton::clicked, this, &MenuBarView::quitRequested);
}

void MenuBarView::selectTab(MenuBarTab tab)
{
    if (tab == m_tab)
        return;
    m_tab = tab;
    m_tabBar->select(tab, true);
    showTabContent(true);
    updateHeader();
    updateLines();
}

void MenuBarView::showTabContent(bool animated)
{
    // The slim view lives only while its tab shows, so its expanded rows and hover start afresh each
    // time, and its hundreds of rows cost nothing while the trash tab is up.
    if (m_tab == MenuBarTab::Slim && !m_slimView) {
        m_slimView = new DiskSlimView(m_slimViewModel, m_workspace, m_content);
        m_content->layout()->addWidget(m_slimView);
    } else if (m_tab == MenuBarTab::Trash && m_slimView) {
        delete m_slimView;
    }
    m_trashTab->setVisible(m_tab == MenuBarTab::Trash);
    if (m_slimView) {
        m_slimView->show();
        m_slimView->appeared();
    }
    if (animated) {
        m_trashTab->emptyButton()->dropGlow();
        m_contentFade->jumpTo(0);
        m_contentFade->animateTo(1, Curve::easeInOut(0.15));
    }
}

void MenuBarView::panelAppeared()
{
    setConfirming(false);
    m_viewModel.refreshIfNeeded();
    // Shown once: from now on the offer lasts only as long as this run of the program.
    if (m_addPanelItem)
        m_settings.setHasShownPanelItemOffer(true);
    if (m_slimView)
        m_slimView->appeared();
    updateHeader();
    updateLines();
    // The panel takes the keys (Escape), so no button is handed the focus and looks chosen.
    setFocus(Qt::OtherFocusReason);
}

void MenuBarView::panelDisappeared()
{
    setDropTargeted(false);
    // The panel opens on the overview again, and the listing's memory goes with the list.
    m_trashTab->closeAllItems();
    // The offer belongs to the panel the files were dropped on: once it is gone, so is the offer.
    m_viewModel.dismissDropUndo();
    // The line that said what adding the panel item did has been read.
    if (!m_addPanelItem)
        m_offer->hide();
    motion::finishAll(this);
}

void MenuBarView::refresh()
{
    setConfirming(false);
    if (m_tab == MenuBarTab::Trash)
        m_viewModel.refresh();
    else
        m_slimViewModel.scanSlim(true);
}

void MenuBarView::requestEmpty()
{
    if (m_settings.confirmBeforeEmptying()) {
        setConfirming(true);
        return;
    }
    m_viewModel.emptyTrash();
}

void MenuBarView::confirmEmpty()
{
    setConfirming(false);
    m_viewModel.emptyTrash();
}

void MenuBarView::cancelEmpty()
{
    setConfirming(false);
}

void MenuBarView::setConfirming(bool confirming)
{
    m_confirming = confirming;
    const BinwellState& state = m_viewModel.state();
    const bool shown = confirming && state.kind() == BinwellState::Kind::Normal;
    if (shown)
        m_confirmation->setStatus(*state.status());
    if (shown == m_confirmation->isVisible())
        return;
    if (!shown)
        m_cardFade->jumpTo(1); // end a fade that is still running before the blur goes
    else
        m_trashTab->emptyButton()->dropGlow();
    m_blur->setEnabled(shown);
    m_blur->setBlurRadius(shown ? 1.5 : 0);
    m_confirmation->setVisible(shown);
    if (shown) {
        m_confirmation->place();
        m_confirmation->raise();
        m_dropOverlay->raise();
        m_confirmation->card()->setFocus(Qt::OtherFocusReason);
        // Fade the card in along the spring; the blur comes with it.
        m_cardFade->jumpTo(0);
        m_cardFade->animateTo(1, kCardSpring);
    } else {
        setFocus(Qt::OtherFocusReason);
    }
}

void MenuBarView::setDropTargeted(bool targeted)
{
    if (m_dropTargeted == targeted)
        return;
    m_dropTargeted = targeted;
    m_dropOverlay->setGeometry(rect());
    m_dropOverlay->raise();
    m_dropOverlay->prepare(targeted);
}

void MenuBarView::updateHeader()
{
    m_dateStamp->setText(formatTodayStamp(m_viewModel.now()));
    m_dateStamp->setAccessibleName(spokenToday(m_viewModel.now()));
    m_summary->setText(QCoreApplication::translate("Panel", "%1 total")
                           .arg(selectedSizeText(m_tab, m_viewModel.state(), m_slimViewModel.diskSlimItems())));
    const bool busy = isBusy(m_tab, m_viewModel.state(), m_slimViewModel.isScanningSlim());
    m_refresh->setSymbol(busy ? QStringLiteral("arrow.triangle.2.circlepath") : QStringLiteral("arrow.clockwise"));
    m_refresh->setEnabled(!busy);
}

void MenuBarView::updateLines()
{
    const auto& failure = m_viewModel.lastFailureDetail();
    m_failureLine->setText(failure ? QStringLiteral("> ") + *failure : QString());
    m_failureLine->setVisible(failure.has_value());
    const auto& undo = m_viewModel.dropUndo();
    QString moved;
    if (undo && undo->movedCount == 1)
        moved = QCoreApplication::translate("Panel", "> moved 1 item to the Trash");
    else if (undo)
        moved = QCoreApplication::translate("Panel", "> moved %1 items to the Trash").arg(undo->movedCount);
    m_undoText->setText(moved);
    m_undoLine->setVisible(undo.has_value());
    const auto record = recordLine(m_tab, m_viewModel.lastCleaningRecord(), m_slimViewModel.lastSlimCleaningRecord(),
                                   m_slimViewModel.lastSlimScanDate(), m_viewModel.now());
    m_recordLine->setText(record.value_or(QString()));
    m_recordLine->setVisible(record.has_value());
}

void MenuBarView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    updateOverlayGeometry();
}

void MenuBarView::updateOverlayGeometry()
{
    if (m_confirmation->isVisible())
        m_confirmation->place();
    m_dropOverlay->setGeometry(rect());
}

void MenuBarView::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape) {
        if (m_confirmation->isVisible())
            cancelEmpty();
        else
            Q_EMIT closeRequested();
        return;
    }
    // The card opens with the focus on itself, not on a button: Return answers its question, as in
    // the list's own confirmation. A button reached by Tab takes Return itself and never gets here.
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && m_confirmation->isVisible()) {
        confirmEmpty();
        return;
    }
    QWidget::keyPressEvent(event);
}

void MenuBarView::dragEnterEvent(QDragEnterEvent* event)
{
    // Only drags that carry at least one file of this machine; anything else is not ours to take.
    if (droppedPaths(event->mimeData()).isEmpty()) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
    setDropTargeted(true);
}

void MenuBarView::dragMoveEvent(QDragMoveEvent* event)
{
    event->acceptProposedAction();
}

void MenuBarView::dragLeaveEvent(QDragLeaveEvent* event)
{
    QWidget::dragLeaveEvent(event);
    setDropTargeted(false);
}

void MenuBarView::dropEvent(QDropEvent* event)
{
    setDropTargeted(false);
    const QByteArrayList paths = droppedPaths(event->mimeData());
    event->acceptProposedAction();
    if (!paths.isEmpty())
        m_viewModel.moveToTrash(paths);
}

void MenuBarView::setNotice(const QString& notice)
{
    m_notice->setText(notice);
    m_notice->setVisible(!notice.isEmpty());
}

void MenuBarView::setFramed(bool framed)
{
    m_framed = framed;
    update();
}

void MenuBarView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), Tint::background().resolve(this));
    if (m_framed)
        paintCard(painter, QRectF(rect()), 0, QColor(), Tint::border().opacity(2).resolve(this), 1);
}

} // namespace rubbly
