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
    Q_PROPERTY(bool IsStatusNotifierHostRegistered READ isHostRegistered)
public:
    FakeStatusNotifierWatcher();
    ~FakeStatusNotifierWatcher() override { stop(); }

    bool start();
    void stop();

    struct Registration {
        QString sender;
        QString service;
    };
    QList<Registration> registrations;

    // When set, the watcher takes an item in as GNOME Shell's AppIndicator extension does before it
    // answers the registration: it reads all the item's properties, and when it was given a
    // well-known name, it also starts watching that name, whose first report (here arriving after
    // the properties, as when the shell is slower than the item) makes it forget Id and Menu and
    // read them again; a property read back while absent from what it holds is an error there that
    // drops the item. Then it needs a non-empty Id, a real menu and a status other than Passive,
    // and reads the menu's layout.
    bool inspectsLikeAppIndicator = false;
    struct Inspection {
        bool shown = false;
        QString problem;        // why the item was dropped or hidden
        QVariantMap properties; // as first read
        QStringList menu;       // the entries' labels, "-" for a separator
    };
    QList<Inspection> inspections;
    // The label as that extension (59) draws it: taken from GetAll but drawn only when a
    // XAyatanaNewLabel brings another value after the item was shown; one arriving earlier is dropped.
    QString drawnLabel;

    bool isHostRegistered() const { return true; }

public Q_SLOTS:
    void RegisterStatusNotifierItem(const QString& service);

Q_SIGNALS:
    void StatusNotifierItemRegistered(const QString& service);

private Q_SLOTS:
    void labelAnnounced(const QString& label);

private:
    Inspection inspect(const QString& service);

    QDBusConnection m_bus;
    bool m_running = false;
    bool m_itemShown = false;
    QString m_heldLabel;
};

} // namespace rubbly::test
