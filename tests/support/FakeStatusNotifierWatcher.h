#pragma once

#include <QDBusConnection>
#include <QDBusContext>
#include <QObject>
#include <QStringList>

namespace rubbly::test {

// An org.kde.StatusNotifierWatcher on a bus connection of its own, so registrations really cross
// the bus. start() takes the well-known name (as a panel starting does), stop() drops it (a panel
// exiting); a restart is stop() then start().
class FakeStatusNotifierWatcher : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierWatcher")
    Q_PROPERTY(QStringList RegisteredStatusNotifierItems READ registeredItems)
    Q_PROPERTY(bool IsStatusNotifierHostRegistered READ isHostRegistered)
    Q_PROPERTY(int ProtocolVersion READ protocolVersion)
public:
    explicit FakeStatusNotifierWatcher(bool hostRegistered = true);
    ~FakeStatusNotifierWatcher() override;

    bool start();
    void stop();
    // Changes the host state and sends StatusNotifierHostRegistered / ...Unregistered.
    void setHostRegistered(bool registered);

    struct Registration {
        QString sender;
        QString service;
    };
    QList<Registration> registrations;

    QStringList registeredItems() const;
    bool isHostRegistered() const { return m_hostRegistered; }
    int protocolVersion() const { return 0; }

public Q_SLOTS:
    void RegisterStatusNotifierItem(const QString& service);

Q_SIGNALS:
    void StatusNotifierItemRegistered(const QString& service);
    void StatusNotifierHostRegistered();
    void StatusNotifierHostUnregistered();

private:
    QDBusConnection m_bus;
    bool m_hostRegistered;
    bool m_running = false;
};

// Records a D-Bus signal as another program on the bus sees it.
class DBusSignalRecorder : public QObject {
    Q_OBJECT
public:
    DBusSignalRecorder(QDBusConnection bus, const QString& service, const QString& path, const QString& interface,
                       const QString& name);
    QList<QList<QVariant>> received;

public Q_SLOTS:
    void record(const QDBusMessage& message);
};

} // namespace rubbly::test
