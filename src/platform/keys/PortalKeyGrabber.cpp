#include "PortalKeyGrabber.h"

#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusMetaType>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusServiceWatcher>
#include <QFile>
#include <QPointer>
#include <QRegularExpression>

#include <atomic>
#include <utility>

namespace rubbly {

namespace {

const QString kPortalService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString kPortalPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString kShortcutsInterface = QStringLiteral("org.freedesktop.portal.GlobalShortcuts");
const QString kRequestInterface = QStringLiteral("org.freedesktop.portal.Request");
const QString kRegistryInterface = QStringLiteral("org.freedesktop.host.portal.Registry");
constexpr qint64 kCgroupLimit = 64 * 1024;

// Request answers (org.freedesktop.portal.Request.Response).
constexpr uint kCancelled = 1;

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

QDBusConnection privateSessionConnection()
{
    return QDBusConnection::connectToBus(QDBusConnection::SessionBus, nextToken("rubbly-portal-shortcuts-"));
}

void closePortalObject(const QDBusConnection& bus, const QString& path, const QString& interface)
{
    if (path.isEmpty())
        return;
    QDBusConnection(bus).asyncCall(
        QDBusMessage::createMethodCall(kPortalService, path, interface, QStringLiteral("Close")));
}

// Portals have sent object paths both as strings and as object paths.
QString pathOf(const QVariant& value)
{
    return value.metaType() == QMetaType::fromType<QDBusObjectPath>() ? value.value<QDBusObjectPath>().path()
                                                                      : value.toString();
}

// Closes the session of a CreateSession that was given up while the portal was still answering:
// left open, its shortcut would stay bound to nobody. Outlives the grabber that gave it up.
class SessionReaper final : public QObject {
    Q_OBJECT
public:
    SessionReaper(QDBusConnection bus, QString requestPath)
        : m_bus(std::move(bus))
        , m_requestPath(std::move(requestPath))
    {
        m_bus.connect(kPortalService, m_requestPath, kRequestInterface, QStringLiteral("Response"), this,
                      SLOT(onResponse(QDBusMessage)));
    }
public Q_SLOTS:
    void onResponse(const QDBusMessage& message)
    {
        const QVariantMap results = qdbus_cast<QVariantMap>(message.arguments().value(1));
        closePortalObject(m_bus, pathOf(results.value(QStringLiteral("session_handle"))),
                          QStringLiteral("org.freedesktop.portal.Session"));
        m_bus.disconnect(kPortalService, m_requestPath, kRequestInterface, QStringLiteral("Response"), this,
                         SLOT(onResponse(QDBusMessage)));
        deleteLater();
    }

private:
    QDBusConnection m_bus;
    QString m_requestPath;
};

// GNOME describes the trigger as a sentence around GTK's accelerator syntax ("Press
// <Shift><Alt>BackSpace"); the pane puts it into a sentence of its own, so only the keys are kept,
// written as KDE writes them ("Shift+Alt+BackSpace"). Other texts are the desktop's own and stay.
QString readableTrigger(const QString& text)
{
    static const QRegularExpression accelerator(QStringLiteral("((?:<[A-Za-z0-9_]+>)+)([^<>\\s]+)"));
    const QRegularExpressionMatch match = accelerator.match(text);
    if (!match.hasMatch())
        return text;
    QString modifiers = match.captured(1);
    modifiers.replace(QLatin1String("><"), QLatin1String("+"));
    return modifiers.mid(1, modifiers.size() - 2) + QLatin1Char('+') + match.captured(2);
}

bool isMissing(const QString& errorName)
{
    // No portal at all, or one without the interface (the desktop's backend lacks it).
    return errorName == QLatin1String("org.freedesktop.DBus.Error.ServiceUnknown") ||
           errorName == QLatin1String("org.freedesktop.DBus.Error.UnknownMethod") ||
           errorName == QLatin1String("org.freedesktop.DBus.Error.UnknownInterface") ||
           errorName == QLatin1String("org.freedesktop.DBus.Error.UnknownObject");
}

} // namespace

} // namespace rubbly

Q_DECLARE_METATYPE(rubbly::PortalShortcut)

