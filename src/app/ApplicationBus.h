#pragma once

#include "AppIdentity.h"
#include "Result.h"

#include <QDBusConnection>
#include <QDBusContext>
#include <QObject>

#include <chrono>

namespace rubbly {

// What an invocation of `rubbly` asks the tray application for.
enum class ApplicationAction {
    Activate,     // plain `rubbly`: start, or toggle the panel of the one that runs
    TogglePanel,  // --toggle-panel
    Settings,     // --settings
    EmptyTrash,   // --empty-trash: the menu's "清空废纸篓…", with its confirmation
    TrashChanged, // a trash command (put, empty, restore, rm) changed the Trash: scan it now
};

// The single-instance name com.tolvik.Rubbly and the org.freedesktop.Application interface at
// /com/tolvik/Rubbly, which desktops (and a second `rubbly`) use to reach the running program:
// Activate toggles the panel; ActivateAction takes "toggle-panel", "settings", "empty-trash" and
// "trash-changed".
class ApplicationBus final : public QObject, protected QDBusContext {
    Q_OBJECT
public:
    static inline const QString& kServiceName = kAppId;
    static inline const QString& kObjectPath = kAppObjectPath;
    static inline const QString kInterface = QStringLiteral("org.freedesktop.Application");

    enum class Claim {
        Primary,        // we own the name: this process is the application
        AlreadyRunning, // another process owns it
        NoBus,          // no session bus: run alone, unreachable
    };
    // Why a request did not reach the running instance.
    struct Undelivered {
        // Nobody owns the name (or there is no bus); otherwise the owner did not answer or refused.
        bool noInstance = false;
        QString why;
    };

    explicit ApplicationBus(QDBusConnection bus = QDBusConnection::sessionBus(), QObject* parent = nullptr);
    ~ApplicationBus() override;

    // Exports the interface, then asks for the name without queueing, so of two programs started
    // together exactly one becomes the application. The object is withdrawn again unless Primary.
    Claim claim();

    // Hands `action` to the instance that owns the name on `bus` and waits (events still run) for
    // its answer, at most `timeout` (long enough for an instance that is busy starting up): Done
    // when that instance took it.
    static Result<Done, Undelivered> send(QDBusConnection bus, ApplicationAction action,
                                          std::chrono::milliseconds timeout = std::chrono::seconds(10));
    // Tells a running instance, if any, that a command changed the Trash. Only over a session bus
    // the environment names: a command run from cron or a shell without one never starts a bus.
    static void announceTrashChange();

    // Called by the exported interface; an action name we do not know fails the call.
    void activateAction(const QString& name);

Q_SIGNALS:
    void togglePanelRequested();
    void settingsRequested();
    void emptyTrashRequested();
    void trashChanged();

private:
    QDBusConnection m_bus;
    bool m_exported = false;
    bool m_owner = false;
};

} // namespace rubbly
