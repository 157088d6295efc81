#include "TrashTabViews.h"

#include "Accessibility.h"
#include "AllItemsView.h"
#include "BinwellViewModel.h"
#include "Formatting.h"
#include "GeekFonts.h"
#include "GeekTheme.h"
#include "Painting.h"
#include "PanelLogic.h"
#include "PermissionGuideView.h"
#include "Symbols.h"
#include "Workspace.h"

#include <QApplication>
#include <QCoreApplication>
#include <QGraphicsDropShadowEffect>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QPainter>
#include <QPainterPath>
#include <QVBoxLayout>

namespace rubbly {

namespace {

// What the permission guide's refresh button does.
std::function<void()> refresher(BinwellViewModel& viewModel)
{
    return [&viewModel] { viewModel.refresh(); };
}

// Whether an ancestor draws this widget through a graphics effect of its own.
bool insideEffect(const QWidget* widget)
{
    for (const QWidget* w = widget->parentWidget(); w; w = w->parentWidget()) {
        if (w->graphicsEffect() && w->graphicsEffect()->isEnabled())
            return true;
    }
    return false;
}

QHBoxLayout* row(int spacing, QMargins margins = {})
{
    auto* layout = new QHBoxLayout;
    layout->setSpacing(spacing);
    layout->setContentsMargins(margins);
    return layout;
}

// A row that reports the pointer to the view that keeps the one hovered identity, and fades its hover
// fill in and out over a tenth of a second.
class HoverRow : public QWidget {
    Q_OBJECT
public:
    HoverRow(TrashVisualizationView* view, QString id, QWidget* parent)
        : QWidget(parent)
        , m_view(view)
        , m_id(std::move(id))
        , m_hover(this)
    {
        setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
        setAccessibleRole(this, QAccessible::ListItem);
    }
    const QString& id() const { return m_id; }
    bool isHovered() const { return m_hover.target() > 0.5; }
    void setHovered(bool hovered)
    {
        if (hovered != isHovered())
            onHoverChanged(hovered);
        m_hover.animateTo(hovered ? 1 : 0, Curve::easeInOut(0.1));
    }

protected:
    TrashVisualizationView* rowView() const { return m_view; }
    virtual void onHoverChanged(bool) {}
    void enterEvent(QEnterEvent*) override { m_view->setHoveredRowID(m_id); }
    void leaveEvent(QEvent*) override
    {
        if (m_view->hoveredRowID() == m_id)
            m_view->setHoveredRowID({});
    }
    void paintHover(QPainter& painter)
    {
        if (m_hover.value() > 0)
            paintCard(painter, QRectF(rect()), 4, Tint::hoverFill().opacity(m_hover.value()).resolve(this),
                      Tint::hoverEdge().opacity(m_hover.value()).resolve(this), 1);
    }

private:
    TrashVisualizationView* m_view;
    QString m_id;
    AnimatedValue m_hover;
};

// "ALL ITEMS ›" beside the top items' title, and beside the scanning line: the way to the list of
// every entry.
class AllItemsLink final : public PlainButton {
public:
    explicit AllItemsLink(QWidget* parent)
        : PlainButton(parent)
    {
        setText(QCoreApplication::translate("Panel", "ALL ITEMS"));
        setAccessibleName(QCoreApplication::translate("Panel", "Search and put back any item"));
        setToolTip(accessibleName());
        setCursor(Qt::PointingHandCursor);
        connect(this, &PlainButton::hoveredChanged, this, qOverload<>(&QWidget::update));
    }
    QSize sizeHint() const override
    {
        return {static_cast<int>(std::ceil(QFontMetricsF(monoFont(9, Weight::Bold)).horizontalAdvance(text()))) + 20,
                16};
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        const QRectF box(rect());
        if (isHovered())
            paintCard(painter, box, 4, Tint::accent(4).opacity(0.12).resolve(this),
                      Tint::accent(4).opacity(0.4).resolve(this), 0.5);
        const QColor color = (isHovered() ? Tint::accent(4) : Tint::tertiary()).resolve(this);
        painter.setFont(monoFont(9, Weight::Bold));
        painter.setPen(color);
        painter.drawText(box.adjusted(5, 0, -13, 0), Qt::AlignLeft | Qt::AlignVCenter, text());
        paintSymbol(painter, QRectF(box.right() - 13, box.top(), 10, box.height()), QStringLiteral("chevron.right"), 7,
                    color);
        paintFocusRing(painter, box, 4);
    }
};

} // namespace

class TrashVisualizationView::DistributionRow final : public HoverRow {
public:
    DistributionRow(TrashVisualizationView* view, FileCategory category, qint64 size, QWidget* parent)
        : HoverRow(view, distributionRowID(category), parent)
        , m_category(category)
        , m_size(size)
    {
        setFixedHeight(static_cast<int>(std::ceil(QFontMetricsF(monoFont(11)).height() + 7)));
        setAccessibleName(QStringLiteral("%1, %2").arg(fileCategoryLabel(category), formatBytesCompact(size)));
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        paintHover(painter);
        const bool hovered = isHovered();
        const QRectF inner = QRectF(rect()).adjusted(6, 0, -6, 0);
        paintSquareDot(painter, QPointF(inner.left(), (height() - 7) / 2.0 + visualMiddleOffset(monoFont(11))), 7,
                       spectrum()[fileCategoryColorIndex(m_category)]);
        const QColor strong = Tint::primary().resolve(this);
        const QColor weak = Tint::secondary().resolve(this);
        painter.setFont(monoFont(11, hovered ? Weight::Semibold : Weight::Regular));
        painter.setPen(hovered ? strong : weak);
        painter.drawText(inner.adjusted(15, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter, fileCategoryLabel(m_category));
        painter.setFont(monoFont(11, hovered ? Weight::Bold : Weight::Medium));
        painter.drawText(inner, Qt::AlignRight | Qt::AlignVCenter, formatBytesCompact(m_size));
    }

private:
    FileCategory m_category;
    qint64 m_size;
};

class TrashVisualizationView::DistributionBar final : public QWidget {
public:
    using QWidget::QWidget;
    void setSegments(QList<std::pair<FileCategory, qint64>> segments, qint64 total)
    {
        m_segments = std::move(segments);
        m_total = total;
        update();
    }

protected:
    QSize sizeHint() const override { return {100, 8}; }
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        const QRectF strip(0, 2, width(), 4);
        painter.setClipPath(roundedRect(strip, 2));
        QList<qint64> sizes;
        for (const auto& segment : m_segments)
            sizes.append(segment.second);
        const QList<qreal> widths = segmentWidths(strip.width(), sizes, m_total);
        qreal x = strip.left();
        for (qsizetype i = 0; i < m_segments.size(); ++i) {
            painter.fillRect(QRectF(x, strip.top(), widths[i], strip.height()),
                             spectrum()[fileCategoryColorIndex(m_segments[i].first)]);
            x += widths[i] + 2;
        }
    }

private:
    QList<std::pair<FileCategory, qint64>> m_segments;
    qint64 m_total = 0;
};

class TrashVisualizationView::TopItemRow final : public HoverRow {
public:
    TopItemRow(TrashVisualizationView* view, const TrashItemDetail& item, Workspace& workspace,
               const PutBackAction& putBack, QWidget* parent)
        : HoverRow(view, topItemRowID(item), parent)
        , m_item(item)
        , m_reveal(new SymbolButton(QStringLiteral("arrow.up.right.square"), 10, QSize(14, 14), Tint::accent(4),
                                    Tint::accent(4), QCoreApplication::translate("Panel", "Show in the file manager"),
                                    this))
    {
        setFixedHeight(static_cast<int>(std::ceil(QFontMetricsF(monoFont(10)).height() + 6)));
        setAccessibleName(QStringLiteral("%1, %2").arg(item.name, formatBytesCompact(item.size)));
        // The keyboard reaches the row, and with it its buttons, which show while the focus is inside
        // the row as they do under the pointer; Return shows the item in the file manager.
        setFocusPolicy(Qt::TabFocus);
        connect(qApp, &QApplication::focusChanged, this, [this](QWidget*, QWidget* now) {
            const bool within = now && (now == this || isAncestorOf(now));
            if (within)
                rowView()->setHoveredRowID(id());
            else if (m_focusWithin && rowView()->hoveredRowID() == id())
                rowView()->setHoveredRowID({});
            m_focusWithin = within;
            update();
        });
        m_reveal->hide();
        const QByteArray path = item.path;
        connect(m_reveal, &QAbstractButton::clicked, this, [&workspace, path] { workspace.reveal(path); });
        // Without an original place there is nowhere to put it back to.
        if (item.originalPath && putBack) {
            m_putBack = new SymbolButton(QStringLiteral("arrow.uturn.backward"), 10, QSize(14, 14), Tint::accent(4),
                                         Tint::accent(4), QCoreApplication::translate("Panel", "Put back"), this);
            m_putBack->hide();
            connect(m_putBack, &QAbstractButton::clicked, this, [putBack, item] { putBack(item); });
        }
    }
    SymbolButton* revealButton() const { return m_reveal; }
    SymbolButton* putBackButton() const { return m_putBack; }

protected:
    void onHoverChanged(bool hovered) override
    {
        m_reveal->setVisible(hovered);
        if (m_putBack)
            m_putBack->setVisible(hovered);
        placeButtons();
    }
    void resizeEvent(QResizeEvent*) override { placeButtons(); }
    void keyPressEvent(QKeyEvent* event) override
    {
        if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)
            m_reveal->click();
        else
            HoverRow::keyPressEvent(event);
    }
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        paintHover(painter);
        if (hasFocus())
            paintCard(painter, QRectF(rect()), 4, QColor(), Tint::accent(4).opacity(0.7, 1.0).resolve(this), 1);
        const bool hovered = isHovered();
        QRectF inner = QRectF(rect()).adjusted(6, 0, -6, 0);
        paintSquareDot(painter, QPointF(inner.left(), (height() - 6) / 2.0 + visualMiddleOffset(monoFont(10))), 6,
                       spectrum()[fileCategoryColorIndex(m_item.category)]);
        if (hovered)
            inner.setRight((m_putBack ? m_putBack : m_reveal)->x() - 6);
        const QString size = formatBytesCompact(m_item.size);
        painter.setFont(monoFont(10));
        painter.setPen((hovered ? Tint::primary() : Tint::tertiary()).resolve(this));
        painter.drawText(inner, Qt::AlignRight | Qt::AlignVCenter, size);
        const qreal sizeWidth = QFontMetricsF(monoFont(10)).horizontalAdvance(size);
        const QFont nameFont = monoFont(10, hovered ? Weight::Medium : Weight::Regular);
        const QRectF nameBox = inner.adjusted(12, 0, -(sizeWidth + 6), 0);
        painter.setFont(nameFont);
        painter.setPen((hovered ? Tint::primary() : Tint::secondary()).resolve(this));
        const QString name =
            QFontMetricsF(nameFont).elidedText(m_item.name, Qt::ElideMiddle, std::max<qreal>(nameBox.width(), 0));
        painter.drawText(nameBox, Qt::AlignLeft | Qt::AlignVCenter, name);
    }

