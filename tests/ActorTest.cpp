#include "Actor.h"

#include <QCoroTask>
#include <QFile>
#include <QSemaphore>
#include <QTest>
#include <QThread>

#include <atomic>
#include <thread>

#include <unistd.h>

using namespace rubbly;

namespace {

// What the pieces of work saw: whether two ever ran at once, and the order they ran in.
struct Serial {
    std::atomic<int> inside{0};
    std::atomic<bool> overlapped{false};
    QList<int> order;
};

QCoro::Task<void> appendOnActor(Actor& actor, Serial& serial, int value, QThread** resumedOn)
{
    co_await actor.run([&serial, value] {
        if (serial.inside.fetch_add(1) != 0)
            serial.overlapped = true;
        // Give a competing job every chance to overlap, without sleeping.
        for (int i = 0; i < 20000; ++i)
            std::atomic_signal_fence(std::memory_order_seq_cst);
        serial.order.append(value);
        serial.inside.fetch_sub(1);
    });
    *resumedOn = QThread::currentThread();
}

// Holds an actor in a first piece of work until released, with a second piece queued behind it.
struct Held {
    explicit Held(Actor& actor)
        : first(actor.run([this] {
            started.release();
            release.acquire();
            firstFinished = true;
        }))
        , second(actor.run([this] { secondRan = true; }))
    {
        started.acquire();
    }
    QSemaphore started;
    QSemaphore release;
    std::atomic<bool> firstFinished{false};
    std::atomic<bool> secondRan{false};
    QCoro::Task<void> first;
    QCoro::Task<void> second;
};

// True when thread `tid` of this process is blocked (state S in /proc).
bool isSleeping(pid_t tid)
{
    QFile stat(QStringLiteral("/proc/self/task/%1/stat").arg(tid));
    if (!stat.open(QIODevice::ReadOnly))
        return false;
    const QByteArray line = stat.readAll();
    return line.mid(line.lastIndexOf(')') + 2, 1) == "S";
}

} // namespace

class ActorTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void runsOffTheCallerThreadInSubmissionOrderWithoutOverlap()
    {
        Actor actor(QStringLiteral("test.serial"));
        Serial serial;
        std::vector<QCoro::Task<void>> tasks;
        QList<QThread*> resumedOn(50, nullptr);
        QList<int> submitted;
        for (int i = 0; i < 50; ++i) {
            tasks.push_back(appendOnActor(actor, serial, i, &resumedOn[i]));
            submitted.append(i);
        }
        for (auto& task : tasks)
            QCoro::waitFor(std::move(task));
        QVERIFY(!serial.overlapped);
        QCOMPARE(serial.order, submitted);
        QCOMPARE(resumedOn, QList<QThread*>(50, QThread::currentThread()));
        // The work itself runs off the caller's thread, and a result comes back.
        QVERIFY(QCoro::waitFor(actor.run([] { return QThread::currentThread(); })) != QThread::currentThread());
    }

    void destructionWaitsForRunningWorkAndDiscardsQueuedWork()
    {
        auto* actor = new Actor(QStringLiteral("test.teardown"));
        Held held(*actor);
        // The running piece is let go only once this thread sleeps inside the destructor's wait, by
        // which time the queued piece has been discarded.
        std::atomic<bool> deleting{false};
        std::thread releaser([&, self = ::gettid()] {
            while (!deleting || !isSleeping(self))
                std::this_thread::yield();
            held.release.release();
        });
        deleting = true;
        delete actor;
        releaser.join();
        QVERIFY(held.firstFinished);
        QVERIFY(!held.secondRan);
        QCoreApplication::processEvents();
    }

    // Quitting bounds its wait: work stuck in the kernel (a hung disk) makes stop() give up after its
    // limit instead of hanging the program, and the queued work never runs.
    void stopGivesUpOnStuckWorkAfterItsLimit()
    {
        Actor actor(QStringLiteral("test.stuck"));
        Held held(actor);
        QVERIFY(!actor.stop(std::chrono::milliseconds(20)));
        held.release.release();
        QVERIFY(actor.stop(std::chrono::minutes(1)));
        QVERIFY(!held.secondRan);
        QCoreApplication::processEvents();
    }
};

QTEST_GUILESS_MAIN(ActorTest)
#include "ActorTest.moc"