namespace rubbly {

PortalKeyGrabber::PortalKeyGrabber(std::optional<QDBusConnection> bus, QString cgroupFile, QObject* parent)
    : KeyGrabber(parent)
    , m_bus(bus ? *bus : privateSessionConnection())
    , m_cgroupFile(std::move(cgroupFile))
    , m_watcher(new QDBusServiceWatcher(kPortalService, m_bus, QDBusServiceWatcher::WatchForOwnerChange, this))
{
    // Without these registrations the marshalling of BindShortcuts fails silently.
    qDBusRegisterMetaType<PortalShortcut>();
    qDBusRegisterMetaType<QList<PortalShortcut>>();
    // A portal that was missing may appear later (installed, or started by someone else); one that
    // ends takes our session with it, and the next one must hear from us again.
    connect(m_watcher, &QDBusServiceWatcher::serviceOwnerChanged, this,
            [this](const QString&, const QString&, const QString& owner) {
                if (!m_started)
                    return;
                if (owner.isEmpty()) {
                    m_registerAsked = false;
                    m_session.clear();
                    m_step = Step::None;
                    setStatus(Status::Unavailable);
                } else if (m_status == Status::Unavailable) {
                    start();
                }
            });
}

PortalKeyGrabber::~PortalKeyGrabber()
{
    stop();
    // The session, if any, is closed by then; the connection itself ends once the last request's
    // helper lets go of it.
    if (!m_bus.name().startsWith(QLatin1String("rubbly-portal-shortcuts-")))
        return;
    QDBusConnection::disconnectFromBus(m_bus.name());
}

QString PortalKeyGrabber::applicationIdFromCgroup(const QByteArray& cgroup)
{
    for (const QByteArray& line : cgroup.split('\n')) {
        QString unit = QString::fromUtf8(line.mid(line.lastIndexOf('/') + 1));
        if (!unit.startsWith(QLatin1String("app-")))
            continue;
        if (unit.endsWith(QLatin1String(".scope")))
            unit = unit.left(unit.lastIndexOf(QLatin1Char('-'))); // app-[LAUNCHER-]ID-RANDOM.scope
        else if (unit.endsWith(QLatin1String(".service")))
            unit =
                unit.left(unit.indexOf(QLatin1Char('@')) >= 0 ? unit.indexOf(QLatin1Char('@'))
                                                              : unit.size() - 8); // app-[LAUNCHER-]ID[@RANDOM].service
        else
            continue;
        QString id = unit.mid(unit.lastIndexOf(QLatin1Char('-')) + 1); // not const, so that it is moved out
        if (id.contains(QLatin1Char('.')))
            return id;
    }
    return {};
}

void PortalKeyGrabber::start()
{
    stop();
    m_started = true;
    m_bus.connect(kPortalService, kPortalPath, kShortcutsInterface, QStringLiteral("Activated"), this,
                  SLOT(onActivated(QDBusMessage)));
    m_bus.connect(kPortalService, kPortalPath, kShortcutsInterface, QStringLiteral("ShortcutsChanged"), this,
                  SLOT(onShortcutsChanged(QDBusMessage)));
    if (!m_bus.isConnected()) {
        setStatus(Status::Unavailable);
        return;
    }
    if (m_registerAsked)
        createSession();
    else
        registerApplication();
}

void PortalKeyGrabber::stop()
{
    m_started = false;
    ++m_generation;
    m_bus.disconnect(kPortalService, kPortalPath, kShortcutsInterface, QStringLiteral("Activated"), this,
                     SLOT(onActivated(QDBusMessage)));
    m_bus.disconnect(kPortalService, kPortalPath, kShortcutsInterface, QStringLiteral("ShortcutsChanged"), this,
                     SLOT(onShortcutsChanged(QDBusMessage)));
    if (m_step == Step::Create) {
        new SessionReaper(m_bus, m_requestPath);
        m_session.clear();
    } else if (m_step == Step::Bind) {
        // Withdraws the desktop's question, if it still shows one.
        closePortalObject(m_bus, m_requestPath, kRequestInterface);
    }
    finishRequest();
    closeSession();
    setStatus(Status::Inactive);
}

void PortalKeyGrabber::closeSession()
{
    if (m_session.isEmpty())
        return;
    // KDE names a caller without an application id after the session token and keeps that
    // component's key after the session ends: a session with a new token would find the key taken
    // by the old one and get none. So the next session takes this token again, once the portal has
    // let go of its path.
    const QString token = m_session.mid(m_session.lastIndexOf(QLatin1Char('/')) + 1);
    auto* watcher = new QDBusPendingCallWatcher(
        m_bus.asyncCall(QDBusMessage::createMethodCall(
            kPortalService, m_session, QStringLiteral("org.freedesktop.portal.Session"), QStringLiteral("Close"))),
        this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, watcher, token] {
        watcher->deleteLater();
        if (!watcher->isError())
            m_spareToken = token;
    });
    m_session.clear();
}

