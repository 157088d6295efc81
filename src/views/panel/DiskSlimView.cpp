#include "DiskSlimView.h"

#include "Accessibility.h"
#include "Formatting.h"
#include "GeekFonts.h"
#include "GeekScrollView.h"
#include "GeekTheme.h"
#include "Painting.h"
#include "PanelLogic.h"
#include "SlimViewModel.h"
#include "Symbols.h"
#include "Workspace.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QPainter>
#include <QScreen>
#include <QToolTip>
#include <QVBoxLayout>

namespace rubbly {

namespace {

qreal lineHeight(qreal size)
{
    return QFontMetricsF(monoFont(size)).height();
}

} // namespace

// The grouped list, painted row by row. Only the rows in view are drawn; hover, clicks, tooltips and
// the keyboard are worked out from the row table (slimRows()). The keyboard focus is kept by what its
// row shows, so a rescan or a category folding above it leaves it on the same category or path.
class DiskSlimView::Canvas final : public QWidget, public AccessibleRows {
public:
    using Row = SlimRow;
    using Kind = SlimRow::Kind;

    Canvas(DiskSlimView& view, SlimViewModel& viewModel, Workspace& workspace, GeekScrollView& scroll)
        : QWidget(&view)
        , m_view(view)
        , m_viewModel(viewModel)
        , m_workspace(workspace)
        , m_scroll(scroll)
        , m_hoverIn(this, 1)
        , m_hoverOut(this, 0)
    {
        setMouseTracking(true);
        setFocusPolicy(Qt::TabFocus);
        setAccessibleName(QCoreApplication::translate("Panel", "Slim"));
    }

    const QList<Row>& rows() const { return m_rows; }

    void relayout()
    {
        m_rows = slimRows(m_viewModel.diskSlimItems(), m_view.expandedCategories(), 2 + lineHeight(9));
        // The key stays while its row is away (a scan lists the categories anew, one by one).
        m_focus = slimRowIndex(m_rows, m_viewModel.diskSlimItems(), m_focusKey);
        setFixedHeight(static_cast<int>(std::ceil(slimRowsHeight(m_rows))));
        announceRowsChanged(this);
        update();
    }

    // Each row as a screen reader hears it: a category or a path is a check box with its state, a
    // category also folds; a group's header and "+ N more" are plain items.
    QList<AccessibleRow> accessibleRows() const override
    {
        const QList<DiskSlimItem>& items = m_viewModel.diskSlimItems();
        QList<AccessibleRow> out;
        for (int i = 0; i < m_rows.size(); ++i) {
            const Row& row = m_rows[i];
            AccessibleRow a;
            a.rect = QRect(0, static_cast<int>(row.top), width(), static_cast<int>(std::ceil(row.height)));
            a.focused = i == m_focus && hasFocus();
            const DiskSlimItem* item = row.item >= 0 && row.item < items.size() ? &items[row.item] : nullptr;
            if (row.kind == Kind::Group) {
                a.name = QStringLiteral("%1, %2").arg(diskSlimGroupTag(row.group), formatBytesCompact(row.groupSize));
            } else if (row.kind == Kind::More && item) {
                a.name = QStringLiteral("%1, %2").arg(
                    QCoreApplication::translate("Panel", "+ %1 more").arg(item->unlistedCount),
                    formatBytesCompact(item->unlistedSize));
            } else if (row.kind == Kind::Category && item) {
                a.role = QAccessible::CheckBox;
                a.checked = item->isSelected;
                a.expanded = m_view.isExpanded(item->category);
                a.name =
                    QStringLiteral("%1, %2").arg(diskSlimDisplayTitle(item->category), formatBytesCompact(item->size));
            } else if (row.kind == Kind::Path && item && row.sub >= 0 && row.sub < item->subItems.size()) {
                const DiskSlimSubItem& sub = item->subItems[row.sub];
                a.role = QAccessible::CheckBox;
                a.checked = sub.isSelected;
                a.name = QStringLiteral("%1, %2").arg(sub.name, formatBytesCompact(sub.size));
            }
            out.append(a);
        }
        return out;
    }

    const Row* rowAt(const QPointF& point) const
    {
        for (const Row& row : m_rows) {
            if ((row.kind == Kind::Category || row.kind == Kind::Path) && point.y() >= row.top &&
                point.y() < row.top + row.height && point.x() < contentWidth())
                return &row;
        }
        return nullptr;
    }
    const Row* rowByID(const QString& id) const
    {
        for (const Row& row : m_rows) {
            if (row.id == id)
                return &row;
        }
        return nullptr;
    }

