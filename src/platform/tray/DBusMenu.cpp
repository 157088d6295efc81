#include "DBusMenu.h"

#include <QDBusAbstractAdaptor>
#include <QDBusMessage>

namespace rubbly {

namespace {

// com.canonical.dbusmenu, version 3. The menu never changes, so the revision is constant and
// LayoutUpdated is declared for introspection but never sent.
class DBusMenuAdaptor final : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "com.canonical.dbusmenu")
    Q_PROPERTY(uint Version READ version)
    Q_PROPERTY(QString TextDirection READ textDirection)
    Q_PROPERTY(QString Status READ status)
    Q_PROPERTY(QStringList IconThemePath READ iconThemePath)
public:
    explicit DBusMenuAdaptor(DBusMenu* menu)
        : QDBusAbstractAdaptor(menu)
        , m_menu(menu)
    {
        setAutoRelaySignals(false);
    }

    uint version() const { return 3; }
    QString textDirection() const { return QStringLiteral("ltr"); }
    QString status() const { return QStringLiteral("normal"); }
    QStringList iconThemePath() const { return {}; }

public Q_SLOTS:
    uint GetLayout(int parentId, int recursionDepth, const QStringList& propertyNames,
                   rubbly::DBusMenuLayoutItem& layout)
    {
        if (const auto found = m_menu->layout(parentId, recursionDepth, propertyNames))
            layout = *found;
        else
            unknownId(parentId);
        if (parentId == 0)
            Q_EMIT m_menu->rootLayoutRead();
        return m_menu->revision();
    }

    QList<rubbly::DBusMenuItemProperties> GetGroupProperties(const QList<int>& ids, const QStringList& propertyNames)
    {
        // An empty list asks for every item.
        DBusMenuItemPropertiesList result;
        for (const int id : ids.isEmpty() ? m_menu->itemIds() : ids) {
            if (const auto properties = m_menu->properties(id, propertyNames))
                result.append({id, *properties});
        }
        return result;
    }

    QDBusVariant GetProperty(int id, const QString& name)
    {
        const auto properties = m_menu->properties(id, {name});
        if (!properties || !properties->contains(name)) {
            m_menu->refuseCurrentCall(QStringLiteral("no property %1 on menu item %2").arg(name).arg(id));
            return QDBusVariant(QString());
        }
        return QDBusVariant(properties->value(name));
    }

    void Event(int id, const QString& eventId, const QDBusVariant& data, uint timestamp)
    {
        Q_UNUSED(data);
        Q_UNUSED(timestamp);
        if (!m_menu->handleEvent(id, eventId))
            unknownId(id);
    }

    QList<int> EventGroup(const QList<rubbly::DBusMenuEvent>& events)
    {
        QList<int> idErrors;
        for (const DBusMenuEvent& event : events) {
            if (!m_menu->handleEvent(event.id, event.eventId))
                idErrors.append(event.id);
        }
        if (!events.isEmpty() && idErrors.size() == events.size())
            m_menu->refuseCurrentCall(QStringLiteral("no event named a menu item"));
        return idErrors;
    }

    bool AboutToShow(int id)
    {
        if (!m_menu->properties(id, {}))
            unknownId(id);
        return false;
    }

    QList<int> AboutToShowGroup(const QList<int>& ids, QList<int>& idErrors)
    {
        for (const int id : ids) {
            if (!m_menu->properties(id, {}))
                idErrors.append(id);
        }
        return {};
    }

Q_SIGNALS:
    void LayoutUpdated(uint revision, int parent);
    void ItemActivationRequested(int id, uint timestamp);

private:
    void unknownId(int id) { m_menu->refuseCurrentCall(QStringLiteral("no menu item %1").arg(id)); }

    DBusMenu* m_menu;
};

QVariantMap filtered(const QVariantMap& all, const QStringList& names)
{
    if (names.isEmpty())
        return all;
    QVariantMap result;
    for (const QString& name : names) {
        if (all.contains(name))
            result.insert(name, all.value(name));
    }
    return result;
}

} // namespace

DBusMenu::DBusMenu(QObject* parent)
    : QObject(parent)
    , m_entries(statusMenuEntries())
    , m_bus(QStringLiteral("rubbly-no-bus"))
{
    registerStatusNotifierTypes();
    new DBusMenuAdaptor(this);
}

DBusMenu::~DBusMenu()
{
    if (!m_path.isEmpty())
        m_bus.unregisterObject(m_path);
}

void DBusMenu::refuseCurrentCall(const QString& message) const
{
    if (calledFromDBus())
        sendErrorReply(QDBusError::InvalidArgs, message);
}

bool DBusMenu::exportOn(QDBusConnection bus, const QString& path)
{
    if (!bus.isConnected() || !bus.registerObject(path, this, QDBusConnection::ExportAdaptors))
        return false;
    m_bus = bus;
    m_path = path;
    return true;
}

QList<int> DBusMenu::itemIds() const
{
    QList<int> ids{0};
    for (qsizetype i = 0; i < m_entries.size(); ++i)
        ids.append(int(i) + 1);
    return ids;
}

std::optional<QVariantMap> DBusMenu::properties(int id, const QStringList& names) const
{
    // Only values that differ from the protocol's defaults (a visible, enabled, standard item) are
    // sent, as the protocol asks.
    if (id == 0)
        return filtered({{QStringLiteral("children-display"), QStringLiteral("submenu")}}, names);
    if (id < 1 || id > m_entries.size())
        return std::nullopt;
    const StatusMenuEntry& entry = m_entries.at(id - 1);
    if (entry.separator)
        return filtered({{QStringLiteral("type"), QStringLiteral("separator")}}, names);
    // An underscore marks a mnemonic in dbusmenu labels; a literal one is doubled.
    QString label = entry.text;
    label.replace(QLatin1Char('_'), QStringLiteral("__"));
    return filtered({{QStringLiteral("label"), label}}, names);
}

std::optional<DBusMenuLayoutItem> DBusMenu::layout(int parentId, int depth, const QStringList& names) const
{
    const auto props = properties(parentId, names);
    if (!props)
        return std::nullopt;
    DBusMenuLayoutItem item{parentId, *props, {}};
    // Only the root has children; depth 0 asks for the item alone.
    if (parentId == 0 && depth != 0) {
        for (qsizetype i = 0; i < m_entries.size(); ++i)
            item.children.append(*layout(int(i) + 1, depth < 0 ? depth : depth - 1, names));
    }
    return item;
}

bool DBusMenu::handleEvent(int id, const QString& eventId)
{
    if (id < 0 || id > m_entries.size())
        return false;
    if (id > 0 && eventId == QLatin1String("clicked") && !m_entries.at(id - 1).separator)
        Q_EMIT actionTriggered(m_entries.at(id - 1).action);
    return true;
}

} // namespace rubbly

#include "DBusMenu.moc"