private:
    void placeButtons()
    {
        m_reveal->move(width() - 6 - m_reveal->width(), (height() - m_reveal->height()) / 2);
        if (m_putBack)
            m_putBack->move(m_reveal->x() - 4 - m_putBack->width(), m_reveal->y());
    }

    TrashItemDetail m_item;
    SymbolButton* m_reveal;
    SymbolButton* m_putBack = nullptr;
    bool m_focusWithin = false;
};

TrashVisualizationView::TrashVisualizationView(Workspace& workspace, PutBackAction putBack, QWidget* parent)
    : GeekCard(8, Tint::surface(), Tint::border(), 0.5, parent)
    , m_workspace(workspace)
    , m_putBack(std::move(putBack))
    , m_distribution(new QWidget(this))
    , m_bar(new DistributionBar(this))
    , m_topHeader(new QWidget(this))
    , m_chevron(new SymbolButton(QStringLiteral("chevron.up"), 9, QSize(14, 14), Tint::tertiary(), Tint::primary(),
                                 QString(), m_topHeader))
    , m_allItems(new AllItemsLink(m_topHeader))
    , m_topRows(new QWidget(this))
{
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(10, 10, 10, 10);
    column->setSpacing(10);
    setAccessibleRole(m_distribution, QAccessible::List);
    m_distribution->setAccessibleName(QCoreApplication::translate("Panel", "Kinds"));
    setAccessibleRole(m_topRows, QAccessible::List);
    m_topRows->setAccessibleName(QCoreApplication::translate("Panel", "Top items"));
    auto* distribution = new QVBoxLayout(m_distribution);
    distribution->setContentsMargins(0, 0, 0, 0);
    distribution->setSpacing(2);
    column->addWidget(m_distribution);
    m_bar->setFixedHeight(8);
    column->addWidget(m_bar);

    auto* header = row(0, QMargins(4, 2, 4, 0));
    m_topHeader->setLayout(header);
    header->addWidget(new GeekText(QCoreApplication::translate("Panel", "> TOP ITEMS"), monoFont(10, Weight::Bold),
                                   Tint::tertiary()));
    header->addStretch();
    header->addWidget(m_allItems);
    header->addSpacing(4);
    header->addWidget(m_chevron);
    connect(m_allItems, &QAbstractButton::clicked, this, &TrashVisualizationView::allItemsRequested);
    m_chevron->setAccessibleName(QCoreApplication::translate("Panel", "Top items"));
    connect(m_chevron, &QAbstractButton::clicked, this, [this] { setTopExpanded(!m_topExpanded); });
    auto* top = new QVBoxLayout;
    top->setContentsMargins(0, 0, 0, 0);
    top->setSpacing(2);
    top->addWidget(m_topHeader);
    top->addWidget(m_topRows);
    auto* rows = new QVBoxLayout(m_topRows);
    rows->setContentsMargins(0, 0, 0, 0);
    rows->setSpacing(2);
    column->addLayout(top);
}

