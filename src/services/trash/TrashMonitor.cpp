#include "TrashMonitor.h"

#include "Scheduler.h"

#include <QFileSystemWatcher>

namespace rubbly {

TrashMonitor::TrashMonitor(Scheduler* scheduler, QString watchedPath, QObject* parent)
    : QObject(parent)
    , m_scheduler(scheduler)
    , m_watchedPath(std::move(watchedPath))
{
    m_thread.setObjectName(QStringLiteral("com.tolvik.binwell.monitor"));
    m_thread.start();
    m_threadContext = new QObject;
    m_threadContext->moveToThread(&m_thread);

    // The debounce runs on the owner's thread, on the injected clock, so that bursts are coalesced
    // in virtual time in tests and the callback needs no further hop.
    m_debounce = m_scheduler->createTimer(this);
    m_debounce->setSingleShot(true);
    connect(m_debounce, &Timer::timeout, this, [this] {
        if (m_watching)
            Q_EMIT changed();
    });
}

TrashMonitor::~TrashMonitor()
{
    stop();
    QMetaObject::invokeMethod(
        m_threadContext, [context = m_threadContext] { delete context; }, Qt::BlockingQueuedConnection);
    m_thread.quit();
    m_thread.wait();
}

void TrashMonitor::start()
{
    stop();
    const quint64 generation = ++m_generation;
    QFileSystemWatcher* watcher = nullptr;
    bool added = false;
    // The watcher is created, fed and later destroyed on the monitor thread, where it lives.
    QMetaObject::invokeMethod(
        m_threadContext,
        [&watcher, &added, path = m_watchedPath] {
            watcher = new QFileSystemWatcher;
            added = watcher->addPath(path);
        },
        Qt::BlockingQueuedConnection);
    if (!added) {
        const auto destroy = [watcher] { delete watcher; };
        QMetaObject::invokeMethod(m_threadContext, destroy, Qt::BlockingQueuedConnection);
        return;
    }
    // Queued to this thread: the signal comes from the monitor thread.
    connect(watcher, &QFileSystemWatcher::directoryChanged, this, [this, generation] { eventArrived(generation); });
    m_watcher = watcher;
    m_watching = true;
}

void TrashMonitor::stop()
{
    ++m_generation;
    m_watching = false;
    m_debounce->stop();
    if (QObject* watcher = std::exchange(m_watcher, nullptr)) {
        disconnect(watcher, nullptr, this, nullptr);
        const auto destroy = [watcher] { delete watcher; };
        QMetaObject::invokeMethod(m_threadContext, destroy, Qt::BlockingQueuedConnection);
    }
}

void TrashMonitor::eventArrived(quint64 generation)
{
    // Events queued by a watch that has since been stopped or replaced are stale.
    if (generation != m_generation || !m_watching)
        return;
    m_debounce->start(kDebounceInterval);
    Q_EMIT eventReceived();
}

} // namespace rubbly
