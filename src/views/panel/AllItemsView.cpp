#include "AllItemsView.h"

#include "BinwellViewModel.h"
#include "Formatting.h"
#include "GeekFonts.h"
#include "GeekScrollView.h"
#include "GeekTheme.h"
#include "Painting.h"
#include "PanelLogic.h"
#include "SettingsService.h"
#include "Symbols.h"
#include "TextButton.h"
#include "TrashEntryFilterModel.h"
#include "Workspace.h"

#include <QAbstractItemDelegate>
#include <QCoreApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListView>
#include <QPainter>
#include <QScrollBar>
#include <QVBoxLayout>

namespace rubbly {

namespace {

constexpr int kRowHeight = 34;
constexpr int kVisibleRows = 8;
// The row actions' frames and the gap between them, as on the top items' rows.
constexpr int kActionSize = 14;
constexpr int kActionGap = 4;
constexpr int kActionsWidth = 3 * kActionSize + 2 * kActionGap;

} // namespace

// The search line: a prompt, the text field without a frame of its own, and a clear button, in the
// panel's card. Its colours are the theme's, set again whenever the appearance changes.
class AllItemsView::SearchField final : public GeekCard {
public:
    explicit SearchField(QWidget* parent)
        : GeekCard(6, Tint::background(), Tint::border(), 0.5, parent)
        , m_edit(new QLineEdit(this))
        , m_clear(new SymbolButton(QStringLiteral("xmark"), 8, QSize(14, 14), Tint::tertiary(), Tint::primary(),
                                   QCoreApplication::translate("Panel", "Clear the search"), this))
    {
        setFixedHeight(26);
        auto* row = new QHBoxLayout(this);
        row->setContentsMargins(8, 0, 6, 0);
        row->setSpacing(6);
        auto* prompt = new GeekText(QStringLiteral(">"), monoFont(11, Weight::Bold), Tint::accent(4));
        prompt->setAccessibleName(QString());
        row->addWidget(prompt);
        row->addWidget(m_edit, 1);
        row->addWidget(m_clear);
        m_edit->setFrame(false);
        m_edit->setFont(monoFont(11));
        m_edit->setPlaceholderText(QCoreApplication::translate("Panel", "find by name or path"));
        m_edit->setAccessibleName(QCoreApplication::translate("Panel", "Search the Trash"));
        m_edit->setAccessibleDescription(
            QCoreApplication::translate("Panel", "Matches any part of the name or the original path"));
        m_edit->setAttribute(Qt::WA_MacShowFocusRect, false);
        m_clear->hide();
        connect(m_edit, &QLineEdit::textChanged, m_clear,
                [this](const QString& text) { m_clear->setVisible(!text.isEmpty()); });
        connect(m_clear, &QAbstractButton::clicked, m_edit, [this] {
            m_edit->clear();
            m_edit->setFocus(Qt::OtherFocusReason);
        });
        applyColours();
    }
    QLineEdit* edit() const { return m_edit; }

protected:
    void changeEvent(QEvent* event) override
    {
        if (event->type() == QEvent::PaletteChange && !m_applying)
            applyColours();
        GeekCard::changeEvent(event);
    }

private:
    void applyColours()
    {
        m_applying = true;
        QPalette palette = m_edit->palette();
        palette.setColor(QPalette::Base, Qt::transparent);
        palette.setColor(QPalette::Text, Tint::primary().resolve(this));
        palette.setColor(QPalette::PlaceholderText, Tint::tertiary().resolve(this));
        palette.setColor(QPalette::Highlight, Tint::accent(4).opacity(0.35).resolve(this));
        palette.setColor(QPalette::HighlightedText, Tint::primary().resolve(this));
        m_edit->setPalette(palette);
        m_applying = false;
    }

