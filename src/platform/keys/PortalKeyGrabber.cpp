#include "PortalKeyGrabber.h"

#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusPendingCall>
#include <QPointer>

#include <QCoroDBusPendingCall>
#include <QCoroSignal>

#include <atomic>

namespace rubbly {

namespace {

const QString kPortalService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString kPortalPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString kShortcutsInterface = QStringLiteral("org.freedesktop.portal.GlobalShortcuts");
const QString kRequestInterface = QStringLiteral("org.freedesktop.portal.Request");
constexpr int kTimeoutMs = 30000; // the portal may show the user a dialog

// One entry of BindShortcuts' a(sa{sv}).
struct PortalShortcut {
    QString id;
    QVariantMap properties;
};

QDBusArgument& operator<<(QDBusArgument& argument, const PortalShortcut& shortcut)
{
    argument.beginStructure();
    argument << shortcut.id << shortcut.properties;
    argument.endStructure();
    return argument;
}

const QDBusArgument& operator>>(const QDBusArgument& argument, PortalShortcut& shortcut)
{
    argument.beginStructure();
    argument >> shortcut.id >> shortcut.properties;
    argument.endStructure();
    return argument;
}

// Request and session tokens, unique in the process: the portal derives object paths from them, and
// a path stays taken until its object is closed, whichever grabber asked for it.
QString nextToken(const char* prefix)
{
    static std::atomic<quint64> counter{0};
    return QStringLiteral("%1%2").arg(QLatin1String(prefix)).arg(++counter);
}

void closePortalSession(const QDBusConnection& bus, const QString& session)
{
    if (session.isEmpty())
        return;
    QDBusConnection(bus).asyncCall(QDBusMessage::createMethodCall(
        kPortalService, session, QStringLiteral("org.freedesktop.portal.Session"), QStringLiteral("Close")));
}

// Receives one Response signal of one request object.
class ResponseCatcher : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    std::optional<QVariantMap> results;
    bool answered = false;
Q_SIGNALS:
    void done();
public Q_SLOTS:
    void onResponse(uint response, const QVariantMap& results)
    {
        answered = true;
        if (response == 0)
            this->results = results;
        Q_EMIT done();
    }
};

} // namespace

} // namespace rubbly

Q_DECLARE_METATYPE(rubbly::PortalShortcut)

