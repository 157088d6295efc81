#include "StatusNotifierItem.h"

#include "AppIdentity.h"
#include "DBusMenu.h"

#include <QCoreApplication>
#include <QDBusAbstractAdaptor>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusReply>
#include <QDBusServiceWatcher>
#include <QLoggingCategory>

#include <atomic>

namespace rubbly {

Q_LOGGING_CATEGORY(lcStatusItem, RUBBLY_APP_ID ".StatusItem")

namespace {

// The widest label the panel should make room for, so the item does not jump as the size changes.
const QString kLabelGuide = QStringLiteral("888.8 GB");
// A watcher that does not answer within this time is taken for absent rather than keeping the
// decision (tray or window) open for QtDBus's default 25 seconds.
constexpr int kCallTimeoutMs = 5000;
// Except for the registration itself: GNOME Shell's AppIndicator extension answers it only once the
// shell has finished starting, which after a login or with busy cores takes well over five seconds.
// Until then the item counts as not yet settled, so no window opens for a tray about to appear.
constexpr int kRegisterTimeoutMs = 60000;

std::atomic<int> g_itemCounter{0};

// org.kde.StatusNotifierItem with the Ayatana label extension.
class StatusNotifierItemAdaptor final : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierItem")
    Q_PROPERTY(QString Category READ category)
    Q_PROPERTY(QString Id READ id)
    Q_PROPERTY(QString Title READ title)
    Q_PROPERTY(QString Status READ status)
    Q_PROPERTY(int WindowId READ windowId)
    Q_PROPERTY(QString IconName READ iconName)
    Q_PROPERTY(QString IconThemePath READ iconThemePath)
    Q_PROPERTY(QList<rubbly::StatusIconPixmap> IconPixmap READ iconPixmap)
    Q_PROPERTY(QString OverlayIconName READ emptyName)
    Q_PROPERTY(QList<rubbly::StatusIconPixmap> OverlayIconPixmap READ noPixmaps)
    Q_PROPERTY(QString AttentionIconName READ emptyName)
    Q_PROPERTY(QList<rubbly::StatusIconPixmap> AttentionIconPixmap READ noPixmaps)
    Q_PROPERTY(QString AttentionMovieName READ emptyName)
    Q_PROPERTY(rubbly::StatusToolTip ToolTip READ toolTip)
    Q_PROPERTY(bool ItemIsMenu READ itemIsMenu)
    Q_PROPERTY(QDBusObjectPath Menu READ menu)
    Q_PROPERTY(QString XAyatanaLabel READ label)
    Q_PROPERTY(QString XAyatanaLabelGuide READ labelGuide)
    Q_PROPERTY(uint XAyatanaOrderingIndex READ orderingIndex)
public:
    explicit StatusNotifierItemAdaptor(StatusNotifierItem* item)
        : QDBusAbstractAdaptor(item)
        , m_item(item)
    {
        setAutoRelaySignals(false);
        connect(item, &StatusNotifierItem::newLabel, this, &StatusNotifierItemAdaptor::XAyatanaNewLabel);
        connect(item, &StatusNotifierItem::newToolTip, this, &StatusNotifierItemAdaptor::NewToolTip);
        connect(item, &StatusNotifierItem::newIcon, this, &StatusNotifierItemAdaptor::NewIcon);
        connect(item, &StatusNotifierItem::newStatus, this, &StatusNotifierItemAdaptor::NewStatus);
    }