    QLineEdit* m_edit;
    SymbolButton* m_clear;
    bool m_applying = false;
};

// One painted row per match: the kind's dot, the name cut in the middle and the size; under them the
// folder it came from and when. Selected rows are tinted with the accent; the hovered one gets the
// hover fill, and its right side is left to the row actions laid over it.
class AllItemsView::EntryDelegate final : public QAbstractItemDelegate {
public:
    EntryDelegate(AllItemsView* view, const TrashEntryFilterModel* model)
        : QAbstractItemDelegate(view)
        , m_view(view)
        , m_model(model)
    {
    }
    QSize sizeHint(const QStyleOptionViewItem&, const QModelIndex&) const override { return {200, kRowHeight}; }
    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        const TrashEntryList* entries = m_model->entries();
        if (!entries)
            return;
        const quint32 entry = m_model->entryAt(index.row());
        const QWidget* widget = option.widget;
        painter->save();
        painter->setRenderHint(QPainter::Antialiasing);
        const QRectF box = QRectF(option.rect).adjusted(0, 1, 0, -1);
        const bool selected = option.state & QStyle::State_Selected;
        const bool hovered = index.row() == m_view->m_actionRow;
        if (selected)
            paintCard(*painter, box, 4, Tint::accent(4).opacity(0.16).resolve(widget),
                      Tint::accent(4).opacity(0.45).resolve(widget), 0.5);
        else if (hovered)
            paintCard(*painter, box, 4, Tint::hoverFill().resolve(widget));
        if ((option.state & QStyle::State_HasFocus) && widget->hasFocus() && !selected)
            paintCard(*painter, box, 4, Qt::transparent, Tint::accent(4).opacity(0.6).resolve(widget), 1);

        const QFont nameFont = monoFont(10, hovered || selected ? Weight::Medium : Weight::Regular);
        const QFont small = monoFont(9);
        const qreal top = box.top() + 2;
        const qreal lineOne = QFontMetricsF(nameFont).height();
        QRectF inner = box.adjusted(6, 0, -6, 0);
        paintSquareDot(*painter, QPointF(inner.left(), top + (lineOne - 6) / 2.0 + visualMiddleOffset(nameFont)), 6,
                       spectrum()[fileCategoryColorIndex(entries->category(entry))]);
        if (hovered)
            inner.setRight(inner.right() - kActionsWidth - 6);
        const QColor strong = Tint::primary().resolve(widget);
        const QColor weak = Tint::secondary().resolve(widget);
        const QColor faint = Tint::tertiary().resolve(widget);

        // A folder the listing has not measured yet: its size follows in a moment.
        const qint64 bytes = entries->entrySize(entry);
        const QString size = bytes == TrashEntryList::kUnknownSize ? QStringLiteral("…") : formatBytesCompact(bytes);
        const auto date = entries->deletionDate(entry);
        const QString when = date ? formatTimeAgo(*date, m_view->m_viewModel.now()) : QStringLiteral("--");
        painter->setFont(small);
        const qreal rightWidth = hovered ? 0
                                         : std::max(QFontMetricsF(monoFont(10)).horizontalAdvance(size),
                                                    QFontMetricsF(small).horizontalAdvance(when));
        const QRectF first(inner.left() + 12, top, inner.width() - 12, lineOne);
        const QRectF second(inner.left() + 12, first.bottom(), inner.width() - 12, QFontMetricsF(small).height());
        if (!hovered) {
            painter->setPen(faint);
            painter->drawText(second, Qt::AlignRight | Qt::AlignVCenter, when);
            painter->setFont(monoFont(10));
            painter->setPen(selected ? strong : faint);
            painter->drawText(first, Qt::AlignRight | Qt::AlignVCenter, size);
        }
        const qreal textWidth = std::max<qreal>(first.width() - (rightWidth > 0 ? rightWidth + 8 : 0), 0);
        painter->setFont(nameFont);
        painter->setPen(hovered || selected ? strong : weak);
        painter->drawText(QRectF(first.topLeft(), QSizeF(textWidth, first.height())), Qt::AlignLeft | Qt::AlignVCenter,
                          QFontMetricsF(nameFont).elidedText(entries->displayName(entry), Qt::ElideMiddle, textWidth));
        QString folder = entries->originalFolder(entry);
        if (folder.isEmpty())
            folder = QCoreApplication::translate("Panel", "(original place unknown)");
        painter->setFont(small);
        painter->setPen(faint);
        painter->drawText(QRectF(second.topLeft(), QSizeF(textWidth, second.height())),
                          Qt::AlignLeft | Qt::AlignVCenter,
                          QFontMetricsF(small).elidedText(folder, Qt::ElideMiddle, textWidth));
        painter->restore();
    }

private:
    AllItemsView* m_view;
    const TrashEntryFilterModel* m_model;
};

