#include "VirtualScheduler.h"

#include <QCoreApplication>

namespace rubbly::test {

class VirtualTimer final : public Timer {
public:
    VirtualTimer(VirtualScheduler* scheduler, QObject* parent)
        : Timer(parent)
        , m_scheduler(scheduler)
    {
    }

    void start(std::chrono::milliseconds interval) override
    {
        m_interval = std::max(interval, std::chrono::milliseconds(0));
        m_due = m_scheduler->now() + m_interval;
        m_sequence = ++m_scheduler->m_sequence;
        m_active = true;
    }
    void stop() override { m_active = false; }
    bool isActive() const override { return m_active; }

    void fire()
    {
        if (isSingleShot()) {
            m_active = false;
        } else {
            // A zero-interval repeating timer would fire forever inside one advance().
            m_due += std::max(m_interval, std::chrono::milliseconds(1));
            m_sequence = ++m_scheduler->m_sequence;
        }
        Q_EMIT timeout();
    }

    VirtualScheduler* m_scheduler;
    std::chrono::milliseconds m_interval{0};
    Timestamp m_due{};
    quint64 m_sequence = 0;
    bool m_active = false;
};

VirtualScheduler::VirtualScheduler(Timestamp start, QObject* parent)
    : Scheduler(parent)
    , m_now(start)
{
}

Timestamp VirtualScheduler::defaultStart()
{
    return fromDateTime(utcDateTime(QDate(2026, 3, 2), QTime(9, 30)));
}

Timer* VirtualScheduler::createTimer(QObject* parent)
{
    auto* timer = new VirtualTimer(this, parent);
    m_timers.append(timer);
    return timer;
}

void VirtualScheduler::advance(std::chrono::milliseconds step)
{
    const Timestamp target = m_now + step;
    QCoreApplication::processEvents();
    for (;;) {
        m_timers.removeIf([](const QPointer<VirtualTimer>& t) { return t.isNull(); });
        VirtualTimer* next = nullptr;
        for (const auto& timer : std::as_const(m_timers)) {
            if (!timer->m_active || timer->m_due > target)
                continue;
            if (!next || timer->m_due < next->m_due ||
                (timer->m_due == next->m_due && timer->m_sequence < next->m_sequence))
                next = timer;
        }
        if (!next)
            break;
        m_now = std::max(m_now, next->m_due);
        next->fire();
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    m_now = std::max(m_now, target);
    QCoreApplication::processEvents();
}

int VirtualScheduler::activeTimerCount() const
{
    int count = 0;
    for (const auto& timer : m_timers) {
        if (timer && timer->m_active)
            ++count;
    }
    return count;
}

} // namespace rubbly::test