    // The parts of a row: the tick, the clickable content, and (paths) the reveal button.
    struct Parts {
        QRectF check;
        QRectF content;
        QRectF reveal;
    };
    Parts parts(const Row& row) const
    {
        const qreal indent = row.kind == Kind::Path ? 16 : 0;
        const QRectF inner(4 + indent, row.top + 4, contentWidth() - 8 - indent, row.height - 8);
        const qreal checkWidth = QFontMetricsF(monoFont(10, Weight::Bold)).horizontalAdvance(QStringLiteral("[x]")) + 4;
        Parts p;
        p.check = QRectF(inner.left(), inner.top(), checkWidth, inner.height());
        p.content = QRectF(p.check.right() + 6, inner.top(), inner.right() - p.check.right() - 6, inner.height());
        if (row.kind == Kind::Path)
            p.reveal = QRectF(inner.right() - 18, inner.top() + (inner.height() - 18) / 2, 18, 18);
        return p;
    }

    void setHovered(const QString& id)
    {
        if (id == m_hovered)
            return;
        m_previous = m_hovered;
        m_hovered = id;
        m_hoverOut.jumpTo(1);
        m_hoverOut.animateTo(0, Curve::easeInOut(0.1));
        m_hoverIn.jumpTo(0);
        m_hoverIn.animateTo(1, Curve::easeInOut(0.1));
        update();
    }

protected:
    qreal contentWidth() const { return width() - 6; } // room on the right for the scroll thumb

    void paintEvent(QPaintEvent* event) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        const QRectF visible(event->rect());
        for (int i = 0; i < m_rows.size(); ++i) {
            const Row& row = m_rows[i];
            if (row.top > visible.bottom() || row.top + row.height < visible.top())
                continue;
            if (row.kind == Kind::Group)
                paintGroup(painter, row);
            else if (row.kind == Kind::More)
                paintMore(painter, row);
            else
                paintRow(painter, row, i == m_focus && hasFocus());
        }
    }

