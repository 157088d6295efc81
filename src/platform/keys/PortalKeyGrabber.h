#pragma once

#include "KeyGrabber.h"

#include <QDBusConnection>
#include <QDBusObjectPath>
#include <QVariantMap>

#include <QCoroTask>

namespace rubbly {

// The combination through the desktop portal's GlobalShortcuts interface (Wayland sessions):
// CreateSession, then BindShortcuts with the preferred trigger, then Activated signals. Each
// request's Response is subscribed to before the request is made, as the portal documentation
// requires, so a fast answer is never missed.
class PortalKeyGrabber final : public KeyGrabber {
    Q_OBJECT
public:
    explicit PortalKeyGrabber(QDBusConnection bus = QDBusConnection::sessionBus(), QObject* parent = nullptr);
    ~PortalKeyGrabber() override;

    void start() override;
    void stop() override;
    Status status() const override { return m_status; }

    static constexpr const char* kShortcutId = "empty-trash";

private Q_SLOTS:
    void onActivated(const QDBusObjectPath& session, const QString& shortcutId, qulonglong timestamp,
                     const QVariantMap& options);

private:
    QCoro::Task<void> open(quint64 generation);
    // Calls `method` with `arguments` (its last one the options holding a fresh handle_token) and
    // waits for the Response of the request: the results, or nothing when refused or failed.
    QCoro::Task<std::optional<QVariantMap>> request(const QString& method, QVariantList arguments);
    void setStatus(Status status);
    void closeSession();

    QDBusConnection m_bus;
    QString m_session;
    Status m_status = Status::Inactive;
    quint64 m_generation = 0;
};

} // namespace rubbly
