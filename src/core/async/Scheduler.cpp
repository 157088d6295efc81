#include "Scheduler.h"

#include <QTimer>

#include <coroutine>

namespace rubbly {

Cancellation::~Cancellation()
{
    cancel();
}

void Cancellation::cancel()
{
    if (m_cancelled)
        return;
    m_cancelled = true;
    Q_EMIT cancelled();
}

namespace {

// Resumes the sleeping coroutine on whichever comes first: the timer, or the cancellation.
class SleepAwaiter {
public:
    SleepAwaiter(Timer* timer, Cancellation* cancellation)
        : m_timer(timer)
        , m_cancellation(cancellation)
    {
    }

    bool await_ready() const noexcept { return false; }

    void await_suspend(std::coroutine_handle<> handle)
    {
        m_handle = handle;
        m_timerConnection = QObject::connect(m_timer, &Timer::timeout, m_timer, [this] { finish(false); });
        if (m_cancellation)
            m_cancelConnection =
                QObject::connect(m_cancellation, &Cancellation::cancelled, m_timer, [this] { finish(true); });
    }

    bool await_resume() const noexcept { return !m_cancelled; }

private:
    void finish(bool cancelled)
    {
        QObject::disconnect(m_timerConnection);
        QObject::disconnect(m_cancelConnection);
        m_cancelled = cancelled;
        m_handle.resume();
    }

    Timer* m_timer;
    Cancellation* m_cancellation;
    std::coroutine_handle<> m_handle;
    QMetaObject::Connection m_timerConnection;
    QMetaObject::Connection m_cancelConnection;
    bool m_cancelled = false;
};

struct DeleteLater {
    void operator()(QObject* object) const
    {
        // The timer may be the sender of the signal that resumed us: never delete it in place.
        object->deleteLater();
    }
};

class SystemTimer final : public Timer {
public:
    explicit SystemTimer(QObject* parent)
        : Timer(parent)
    {
        m_timer.setTimerType(Qt::PreciseTimer);
        connect(&m_timer, &QTimer::timeout, this, [this] {
            if (isSingleShot())
                m_timer.stop();
            Q_EMIT timeout();
        });
    }

    void start(std::chrono::milliseconds interval) override { m_timer.start(interval); }
    void stop() override { m_timer.stop(); }
    bool isActive() const override { return m_timer.isActive(); }

private:
    QTimer m_timer;
};

} // namespace

QCoro::Task<bool> Scheduler::sleep(std::chrono::milliseconds duration, Cancellation* cancellation)
{
    if (cancellation && cancellation->isCancelled())
        co_return false;
    std::unique_ptr<Timer, DeleteLater> timer(createTimer(nullptr));
    timer->setSingleShot(true);
    timer->start(duration);
    const bool completed = co_await SleepAwaiter(timer.get(), cancellation);
    timer->stop();
    co_return completed;
}

void Scheduler::singleShot(std::chrono::milliseconds duration, QObject* context, std::function<void()> callback)
{
    Timer* timer = createTimer(context);
    timer->setSingleShot(true);
    connect(timer, &Timer::timeout, context, [timer, callback = std::move(callback)] {
        timer->deleteLater();
        callback();
    });
    timer->start(duration);
}

namespace {

// Scheduler on the system clock and QTimer.
class SystemScheduler final : public Scheduler {
public:
    using Scheduler::Scheduler;

    Timestamp now() const override
    {
        return std::chrono::time_point_cast<std::chrono::microseconds>(std::chrono::system_clock::now());
    }
    Timer* createTimer(QObject* parent) override { return new SystemTimer(parent); }
};

} // namespace

Scheduler* Scheduler::system()
{
    static SystemScheduler* instance = new SystemScheduler;
    return instance;
}

} // namespace rubbly