    void paintGroup(QPainter& painter, const Row& row) const
    {
        const QRectF box(4, row.top + 2, contentWidth() - 8, row.height - 2);
        painter.setPen(Tint::tertiary().resolve(this));
        painter.setFont(monoFont(9, Weight::Bold));
        painter.drawText(box, Qt::AlignLeft | Qt::AlignVCenter, row.id);
        const qreal tagWidth = QFontMetricsF(monoFont(9, Weight::Bold)).horizontalAdvance(row.id);
        painter.setFont(monoFont(9));
        painter.drawText(box.adjusted(tagWidth + 4, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter,
                         formatBytesCompact(row.groupSize));
    }

    // "+ 1234 more" under a category's listed paths, with what they hold, in a path row's places.
    void paintMore(QPainter& painter, const Row& row) const
    {
        const QList<DiskSlimItem>& items = m_viewModel.diskSlimItems();
        if (row.item < 0 || row.item >= items.size())
            return;
        const DiskSlimItem& item = items[row.item];
        Row asPath = row;
        asPath.kind = Kind::Path;
        const QRectF content = parts(asPath).content.adjusted(7 + 6, 0, -(18 + 6), 0);
        const QString size = formatBytesCompact(item.unlistedSize);
        painter.setPen(Tint::tertiary().resolve(this));
        painter.setFont(monoFont(11));
        const qreal sizeWidth = QFontMetricsF(monoFont(11)).horizontalAdvance(size);
        painter.drawText(QRectF(content.right() - sizeWidth, content.top(), sizeWidth + 1, content.height()),
                         Qt::AlignRight | Qt::AlignVCenter, size);
        const QString more = QCoreApplication::translate("Panel", "+ %1 more").arg(item.unlistedCount);
        painter.setFont(monoFont(10));
        painter.drawText(QRectF(content.left(), content.top(), content.width() - sizeWidth - 6, content.height()),
                         Qt::AlignLeft | Qt::AlignVCenter, more);
    }

    void paintRow(QPainter& painter, const Row& row, bool focused) const
    {
        const QList<DiskSlimItem>& items = m_viewModel.diskSlimItems();
        if (row.item < 0 || row.item >= items.size())
            return;
        const DiskSlimItem& item = items[row.item];
        const bool isPath = row.kind == Kind::Path;
        const DiskSlimSubItem* sub = isPath ? &item.subItems[row.sub] : nullptr;
        const bool ticked = isPath ? sub->isSelected : item.isSelected;
        const bool hovered = row.id == m_hovered;
        const qreal fill = hovered ? m_hoverIn.value() : row.id == m_previous ? m_hoverOut.value() : 0;
        const qreal indent = isPath ? 16 : 0;
        const QRectF box(indent, row.top, contentWidth() - indent, row.height);
        if (fill > 0)
            paintCard(painter, box, 4, Tint::hoverFill().opacity(fill).resolve(this),
                      Tint::hoverEdge().opacity(fill).resolve(this), 1);
        if (focused)
            paintCard(painter, box, 4, QColor(), Tint::accent(4).opacity(0.7, 1.0).resolve(this), 1);

        const Parts p = parts(row);
        painter.setFont(monoFont(10, Weight::Bold));
        painter.setPen((ticked ? Tint::accent(4) : Tint::tertiary()).resolve(this));
        painter.drawText(p.check, Qt::AlignCenter, ticked ? QStringLiteral("[x]") : QStringLiteral("[ ]"));

        QRectF content = p.content;
        QColor dot = spectrum()[static_cast<std::size_t>(row.item % 11)];
        if (isPath)
            dot.setAlphaF(0.55f);
        paintSquareDot(painter, QPointF(content.left(), content.center().y() - 3.5 + visualMiddleOffset(monoFont(11))),
                       7, dot);
        content.setLeft(content.left() + 7 + 6);

        // From the right: the chevron or the reveal button, the size, the time ago.
        qreal right = content.right();
        if (isPath) {
            paintSymbol(painter, p.reveal, QStringLiteral("arrow.up.right.square"), 10,
                        (hovered ? Tint::primary() : Tint::tertiary()).resolve(this));
        } else {
            const QRectF chevron(right - 18, content.center().y() - 9, 18, 18);
            paintSymbol(painter, chevron,
                        m_view.isExpanded(item.category) ? QStringLiteral("chevron.up")
                                                         : QStringLiteral("chevron.down"),
                        9, (hovered ? Tint::primary() : Tint::tertiary()).resolve(this));
        }
        right -= 18 + 6;
        const QString size = formatBytesCompact(isPath ? sub->size : item.size);
        const QFont sizeFont = monoFont(11, hovered ? Weight::Bold : Weight::Regular);
        painter.setFont(sizeFont);
        painter.setPen((ticked ? Tint::primary() : Tint::tertiary()).resolve(this));
        const qreal sizeWidth = QFontMetricsF(sizeFont).horizontalAdvance(size);
        painter.drawText(QRectF(right - sizeWidth, content.top(), sizeWidth + 1, content.height()),
                         Qt::AlignRight | Qt::AlignVCenter, size);
        right -= sizeWidth + 6;
        const std::optional<Timestamp> modified = isPath ? sub->modificationDate : latestModification(item);
        if (modified) {
            const QString ago = formatTimeAgo(*modified, m_viewModel.now());
            painter.setFont(monoFont(9));
            painter.setPen((hovered ? Tint::secondary() : Tint::tertiary()).resolve(this));
            const qreal agoWidth = QFontMetricsF(monoFont(9)).horizontalAdvance(ago);
            painter.drawText(QRectF(right - agoWidth, content.top(), agoWidth + 1, content.height()),
                             Qt::AlignRight | Qt::AlignVCenter, ago);
            right -= agoWidth + 6;
        }
        const QString label = isPath ? sub->name : QString::fromLatin1(diskSlimInfo(item.category).rowID);
        const QFont labelFont = monoFont(11, ticked || hovered ? Weight::Medium : Weight::Regular);
        painter.setFont(labelFont);
        painter.setPen((ticked ? Tint::primary() : Tint::secondary()).resolve(this));
        const qreal available = std::max<qreal>(right - content.left(), 0);
        painter.drawText(QRectF(content.left(), content.top(), available, content.height()),
                         Qt::AlignLeft | Qt::AlignVCenter,
                         QFontMetricsF(labelFont).elidedText(label, Qt::ElideMiddle, available));
    }

    void mouseMoveEvent(QMouseEvent* event) override
    {
        const Row* row = rowAt(event->position());
        m_view.setHoveredRowID(row ? row->id : QString());
    }
    void leaveEvent(QEvent*) override { m_view.setHoveredRowID({}); }

    void mouseReleaseEvent(QMouseEvent* event) override
    {
        if (event->button() != Qt::LeftButton)
            return;
        const Row* row = rowAt(event->position());
        if (!row)
            return;
        const Parts p = parts(*row);
        const QPointF at = event->position();
        if (row->kind == Kind::Path && p.reveal.contains(at))
            reveal(*row);
        else if (p.check.contains(at) || row->kind == Kind::Path)
            toggle(*row);
        else if (p.content.contains(at))
            expand(*row);
    }

    bool event(QEvent* event) override
    {
        if (event->type() == QEvent::ToolTip) {
            auto* help = static_cast<QHelpEvent*>(event);
            const Row* row = rowAt(help->pos());
            if (row && row->kind == Kind::Path && parts(*row).reveal.contains(help->pos()))
                QToolTip::showText(help->globalPos(), QCoreApplication::translate("Panel", "Show in the file manager"),
                                   this);
            else
                QToolTip::hideText();
            return true;
        }
        return QWidget::event(event);
    }

    // Up and Down move between rows, Space ticks, Left and Right fold a category, Return reveals a
    // path or folds a category.
    void keyPressEvent(QKeyEvent* event) override
    {
        if (stepSlimFocus(m_rows, -1, SlimStep::Next) < 0)
            return QWidget::keyPressEvent(event); // no row to act on
        const int at = m_focus;
        switch (event->key()) {
        case Qt::Key_Down:
        case Qt::Key_Up:
            setFocusRow(stepSlimFocus(m_rows, at, event->key() == Qt::Key_Down ? SlimStep::Next : SlimStep::Previous));
            break;
        case Qt::Key_Space:
            if (at >= 0)
                toggle(m_rows[at]);
            break;
        case Qt::Key_Left:
        case Qt::Key_Right:
            if (at >= 0 && m_rows[at].kind == Kind::Category &&
                m_view.isExpanded(categoryOf(m_rows[at])) != (event->key() == Qt::Key_Right))
                expand(m_rows[at]);
            break;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            if (at >= 0)
                m_rows[at].kind == Kind::Path ? reveal(m_rows[at]) : expand(m_rows[at]);
            break;
        default:
            return QWidget::keyPressEvent(event);
        }
        if (m_focus >= 0)
            m_scroll.ensureVisible(0, static_cast<int>(m_rows[m_focus].top + m_rows[m_focus].height / 2), 0,
                                   static_cast<int>(m_rows[m_focus].height));
        update();
    }
    void focusInEvent(QFocusEvent*) override
    {
        if (m_focus < 0)
            setFocusRow(stepSlimFocus(m_rows, -1, SlimStep::Next));
        update();
    }
    void focusOutEvent(QFocusEvent*) override { update(); }

private:
    void setFocusRow(int index)
    {
        m_focus = index;
        m_focusKey = index >= 0 ? slimRowKey(m_rows[index], m_viewModel.diskSlimItems()) : std::nullopt;
    }
    DiskSlimCategory categoryOf(const Row& row) const { return m_viewModel.diskSlimItems()[row.item].category; }
    void toggle(const Row& row)
    {
        const DiskSlimItem& item = m_viewModel.diskSlimItems()[row.item];
        if (row.kind == Kind::Category)
            m_viewModel.toggleSlimCategory(item.category);
        else
            m_viewModel.toggleSlimSubItem(item.category, item.subItems[row.sub].path);
    }
    void expand(const Row& row)
    {
        const DiskSlimCategory category = categoryOf(row);
        m_view.setExpanded(category, !m_view.isExpanded(category));
    }
    void reveal(const Row& row)
    {
        const DiskSlimItem& item = m_viewModel.diskSlimItems()[row.item];
        m_workspace.reveal(item.subItems[row.sub].path);
    }

    DiskSlimView& m_view;
    SlimViewModel& m_viewModel;
    Workspace& m_workspace;
    GeekScrollView& m_scroll;
    QList<Row> m_rows;
    QString m_hovered;
    QString m_previous;
    AnimatedValue m_hoverIn;
    AnimatedValue m_hoverOut;
    // The focused row: its index in the current table, and what it shows, which outlives rebuilds.
    int m_focus = -1;
    std::optional<SlimRowKey> m_focusKey;
};

// The running scan's line over the list: what it does and how far it is.
class DiskSlimView::ProgressStrip final : public QWidget {
public:
    explicit ProgressStrip(QWidget* parent)
        : QWidget(parent)
        , m_text(new GeekText(QString(), monoFont(9), Tint::tertiary()))
        , m_percent(new GeekText(QString(), monoFont(9, Weight::Bold), Tint::accent(4)))
    {
        auto* row = new QHBoxLayout(this);
        row->setContentsMargins(6, 3, 6, 3);
        row->setSpacing(6);
        row->addWidget(new ActivityIndicator(Tint::accent(4), 10));
        m_text->setElideMode(Qt::ElideRight);
        row->addWidget(m_text, 1);
        row->addWidget(m_percent);
        setAccessibleValue(this, 0, 100);
    }
    void set(const QString& text, int percent)
    {
        m_text->setText(text);
        m_percent->setText(QString::number(percent) + QLatin1Char('%'));
        setAccessibleName(text);
        setAccessibleValue(this, percent, 100);
    }
    QString text() const { return m_text->text() + QLatin1Char(' ') + m_percent->text(); }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        paintCard(painter, QRectF(rect()), 4, Tint::accent(4).opacity(0.08).resolve(this));
    }

private:
    GeekText* m_text;
    GeekText* m_percent;
};

