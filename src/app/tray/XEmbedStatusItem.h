#pragma once

#include "StatusItem.h"

#include <QMenu>
#include <QSystemTrayIcon>

namespace rubbly {

// Fills `menu` with the status item's entries; each one emits `item`'s menuActionTriggered().
void fillStatusMenu(QMenu& menu, StatusItem& item);

// The fallback for X11 desktops whose panel has only the old XEmbed notification area (no
// StatusNotifierWatcher): Qt's QSystemTrayIcon, with the menu on the secondary button. XEmbed has no
// text beside the icon, so the label goes into the tooltip.
//
// Create it only while no watcher runs: Qt decides once per process, at the first QSystemTrayIcon,
// whether its tray icons go over D-Bus, and a D-Bus one would be a second item beside ours.
class XEmbedStatusItem final : public StatusItem {
    Q_OBJECT
public:
    explicit XEmbedStatusItem(const QIcon& icon, QObject* parent = nullptr);
    ~XEmbedStatusItem() override;

    void setLabel(const QString& text) override;
    QString label() const override { return m_label; }
    // True while the icon is docked, as far as Qt can tell: visible with a tray manager present.
    bool isShown() const override { return m_icon.isVisible(); }
    void setVisible(bool visible);
    void setIcon(const QIcon& icon) { m_icon.setIcon(icon); }

    // "Rubbly", with the label on a second line when there is one.
    static QString toolTipFor(const QString& label);

private:
    QMenu m_menu;
    QSystemTrayIcon m_icon;
    QString m_label;
};

} // namespace rubbly