void TrashVisualizationView::setStatus(const TrashStatus& status)
{
    if (status == m_status && !m_distribution->children().isEmpty())
        return;
    m_status = status;
    rebuild();
}

void TrashVisualizationView::rebuild()
{
    for (QWidget* holder : {m_distribution, m_topRows}) {
        for (QWidget* child : holder->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly))
            delete child;
    }
    const auto order = distributionOrder(m_status);
    for (const auto& [category, size] : order)
        m_distribution->layout()->addWidget(new DistributionRow(this, category, size, m_distribution));
    m_distribution->setVisible(!order.isEmpty());
    m_bar->setVisible(!order.isEmpty());
    m_bar->setSegments(order, m_status.totalSize);

    const QList<TrashItemDetail> top = m_status.topItems.mid(0, 5);
    for (const TrashItemDetail& item : top)
        m_topRows->layout()->addWidget(new TopItemRow(this, item, m_workspace, m_putBack, m_topRows));
    m_topHeader->setVisible(!top.isEmpty());
    m_topRows->setVisible(!top.isEmpty() && m_topExpanded);
    // The pointer may rest on a row that was just replaced: keep its look.
    setHoveredRowID(m_hoveredRowID);
}

void TrashVisualizationView::setTopExpanded(bool expanded)
{
    m_topExpanded = expanded;
    m_chevron->setSymbol(expanded ? QStringLiteral("chevron.up") : QStringLiteral("chevron.down"));
    m_topRows->setVisible(expanded && !m_status.topItems.isEmpty());
}

