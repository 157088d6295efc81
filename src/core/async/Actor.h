#pragma once

#include <QObject>
#include <QString>
#include <QThreadPool>

#include <QCoroTask>

#include <chrono>
#include <coroutine>
#include <exception>
#include <functional>
#include <optional>
#include <type_traits>

namespace rubbly {

// A serial executor: the work given to run() executes on one private thread, one piece at a time, in the
// order it was submitted, and the awaiting coroutine resumes on its own thread afterwards.
//
// Declare an Actor as the last member of its owner, so it is destroyed first: the destructor waits for
// the piece that is running and discards everything still queued, so no work ever runs against a
// half-destroyed owner. Coroutines waiting for discarded work are never resumed.
class Actor final {
public:
    explicit Actor(const QString& name);
    ~Actor();

    Actor(const Actor&) = delete;
    Actor& operator=(const Actor&) = delete;

    // Runs `work` on the actor thread. The caller must be on a thread with an event loop.
    template <typename F> auto run(F work) -> QCoro::Task<std::invoke_result_t<F>>;

    // True when called from inside work this actor is running.
    bool isCurrent() const;

    // Discards the queued work and waits at most `limit` for the piece that is running; true when
    // none runs any more. For an owner that must not wait without bound (quitting): on false, the
    // actor (and whatever its running piece uses) must be left alive, not destroyed, because the
    // destructor waits for that piece.
    bool stop(std::chrono::milliseconds limit);

    const QString& name() const { return m_name; }

private:
    template <typename R, typename F> class Awaiter;

    void post(std::function<void()> job);
    // Queues `resume` to run on the thread of `receiver`, which the caller created there.
    static void resumeOn(QObject* receiver, std::coroutine_handle<> handle);

    QString m_name;
    QThreadPool m_pool;
};

template <typename R, typename F> class Actor::Awaiter {
public:
    Awaiter(Actor* actor, F work)
        : m_actor(actor)
        , m_work(std::move(work))
    {
    }

    bool await_ready() const noexcept { return false; }

    void await_suspend(std::coroutine_handle<> handle)
    {
        // Created here, so it belongs to the awaiting thread and the resumption is delivered there.
        auto* receiver = new QObject;
        m_actor->post([this, handle, receiver] {
            try {
                if constexpr (std::is_void_v<R>)
                    m_work();
                else
                    m_result.emplace(m_work());
            } catch (...) {
                m_error = std::current_exception();
            }
            resumeOn(receiver, handle);
        });
    }

    R await_resume()
    {
        if (m_error)
            std::rethrow_exception(m_error);
        if constexpr (!std::is_void_v<R>)
            return std::move(*m_result);
    }

private:
    struct Empty {};
    Actor* m_actor;
    F m_work;
    std::conditional_t<std::is_void_v<R>, Empty, std::optional<R>> m_result;
    std::exception_ptr m_error;
};

template <typename F> auto Actor::run(F work) -> QCoro::Task<std::invoke_result_t<F>>
{
    using R = std::invoke_result_t<F>;
    // A named awaiter, not a temporary: g++ 12 destroys non-trivial temporaries of a co_await
    // expression twice.
    Awaiter<R, F> awaiter(this, std::move(work));
    if constexpr (std::is_void_v<R>)
        co_await awaiter;
    else
        co_return co_await awaiter;
}

} // namespace rubbly