// "$ PURGE SELECTED (size)", or the purge's progress while it runs.
class DiskSlimView::PurgeButton final : public PlainButton {
public:
    explicit PurgeButton(QWidget* parent)
        : PlainButton(parent)
        , m_indicator(new ActivityIndicator(Tint::accent(4), 12, this))
    {
        setFixedHeight(30);
        setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
        setAccessibleName(QCoreApplication::translate("Panel", "PURGE SELECTED"));
        m_indicator->hide();
    }
    QSize sizeHint() const override { return {200, 30}; }
    void set(qint64 selected, bool purging, const QString& progress)
    {
        m_selected = selected;
        m_purging = purging;
        m_progress = progress;
        // The button says what it does, and while it purges, how far it is.
        setAccessibleName(
            purging ? progress
                    : QCoreApplication::translate("Panel", "Purge selected, %1").arg(formatBytesCompact(selected)));
        setEnabled(selected > 0 && !purging);
        m_indicator->setVisible(purging);
        update();
    }
    QString label() const
    {
        return m_purging
                   ? m_progress
                   : QCoreApplication::translate("Panel", "$ PURGE SELECTED (%1)").arg(formatBytesCompact(m_selected));
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        std::optional<std::pair<QColor, QColor>> live;
        if (m_selected >= 1 && !m_purging)
            live = {Tint::accent(4).opacity(0.15).resolve(this), Tint::accent(4).opacity(0.7, 1.0).resolve(this)};
        QList<LabelPiece> pieces;
        const QColor accent = Tint::accent(4).resolve(this);
        const QColor dim = Tint::tertiary().resolve(this);
        if (m_purging) {
            pieces.append({m_progress, monoFont(11, Weight::Bold), Tint::primary().resolve(this)});
        } else {
            const bool any = m_selected >= 1;
            pieces = {{QStringLiteral("$"), monoFont(12, Weight::Bold), any ? accent : dim},
                      {QCoreApplication::translate("Panel", "PURGE SELECTED ("), monoFont(11, Weight::Bold),
                       any ? Tint::primary().resolve(this) : dim},
                      {formatBytesCompact(m_selected), monoFont(11, Weight::Bold), any ? accent : dim},
                      {QStringLiteral(")"), monoFont(11, Weight::Bold), any ? Tint::primary().resolve(this) : dim}};
        }
        // Five between every part, the brackets' too, as the label's row spaces them; the activity
        // indicator leads while the purge runs.
        const qreal lead = m_purging ? m_indicator->width() + 5 : 0;
        const qreal leadAt = paintCommandButton(painter, live, pieces, 5, lead);
        if (m_purging)
            m_indicator->move(static_cast<int>(leadAt), (height() - m_indicator->height()) / 2);
    }

private:
    ActivityIndicator* m_indicator;
    qint64 m_selected = 0;
    bool m_purging = false;
    QString m_progress;
};

