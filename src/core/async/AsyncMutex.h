#pragma once

#include <QObject>
#include <QPointer>

#include <coroutine>
#include <deque>

namespace rubbly {

// Lets coroutines on one thread take turns: `auto guard = co_await mutex.lock();` resumes when every
// earlier holder has let go. Waiters resume in arrival order, each in a later event-loop turn. A
// mutex destroyed with waiters never resumes them.
class AsyncMutex final {
public:
    class Guard {
    public:
        explicit Guard(AsyncMutex* mutex)
            : m_owner(mutex ? &mutex->m_context : nullptr)
            , m_mutex(mutex)
        {
        }
        Guard(Guard&& other) noexcept
            : m_owner(std::move(other.m_owner))
            , m_mutex(std::exchange(other.m_mutex, nullptr))
        {
        }
        Guard(const Guard&) = delete;
        Guard& operator=(const Guard&) = delete;
        Guard& operator=(Guard&&) = delete;
        ~Guard()
        {
            // The mutex's owner may have gone while we held it.
            if (m_mutex && m_owner)
                m_mutex->unlock();
        }

    private:
        QPointer<QObject> m_owner;
        AsyncMutex* m_mutex;
    };

    class Awaiter {
    public:
        explicit Awaiter(AsyncMutex* mutex)
            : m_mutex(mutex)
        {
        }
        bool await_ready() const noexcept
        {
            if (m_mutex->m_locked)
                return false;
            m_mutex->m_locked = true;
            return true;
        }
        void await_suspend(std::coroutine_handle<> handle) { m_mutex->m_waiters.push_back(handle); }
        Guard await_resume() const noexcept { return Guard(m_mutex); }

    private:
        AsyncMutex* m_mutex;
    };

    AsyncMutex() = default;
    AsyncMutex(const AsyncMutex&) = delete;
    AsyncMutex& operator=(const AsyncMutex&) = delete;

    Awaiter lock() { return Awaiter(this); }

private:
    void unlock()
    {
        if (m_waiters.empty()) {
            m_locked = false;
            return;
        }
        // Ownership passes straight to the next waiter, resumed from the event loop so a long chain
        // of waiters does not grow the stack.
        const std::coroutine_handle<> next = m_waiters.front();
        m_waiters.pop_front();
        const auto resume = [next] { next.resume(); };
        QMetaObject::invokeMethod(&m_context, resume, Qt::QueuedConnection);
    }

    QObject m_context;
    std::deque<std::coroutine_handle<>> m_waiters;
    bool m_locked = false;
};

} // namespace rubbly
