#include "Scheduler.h"
#include "VirtualScheduler.h"

#include <QCoroTask>
#include <QTest>

using namespace rubbly;
using namespace rubbly::test;
using namespace std::chrono_literals;

namespace {
QCoro::Task<void> sleepAndRecord(Scheduler* scheduler, std::chrono::milliseconds d, Cancellation* c,
                                 std::optional<bool>* result)
{
    *result = co_await scheduler->sleep(d, c);
}
} // namespace

class SchedulerTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // A sleep left alone ends true when the clock reaches its end; a cancelled one ends false at once,
    // and leaves no timer behind.
    void aSleepEndsAtItsTimeOrFalseWhenCancelled_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("left alone") << "";
        QTest::newRow("cancelled before it starts") << "before";
        QTest::newRow("cancelled half-way") << "cancel";
        QTest::newRow("its cancellation destroyed half-way") << "destroy";
    }
    void aSleepEndsAtItsTimeOrFalseWhenCancelled()
    {
        QFETCH(QString, how);
        VirtualScheduler clock;
        auto cancel = std::make_unique<Cancellation>();
        if (how == QLatin1String("before"))
            cancel->cancel();
        std::optional<bool> result;
        auto task = sleepAndRecord(&clock, 2s, how.isEmpty() ? nullptr : cancel.get(), &result);
        clock.advance(1999ms);
        if (how == QLatin1String("cancel"))
            cancel->cancel();
        else if (how == QLatin1String("destroy"))
            cancel.reset();
        QCOMPARE(result, how.isEmpty() ? std::nullopt : std::optional(false));
        clock.advance(1ms);
        QCOMPARE(result, std::optional(how.isEmpty()));
        QCOMPARE(clock.activeTimerCount(), 0);
        // The abandoned timer must not resume the finished coroutine a second time.
        clock.advance(5s);
        QCOMPARE(result, std::optional(how.isEmpty()));
    }

    // A timer whose context is gone never fires.
    void timersFireInDueOrderWithNowAtTheirDueTime()
    {
        VirtualScheduler clock;
        const Timestamp start = clock.now();
        QList<std::pair<int, Timestamp>> fired;
        auto* context = new QObject;
        for (const int due : {3, 1, 2, 1}) {
            const auto record = [&, due] { fired.append({due, clock.now()}); };
            clock.singleShot(std::chrono::seconds(due), due == 2 ? context : this, record);
        }
        delete context;
        clock.advance(10s);
        QCOMPARE(fired, (QList<std::pair<int, Timestamp>>{{1, start + 1s}, {1, start + 1s}, {3, start + 3s}}));
    }
};

QTEST_GUILESS_MAIN(SchedulerTest)
#include "SchedulerTest.moc"