DiskSlimView::DiskSlimView(SlimViewModel& viewModel, Workspace& workspace, QWidget* parent)
    : GeekCard(8, Tint::surface(), Tint::border(), 0.5, parent)
    , m_viewModel(viewModel)
    , m_workspace(workspace)
    , m_timeAgo(new GeekText(QString(), monoFont(9), Tint::tertiary()))
    , m_selectedSize(new GeekText(QString(), monoFont(10, Weight::Medium), Tint::tertiary()))
    , m_selectedWord(new GeekText(QCoreApplication::translate("Panel", "selected"), monoFont(10), Tint::tertiary()))
    , m_scanningBody(new QWidget)
    , m_scanningText(new GeekText(QString(), monoFont(10), Tint::secondary()))
    , m_cleanBody(new QWidget)
    , m_cleanDetail(new GeekText(QString(), monoFont(10), Tint::tertiary()))
    , m_listBody(new QWidget)
    , m_strip(new ProgressStrip(m_listBody))
    , m_scroll(new GeekScrollView(m_listBody))
    , m_canvas(new Canvas(*this, viewModel, workspace, *m_scroll))
    , m_purge(new PurgeButton(m_listBody))
{
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(10, 10, 10, 10);
    column->setSpacing(8);

    auto* header = new QHBoxLayout;
    header->setSpacing(6);
    header->addWidget(new GeekText(QCoreApplication::translate("Panel", "> SLIM // CACHE PURGE"),
                                   monoFont(11, Weight::Bold), Tint::accent(4)));
    // When a long size and time leave no room, the time gives way, not the title.
    m_timeAgo->setElideMode(Qt::ElideRight);
    header->addWidget(m_timeAgo);
    header->addStretch();
    m_selectedSize->setTransition(Curve::spring(0.28, 0.8));
    header->addWidget(m_selectedSize);
    header->addWidget(m_selectedWord);
    header->setSpacing(4);
    column->addLayout(header);

    auto* scanning = new QHBoxLayout(m_scanningBody);
    scanning->setContentsMargins(16, 16, 16, 16);
    scanning->setSpacing(6);
    scanning->addStretch();
    scanning->addWidget(new ActivityIndicator(Tint::accent(4)));
    m_scanningText->setElideMode(Qt::ElideRight);
    scanning->addWidget(m_scanningText);
    scanning->addStretch();
    column->addWidget(m_scanningBody);

    auto* clean = new QVBoxLayout(m_cleanBody);
    clean->setContentsMargins(0, 0, 0, 0);
    clean->setSpacing(6);
    auto* cleanTitle = new QHBoxLayout;
    cleanTitle->setSpacing(8);
    cleanTitle->addStretch();
    cleanTitle->addWidget(new GeekSquareDot(Tint::accent(6), 7, monoFont(11)));
    cleanTitle->addWidget(new GeekText(QCoreApplication::translate("Panel", "[all_clean] system cache is minimal"),
                                       monoFont(11), Tint::accent(6)));
    cleanTitle->addStretch();
    clean->addLayout(cleanTitle);
    m_cleanDetail->setWordWrap(true);
    m_cleanDetail->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    clean->addWidget(m_cleanDetail);
    column->addWidget(m_cleanBody);

    auto* list = new QVBoxLayout(m_listBody);
    list->setContentsMargins(0, 0, 0, 0);
    list->setSpacing(8);
    list->addWidget(m_strip);
    m_scroll->setWidget(m_canvas);
    m_canvas->setAutoFillBackground(false); // the card shows through, as everywhere else
    const QScreen* screen = QGuiApplication::primaryScreen();
    m_scroll->setFixedHeight(static_cast<int>(
        slimListHeight(screen ? std::optional<qreal>(screen->availableGeometry().height()) : std::nullopt)));
    list->addWidget(m_scroll);
    list->addWidget(m_purge);
    column->addWidget(m_listBody);

    connect(m_purge, &QAbstractButton::clicked, this, [this] { m_viewModel.purgeSelectedSlimItems(); });
    for (auto signal : {&SlimViewModel::diskSlimItemsChanged, &SlimViewModel::isScanningSlimChanged,
                        &SlimViewModel::isCleaningSlimChanged, &SlimViewModel::slimCleanProgressTextChanged,
                        &SlimViewModel::lastSlimScanDateChanged})
        connect(&m_viewModel, signal, this, &DiskSlimView::updateFromModel);
    connect(&m_viewModel, &SlimViewModel::slimScanProgressTextChanged, this, &DiskSlimView::updateProgress);
    connect(&m_viewModel, &SlimViewModel::slimScanProgressValueChanged, this, &DiskSlimView::updateProgress);
    updateFromModel();
}