    QString category() const { return QStringLiteral("ApplicationStatus"); }
    QString id() const { return kAppId; }
    QString title() const { return kAppName; }
    QString status() const { return StatusNotifierItem::statusText(m_item->itemStatus()); }
    int windowId() const { return 0; }
    QString iconName() const { return m_item->icon().name; }
    QString iconThemePath() const { return m_item->icon().themePath; }
    StatusIconPixmapList iconPixmap() const { return m_item->icon().pixmaps; }
    QString emptyName() const { return {}; }
    StatusIconPixmapList noPixmaps() const { return {}; }
    StatusToolTip toolTip() const { return m_item->toolTip(); }
    // False: a click is Activate (the panel), the menu is for the secondary button.
    bool itemIsMenu() const { return false; }
    QDBusObjectPath menu() const { return QDBusObjectPath(StatusNotifierItem::kMenuPath); }
    QString label() const { return m_item->label(); }
    QString labelGuide() const { return kLabelGuide; }
    // No preference among the host's items.
    uint orderingIndex() const { return 0; }

public Q_SLOTS:
    void Activate(int x, int y) { m_item->handleActivate(x, y); }
    void SecondaryActivate(int x, int y)
    {
        Q_UNUSED(x);
        Q_UNUSED(y);
    }
    void ContextMenu(int x, int y) { m_item->handleContextMenu(x, y); }
    void Scroll(int delta, const QString& orientation)
    {
        Q_UNUSED(delta);
        Q_UNUSED(orientation);
    }
    void ProvideXdgActivationToken(const QString& token) { m_item->handleActivationToken(token); }

Q_SIGNALS:
    void NewTitle();
    void NewIcon();
    void NewAttentionIcon();
    void NewOverlayIcon();
    void NewToolTip();
    void NewStatus(const QString& status);
    void XAyatanaNewLabel(const QString& label, const QString& guide);

private:
    StatusNotifierItem* m_item;
};

} // namespace

StatusNotifierItem::StatusNotifierItem(QDBusConnection bus, QObject* parent)
    : StatusItem(parent)
    , m_bus(std::move(bus))
    , m_menu(std::make_unique<DBusMenu>())
{
    registerStatusNotifierTypes();
    new StatusNotifierItemAdaptor(this);
    connect(m_menu.get(), &DBusMenu::actionTriggered, this, &StatusItem::menuActionTriggered);
    // GNOME's AppIndicator extension (59, GNOME 48) draws the label only when XAyatanaNewLabel brings
    // a value other than the one it holds, after it has shown the item: a label that does not change
    // is never drawn, and one announced before its GetAll was applied is dropped. It shows the item,
    // then builds the menu, which starts with a GetLayout of the root; so does every later showing
    // (extension switched back on, a restarted shell or watcher, a reset on registering again). That
    // request is our moment to say the label again. Version 46 (GNOME 43) draws the label at once
    // and takes the repeat as a no-op; KDE and XFCE ignore the label; MATE redraws the same text.
    connect(m_menu.get(), &DBusMenu::rootLayoutRead, this, [this] { announce(Change::LabelAgain); });
}

StatusNotifierItem::~StatusNotifierItem()
{
    // Dropping the name is what tells the watcher the item is gone.
    if (!m_serviceName.isEmpty())
        m_bus.unregisterService(m_serviceName);
    if (m_objectExported)
        m_bus.unregisterObject(kItemPath);
}

QString StatusNotifierItem::statusText(ItemStatus status)
{
    switch (status) {
    case ItemStatus::Passive:
        return QStringLiteral("Passive");
    case ItemStatus::Active:
        return QStringLiteral("Active");
    case ItemStatus::NeedsAttention:
        return QStringLiteral("NeedsAttention");
    }
    return QStringLiteral("Active");
}

