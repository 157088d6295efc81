#include "SettingsView.h"

#include "Accessibility.h"
#include "GeekFonts.h"
#include "GeekScrollView.h"
#include "GeekWidgets.h"
#include "Painting.h"
#include "PushButton.h"
#include "SettingsPanes.h"
#include "Symbols.h"

#include <QCoreApplication>
#include <QEvent>
#include <QHBoxLayout>
#include <QListWidget>
#include <QPainter>
#include <QShortcut>
#include <QSplitter>
#include <QStackedWidget>
#include <QStyledItemDelegate>
#include <QVBoxLayout>

namespace rubbly {

namespace {

struct SidebarRow {
    SidebarItem item;
    const char* raw;
    const char* title;
    const char* symbol;
};

constexpr std::array<SidebarRow, 7> kSidebar{{
    {SidebarItem::General, "general", QT_TRANSLATE_NOOP("Settings", "General"), "gear"},
    {SidebarItem::MenuBar, "menuBar", QT_TRANSLATE_NOOP("Settings", "Tray"), "menubar.rectangle"},
    {SidebarItem::Cleaning, "cleaning", QT_TRANSLATE_NOOP("Settings", "Cleaning"), "trash"},
    {SidebarItem::Automation, "automation", QT_TRANSLATE_NOOP("Settings", "Automation"), "clock.badge.checkmark"},
    {SidebarItem::Interaction, "interaction", QT_TRANSLATE_NOOP("Settings", "Shortcut & Feedback"), "keyboard"},
    {SidebarItem::Permissions, "permissions", QT_TRANSLATE_NOOP("Settings", "Permissions"), "lock.shield"},
    {SidebarItem::About, "about", QT_TRANSLATE_NOOP("Settings", "About"), "info.circle"},
}};
// row() indexes the table by the item, so a row out of place would give a section another's title.
static_assert(
    [] {
        for (std::size_t i = 0; i < kSidebar.size(); ++i) {
            if (kSidebar[i].item != kAllSidebarItems[i] || static_cast<std::size_t>(kSidebar[i].item) != i)
                return false;
        }
        return true;
    }(),
    "kSidebar lists the sections in SidebarItem's order");

const SidebarRow& row(SidebarItem item)
{
    return kSidebar[static_cast<std::size_t>(item)];
}

// A pane that is taller than the window scrolls with a thin thumb of its own, not a stock scroll bar.
QWidget* scrolled(QWidget* pane)
{
    auto* scroll = new GeekScrollView;
    scroll->setWidget(pane);
    pane->setAutoFillBackground(false);
    return scroll;
}

// Sidebar rows as desktop sidebars draw them: a rounded selection across the whole row, inset from
// the edges, with no focus rectangle of the style's.
class SidebarDelegate final : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        const QWidget* view = option.widget;
        const QRectF row = QRectF(option.rect).adjusted(8, 1, -8, -1);
        QColor fill;
        QColor edge;
        if (option.state & QStyle::State_Selected) {
            fill = Tint::accent(4).resolve(view);
            fill.setAlphaF(0.22f);
        } else if (option.state & QStyle::State_MouseOver) {
            fill = Tint::hoverFill().resolve(view);
            edge = Tint::hoverEdge().resolve(view);
        }
        paintCard(*painter, row, 6, fill, edge, 1);
        const QColor text = view->palette().color(QPalette::WindowText);
        const QString symbol = index.data(Qt::UserRole + 1).toString();
        paintSymbol(*painter, QRectF(row.left() + 8, row.top(), 16, row.height()), symbol, 16, text);
        painter->setFont(uiFont(13));
        painter->setPen(text);
        painter->drawText(row.adjusted(32, 0, -8, 0), Qt::AlignLeft | Qt::AlignVCenter,
                          index.data(Qt::DisplayRole).toString());
    }
    QSize sizeHint(const QStyleOptionViewItem&, const QModelIndex&) const override { return {180, 32}; }
};

} // namespace

QString sidebarItemRawValue(SidebarItem item)
{
    return QString::fromLatin1(row(item).raw);
}

QString sidebarItemTitle(SidebarItem item)
{
    return QCoreApplication::translate("Settings", row(item).title);
}

QString sidebarItemSymbol(SidebarItem item)
{
    return QString::fromLatin1(row(item).symbol);
}