void TrashVisualizationView::setHoveredRowID(const QString& id)
{
    m_hoveredRowID = id;
    for (HoverRow* row : findChildren<HoverRow*>())
        row->setHovered(!id.isEmpty() && row->id() == id);
}

QStringList TrashVisualizationView::rowIDs() const
{
    QStringList ids;
    for (QWidget* holder : {m_distribution, m_topRows}) {
        if (!holder->isVisibleTo(this))
            continue;
        for (auto* row : holder->findChildren<HoverRow*>(QString(), Qt::FindDirectChildrenOnly))
            ids.append(row->id());
    }
    return ids;
}

QAbstractButton* TrashVisualizationView::revealButton(const QString& rowID) const
{
    for (auto* row : m_topRows->findChildren<HoverRow*>(QString(), Qt::FindDirectChildrenOnly)) {
        if (row->id() == rowID)
            return static_cast<TopItemRow*>(row)->revealButton();
    }
    return nullptr;
}

QAbstractButton* TrashVisualizationView::putBackButton(const QString& rowID) const
{
    for (auto* row : m_topRows->findChildren<HoverRow*>(QString(), Qt::FindDirectChildrenOnly)) {
        if (row->id() == rowID)
            return static_cast<TopItemRow*>(row)->putBackButton();
    }
    return nullptr;
}