bool StatusNotifierItem::start()
{
    if (m_started)
        return m_objectExported;
    m_started = true;
    if (!m_bus.isConnected()) {
        qCInfo(lcStatusItem) << "no session bus: the status item cannot be shown";
        return false;
    }
    if (!m_bus.registerObject(kItemPath, this, QDBusConnection::ExportAdaptors)) {
        qCWarning(lcStatusItem) << "cannot export" << kItemPath << "on the session bus";
        return false;
    }
    m_objectExported = true;
    if (!m_menu->exportOn(m_bus, kMenuPath)) {
        qCWarning(lcStatusItem) << "cannot export the status item's menu at" << kMenuPath;
        return false;
    }
    const QString name = QStringLiteral("org.kde.StatusNotifierItem-%1-%2")
                             .arg(QCoreApplication::applicationPid())
                             .arg(g_itemCounter.fetch_add(1) + 1);
    if (!m_bus.registerService(name)) {
        qCWarning(lcStatusItem) << "cannot own" << name << "on the session bus";
        return false;
    }
    m_serviceName = name;

    // Watch before asking, so a watcher that starts in between is not missed.
    m_watcherWatch =
        std::make_unique<QDBusServiceWatcher>(kWatcherService, m_bus, QDBusServiceWatcher::WatchForOwnerChange);
    connect(m_watcherWatch.get(), &QDBusServiceWatcher::serviceOwnerChanged, this,
            [this](const QString&, const QString&, const QString& newOwner) { onWatcherOwnerChanged(newOwner); });
    m_bus.connect(kWatcherService, kWatcherPath, kWatcherService, QStringLiteral("StatusNotifierHostRegistered"), this,
                  SLOT(onHostRegistered()));
    m_bus.connect(kWatcherService, kWatcherPath, kWatcherService, QStringLiteral("StatusNotifierHostUnregistered"),
                  this, SLOT(onHostUnregistered()));

    const QDBusReply<bool> present = m_bus.interface()->isServiceRegistered(kWatcherService);
    if (present.isValid() && present.value()) {
        m_hasWatcher = true;
        Q_EMIT watcherChanged();
        registerWithWatcher();
    }
    return true;
}

void StatusNotifierItem::announce(Change change)
{
    // While a watcher is taking the item in, its host reads every property: a change signal then
    // arrives before the host has values to compare with (GNOME's extension throws on it). It goes
    // out once the registration is answered.
    if (m_pending) {
        m_heldChanges |= change;
        return;
    }
    switch (change) {
    case Change::Label:
        Q_EMIT newLabel(m_label, kLabelGuide);
        break;
    case Change::ToolTip:
        Q_EMIT newToolTip();
        break;
    case Change::Icon:
        Q_EMIT newIcon();
        break;
    case Change::Status:
        Q_EMIT newStatus(statusText(m_status));
        break;
    case Change::LabelAgain:
        // The extension compares with the value it holds, which is ours already: a passing value,
        // drawn the same (a zero-width space after the text), makes the real one a change. It keeps
        // the last of values arriving within one frame, so the bar never shows the passing one.
        if (!m_label.isEmpty()) {
            Q_EMIT newLabel(m_label + QChar(0x200B), kLabelGuide);
            Q_EMIT newLabel(m_label, kLabelGuide);
        }
        break;
    }
}

void StatusNotifierItem::sendHeldChanges()
{
    Changes held = m_heldChanges;
    m_heldChanges = {};
    if (held.testFlag(Change::LabelAgain))
        held.setFlag(Change::Label, false); // said again anyway
    for (const Change change : {Change::Label, Change::ToolTip, Change::Icon, Change::Status, Change::LabelAgain}) {
        if (held.testFlag(change))
            announce(change);
    }
}

void StatusNotifierItem::onWatcherOwnerChanged(const QString& newOwner)
{
    // A new owner is a new watcher (a restarted panel): it knows nothing of us, so register again.
    // The registration is under way before watcherChanged() goes out, so nobody sees a moment with
    // a watcher, no item and nothing pending.
    ++m_generation;
    const bool hadWatcher = m_hasWatcher;
    m_hasWatcher = !newOwner.isEmpty();
    if (m_hasWatcher)
        registerWithWatcher();
    else
        setRegistration(false, false, false);
    if (m_hasWatcher != hadWatcher)
        Q_EMIT watcherChanged();
}

