#include "SettingsView.h"

#include "GeekFonts.h"
#include "GeekWidgets.h"
#include "SettingsPanes.h"
#include "Symbols.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QListWidget>
#include <QMessageBox>
#include <QScrollArea>
#include <QSplitter>
#include <QStackedWidget>
#include <QVBoxLayout>

namespace rubbly {

namespace {

struct SidebarRow {
    SidebarItem item;
    const char* raw;
    const char16_t* title;
    const char* symbol;
};

constexpr std::array<SidebarRow, 7> kSidebar{{
    {SidebarItem::General, "general", u"通用", "gear"},
    {SidebarItem::MenuBar, "menuBar", u"菜单栏", "menubar.rectangle"},
    {SidebarItem::Cleaning, "cleaning", u"清理", "trash"},
    {SidebarItem::Automation, "automation", u"自动化", "clock.badge.checkmark"},
    {SidebarItem::Interaction, "interaction", u"快捷键与反馈", "keyboard"},
    {SidebarItem::Permissions, "permissions", u"权限", "lock.shield"},
    {SidebarItem::About, "about", u"关于", "info.circle"},
}};

const SidebarRow& row(SidebarItem item)
{
    return kSidebar[static_cast<std::size_t>(item)];
}

QWidget* scrolled(QWidget* pane)
{
    auto* scroll = new QScrollArea;
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll->setWidget(pane);
    return scroll;
}

} // namespace

QString sidebarItemRawValue(SidebarItem item)
{
    return QString::fromLatin1(row(item).raw);
}

QString sidebarItemTitle(SidebarItem item)
{
    return QString::fromUtf16(row(item).title);
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
    setWindowTitle(QStringLiteral("Rubbly Settings"));
    setMinimumSize(720, 480);
    resize(780, 520);

    auto* split = new QSplitter(Qt::Horizontal);
    split->setChildrenCollapsible(false);
    split->setHandleWidth(1);
    m_sidebar->setMinimumWidth(190);
    m_sidebar->setMaximumWidth(240);
    m_sidebar->setFrameShape(QFrame::NoFrame);
    m_sidebar->setIconSize(QSize(16, 16));
    m_sidebar->setFont(uiFont(13));
    m_sidebar->setSpacing(1);
    m_sidebar->setAccessibleName(QStringLiteral("Rubbly Settings"));
    for (SidebarItem item : kAllSidebarItems) {
        auto* entry = new QListWidgetItem(sidebarItemTitle(item), m_sidebar);
        entry->setData(Qt::UserRole, sidebarItemRawValue(item));
        entry->setSizeHint(QSize(0, 30));
    }
    split->addWidget(m_sidebar);

    auto* detail = new QWidget;
    auto* column = new QVBoxLayout(detail);
    column->setContentsMargins(0, 14, 0, 0);
    column->setSpacing(6);
    m_title->setContentsMargins(20, 0, 20, 0);
    column->addWidget(m_title);
    column->addWidget(m_panes, 1);
    split->addWidget(detail);
    split->setStretchFactor(1, 1);
    split->setSizes({210, 570});

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(split);

    auto* cleaning = new CleaningSettingsView(settings);
    connect(cleaning, &CleaningSettingsView::confirmOffWarningRequested, this, &SettingsView::showConfirmOffWarning);
    for (QWidget* pane : std::initializer_list<QWidget*>{
             new GeneralSettingsView(settings), new MenuBarSettingsView(settings), cleaning,
             new AutomationSettingsView(settings), new InteractionSettingsView(settings, shortcut, options.wayland),
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
    return static_cast<QScrollArea*>(m_panes->widget(static_cast<int>(item)))->widget();
}

QWidget* SettingsView::currentPane() const
{
    return static_cast<QScrollArea*>(m_panes->currentWidget())->widget();
}

QString SettingsView::detailTitle() const
{
    return m_title->text();
}

void SettingsView::refreshIcons()
{
    const QColor color = palette().color(QPalette::WindowText);
    // A quiet selection: the accent's tint under ordinary text, as desktop sidebars have it.
    QPalette sidebar = palette();
    QColor selected = palette().color(QPalette::Highlight);
    selected.setAlphaF(0.22f);
    for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
        sidebar.setColor(group, QPalette::Highlight, selected);
        sidebar.setColor(group, QPalette::HighlightedText, color);
    }
    sidebar.setColor(QPalette::Base, Tint::surface().resolve(isDarkScheme(this)));
    m_sidebar->setPalette(sidebar);
    const qreal dpr = devicePixelRatioF();
    for (int i = 0; i < m_sidebar->count(); ++i) {
        m_sidebar->item(i)->setIcon(
            QIcon(symbolPixmap(sidebarItemSymbol(kAllSidebarItems[static_cast<std::size_t>(i)]), 16, color, dpr)));
    }
}

void SettingsView::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::PaletteChange)
        refreshIcons();
    QWidget::changeEvent(event);
}

void SettingsView::showConfirmOffWarning()
{
    auto* box = new QMessageBox(QMessageBox::NoIcon, QStringLiteral("已关闭清空确认"),
                                QStringLiteral("清空废纸篓时将不再弹出二次确认，直接永久删除所有文件。"),
                                QMessageBox::NoButton, this);
    box->addButton(QStringLiteral("好"), QMessageBox::RejectRole);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::WindowModal);
    m_warning = box;
    box->open();
}

SettingsWindow::SettingsWindow(std::function<SettingsView*()> create, QObject* parent)
    : QObject(parent)
    , m_create(std::move(create))
{
}

SettingsWindow::~SettingsWindow()
{
    delete m_view;
}

SettingsView* SettingsWindow::open()
{
    if (!m_view) {
        m_view = m_create();
        Q_EMIT created(m_view);
    }
    m_view->show();
    m_view->raise();
    m_view->activateWindow();
    return m_view;
}

} // namespace rubbly