// The list itself: no frame, no platform scroll bar (the panel's thin thumb instead), the hovered row
// reported to the view, and a line in place of rows while there are none.
class AllItemsView::EntryList final : public QListView {
public:
    explicit EntryList(AllItemsView* view)
        : QListView(view)
        , m_view(view)
    {
        setFrameShape(QFrame::NoFrame);
        setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        setUniformItemSizes(true);
        setSelectionMode(QAbstractItemView::ExtendedSelection);
        setMouseTracking(true);
        setAutoFillBackground(false);
        viewport()->setAutoFillBackground(false);
        setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
        verticalScrollBar()->setSingleStep(kRowHeight / 2);
        setFixedHeight(kRowHeight * kVisibleRows);
        setAccessibleName(QCoreApplication::translate("Panel", "Entries in the Trash"));
    }
    void setPlaceholder(const QString& text)
    {
        m_placeholder = text;
        viewport()->update();
    }
    const QString& placeholder() const { return m_placeholder; }

protected:
    void mouseMoveEvent(QMouseEvent* event) override
    {
        m_view->setActionRow(indexAt(event->position().toPoint()).row());
        QListView::mouseMoveEvent(event);
    }
    void leaveEvent(QEvent* event) override
    {
        if (!m_view->m_actions->underMouse())
            m_view->setActionRow(-1);
        QListView::leaveEvent(event);
    }
    void scrollContentsBy(int dx, int dy) override
    {
        QListView::scrollContentsBy(dx, dy);
        m_view->placeActions();
    }
    void paintEvent(QPaintEvent* event) override
    {
        QListView::paintEvent(event);
        QPainter painter(viewport());
        painter.setRenderHint(QPainter::Antialiasing);
        if (model() && model()->rowCount() == 0 && !m_placeholder.isEmpty()) {
            painter.setFont(monoFont(10));
            painter.setPen(Tint::tertiary().resolve(this));
            painter.drawText(QRectF(viewport()->rect()).adjusted(8, 8, -8, -8), Qt::AlignHCenter | Qt::AlignTop,
                             m_placeholder);
        }
        const QScrollBar* bar = verticalScrollBar();
        const qreal visible = viewport()->height();
        const auto thumb = scrollThumb(visible, visible + bar->maximum(), -bar->value());
        if (thumb)
            paintCard(painter, QRectF(viewport()->width() - 4.5, thumb->top, 3, thumb->height), 1.5,
                      underMouse() ? Tint::accent(4).opacity(0.6).resolve(this)
                                   : GeekTheme::shared().scrollThumb.resolve(isDarkScheme(this)));
    }

private:
    AllItemsView* m_view;
    QString m_placeholder;
};