void PortalKeyGrabber::registerApplication()
{
    // The portal takes the id of a program of the host from the launcher's unit; one started from a
    // terminal has none, and desktops that ask the user then refuse it. Portals that know the
    // registry take the id from us, if it comes before any other call on this connection.
    m_registerAsked = true;
    m_step = Step::Register;
    QDBusMessage call =
        QDBusMessage::createMethodCall(kPortalService, kPortalPath, kRegistryInterface, QStringLiteral("Register"));
    call << QString::fromLatin1(kApplicationId) << QVariantMap();
    auto* watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, watcher, generation = m_generation] {
        watcher->deleteLater();
        if (generation != m_generation)
            return;
        m_step = Step::None;
        const QDBusMessage reply = watcher->reply();
        if (reply.errorName() == QLatin1String("org.freedesktop.DBus.Error.ServiceUnknown"))
            return onRequestFailed(reply);
        if (reply.type() == QDBusMessage::ReplyMessage) {
            m_anonymous = false;
        } else {
            QFile file(m_cgroupFile);
            m_anonymous = !file.open(QIODevice::ReadOnly) || applicationIdFromCgroup(file.read(kCgroupLimit)).isEmpty();
        }
        createSession();
    });
}

void PortalKeyGrabber::request(Step step, const QString& method, QVariantList arguments)
{
    const QString token = nextToken("rubbly");
    QString sender = m_bus.baseService().mid(1);
    sender.replace(QLatin1Char('.'), QLatin1Char('_'));
    m_requestPath = QStringLiteral("/org/freedesktop/portal/desktop/request/%1/%2").arg(sender, token);
    m_step = step;
    m_bus.connect(kPortalService, m_requestPath, kRequestInterface, QStringLiteral("Response"), this,
                  SLOT(onResponse(QDBusMessage)));
    QVariantMap options = arguments.takeLast().toMap();
    options.insert(QStringLiteral("handle_token"), token);
    arguments.append(options);

    QDBusMessage call = QDBusMessage::createMethodCall(kPortalService, kPortalPath, kShortcutsInterface, method);
    call.setArguments(arguments);
    auto* watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, watcher, generation = m_generation] {
        watcher->deleteLater();
        if (generation != m_generation || watcher->reply().type() == QDBusMessage::ReplyMessage)
            return;
        finishRequest();
        onRequestFailed(watcher->reply());
    });
}

void PortalKeyGrabber::finishRequest()
{
    if (!m_requestPath.isEmpty())
        m_bus.disconnect(kPortalService, m_requestPath, kRequestInterface, QStringLiteral("Response"), this,
                         SLOT(onResponse(QDBusMessage)));
    m_requestPath.clear();
    m_step = Step::None;
}

void PortalKeyGrabber::onRequestFailed(const QDBusMessage& reply)
{
    m_step = Step::None;
    // Nobody heard our Register: the portal that appears later must hear it first.
    if (reply.errorName() == QLatin1String("org.freedesktop.DBus.Error.ServiceUnknown"))
        m_registerAsked = false;
    if (isMissing(reply.errorName())) {
        m_session.clear(); // never made
        setStatus(Status::Unavailable);
    } else {
        setStatus(Status::RefusedByDesktop, reply.errorMessage());
    }
}