DiskSlimView::~DiskSlimView() = default;

void DiskSlimView::appeared()
{
    if (m_viewModel.diskSlimItems().isEmpty() && !m_viewModel.isScanningSlim())
        m_viewModel.scanSlim(false);
}

void DiskSlimView::setExpanded(DiskSlimCategory category, bool expanded)
{
    if (expanded == m_expanded.contains(category))
        return;
    if (expanded)
        m_expanded.insert(category);
    else
        m_expanded.remove(category);
    m_canvas->relayout();
}

void DiskSlimView::setHoveredRowID(const QString& id)
{
    m_hoveredRowID = id;
    m_canvas->setHovered(id);
}

void DiskSlimView::updateFromModel()
{
    const QList<DiskSlimItem>& items = m_viewModel.diskSlimItems();
    const bool scanning = m_viewModel.isScanningSlim();
    const qint64 selected = m_viewModel.selectedSlimSize();
    const auto& scanned = m_viewModel.lastSlimScanDate();

    m_timeAgo->setText(scanned ? QStringLiteral("[") + formatTimeAgo(*scanned, m_viewModel.now()) + QStringLiteral("]")
                               : QString());
    m_timeAgo->setVisible(scanned.has_value());
    m_selectedSize->setText(formatBytesCompact(selected));
    m_selectedSize->setTint(selected >= 1 ? Tint::accent(4) : Tint::tertiary());

    m_scanningBody->setVisible(scanning && items.isEmpty());
    m_cleanBody->setVisible(!scanning && items.isEmpty());
    m_listBody->setVisible(!items.isEmpty());
    m_strip->setVisible(scanning && !items.isEmpty());
    m_cleanDetail->setText(
        scanned ? QCoreApplication::translate("Panel", "> scanned %1 · no reclaimable caches found.")
                      .arg(formatRelativeTime(*scanned, m_viewModel.now()))
                : QCoreApplication::translate("Panel", "> no reclaimable developer or app caches found."));
    const auto& cleanText = m_viewModel.slimCleanProgressText();
    m_purge->set(selected, m_viewModel.isCleaningSlim(),
                 cleanText.value_or(QCoreApplication::translate("Panel", "> PURGING...")));
    m_canvas->relayout();
    updateProgress();
}