QWidget* TrashVisualizationView::distributionBar() const
{
    return m_bar;
}

QAbstractButton* TrashVisualizationView::allItemsButton() const
{
    return m_allItems;
}

TrashStatusView::TrashStatusView(Workspace& workspace, PutBackAction putBack, QWidget* parent)
    : QWidget(parent)
    , m_emptyCard(new GeekCard(6, Tint::surface(), Tint::border(), 0.5, this))
    , m_visualization(new TrashVisualizationView(workspace, std::move(putBack), this))
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_emptyCard);
    layout->addWidget(m_visualization);

    auto* card = new QVBoxLayout(m_emptyCard);
    card->setContentsMargins(8, 8, 8, 8);
    card->setSpacing(8);
    auto* first = row(8, QMargins(6, 4, 6, 4));
    first->addStretch();
    first->addWidget(new GeekSquareDot(Tint::accent(6), 7, monoFont(11)));
    first->addWidget(new GeekText(QCoreApplication::translate("Panel", "[all_clean]"), monoFont(11, Weight::Medium),
                                  Tint::secondary()));
    first->addWidget(new GeekText(QStringLiteral("0B"), monoFont(11, Weight::Semibold), Tint::accent(6)));
    first->addStretch();
    card->addLayout(first);
    auto* second = row(0, QMargins(6, 0, 6, 0));
    auto* line = new GeekText(QCoreApplication::translate("Panel", "> system trash is empty. 0 bytes occupied."),
                              monoFont(10), Tint::tertiary());
    line->setAlignment(Qt::AlignCenter);
    second->addWidget(line);
    card->addLayout(second);
}

void TrashStatusView::setStatus(const TrashStatus& status)
{
    const bool empty = status.itemCount == 0;
    m_emptyCard->setVisible(empty);
    m_visualization->setVisible(!empty);
    if (!empty)
        m_visualization->setStatus(status);
}

CleaningView::CleaningView(QWidget* parent)
    : GeekCard(6, Tint::surface(), Tint::accent(4).opacity(0.4), 0.5, parent)
    , m_detail(new GeekText(QString(), monoFont(10), Tint::tertiary()))
{
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(10, 10, 10, 10);
    column->setSpacing(10);
    auto* title = row(6);
    title->addStretch();
    title->addWidget(new ActivityIndicator(Tint::accent(4)));
    title->addWidget(new GeekText(QCoreApplication::translate("Panel", "> PURGING TRASH..."),
                                  monoFont(12, Weight::Bold), Tint::accent(4)));
    title->addStretch();
    column->addLayout(title);
    m_detail->setAlignment(Qt::AlignCenter);
    column->addWidget(m_detail);
}

void CleaningView::setStatus(const TrashStatus& status)
{
    const QString size = formatBytesCompact(status.totalSize);
    m_detail->setText(
        status.itemCount == 1
            ? QCoreApplication::translate("Panel", "> processing 1 item · %1").arg(size)
            : QCoreApplication::translate("Panel", "> processing %1 items · %2").arg(status.itemCount).arg(size));
}

EmptyTrashButton::EmptyTrashButton(QWidget* parent)
    : PlainButton(parent)
    , m_hover(this)
{
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setFixedHeight(30);
    setAccessibleName(QCoreApplication::translate("Panel", "EMPTY TRASH"));
    connect(this, &PlainButton::hoveredChanged, this,
            [this](bool hovered) { m_hover.animateTo(hovered && isEnabled() ? 1 : 0, Curve::easeInOut(0.15)); });
    // The glow reaches past the button's edges, which only an effect (drawn by the parent) can.
    m_hover.onStep([this] {
        const qreal h = m_hover.value();
        if (h <= 0 || insideEffect(this)) {
            delete graphicsEffect();
            return;
        }
        auto* glow = qobject_cast<QGraphicsDropShadowEffect*>(graphicsEffect());
        if (!glow) {
            glow = new QGraphicsDropShadowEffect;
            glow->setOffset(0, 0);
            glow->setBlurRadius(12);
            setGraphicsEffect(glow);
        }
        QColor color = spectrum()[10];
        color.setAlphaF(static_cast<float>(0.25 * h));
        glow->setColor(color);
    });
}