AllItemsView::AllItemsView(BinwellViewModel& viewModel, Workspace& workspace, QWidget* parent)
    : GeekCard(8, Tint::surface(), Tint::border(), 0.5, parent)
    , m_viewModel(viewModel)
    , m_workspace(workspace)
    , m_model(new TrashEntryFilterModel(this))
    , m_count(new GeekText(QString(), monoFont(10), Tint::tertiary()))
    , m_order(new TextButton(QString(), 4))
    , m_searchBox(new SearchField(this))
    , m_search(m_searchBox->edit())
    , m_list(new EntryList(this))
    , m_actions(new QWidget(m_list->viewport()))
    , m_putBackAction(new SymbolButton(QStringLiteral("arrow.uturn.backward"), 10, QSize(kActionSize, kActionSize),
                                       Tint::accent(4), Tint::accent(4),
                                       QCoreApplication::translate("Panel", "Put back"), m_actions))
    , m_revealAction(new SymbolButton(QStringLiteral("arrow.up.right.square"), 10, QSize(kActionSize, kActionSize),
                                      Tint::accent(4), Tint::accent(4),
                                      QCoreApplication::translate("Panel", "Show in the file manager"), m_actions))
    , m_deleteAction(new SymbolButton(QStringLiteral("trash"), 10, QSize(kActionSize, kActionSize), Tint::accent(10),
                                      Tint::accent(10), QCoreApplication::translate("Panel", "Delete for good"),
                                      m_actions))
    , m_selectionLine(new QWidget)
    , m_selectionText(new GeekText(QString(), monoFont(9), Tint::secondary()))
    , m_takenLine(new QWidget)
    , m_takenText(new GeekText(QString(), monoFont(9), Tint::accent(8)))
    , m_beside(new TextButton(QCoreApplication::translate("Panel", "PUT BACK BESIDE IT"), 4))
    , m_confirm(new GeekCard(6, Tint::surface(), Tint::accent(10).opacity(0.5), 1))
    , m_confirmText(new GeekText(QString(), monoFont(10), Tint::secondary()))
{
    setAccessibleName(QCoreApplication::translate("Panel", "ALL ITEMS"));
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(10, 8, 10, 10);
    column->setSpacing(8);

    auto* header = new QHBoxLayout;
    header->setContentsMargins(0, 0, 0, 0);
    header->setSpacing(6);
    auto* back = new SymbolButton(QStringLiteral("xmark"), 9, QSize(14, 14), Tint::tertiary(), Tint::primary(),
                                  QCoreApplication::translate("Panel", "Back to the overview"));
    header->addWidget(new GeekText(QCoreApplication::translate("Panel", "> ALL ITEMS"), monoFont(10, Weight::Bold),
                                   Tint::tertiary()));
    header->addWidget(m_count);
    header->addStretch();
    header->addWidget(m_order);
    header->addWidget(back);
    column->addLayout(header);
    column->addWidget(m_searchBox);
    column->addWidget(m_list);

    auto* selection = new QHBoxLayout(m_selectionLine);
    selection->setContentsMargins(2, 0, 0, 0);
    selection->setSpacing(6);
    selection->addWidget(m_selectionText, 1);
    auto* putBackSelected = new TextButton(QCoreApplication::translate("Panel", "PUT BACK"), 4);
    auto* deleteSelected = new TextButton(QCoreApplication::translate("Panel", "DELETE"), 10);
    putBackSelected->nameFor(QCoreApplication::translate("Panel", "Put back the selected items"));
    deleteSelected->nameFor(QCoreApplication::translate("Panel", "Delete the selected items for good"));
    selection->addWidget(putBackSelected);
    selection->addWidget(deleteSelected);
    column->addWidget(m_selectionLine);

    auto* taken = new QHBoxLayout(m_takenLine);
    taken->setContentsMargins(2, 0, 0, 0);
    taken->setSpacing(6);
    m_takenText->setWordWrap(true);
    taken->addWidget(m_takenText, 1);
    taken->addWidget(m_beside, 0, Qt::AlignTop);
    column->addWidget(m_takenLine);

    auto* confirm = new QVBoxLayout(m_confirm);
    confirm->setContentsMargins(10, 8, 10, 8);
    confirm->setSpacing(8);
    m_confirmText->setWordWrap(true);
    m_confirmText->setLineSpacing(2);
    confirm->addWidget(m_confirmText);
    auto* answers = new QHBoxLayout;
    answers->setSpacing(8);
    answers->addStretch();
    auto* yes = new TextButton(QCoreApplication::translate("Panel", "$ CONFIRM"), 10);
    auto* no = new TextButton(QCoreApplication::translate("Panel", "CANCEL"), 4);
    answers->addWidget(yes);
    answers->addWidget(no);
    confirm->addLayout(answers);
    m_confirm->setAccessibleName(QCoreApplication::translate("Panel", "> CONFIRM PURGE"));
    column->addWidget(m_confirm);
    m_confirm->hide();
    m_beside->nameFor(QCoreApplication::translate("Panel", "Put back beside the taken place, under a free name"));

    auto* actions = new QHBoxLayout(m_actions);
    actions->setContentsMargins(0, 0, 0, 0);
    actions->setSpacing(kActionGap);
    actions->addWidget(m_putBackAction);
    actions->addWidget(m_revealAction);
    actions->addWidget(m_deleteAction);
    m_actions->setFixedSize(kActionsWidth, kActionSize);
    m_actions->hide();

    m_list->setModel(m_model);
    m_list->setItemDelegate(new EntryDelegate(this, m_model));
    m_list->installEventFilter(this);
    m_search->installEventFilter(this);

    connect(back, &QAbstractButton::clicked, this, &AllItemsView::closeRequested);
    connect(m_order, &QAbstractButton::clicked, this, [this] {
        setOrder(m_model->order() == TrashListOrder::NewestFirst ? TrashListOrder::LargestFirst
                                                                 : TrashListOrder::NewestFirst);
    });
    connect(m_search, &QLineEdit::textChanged, this, &AllItemsView::setQuery);
    connect(m_list, &QAbstractItemView::activated, this, [this] { putBackSelection(); });
    connect(m_putBackAction, &QAbstractButton::clicked, this, [this] {
        if (m_actionRow >= 0)
            m_viewModel.restore(refsOf({m_model->entryAt(m_actionRow)}));
    });
    connect(m_revealAction, &QAbstractButton::clicked, this, [this] {
        if (m_actionRow >= 0)
            m_workspace.reveal(m_model->entries()->dataPath(m_model->entryAt(m_actionRow)));
    });
    connect(m_deleteAction, &QAbstractButton::clicked, this, [this] {
        if (m_actionRow >= 0)
            deleteEntries({m_model->entryAt(m_actionRow)});
    });
    connect(putBackSelected, &QAbstractButton::clicked, this, &AllItemsView::putBackSelection);
    connect(deleteSelected, &QAbstractButton::clicked, this, &AllItemsView::requestDeleteSelection);
    connect(yes, &QAbstractButton::clicked, this, &AllItemsView::confirmDelete);
    connect(no, &QAbstractButton::clicked, this, &AllItemsView::cancelDelete);
    connect(m_beside, &QAbstractButton::clicked, this,
            [this] { m_viewModel.restore(m_viewModel.takenPlaces(), true); });
    connect(m_list->selectionModel(), &QItemSelectionModel::selectionChanged, this, &AllItemsView::updateSelectionLine);
    connect(m_model, &QAbstractItemModel::modelReset, this, [this] {
        setActionRow(-1);
        updateCount();
        updateSelectionLine();
    });
    connect(&m_viewModel, &BinwellViewModel::allEntriesChanged, this, &AllItemsView::updateFromEntries);
    connect(&m_viewModel, &BinwellViewModel::takenPlacesChanged, this, &AllItemsView::updateTakenLine);

    setOrder(TrashListOrder::NewestFirst);
    updateFromEntries();
    updateTakenLine();
    if (!m_viewModel.isListingAllEntries())
        m_viewModel.listAllEntries();
    updateCount();
}