SettingsView::SettingsView(SettingsService& settings, UpdateServicing& updates, GlobalShortcutService& shortcut,
                           Workspace& workspace, Options options, QWidget* parent)
    : QWidget(parent)
    , m_sidebar(new QListWidget)
    , m_title(new GeekText(QString(), uiFont(15, Weight::Bold), Tint::primary()))
    , m_panes(new QStackedWidget)
{
    setWindowTitle(QCoreApplication::translate("Settings", "Rubbly Settings"));
    setMinimumSize(720, 480);
    resize(780, 520);

    auto* split = new QSplitter(Qt::Horizontal);
    split->setChildrenCollapsible(false);
    split->setHandleWidth(1);
    // The list sits on a column of its own colour with room above and below, so the first row's
    // selection does not touch the window's edge.
    auto* sidebarColumn = new QWidget;
    sidebarColumn->setObjectName(QStringLiteral("sidebar"));
    sidebarColumn->setAutoFillBackground(true);
    sidebarColumn->setMinimumWidth(190);
    sidebarColumn->setMaximumWidth(240);
    auto* sidebarLayout = new QVBoxLayout(sidebarColumn);
    sidebarLayout->setContentsMargins(0, 10, 0, 10);
    sidebarLayout->addWidget(m_sidebar);
    m_sidebar->setFrameShape(QFrame::NoFrame);
    m_sidebar->setItemDelegate(new SidebarDelegate(m_sidebar));
    m_sidebar->setMouseTracking(true);
    m_sidebar->setAccessibleName(windowTitle());
    for (SidebarItem item : kAllSidebarItems) {
        auto* entry = new QListWidgetItem(sidebarItemTitle(item), m_sidebar);
        entry->setData(Qt::UserRole, sidebarItemRawValue(item));
        entry->setData(Qt::UserRole + 1, sidebarItemSymbol(item));
    }
    split->addWidget(sidebarColumn);

    auto* detail = new QWidget;
    auto* column = new QVBoxLayout(detail);
    column->setContentsMargins(0, 14, 0, 0);
    column->setSpacing(6);
    m_title->setContentsMargins(20, 0, 20, 0);
    column->addWidget(m_title);
    column->addWidget(m_panes, 1);
    split->addWidget(detail);
    // The splitter's handles are Qt's own unnamed objects of no role: a screen reader hears a separator.
    installAccessibility();
    for (int i = 0; i < split->count(); ++i)
        setAccessibleRole(split->handle(i), QAccessible::Separator);
    split->setStretchFactor(1, 1);
    split->setSizes({210, 570});

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(split);

    auto* cleaning = new CleaningSettingsView(settings);
    connect(cleaning, &CleaningSettingsView::confirmOffWarningRequested, this, &SettingsView::showConfirmOffWarning);
    for (QWidget* pane : std::initializer_list<QWidget*>{
             new GeneralSettingsView(settings), new TraySettingsView(settings, options.addSizeToPanel), cleaning,
             new AutomationSettingsView(settings),
             new InteractionSettingsView(settings, shortcut, options.wayland, options.desktops),
             new PermissionsSettingsView(workspace),
             new AboutSettingsView(updates, workspace, options.version, options.links)})
        m_panes->addWidget(scrolled(pane));

    connect(m_sidebar, &QListWidget::itemSelectionChanged, this, &SettingsView::showSelection);
    refreshIcons();
    setSelection(SidebarItem::General);
}

std::optional<SidebarItem> SettingsView::selection() const
{
    const QList<QListWidgetItem*> selected = m_sidebar->selectedItems();
    if (selected.isEmpty())
        return std::nullopt;
    return kAllSidebarItems[static_cast<std::size_t>(m_sidebar->row(selected.first()))];
}

void SettingsView::setSelection(std::optional<SidebarItem> item)
{
    if (item)
        m_sidebar->setCurrentRow(static_cast<int>(*item));
    else
        m_sidebar->clearSelection();
    showSelection();
}

void SettingsView::showSelection()
{
    // No selection shows General, as the first launch does.
    const SidebarItem shown = selection().value_or(SidebarItem::General);
    m_panes->setCurrentIndex(static_cast<int>(shown));
    m_title->setText(sidebarItemTitle(shown));
}

QWidget* SettingsView::pane(SidebarItem item) const
{
    return static_cast<GeekScrollView*>(m_panes->widget(static_cast<int>(item)))->widget();
}

QWidget* SettingsView::currentPane() const
{
    return static_cast<GeekScrollView*>(m_panes->currentWidget())->widget();
}

QString SettingsView::detailTitle() const
{
    return m_title->text();
}

void SettingsView::refreshIcons()
{
    // The sidebar a shade apart from the detail column, in either scheme.
    QPalette sidebar = palette();
    const QColor shade = Tint::surface().resolve(isDarkScheme(this));
    sidebar.setColor(QPalette::Base, shade);
    sidebar.setColor(QPalette::Window, shade);
    m_sidebar->setPalette(sidebar);
    m_sidebar->parentWidget()->setPalette(sidebar);
}

void SettingsView::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::PaletteChange)
        refreshIcons();
    QWidget::changeEvent(event);
}

void SettingsView::showConfirmOffWarning()
{
    // Our own small dialog rather than a message box: the title must stand in the dialog itself (window
    // managers may not show a sheet's title bar), and a message box keeps an icon's gutter without an icon.
    auto* box = new QDialog(this);
    const QString title = QCoreApplication::translate("Settings", "Confirmation turned off");
    box->setWindowTitle(title);
    box->setAccessibleName(title);
    auto* column = new QVBoxLayout(box);
    column->setContentsMargins(20, 18, 20, 16);
    column->setSpacing(8);
    auto* heading = new GeekText(title, uiFont(13, Weight::Semibold), Tint::primary());
    column->addWidget(heading);
    auto* body = new GeekText(
        QCoreApplication::translate(
            "Settings", "Emptying the Trash will no longer ask first: every file in it is deleted for good at once."),
        uiFont(12), Tint::secondary());
    body->setWordWrap(true);
    body->setFixedWidth(300);
    column->addWidget(body);
    column->addSpacing(6);
    auto* ok = new PushButton(QCoreApplication::translate("Settings", "OK"), PushButton::Style::Prominent);
    ok->setFocusPolicy(Qt::StrongFocus);
    connect(ok, &QAbstractButton::clicked, box, &QDialog::accept);
    // Return and Enter close it as they would a message box; Escape does through QDialog.
    for (const int key : {Qt::Key_Return, Qt::Key_Enter})
        connect(new QShortcut(QKeySequence(key), box), &QShortcut::activated, box, &QDialog::accept);
    column->addWidget(ok, 0, Qt::AlignRight);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::WindowModal);
    m_warning = box;
    box->open();
    ok->setFocus();
}

} // namespace rubbly