void StatusNotifierItem::registerWithWatcher()
{
    const quint64 generation = ++m_generation;
    setRegistration(false, false, true);
    QDBusMessage call = QDBusMessage::createMethodCall(kWatcherService, kWatcherPath, kWatcherService,
                                                       QStringLiteral("RegisterStatusNotifierItem"));
    // Registered under the connection's unique name, not the well-known one. GNOME's AppIndicator
    // extension watches a well-known name it is given, and when that watch reports the name after the
    // host already read the item's properties (our answer overtaking the host's own request, as
    // happens when the shell is slower than we are: just after it starts, or on a cold morning), it
    // forgets the item's Id and Menu, fails to read them again and drops the item for good. A unique
    // name (which every watcher accepts as a bus name) makes it follow the connection instead.
    call << m_bus.baseService();
    auto* watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call, kRegisterTimeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, watcher, generation] {
        watcher->deleteLater();
        if (generation != m_generation)
            return;
        if (watcher->isError()) {
            qCInfo(lcStatusItem) << "the status notifier watcher refused the item:" << watcher->error().message();
            setRegistration(false, false, false);
            return;
        }
        qCDebug(lcStatusItem) << "registered" << m_bus.baseService() << "with the status notifier watcher";
        m_registered = true;
        queryHost();
    });
}

void StatusNotifierItem::queryHost()
{
    const quint64 generation = m_generation;
    QDBusMessage call = QDBusMessage::createMethodCall(
        kWatcherService, kWatcherPath, QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
    call << kWatcherService << QStringLiteral("IsStatusNotifierHostRegistered");
    auto* watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call, kCallTimeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, watcher, generation] {
        watcher->deleteLater();
        if (generation != m_generation)
            return;
        const QDBusPendingReply<QDBusVariant> reply = *watcher;
        // A watcher without the property is taken at its word: it exists to serve hosts.
        const bool host = reply.isError() || reply.value().variant().toBool();
        setRegistration(m_registered, m_registered && host, false);
    });
}

void StatusNotifierItem::onHostRegistered()
{
    if (m_registered)
        setRegistration(true, true, m_pending);
}

void StatusNotifierItem::onHostUnregistered()
{
    // Other hosts may remain; only the watcher knows.
    if (m_registered)
        queryHost();
}

void StatusNotifierItem::setRegistration(bool registered, bool hostRegistered, bool pending)
{
    const bool wasShown = isShown();
    const bool wasSettled = isSettled();
    m_registered = registered;
    m_hostRegistered = hostRegistered;
    m_pending = pending;
    if (!m_pending)
        sendHeldChanges();
    if (isShown() != wasShown || isSettled() != wasSettled)
        Q_EMIT shownChanged();
}

void StatusNotifierItem::setLabel(const QString& text)
{
    if (text == m_label)
        return;
    m_label = text;
    announce(Change::Label);
    announce(Change::ToolTip);
}

void StatusNotifierItem::setIcon(const Icon& icon)
{
    if (icon == m_icon)
        return;
    const bool nameChanged = icon.name != m_icon.name;
    m_icon = icon;
    announce(Change::Icon);
    if (nameChanged)
        announce(Change::ToolTip); // the tooltip carries the icon's name too
}

void StatusNotifierItem::setItemStatus(ItemStatus status)
{
    if (status == m_status)
        return;
    m_status = status;
    announce(Change::Status);
}

StatusToolTip StatusNotifierItem::toolTip() const
{
    // Hosts without the label extension (KDE, XFCE) show the label here: title "Rubbly", the size below.
    return {m_icon.name, {}, kAppName, m_label};
}

void StatusNotifierItem::handleActivate(int x, int y)
{
    Q_EMIT activated(QPoint(x, y), true);
}

void StatusNotifierItem::handleContextMenu(int x, int y)
{
    Q_EMIT contextMenuRequested(QPoint(x, y));
}

} // namespace rubbly

#include "StatusNotifierItem.moc"