namespace rubbly {

PortalKeyGrabber::PortalKeyGrabber(QDBusConnection bus, QObject* parent)
    : KeyGrabber(parent)
    , m_bus(std::move(bus))
{
    // Without these registrations the marshalling of BindShortcuts, and the connection to the
    // Activated signal (whose slot names QDBusObjectPath), fail silently.
    qRegisterMetaType<QDBusObjectPath>();
    qDBusRegisterMetaType<PortalShortcut>();
    qDBusRegisterMetaType<QList<PortalShortcut>>();
}

PortalKeyGrabber::~PortalKeyGrabber()
{
    stop();
}

void PortalKeyGrabber::start()
{
    stop();
    if (!m_bus.isConnected() || !m_bus.interface() || !m_bus.interface()->isServiceRegistered(kPortalService).value()) {
        setStatus(Status::Unavailable);
        return;
    }
    m_bus.connect(kPortalService, kPortalPath, kShortcutsInterface, QStringLiteral("Activated"), this,
                  SLOT(onActivated(QDBusObjectPath, QString, qulonglong, QVariantMap)));
    open(++m_generation);
}

void PortalKeyGrabber::stop()
{
    ++m_generation;
    m_bus.disconnect(kPortalService, kPortalPath, kShortcutsInterface, QStringLiteral("Activated"), this,
                     SLOT(onActivated(QDBusObjectPath, QString, qulonglong, QVariantMap)));
    closeSession();
    setStatus(Status::Inactive);
}

void PortalKeyGrabber::closeSession()
{
    closePortalSession(m_bus, m_session);
    m_session.clear();
}

QCoro::Task<std::optional<QVariantMap>> PortalKeyGrabber::request(const QString& method, QVariantList arguments)
{
    const QString token = nextToken("rubbly");
    QString sender = m_bus.baseService().mid(1);
    sender.replace(QLatin1Char('.'), QLatin1Char('_'));
    const QString requestPath = QStringLiteral("/org/freedesktop/portal/desktop/request/%1/%2").arg(sender, token);

    auto catcher = std::make_unique<ResponseCatcher>();
    QDBusConnection bus = m_bus;
    bus.connect(kPortalService, requestPath, kRequestInterface, QStringLiteral("Response"), catcher.get(),
                SLOT(onResponse(uint, QVariantMap)));
    QVariantMap options = arguments.takeLast().toMap();
    options.insert(QStringLiteral("handle_token"), token);
    arguments.append(options);

    QDBusMessage call = QDBusMessage::createMethodCall(kPortalService, kPortalPath, kShortcutsInterface, method);
    call.setArguments(arguments);
    QDBusPendingCall pending = bus.asyncCall(call, kTimeoutMs);
    const QDBusMessage reply = co_await pending;
    if (reply.type() != QDBusMessage::ReplyMessage) {
        bus.disconnect(kPortalService, requestPath, kRequestInterface, QStringLiteral("Response"), catcher.get(),
                       SLOT(onResponse(uint, QVariantMap)));
        co_return std::nullopt;
    }
    if (!catcher->answered) {
        ResponseCatcher* raw = catcher.get();
        auto answer = qCoro(raw, &ResponseCatcher::done, std::chrono::milliseconds(kTimeoutMs));
        co_await answer;
    }
    bus.disconnect(kPortalService, requestPath, kRequestInterface, QStringLiteral("Response"), catcher.get(),
                   SLOT(onResponse(uint, QVariantMap)));
    co_return catcher->results;
}

namespace {

// Built outside the coroutine: g++ 12 rejects nested braced initialisers inside one.
QVariantList createSessionArguments()
{
    QVariantMap options;
    options.insert(QStringLiteral("session_handle_token"), nextToken("rubbly_session"));
    return {options};
}

// Portals have sent the handle both as a string and as an object path.
QString sessionHandle(const std::optional<QVariantMap>& results)
{
    const QVariant handle = results ? results->value(QStringLiteral("session_handle")) : QVariant();
    return handle.metaType() == QMetaType::fromType<QDBusObjectPath>() ? handle.value<QDBusObjectPath>().path()
                                                                       : handle.toString();
}

QVariantList bindShortcutsArguments(const QString& session)
{
    QVariantMap properties;
    properties.insert(QStringLiteral("description"), QCoreApplication::translate("Tray", "Empty the Trash"));
    properties.insert(QStringLiteral("preferred_trigger"), QStringLiteral("ALT+SHIFT+BackSpace"));
    QList<PortalShortcut> shortcuts;
    shortcuts.append(PortalShortcut{QString::fromLatin1(PortalKeyGrabber::kShortcutId), properties});
    return {QVariant::fromValue(QDBusObjectPath(session)), QVariant::fromValue(shortcuts), QString(), QVariantMap()};
}

} // namespace

QCoro::Task<void> PortalKeyGrabber::open(quint64 generation)
{
    QPointer<PortalKeyGrabber> self = this;
    const QDBusConnection bus = m_bus;
    // Named arguments, not temporaries: see Actor::run() on g++ 12 and co_await.
    const QString createMethod = QStringLiteral("CreateSession");
    QVariantList createArguments = createSessionArguments();
    const auto created = co_await request(createMethod, std::move(createArguments));
    const QString session = sessionHandle(created);
    if (!self || generation != m_generation) {
        // Stopped, restarted or destroyed meanwhile: nobody will close this session later, and left
        // open it would keep its shortcut bound to a dead attempt.
        closePortalSession(bus, session);
        co_return;
    }
    if (session.isEmpty()) {
        setStatus(Status::Unavailable);
        co_return;
    }
    m_session = session;

    const QString bindMethod = QStringLiteral("BindShortcuts");
    QVariantList bindArguments = bindShortcutsArguments(session);
    const auto bound = co_await request(bindMethod, std::move(bindArguments));
    if (!self || generation != m_generation)
        co_return;
    setStatus(bound ? Status::Active : Status::Conflict);
}

void PortalKeyGrabber::onActivated(const QDBusObjectPath& session, const QString& shortcutId, qulonglong,
                                   const QVariantMap&)
{
    if (m_status == Status::Active && session.path() == m_session && shortcutId == QLatin1String(kShortcutId))
        Q_EMIT activated();
}

void PortalKeyGrabber::setStatus(Status status)
{
    if (m_status == status)
        return;
    m_status = status;
    Q_EMIT statusChanged();
}

} // namespace rubbly

#include "PortalKeyGrabber.moc"