void EmptyTrashButton::dropGlow()
{
    m_hover.jumpTo(0);
}

QSize EmptyTrashButton::sizeHint() const
{
    return {200, 30};
}

void EmptyTrashButton::setStatus(const TrashStatus& status)
{
    m_itemCount = status.itemCount;
    m_totalSize = status.totalSize;
    setEnabled(status.itemCount != 0);
    if (!isEnabled())
        m_hover.jumpTo(0);
    update();
}

void EmptyTrashButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const bool empty = m_itemCount == 0;
    const QColor danger = Tint::accent(10).resolve(this);
    const bool dark = isDarkScheme(this);
    std::optional<std::pair<QColor, QColor>> live;
    if (!empty) {
        const qreal h = m_hover.value();
        QColor hoverFill = danger;
        hoverFill.setAlphaF(0.18f);
        QColor idleOutline = danger;
        idleOutline.setAlphaF(dark ? 0.4f : 1.0f);
        QColor hoverOutline = danger;
        hoverOutline.setAlphaF(0.8f);
        live = {blend(Tint::surface().resolve(this), hoverFill, h), blend(idleOutline, hoverOutline, h)};
    }
    QList<LabelPiece> pieces{
        {QStringLiteral("$"), monoFont(12, Weight::Bold), empty ? Tint::tertiary().resolve(this) : danger},
        {QCoreApplication::translate("Panel", "EMPTY TRASH"), monoFont(11, Weight::Bold),
         (empty ? Tint::tertiary() : Tint::primary()).resolve(this)},
    };
    if (!empty)
        pieces.append({QStringLiteral("(") + formatBytesCompact(m_totalSize) + QStringLiteral(")"), monoFont(10),
                       Tint::secondary().resolve(this)});
    paintCommandButton(painter, live, pieces, 6);
}

TrashTabView::TrashTabView(BinwellViewModel& viewModel, Workspace& workspace, std::function<void()> emptyAction,
                           QWidget* parent)
    : QWidget(parent)
    , m_viewModel(viewModel)
    , m_workspace(workspace)
    , m_statusView(new TrashStatusView(
          workspace,
          [&viewModel](const TrashItemDetail& item) { viewModel.restore({BinwellViewModel::entryOf(item)}); }, this))
    , m_emptyButton(new EmptyTrashButton(this))
    , m_cleaning(new CleaningView(this))
    , m_success(new GeekCard(6, Tint::surface(), std::nullopt, 0, this))
    , m_successText(new GeekText(QString(), monoFont(11, Weight::Bold), Tint::accent(6)))
    , m_error(new GeekCard(6, Tint::surface(), std::nullopt, 0, this))
    , m_errorText(new GeekText(QString(), monoFont(10), Tint::secondary()))
    , m_scanning(new QWidget(this))
    , m_permission(new PermissionGuideView(workspace, refresher(viewModel), this))
{
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(8);
    column->addWidget(m_statusView);
    column->addWidget(m_emptyButton);
    column->addWidget(m_cleaning);
    column->addWidget(m_success, 0, Qt::AlignHCenter);
    column->addWidget(m_error, 0, Qt::AlignHCenter);
    column->addWidget(m_scanning, 0, Qt::AlignHCenter);
    column->addWidget(m_permission);

    auto* success = row(8, QMargins(8, 8, 8, 8));
    success->addWidget(new GeekSquareDot(Tint::accent(6), 7, monoFont(11, Weight::Bold)));
    success->addWidget(m_successText);
    m_success->setLayout(success);
    auto* error = row(6, QMargins(8, 8, 8, 8));
    error->addWidget(
        new GeekText(QCoreApplication::translate("Panel", "> ERROR:"), monoFont(10, Weight::Bold), Tint::accent(10)));
    error->addWidget(m_errorText);
    m_error->setLayout(error);
    auto* scanning = row(6, QMargins(6, 12, 6, 12));
    scanning->addWidget(new ActivityIndicator(Tint::accent(4)));
    scanning->addWidget(
        new GeekText(QCoreApplication::translate("Panel", "> scanning trash..."), monoFont(10), Tint::secondary()));
    // A first scan of a large Trash takes a while; the list reads beside it and needs none of it.
    auto* listWhileScanning = new AllItemsLink(m_scanning);
    scanning->addSpacing(4);
    scanning->addWidget(listWhileScanning);
    m_scanning->setLayout(scanning);
    connect(listWhileScanning, &QAbstractButton::clicked, this, &TrashTabView::openAllItems);

    connect(m_emptyButton, &QAbstractButton::clicked, this, [emptyAction = std::move(emptyAction)] { emptyAction(); });
    connect(m_statusView->visualization(), &TrashVisualizationView::allItemsRequested, this,
            &TrashTabView::openAllItems);
    connect(&m_viewModel, &BinwellViewModel::stateChanged, this, &TrashTabView::updateFromState);
    updateFromState();
}

