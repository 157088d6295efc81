#pragma once

#include "StatusItem.h"
#include "StatusNotifierTypes.h"

#include <QDBusConnection>

#include <memory>

class QDBusServiceWatcher;

namespace rubbly {

class DBusMenu;

// The status item as our own org.kde.StatusNotifierItem over QtDBus (no Qt tray class, no GUI): the
// object /StatusNotifierItem under the name org.kde.StatusNotifierItem-<pid>-<n>, its menu as a
// com.canonical.dbusmenu object, and the Ayatana label extension that GNOME's AppIndicator extension
// and MATE draw beside the icon (KDE and XFCE show the same text in the tooltip).
//
// It registers with org.kde.StatusNotifierWatcher (under the connection's unique name; the
// well-known one stays owned for those that look for items by name) only once every property, the
// menu object and the icon are in place, at start and again every time a watcher appears or
// is replaced (a restarted panel forgets its items), and counts as shown while a watcher holds that
// registration and reports a host (a panel that draws items).
class StatusNotifierItem final : public StatusItem {
    Q_OBJECT
public:
    enum class ItemStatus { Passive, Active, NeedsAttention };

    struct Icon {
        QString name;      // a theme icon name, preferred by hosts that recolour symbolic icons
        QString themePath; // a folder the host adds to its icon search path; empty for none
        StatusIconPixmapList pixmaps;

        friend bool operator==(const Icon&, const Icon&) = default;
    };

    static inline const QString kWatcherService = QStringLiteral("org.kde.StatusNotifierWatcher");
    static inline const QString kWatcherPath = QStringLiteral("/StatusNotifierWatcher");
    static inline const QString kItemPath = QStringLiteral("/StatusNotifierItem");
    static inline const QString kMenuPath = QStringLiteral("/MenuBar");

    explicit StatusNotifierItem(QDBusConnection bus = QDBusConnection::sessionBus(), QObject* parent = nullptr);
    ~StatusNotifierItem() override;

    // Claims the item's name, exports the item and its menu and registers with a watcher if one runs.
    // False when there is no session bus or the objects could not be exported; the item then stays
    // settled and not shown.
    bool start();

    void setLabel(const QString& text) override;
    QString label() const override { return m_label; }
    bool isShown() const override { return m_registered && m_hostRegistered; }
    bool isSettled() const override { return !m_pending; }

    // Emits NewIcon when the icon changed.
    void setIcon(const Icon& icon);
    Icon icon() const { return m_icon; }
    // Emits NewStatus when the status changed. Active by default: GNOME hides a Passive item.
    void setItemStatus(ItemStatus status);
    ItemStatus itemStatus() const { return m_status; }

    // True while some program owns org.kde.StatusNotifierWatcher.
    bool hasWatcher() const { return m_hasWatcher; }
    // The well-known name the item owns; the watcher is given the connection's unique name.
    QString serviceName() const { return m_serviceName; }
    // The token a host handed over before Activate (GNOME does, for focus on Wayland); empty if none.
    QString xdgActivationToken() const { return m_activationToken; }

    // Called by the exported interface.
    void handleActivate(int x, int y);
    void handleContextMenu(int x, int y);
    void handleActivationToken(const QString& token) { m_activationToken = token; }
    StatusToolTip toolTip() const;
    static QString statusText(ItemStatus status);

Q_SIGNALS:
    void watcherChanged();
    // The host asks us to show the menu ourselves (hosts that draw the dbusmenu never do).
    void contextMenuRequested(QPoint position);

    // The interface's change notifications, relayed to D-Bus.
    void newLabel(const QString& label, const QString& guide);
    void newToolTip();
    void newIcon();
    void newStatus(const QString& status);

private Q_SLOTS:
    // The watcher's own signals, connected by name (QtDBus has no functor form for bus signals).
    void onHostRegistered();
    void onHostUnregistered();

private:
    enum class Change { Label = 1, ToolTip = 2, Icon = 4, Status = 8, LabelAgain = 16 };
    Q_DECLARE_FLAGS(Changes, Change)

    // Sends the change's signal, or keeps it until the pending registration is answered.
    void announce(Change change);
    void sendHeldChanges();
    void onWatcherOwnerChanged(const QString& newOwner);
    void registerWithWatcher();
    void queryHost();
    void setRegistration(bool registered, bool hostRegistered, bool pending);

    QDBusConnection m_bus;
    QString m_serviceName;
    std::unique_ptr<DBusMenu> m_menu;
    std::unique_ptr<QDBusServiceWatcher> m_watcherWatch;
    QString m_label;
    Icon m_icon;
    ItemStatus m_status = ItemStatus::Active;
    QString m_activationToken;
    bool m_started = false;
    bool m_objectExported = false;
    bool m_hasWatcher = false;
    bool m_registered = false;
    bool m_hostRegistered = false;
    bool m_pending = false;
    Changes m_heldChanges;
    // Bumped whenever the watcher changes, so a late answer of the previous one is ignored.
    quint64 m_generation = 0;
};

} // namespace rubbly
