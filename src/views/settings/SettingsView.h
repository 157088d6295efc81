#pragma once

#include "AboutSettingsView.h"

#include <QDialog>
#include <QPointer>
#include <QWidget>

#include <array>
#include <functional>
#include <optional>

class QListWidget;

class QStackedWidget;

namespace rubbly {

class GeekText;
class GlobalShortcutService;
class SettingsService;
class UpdateServicing;
class Workspace;

// The sections of the settings window, in sidebar order.
enum class SidebarItem { General, MenuBar, Cleaning, Automation, Interaction, Permissions, About };
inline constexpr std::array<SidebarItem, 7> kAllSidebarItems{
    SidebarItem::General,     SidebarItem::MenuBar,     SidebarItem::Cleaning, SidebarItem::Automation,
    SidebarItem::Interaction, SidebarItem::Permissions, SidebarItem::About,
};
QString sidebarItemRawValue(SidebarItem item);
QString sidebarItemTitle(SidebarItem item);
QString sidebarItemSymbol(SidebarItem item);

// The settings window: a sidebar of the seven sections and the selected section's pane under its
// title. It warns once, ever, when the confirmation before emptying is first turned off.
class SettingsView final : public QWidget {
    Q_OBJECT
public:
    struct Options {
        // "1.1.0 (1)": the version and the build number.
        QString version;
        // The session is Wayland (the shortcut pane explains what that means for the key).
        bool wayland = false;
        AboutSettingsView::Links links;
        // XDG_CURRENT_DESKTOP's names (the shortcut pane names the desktop's keyboard settings).
        QStringList desktops = {};
        // Puts the size item into the desktop's own panel (KDE Plasma, XFCE: their trays draw only
        // the icon) and says what it did; unset where the tray draws the size itself.
        std::function<QString()> addSizeToPanel = {};
    };
    SettingsView(SettingsService& settings, UpdateServicing& updates, GlobalShortcutService& shortcut,
                 Workspace& workspace, Options options, QWidget* parent = nullptr);

    std::optional<SidebarItem> selection() const;
    void setSelection(std::optional<SidebarItem> item);
    // The pane shown and its title: General's when nothing is selected.
    QWidget* currentPane() const;
    QString detailTitle() const;
    // The one-time warning while it shows, else null.
    QDialog* confirmOffWarning() const { return m_warning; }
    QWidget* pane(SidebarItem item) const;

protected:
    void changeEvent(QEvent* event) override;

private:
    void showSelection();
    void refreshIcons();
    void showConfirmOffWarning();

    QListWidget* m_sidebar;
    GeekText* m_title;
    QStackedWidget* m_panes;
    QPointer<QDialog> m_warning;
};

} // namespace rubbly
