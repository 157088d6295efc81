#pragma once

#include "Timestamp.h"

#include <QObject>
#include <QPointer>

#include <QCoroTask>

#include <chrono>
#include <functional>
#include <memory>

namespace rubbly {

// A timer whose clock belongs to a Scheduler. It lives on the thread that created it.
class Timer : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    // (Re)starts the timer; a running timer starts counting again from now.
    virtual void start(std::chrono::milliseconds interval) = 0;
    virtual void stop() = 0;
    // True between start() and stop(), or until a single-shot timer has fired.
    virtual bool isActive() const = 0;

    void setSingleShot(bool singleShot) { m_singleShot = singleShot; }
    bool isSingleShot() const { return m_singleShot; }

Q_SIGNALS:
    void timeout();

private:
    bool m_singleShot = false;
};

// Lets an owner abandon a pending Scheduler::sleep(). Destroying it counts as cancelling.
class Cancellation : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    ~Cancellation() override;

    void cancel();
    bool isCancelled() const { return m_cancelled; }

Q_SIGNALS:
    void cancelled();

private:
    bool m_cancelled = false;
};

// The one source of "now" and of every delay in the program. Production code uses the system clock;
// tests use a virtual clock that they advance themselves, so no test waits for real time.
class Scheduler : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    virtual Timestamp now() const = 0;
    // A stopped timer on this clock; `parent` owns it.
    virtual Timer* createTimer(QObject* parent) = 0;

    // Completes with true after `duration`, or with false as soon as `cancellation` is cancelled or
    // destroyed. Must be awaited on a thread with an event loop.
    QCoro::Task<bool> sleep(std::chrono::milliseconds duration, Cancellation* cancellation = nullptr);

    // Calls `callback` once after `duration` unless `context` is gone by then.
    void singleShot(std::chrono::milliseconds duration, QObject* context, std::function<void()> callback);

    // The process-wide scheduler on the system clock.
    static Scheduler* system();
};

} // namespace rubbly