void DiskSlimView::updateProgress()
{
    const auto& text = m_viewModel.slimScanProgressText();
    m_scanningText->setText(text.value_or(QCoreApplication::translate("Panel", "> scanning system caches...")));
    m_strip->set(text.value_or(QCoreApplication::translate("Panel", "> scanning...")),
                 progressPercent(m_viewModel.slimScanProgressValue()));
}

DiskSlimView::Body DiskSlimView::body() const
{
    if (m_listBody->isVisibleTo(this))
        return Body::List;
    return m_scanningBody->isVisibleTo(this) ? Body::Scanning : Body::AllClean;
}

bool DiskSlimView::isProgressStripShown() const
{
    return m_strip->isVisibleTo(this);
}

QString DiskSlimView::headerSizeText() const
{
    return m_selectedSize->text() + QLatin1Char(' ') + m_selectedWord->text();
}

QString DiskSlimView::progressStripText() const
{
    return m_strip->text();
}

QString DiskSlimView::emptyResultText() const
{
    return m_cleanDetail->text();
}

QAbstractButton* DiskSlimView::purgeButton() const
{
    return m_purge;
}

QWidget* DiskSlimView::listCanvas() const
{
    return m_canvas;
}

QRect DiskSlimView::checkRect(const QString& rowID) const
{
    const Canvas::Row* row = m_canvas->rowByID(rowID);
    return row ? m_canvas->parts(*row).check.toRect() : QRect();
}

QRect DiskSlimView::contentRect(const QString& rowID) const
{
    const Canvas::Row* row = m_canvas->rowByID(rowID);
    return row ? m_canvas->parts(*row).content.toRect() : QRect();
}

QRect DiskSlimView::revealRect(const QString& rowID) const
{
    const Canvas::Row* row = m_canvas->rowByID(rowID);
    return row ? m_canvas->parts(*row).reveal.toRect() : QRect();
}

QStringList DiskSlimView::rowIDs() const
{
    QStringList ids;
    for (const Canvas::Row& row : m_canvas->rows())
        ids.append(row.id);
    return ids;
}

} // namespace rubbly
