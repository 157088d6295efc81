#include "ApplicationBus.h"

#include <QDBusAbstractAdaptor>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusReply>
#include <QDBusVariant>
#include <QEventLoop>

namespace rubbly {

namespace {

class ApplicationAdaptor final : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Application")
public:
    explicit ApplicationAdaptor(ApplicationBus* bus)
        : QDBusAbstractAdaptor(bus)
        , m_bus(bus)
    {
        setAutoRelaySignals(false);
    }

public Q_SLOTS:
    void Activate(const QVariantMap& platformData)
    {
        Q_UNUSED(platformData);
        Q_EMIT m_bus->togglePanelRequested();
    }

    void Open(const QStringList& uris, const QVariantMap& platformData)
    {
        // Rubbly opens no documents.
        Q_UNUSED(uris);
        Q_UNUSED(platformData);
    }

    void ActivateAction(const QString& actionName, const QVariantList& parameter, const QVariantMap& platformData)
    {
        Q_UNUSED(parameter);
        Q_UNUSED(platformData);
        m_bus->activateAction(actionName);
    }

private:
    ApplicationBus* m_bus;
};

} // namespace

ApplicationBus::ApplicationBus(QDBusConnection bus, QObject* parent)
    : QObject(parent)
    , m_bus(std::move(bus))
{
    new ApplicationAdaptor(this);
}

ApplicationBus::~ApplicationBus()
{
    if (m_owner)
        m_bus.unregisterService(kServiceName);
    if (m_exported)
        m_bus.unregisterObject(kObjectPath);
}

ApplicationBus::Claim ApplicationBus::claim()
{
    if (m_owner)
        return Claim::Primary;
    if (!m_bus.isConnected() || !m_bus.interface())
        return Claim::NoBus;
    // The object first: a request that arrives the moment the name is ours must find it.
    m_exported = m_bus.registerObject(kObjectPath, this, QDBusConnection::ExportAdaptors);
    if (!m_exported)
        return Claim::NoBus;
    const QDBusReply<QDBusConnectionInterface::RegisterServiceReply> reply = m_bus.interface()->registerService(
        kServiceName, QDBusConnectionInterface::DontQueueService, QDBusConnectionInterface::DontAllowReplacement);
    if (reply.isValid() && reply.value() == QDBusConnectionInterface::ServiceRegistered) {
        m_owner = true;
        return Claim::Primary;
    }
    m_bus.unregisterObject(kObjectPath);
    m_exported = false;
    return reply.isValid() ? Claim::AlreadyRunning : Claim::NoBus;
}

void ApplicationBus::activateAction(const QString& name)
{
    if (name == QLatin1String("toggle-panel"))
        Q_EMIT togglePanelRequested();
    else if (name == QLatin1String("settings"))
        Q_EMIT settingsRequested();
    else if (name == QLatin1String("empty-trash"))
        Q_EMIT emptyTrashRequested();
    else if (name == QLatin1String("trash-changed"))
        Q_EMIT trashChanged();
    // QtDBus keeps the context of a call to an adaptor on its parent, this object.
    else if (calledFromDBus())
        sendErrorReply(QDBusError::InvalidArgs, QStringLiteral("unknown action '%1'").arg(name));
}

Result<Done, ApplicationBus::Undelivered> ApplicationBus::send(QDBusConnection bus, ApplicationAction action,
                                                               std::chrono::milliseconds timeout)
{
    if (!bus.isConnected())
        return Undelivered{true, QStringLiteral("no session bus")};
    QDBusMessage call;
    if (action == ApplicationAction::Activate) {
        call = QDBusMessage::createMethodCall(kServiceName, kObjectPath, kInterface, QStringLiteral("Activate"));
        call << QVariantMap();
    } else {
        const QString name = action == ApplicationAction::TogglePanel    ? QStringLiteral("toggle-panel")
                             : action == ApplicationAction::Settings     ? QStringLiteral("settings")
                             : action == ApplicationAction::TrashChanged ? QStringLiteral("trash-changed")
                                                                         : QStringLiteral("empty-trash");
        call = QDBusMessage::createMethodCall(kServiceName, kObjectPath, kInterface, QStringLiteral("ActivateAction"));
        call << name << QVariantList() << QVariantMap();
    }
    // Nothing is activated by the bus for us: with no instance running, this process becomes it.
    call.setAutoStartService(false);

    // An event loop rather than a blocking call: the instance may live in this very process (tests),
    // and it must be able to answer.
    QDBusPendingCallWatcher watcher(bus.asyncCall(call, static_cast<int>(timeout.count())));
    if (!watcher.isFinished()) {
        QEventLoop loop;
        QObject::connect(&watcher, &QDBusPendingCallWatcher::finished, &loop, &QEventLoop::quit);
        loop.exec();
    }
    if (!watcher.isError())
        return Done{};
    const QDBusError failure = watcher.error();
    const bool nobody = failure.type() == QDBusError::ServiceUnknown ||
                        failure.name() == QLatin1String("org.freedesktop.DBus.Error.NameHasNoOwner");
    return Undelivered{nobody, failure.message()};
}

void ApplicationBus::announceTrashChange()
{
    if (qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS"))
        return;
    // Nobody may be listening, and the command's own outcome does not depend on it: a hung
    // instance costs the command a second at most.
    (void)send(QDBusConnection::sessionBus(), ApplicationAction::TrashChanged, std::chrono::seconds(1));
}

} // namespace rubbly

#include "ApplicationBus.moc"