AllItemsView::~AllItemsView()
{
    m_viewModel.releaseAllEntries();
}

QListView* AllItemsView::listView() const
{
    return m_list;
}

QAbstractButton* AllItemsView::orderButton() const
{
    return m_order;
}

QAbstractButton* AllItemsView::besideButton() const
{
    return m_beside;
}

QAbstractButton* AllItemsView::actionButton(RowAction action) const
{
    switch (action) {
    case RowAction::PutBack:
        return m_putBackAction;
    case RowAction::Reveal:
        return m_revealAction;
    case RowAction::Delete:
        return m_deleteAction;
    }
    return nullptr;
}

bool AllItemsView::isConfirmingDelete() const
{
    return !m_confirm->isHidden();
}

QString AllItemsView::placeholderText() const
{
    return m_model->rowCount() == 0 ? m_list->placeholder() : QString();
}

void AllItemsView::focusSearch()
{
    m_search->setFocus(Qt::OtherFocusReason);
}

void AllItemsView::setQuery(const QString& query)
{
    if (m_search->text() != query)
        m_search->setText(query); // comes back here through textChanged
    else
        m_model->setQuery(query);
}

void AllItemsView::setOrder(TrashListOrder order)
{
    m_model->setOrder(order);
    const bool newest = order == TrashListOrder::NewestFirst;
    m_order->setLabel(newest ? QCoreApplication::translate("Panel", "NEWEST")
                             : QCoreApplication::translate("Panel", "LARGEST"));
    m_order->nameFor(newest ? QCoreApplication::translate("Panel", "Order: newest first; switch to largest first")
                            : QCoreApplication::translate("Panel", "Order: largest first; switch to newest first"));
}

