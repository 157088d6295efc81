#pragma once

#include "Scheduler.h"

#include <QList>
#include <QPointer>

namespace rubbly::test {

class VirtualTimer;

// A clock that only moves when the test says so. advance() fires every timer that falls due within the
// step, in time order, setting now() to each timer's due time while its slot runs, and lets queued
// events run after each one, so coroutines resumed by a timer make progress inside the same step.
class VirtualScheduler final : public Scheduler {
    Q_OBJECT
public:
    // 2026-03-02 09:30:00 UTC unless told otherwise.
    explicit VirtualScheduler(Timestamp start = defaultStart(), QObject* parent = nullptr);

    static Timestamp defaultStart();

    Timestamp now() const override { return m_now; }
    Timer* createTimer(QObject* parent) override;

    void advance(std::chrono::milliseconds step);

    int activeTimerCount() const;

private:
    friend class VirtualTimer;
    QList<QPointer<VirtualTimer>> m_timers;
    Timestamp m_now;
    quint64 m_sequence = 0;
};

} // namespace rubbly::test
