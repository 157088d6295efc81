#pragma once

#include "KeyGrabber.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QVariantMap>

class QDBusServiceWatcher;

namespace rubbly {

// The combination through the desktop portal's GlobalShortcuts interface (Wayland sessions):
// Registry.Register where the portal has it, CreateSession, BindShortcuts with the preferred trigger,
// then Activated signals. Each request's Response is subscribed to before the request is made, as
// the portal documentation requires, so a fast answer is never missed; the answer may take as long
// as the user reads the desktop's dialog.
//
// The portal learns who calls from the first call on a connection and keeps that for the
// connection's life, and Qt's own theme code may already have called it on the shared session
// connection: so the grabber talks over a connection of its own whose first call is Register.
class PortalKeyGrabber final : public KeyGrabber {
    Q_OBJECT
public:
    // Without a connection, the grabber opens a private one to the session bus.
    explicit PortalKeyGrabber(std::optional<QDBusConnection> bus = std::nullopt,
                              QString cgroupFile = QStringLiteral("/proc/self/cgroup"), QObject* parent = nullptr);
    ~PortalKeyGrabber() override;

    void start() override;
    void stop() override;
    Status status() const override { return m_status; }
    QString detail() const override { return m_detail; }
    bool anonymous() const override { return m_anonymous; }

    static constexpr const char* kShortcutId = "empty-trash";
    static constexpr const char* kApplicationId = "com.tolvik.Rubbly";

    // The application id a launcher gave through the unit in `cgroup` (the text of /proc/PID/cgroup):
    // "app-gnome-com.tolvik.Rubbly-4242.scope", "app-com.tolvik.Rubbly@1.service"; empty when none.
    static QString applicationIdFromCgroup(const QByteArray& cgroup);

private Q_SLOTS:
    // Whole messages: the sender's path tells a request's answer from a late one of an older request.
    void onActivated(const QDBusMessage& message);
    void onShortcutsChanged(const QDBusMessage& message);
    void onResponse(const QDBusMessage& message);

private:
    enum class Step { None, Register, Create, Bind };

    void registerApplication();
    void createSession();
    void bindShortcuts();
    // Calls `method` with `arguments`, the last one the options, to which a fresh handle_token is added.
    void request(Step step, const QString& method, QVariantList arguments);
    void onRequestFailed(const QDBusMessage& reply);
    void finishRequest();
    void judge(const QVariant& shortcuts, uint response);
    void abandonSession();
    void closeSession();
    void setStatus(Status status, const QString& detail = {});

    QDBusConnection m_bus;
    QString m_cgroupFile;
    QDBusServiceWatcher* m_watcher;
    bool m_started = false;
    bool m_registerAsked = false;
    bool m_anonymous = false;
    quint64 m_generation = 0;
    Step m_step = Step::None;
    QString m_requestPath;
    QString m_session;
    // The token of our last session that the portal has closed: the next session takes it again.
    QString m_spareToken;
    Status m_status = Status::Inactive;
    QString m_detail;
};

} // namespace rubbly