void AllItemsView::updateFromEntries()
{
    m_model->setEntries(m_viewModel.allEntries());
    updateCount();
}

void AllItemsView::updateCount()
{
    const TrashEntryList* entries = m_model->entries();
    const int rows = m_model->rowCount();
    if (!entries) {
        m_count->setText(QString());
        m_list->setPlaceholder(QCoreApplication::translate("Panel", "> listing trash..."));
        return;
    }
    const auto total = entries->size();
    m_count->setText(m_model->query().trimmed().isEmpty() ? QStringLiteral("(%1)").arg(total)
                                                          : QStringLiteral("(%1/%2)").arg(rows).arg(total));
    m_list->setPlaceholder(
        total == 0 ? QCoreApplication::translate("Panel", "> system trash is empty. 0 bytes occupied.")
                   : QCoreApplication::translate("Panel", "> no match for \"%1\"").arg(m_model->query().trimmed()));
}

QList<quint32> AllItemsView::chosenEntries() const
{
    QList<quint32> chosen;
    if (!m_model->entries())
        return chosen;
    const QModelIndexList rows = m_list->selectionModel()->selectedRows();
    for (const QModelIndex& index : rows)
        chosen.append(m_model->entryAt(index.row()));
    if (chosen.isEmpty() && m_list->currentIndex().isValid())
        chosen.append(m_model->entryAt(m_list->currentIndex().row()));
    return chosen;
}

QList<TrashEntryRef> AllItemsView::refsOf(const QList<quint32>& entries) const
{
    QList<TrashEntryRef> refs;
    refs.reserve(entries.size());
    for (const quint32 entry : entries)
        refs.append(m_model->entries()->ref(entry));
    return refs;
}

void AllItemsView::putBackSelection()
{
    const QList<quint32> chosen = chosenEntries();
    if (!chosen.isEmpty())
        m_viewModel.restore(refsOf(chosen));
}

void AllItemsView::revealCurrent()
{
    const QModelIndex current = m_list->currentIndex();
    if (current.isValid())
        m_workspace.reveal(m_model->entries()->dataPath(m_model->entryAt(current.row())));
}

void AllItemsView::requestDeleteSelection()
{
    deleteEntries(chosenEntries());
}

void AllItemsView::deleteEntries(const QList<quint32>& entries)
{
    if (entries.isEmpty())
        return;
    if (!m_viewModel.settings().confirmBeforeEmptying()) {
        m_viewModel.deleteEntries(refsOf(entries));
        return;
    }
    m_pendingDelete = entries;
    qint64 size = 0;
    for (const quint32 entry : entries)
        size += std::max<qint64>(0, m_model->entries()->entrySize(entry));
    m_confirmText->setText(
        entries.size() == 1
            ? QCoreApplication::translate("Panel", "Permanently delete 1 item (%1)? Action cannot be undone.")
                  .arg(formatBytesCompact(size))
            : QCoreApplication::translate("Panel", "Permanently delete %1 items (%2)? Action cannot be undone.")
                  .arg(entries.size())
                  .arg(formatBytesCompact(size)));
    m_confirm->show();
    m_confirm->setFocus(Qt::OtherFocusReason);
}

void AllItemsView::confirmDelete()
{
    const QList<quint32> entries = std::exchange(m_pendingDelete, {});
    m_confirm->hide();
    if (!entries.isEmpty() && m_model->entries())
        m_viewModel.deleteEntries(refsOf(entries));
    m_list->setFocus(Qt::OtherFocusReason);
}

void AllItemsView::cancelDelete()
{
    m_pendingDelete.clear();
    m_confirm->hide();
    m_list->setFocus(Qt::OtherFocusReason);
}

void AllItemsView::updateSelectionLine()
{
    const QModelIndexList rows = m_list->selectionModel()->selectedRows();
    m_selectionLine->setVisible(rows.size() > 1);
    if (rows.size() < 2)
        return;
    qint64 size = 0;
    for (const QModelIndex& index : rows)
        size += std::max<qint64>(0, m_model->entries()->entrySize(m_model->entryAt(index.row())));
    m_selectionText->setText(
        QCoreApplication::translate("Panel", "> %1 selected · %2").arg(rows.size()).arg(formatBytesCompact(size)));
}

