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

QCoro::Task<int> addOnActor(Actor& actor, std::atomic<int>& inside, std::atomic<bool>& overlapped, QList<int>& order,
                            int value, QThread** resumedOn)
{
    const int result = co_await actor.run([&inside, &overlapped, &order, value] {
        if (inside.fetch_add(1) != 0)
            overlapped = true;
        // Give a competing job every chance to overlap, without sleeping.
        for (int i = 0; i < 20000; ++i)
            std::atomic_signal_fence(std::memory_order_seq_cst);
        order.append(value);
        inside.fetch_sub(1);
        return value * 2;
    });
    *resumedOn = QThread::currentThread();
    co_return result;
}

// Caught inside a coroutine: QCoro::waitFor() itself does not pass exceptions on.
QCoro::Task<bool> catchesBoom(Actor& actor)
{
    try {
        co_await actor.run([]() -> int { throw std::runtime_error("boom"); });
    } catch (const std::runtime_error& e) {
        co_return QByteArray(e.what()) == "boom";
    }
    co_return false;
}

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
    void neverOverlapsAndKeepsSubmissionOrder()
    {
        Actor actor(QStringLiteral("test.serial"));
        std::atomic<int> inside{0};
        std::atomic<bool> overlapped{false};
        QList<int> order;
        std::vector<QCoro::Task<int>> tasks;
        QList<QThread*> resumedOn(50, nullptr);
        for (int i = 0; i < 50; ++i)
            tasks.push_back(addOnActor(actor, inside, overlapped, order, i, &resumedOn[i]));
        int sum = 0;
        for (auto& task : tasks)
            sum += QCoro::waitFor(std::move(task));
        QVERIFY(!overlapped);
        QCOMPARE(sum, 2 * (49 * 50 / 2));
        QList<int> expected;
        for (int i = 0; i < 50; ++i)
            expected.append(i);
        QCOMPARE(order, expected);
        for (QThread* thread : resumedOn)
            QCOMPARE(thread, QThread::currentThread());
    }

    void runsWorkOffTheCallerThreadAndPassesResultsAndExceptions()
    {
        Actor actor(QStringLiteral("test.actor"));
        QThread* workThread = nullptr;
        bool wasCurrent = false;
        QCoro::waitFor(actor.run([&] {
            workThread = QThread::currentThread();
            wasCurrent = actor.isCurrent();
        }));
        QVERIFY(workThread != QThread::currentThread());
        QVERIFY(wasCurrent);
        QVERIFY(!actor.isCurrent());
        QVERIFY(QCoro::waitFor(catchesBoom(actor)));
        // The actor keeps working after a failed job.
        QCOMPARE(QCoro::waitFor(actor.run([] { return 7; })), 7);
    }

    void destructionWaitsForRunningWorkAndDiscardsQueuedWork()
    {
        auto* actor = new Actor(QStringLiteral("test.teardown"));
        QSemaphore started;
        QSemaphore release;
        std::atomic<bool> firstFinished{false};
        std::atomic<bool> secondRan{false};
        auto first = actor->run([&] {
            started.release();
            release.acquire();
            firstFinished = true;
        });
        auto second = actor->run([&] { secondRan = true; });
        started.acquire();
        // The running piece is let go only once this thread sleeps inside the destructor's wait, by
        // which time the queued piece has been discarded.
        std::atomic<bool> deleting{false};
        std::thread releaser([&, self = ::gettid()] {
            while (!deleting || !isSleeping(self))
                std::this_thread::yield();
            release.release();
        });
        deleting = true;
        delete actor;
        releaser.join();
        QVERIFY(firstFinished);
        QVERIFY(!secondRan);
        QCoreApplication::processEvents();
    }

    // Quitting bounds its wait: work stuck in the kernel (a hung disk) makes stop() give up after its
    // limit instead of hanging the program, and the queued work never runs.
    void stopGivesUpOnStuckWorkAfterItsLimit()
    {
        Actor actor(QStringLiteral("test.stuck"));
        QSemaphore started;
        QSemaphore release;
        std::atomic<bool> secondRan{false};
        auto first = actor.run([&] {
            started.release();
            release.acquire();
        });
        auto second = actor.run([&] { secondRan = true; });
        started.acquire();
        QVERIFY(!actor.stop(std::chrono::milliseconds(20)));
        release.release();
        QVERIFY(actor.stop(std::chrono::minutes(1)));
        QVERIFY(!secondRan);
        QCoreApplication::processEvents();
    }
};

QTEST_GUILESS_MAIN(ActorTest)
#include "ActorTest.moc"
