#pragma once

#include <QByteArray>
#include <QDBusArgument>
#include <QDBusVariant>
#include <QList>
#include <QMetaType>
#include <QString>
#include <QVariantMap>

// The D-Bus structures of the StatusNotifierItem and com.canonical.dbusmenu interfaces, with their
// marshalling. They must be registered (registerStatusNotifierTypes()) before any property holding
// them is read or any connect() names them, or QtDBus drops them silently.

namespace rubbly {

// One icon image, (iiay): width, height and ARGB32 pixels, each pixel in network byte order (A, R,
// G, B), row by row. Hosts that draw pixmaps pick the size nearest to their panel.
struct StatusIconPixmap {
    int width = 0;
    int height = 0;
    QByteArray argb;

    friend bool operator==(const StatusIconPixmap&, const StatusIconPixmap&) = default;
};
using StatusIconPixmapList = QList<StatusIconPixmap>;

// The item's tooltip, (sa(iiay)ss): icon name, icon images, title, description.
struct StatusToolTip {
    QString iconName;
    StatusIconPixmapList pixmaps;
    QString title;
    QString description;
};

// One node of a dbusmenu layout, (ia{sv}av): its id, its properties, its children (each a variant
// holding another node).
struct DBusMenuLayoutItem {
    int id = 0;
    QVariantMap properties;
    QList<DBusMenuLayoutItem> children;
};

// (ia{sv}): an item id with some of its properties.
struct DBusMenuItemProperties {
    int id = 0;
    QVariantMap properties;
};
using DBusMenuItemPropertiesList = QList<DBusMenuItemProperties>;

// (isvu): one event of EventGroup.
struct DBusMenuEvent {
    int id = 0;
    QString eventId;
    QDBusVariant data;
    uint timestamp = 0;
};
using DBusMenuEventList = QList<DBusMenuEvent>;

// Registers every type above with Qt's meta-type system and QtDBus; safe to call more than once.
void registerStatusNotifierTypes();

QDBusArgument& operator<<(QDBusArgument& argument, const StatusIconPixmap& pixmap);
const QDBusArgument& operator>>(const QDBusArgument& argument, StatusIconPixmap& pixmap);
QDBusArgument& operator<<(QDBusArgument& argument, const StatusToolTip& toolTip);
const QDBusArgument& operator>>(const QDBusArgument& argument, StatusToolTip& toolTip);
QDBusArgument& operator<<(QDBusArgument& argument, const DBusMenuLayoutItem& item);
const QDBusArgument& operator>>(const QDBusArgument& argument, DBusMenuLayoutItem& item);
QDBusArgument& operator<<(QDBusArgument& argument, const DBusMenuItemProperties& item);
const QDBusArgument& operator>>(const QDBusArgument& argument, DBusMenuItemProperties& item);
QDBusArgument& operator<<(QDBusArgument& argument, const DBusMenuEvent& event);
const QDBusArgument& operator>>(const QDBusArgument& argument, DBusMenuEvent& event);

} // namespace rubbly

Q_DECLARE_METATYPE(rubbly::StatusIconPixmap)
Q_DECLARE_METATYPE(rubbly::StatusToolTip)
Q_DECLARE_METATYPE(rubbly::DBusMenuLayoutItem)
Q_DECLARE_METATYPE(rubbly::DBusMenuItemProperties)
Q_DECLARE_METATYPE(rubbly::DBusMenuEvent)