void AllItemsView::updateTakenLine()
{
    const auto taken = m_viewModel.takenPlaces().size();
    m_takenLine->setVisible(taken > 0);
    m_takenText->setText(
        taken == 1 ? QCoreApplication::translate("Panel", "> its original place is taken")
                   : QCoreApplication::translate("Panel", "> %1 items: their original places are taken").arg(taken));
}

void AllItemsView::setActionRow(int row)
{
    if (row == m_actionRow)
        return;
    const int before = m_actionRow;
    m_actionRow = row;
    for (const int changed : {before, row}) {
        if (changed >= 0 && changed < m_model->rowCount())
            m_list->update(m_model->index(changed));
    }
    placeActions();
}

void AllItemsView::placeActions()
{
    if (m_actionRow < 0 || m_actionRow >= m_model->rowCount()) {
        m_actions->hide();
        return;
    }
    const QRect rowRect = m_list->visualRect(m_model->index(m_actionRow));
    m_actions->move(rowRect.right() - 6 - kActionsWidth, rowRect.center().y() - kActionSize / 2 + 1);
    m_actions->setVisible(m_list->viewport()->rect().intersects(rowRect));
    // Put back needs an original place to go to.
    const TrashEntryList* entries = m_model->entries();
    m_putBackAction->setEnabled(entries && entries->originalPath(m_model->entryAt(m_actionRow)).has_value());
}

void AllItemsView::step(int delta)
{
    const int rows = m_model->rowCount();
    if (rows == 0)
        return;
    const int current = m_list->currentIndex().row();
    if (delta < 0 && current <= 0) {
        focusSearch();
        return;
    }
    const int next = current < 0 ? 0 : std::clamp(current + delta, 0, rows - 1);
    m_list->setFocus(Qt::OtherFocusReason);
    m_list->selectionModel()->setCurrentIndex(m_model->index(next), QItemSelectionModel::ClearAndSelect);
    m_list->scrollTo(m_model->index(next));
    setActionRow(next);
}

bool AllItemsView::handleKey(QKeyEvent* event, bool inSearch)
{
    const AllItemsKey action = allItemsKeyAction(event->key(), event->modifiers(), event->text(), inSearch,
                                                 !m_search->text().isEmpty(), isConfirmingDelete());
    switch (action) {
    case AllItemsKey::Pass:
        return false;
    case AllItemsKey::Type:
        focusSearch();
        QCoreApplication::sendEvent(m_search, event);
        return true;
    case AllItemsKey::Previous:
        // Shift with the arrows widens the selection, as in any list.
        if (!inSearch && (event->modifiers() & Qt::ShiftModifier))
            return false;
        step(-1);
        return true;
    case AllItemsKey::Next:
        if (!inSearch && (event->modifiers() & Qt::ShiftModifier))
            return false;
        step(1);
        return true;
    case AllItemsKey::PutBack:
        putBackSelection();
        return true;
    case AllItemsKey::Reveal:
        revealCurrent();
        return true;
    case AllItemsKey::Delete:
        requestDeleteSelection();
        return true;
    case AllItemsKey::ClearSearch:
        m_search->clear();
        focusSearch();
        return true;
    case AllItemsKey::Leave:
        Q_EMIT closeRequested();
        return true;
    case AllItemsKey::Confirm:
        confirmDelete();
        return true;
    case AllItemsKey::Cancel:
        cancelDelete();
        return true;
    }
    return false;
}

bool AllItemsView::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress && (watched == m_list || watched == m_search))
        return handleKey(static_cast<QKeyEvent*>(event), watched == m_search);
    if (event->type() == QEvent::FocusIn && watched == m_list && m_actionRow < 0)
        setActionRow(m_list->currentIndex().row());
    return GeekCard::eventFilter(watched, event);
}

void AllItemsView::keyPressEvent(QKeyEvent* event)
{
    // Keys that reach the card itself (the confirmation, a button): the same rules.
    if (!handleKey(event, false))
        GeekCard::keyPressEvent(event);
}

} // namespace rubbly
