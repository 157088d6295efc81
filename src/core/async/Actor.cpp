#include "Actor.h"

#include <QMetaObject>
#include <QThread>

#include <algorithm>
#include <climits>

namespace rubbly {

namespace {
thread_local const Actor* t_currentActor = nullptr;
}

Actor::Actor(const QString& name)
    : m_name(name)
{
    m_pool.setMaxThreadCount(1);
    // Keep the one thread for the actor's lifetime instead of re-creating it after idle periods.
    m_pool.setExpiryTimeout(-1);
    m_pool.setObjectName(name);
}

Actor::~Actor()
{
    m_pool.clear();
    m_pool.waitForDone();
}

bool Actor::stop(std::chrono::milliseconds limit)
{
    m_pool.clear();
    return m_pool.waitForDone(static_cast<int>(std::min<std::chrono::milliseconds::rep>(limit.count(), INT_MAX)));
}

bool Actor::isCurrent() const
{
    return t_currentActor == this;
}

void Actor::post(std::function<void()> job)
{
    m_pool.start([this, job = std::move(job)] {
        if (QThread::currentThread()->objectName().isEmpty())
            QThread::currentThread()->setObjectName(m_name);
        t_currentActor = this;
        job();
        t_currentActor = nullptr;
    });
}

void Actor::resumeOn(QObject* receiver, std::coroutine_handle<> handle)
{
    QMetaObject::invokeMethod(
        receiver,
        [receiver, handle] {
            receiver->deleteLater();
            handle.resume();
        },
        Qt::QueuedConnection);
}

} // namespace rubbly
