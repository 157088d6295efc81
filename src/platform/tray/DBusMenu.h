#pragma once

#include "StatusItem.h"
#include "StatusNotifierTypes.h"

#include <QDBusConnection>
#include <QDBusContext>
#include <QObject>

#include <optional>

namespace rubbly {

// The status item's menu as a com.canonical.dbusmenu object, the form in which hosts (GNOME's
// AppIndicator extension, KDE, XFCE, MATE) draw an item's menu themselves; GNOME's extension ignores
// an item without one. The layout is the fixed list of statusMenuEntries(): item 0 is the root, the
// entries are 1, 2, … in order.
class DBusMenu final : public QObject, protected QDBusContext {
    Q_OBJECT
public:
    explicit DBusMenu(QObject* parent = nullptr);
    ~DBusMenu() override;

    // Exports the menu at `path`. False when the path is taken or there is no bus.
    bool exportOn(QDBusConnection bus, const QString& path);

    // The layout below `parentId` down to `depth` levels (-1: all), each item with the properties
    // named in `names` (empty: all). Nullopt when `parentId` is no item of the menu.
    std::optional<DBusMenuLayoutItem> layout(int parentId, int depth, const QStringList& names) const;
    // The properties of one item; nullopt for an unknown id.
    std::optional<QVariantMap> properties(int id, const QStringList& names) const;
    // Handles a host's event; false for an unknown id. A "clicked" on an entry emits actionTriggered().
    bool handleEvent(int id, const QString& eventId);
    QList<int> itemIds() const;

    uint revision() const { return 1; }

    // Answers the D-Bus call being handled with an InvalidArgs error. QtDBus keeps the context of a
    // call to an adaptor on the adaptor's parent, so the adaptor answers through here.
    void refuseCurrentCall(const QString& message) const;

Q_SIGNALS:
    void actionTriggered(rubbly::StatusItem::MenuAction action);
    // A host asked for the whole menu from its root: it is setting the item up in its bar (GNOME's
    // extension does so once it shows the item, and again after a reset), or about to open the menu.
    void rootLayoutRead();

private:
    QList<StatusMenuEntry> m_entries;
    QDBusConnection m_bus;
    QString m_path;
};

} // namespace rubbly