QWidget* TrashTabView::shownPart() const
{
    if (m_allItems && m_allItems->isVisibleTo(this))
        return m_allItems;
    for (QWidget* part : {static_cast<QWidget*>(m_statusView), static_cast<QWidget*>(m_cleaning), m_success, m_error,
                          m_scanning, static_cast<QWidget*>(m_permission)}) {
        if (part->isVisibleTo(this))
            return part;
    }
    return nullptr;
}

void TrashTabView::openAllItems()
{
    if (!m_allItems) {
        m_allItems = new AllItemsView(m_viewModel, m_workspace, this);
        static_cast<QVBoxLayout*>(layout())->insertWidget(0, m_allItems);
        connect(m_allItems, &AllItemsView::closeRequested, this, &TrashTabView::closeAllItems);
    }
    updateFromState();
    m_allItems->focusSearch();
}

void TrashTabView::closeAllItems()
{
    if (!m_allItems)
        return;
    // Later: the request may come from inside the view's own key handling.
    m_allItems->hide();
    m_allItems->deleteLater();
    m_allItems = nullptr;
    updateFromState();
    // The keys go back to the panel (Escape closes it again), not to a button that would look chosen.
    for (QWidget* w = parentWidget(); w; w = w->parentWidget()) {
        if (w->focusPolicy() == Qt::StrongFocus) {
            w->setFocus(Qt::OtherFocusReason);
            break;
        }
    }
}

void TrashTabView::updateFromState()
{
    const BinwellState& state = m_viewModel.state();
    using Kind = BinwellState::Kind;
    const Kind kind = state.kind();
    if (kind == Kind::Normal) {
        m_statusView->setStatus(*state.status());
        m_emptyButton->setStatus(*state.status());
    }
    if (kind == Kind::Cleaning)
        m_cleaning->setStatus(*state.status());
    if (kind == Kind::Success)
        m_successText->setText(
            QCoreApplication::translate("Panel", "> cleaned: %1 freed").arg(formatBytesCompact(state.freedBytes())));
    if (kind == Kind::Error)
        m_errorText->setText(state.errorText());
    // The list stays through scans, put backs and deletions, and may open during the first scan;
    // the other states take its place.
    const bool listing = m_allItems && (kind == Kind::Normal || kind == Kind::Scanning);
    if (m_allItems)
        m_allItems->setVisible(listing);
    m_statusView->setVisible(kind == Kind::Normal && !listing);
    m_emptyButton->setVisible(kind == Kind::Normal && !listing && state.status()->itemCount != 0);
    m_cleaning->setVisible(kind == Kind::Cleaning);
    m_success->setVisible(kind == Kind::Success);
    m_error->setVisible(kind == Kind::Error);
    m_scanning->setVisible(kind == Kind::Scanning && !listing);
    m_permission->setVisible(kind == Kind::PermissionDenied);
}

} // namespace rubbly

#include "TrashTabViews.moc"