void PortalKeyGrabber::createSession()
{
    QVariantMap options;
    const QString token = m_spareToken.isEmpty() ? nextToken("rubbly_session") : std::exchange(m_spareToken, {});
    options.insert(QStringLiteral("session_handle_token"), token);
    // The session's path is known before the answer: a key press reported early is already ours.
    QString sender = m_bus.baseService().mid(1);
    sender.replace(QLatin1Char('.'), QLatin1Char('_'));
    m_session = QStringLiteral("/org/freedesktop/portal/desktop/session/%1/%2").arg(sender, token);
    request(Step::Create, QStringLiteral("CreateSession"), {options});
}

void PortalKeyGrabber::bindShortcuts()
{
    QVariantMap properties;
    properties.insert(QStringLiteral("description"), QCoreApplication::translate("Tray", "Empty the Trash"));
    properties.insert(QStringLiteral("preferred_trigger"), QStringLiteral("ALT+SHIFT+BackSpace"));
    QList<PortalShortcut> shortcuts;
    shortcuts.append(PortalShortcut{QString::fromLatin1(kShortcutId), properties});
    // Until the answer comes the desktop may be showing its dialog, for as long as the user reads it.
    setStatus(Status::Waiting);
    request(
        Step::Bind, QStringLiteral("BindShortcuts"),
        {QVariant::fromValue(QDBusObjectPath(m_session)), QVariant::fromValue(shortcuts), QString(), QVariantMap()});
}

void PortalKeyGrabber::onResponse(const QDBusMessage& message)
{
    if (!m_started || message.path() != m_requestPath)
        return;
    const uint response = message.arguments().value(0).toUInt();
    const QVariantMap results = qdbus_cast<QVariantMap>(message.arguments().value(1));
    const Step step = m_step;
    finishRequest();
    if (step == Step::Create) {
        const QString session = pathOf(results.value(QStringLiteral("session_handle")));
        if (response != 0 || session.isEmpty()) {
            m_session.clear();
            return setStatus(response == kCancelled ? Status::RefusedByUser : Status::RefusedByDesktop);
        }
        m_session = session;
        return bindShortcuts();
    }
    if (step == Step::Bind) {
        // GNOME answers 2 ("other") even after the user chose Add, with what it bound in the results:
        // those, not the code, say whether the key is ours.
        if (results.contains(QStringLiteral("shortcuts")))
            return judge(results.value(QStringLiteral("shortcuts")), response);
        setStatus(response == 0 ? Status::Active
                                : (response == kCancelled ? Status::RefusedByUser : Status::RefusedByDesktop));
    }
}

void PortalKeyGrabber::judge(const QVariant& shortcuts, uint response)
{
    const QList<PortalShortcut> list = qdbus_cast<QList<PortalShortcut>>(shortcuts);
    for (const PortalShortcut& shortcut : list) {
        if (shortcut.id == QLatin1String(kShortcutId))
            return setStatus(
                Status::Active,
                readableTrigger(shortcut.properties.value(QStringLiteral("trigger_description")).toString()));
    }
    setStatus(response == kCancelled ? Status::RefusedByUser : Status::RefusedByDesktop);
}

void PortalKeyGrabber::onShortcutsChanged(const QDBusMessage& message)
{
    if (!m_started || m_session.isEmpty() || pathOf(message.arguments().value(0)) != m_session)
        return;
    // 0: what the desktop binds now stands, whatever it answered before.
    judge(message.arguments().value(1), 0);
}

void PortalKeyGrabber::onActivated(const QDBusMessage& message)
{
    // Our session's key, whatever the answer to the bind was: GNOME sends presses of a key it bound
    // while its answer said otherwise, and may send one before its answer arrives. Other sessions'
    // presses (another program's, or ours from before a restart) are not ours to act on.
    const QList<QVariant> arguments = message.arguments();
    if (m_started && !m_session.isEmpty() && pathOf(arguments.value(0)) == m_session &&
        arguments.value(1).toString() == QLatin1String(kShortcutId))
        Q_EMIT activated();
}

void PortalKeyGrabber::setStatus(Status status, const QString& detail)
{
    if (m_status == status && m_detail == detail)
        return;
    m_status = status;
    m_detail = detail;
    Q_EMIT statusChanged();
}

} // namespace rubbly

#include "PortalKeyGrabber.moc"
