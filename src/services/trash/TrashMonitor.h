#pragma once

#include <QObject>
#include <QString>
#include <QThread>

namespace rubbly {

class Scheduler;
class Timer;

// Tells its owner that the home trash changed. An inotify watch (QFileSystemWatcher) on the trash's
// files/ folder runs on the thread "com.tolvik.binwell.monitor"; each burst of changes becomes one
// `changed` signal on the owner's thread, one second after the burst's last event.
class TrashMonitor final : public QObject {
    Q_OBJECT
public:
    // `watchedPath` is the home trash's files/ folder.
    TrashMonitor(Scheduler* scheduler, QString watchedPath, QObject* parent = nullptr);
    ~TrashMonitor() override;

    // Starts watching, after stopping any previous watch. A folder that cannot be watched leaves the
    // monitor idle, silently.
    void start();
    // Ends watching; a pending callback is dropped.
    void stop();
    // True while a watch is active.
    bool isWatching() const { return m_watching; }

    static constexpr std::chrono::milliseconds kDebounceInterval{1000};

Q_SIGNALS:
    // A debounced burst of changes ended, on the owner's thread.
    void changed();
    // Each raw change the watch reports, before debouncing (for diagnostics and tests).
    void eventReceived();

private:
    void eventArrived(quint64 generation);

    Scheduler* m_scheduler;
    QString m_watchedPath;
    QThread m_thread;
    QObject* m_threadContext = nullptr; // lives on m_thread
    QObject* m_watcher = nullptr;       // a QFileSystemWatcher on m_thread
    Timer* m_debounce = nullptr;
    quint64 m_generation = 0;
    bool m_watching = false;
};

} // namespace rubbly
