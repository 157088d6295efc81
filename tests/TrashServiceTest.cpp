#include "TrashService.h"
#include "BlockingWait.h"
#include "TestTime.h"
#include "TrashFixture.h"
#include "VirtualScheduler.h"

#include <QTest>

#include <climits>

using namespace rubbly;
using namespace rubbly::test;

class TrashServiceTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // An age is a number of calendar days before now: 30 days before 2026-04-01 10:00 local is
    // 2026-03-02 10:00, across the change to summer time (a fixed 30 × 86400 s would land an hour
    // off). The cut-off saturates, so an age beyond every date removes nothing, and entries without
    // a readable date never go by age, not even at zero days.
    void ageRemovalCountsCalendarDaysFromNow_data()
    {
        QTest::addColumn<int>("days");
        QTest::addColumn<QList<QByteArray>>("removed");
        QTest::newRow("0 days") << 0 << QList<QByteArray>{"ancient", "just-outside", "just-inside", "fresh"};
        QTest::newRow("30 days") << 30 << QList<QByteArray>{"ancient", "just-outside"};
        for (const int days : {110000000, 200000000, 1000000000, INT_MAX})
            QTest::newRow(QByteArray::number(days) + " days") << days << QList<QByteArray>{};
    }
    void ageRemovalCountsCalendarDaysFromNow()
    {
        QFETCH(int, days);
        QFETCH(QList<QByteArray>, removed);
        TrashFixture fx;
        fx.addFile("fresh", 10, "2026-04-01T09:59:50");
        fx.addFile("just-inside", 10, "2026-03-02T10:00:00");
        fx.files().touch("just-inside", 946684800); // modified long before: the trashing is what counts
        fx.addFile("just-outside", 10, "2026-03-02T09:59:59");
        fx.addFile("ancient", 10, "2001-01-01T00:00:00");
        fx.addFile("undated", 10, "sometime");
        fx.files().file("no-info", 10);
        VirtualScheduler clock(localTime(2026, 4, 1, 10, 0, 0));
        TrashService service(&clock, fx.locations(), {}, kTestZone);
        QVERIFY(TrashService::cutoff(clock.now(), days, kTestZone) <= clock.now());
        const TrashCleanupOutcome result = blockingWait(service.removeItems(days));
        QVERIFY(result);
        QCOMPARE(result->removedCount, removed.size());
        for (const char* name : {"fresh", "just-inside", "just-outside", "ancient", "undated", "no-info"})
            QVERIFY2(TreeBuilder::exists(fx.filesPath() + '/' + name) != removed.contains(name), name);
    }

    void moveTriesEveryPathAndReportsEachFailure()
    {
        TrashFixture fx;
        fx.outside().file("one", 10).file("three", 10);
        VirtualScheduler clock;
        TrashService service(&clock, fx.locations());
        const TrashPutReport report = blockingWait(service.moveToTrash(
            {fx.outside().path("one"), fx.outside().path("two"), fx.outside().path("three"), fx.trashPath()}));
        QCOMPARE(report.movedCount, 2);
        QCOMPARE(report.failures.size(), 2);
        QVERIFY(report.failures[0].message.contains(QStringLiteral("/two")));
        QVERIFY(report.failures[1].message.contains(QStringLiteral("already in the Trash")));
        QVERIFY(TreeBuilder::exists(fx.filesPath() + "/one"));
        QVERIFY(TreeBuilder::exists(fx.filesPath() + "/three"));
        QCOMPARE(blockingWait(service.moveToTrash({})), TrashPutReport{});
    }

    void operationsRunInCallOrder()
    {
        TrashFixture fx;
        fx.outside().file("doc.txt", 4096);
        VirtualScheduler clock;
        TrashService service(&clock, fx.locations());
        // Started together, awaited afterwards: the scan must see the put and not the emptying.
        auto put = service.moveToTrash({fx.outside().path("doc.txt")});
        auto scan = service.fetchStatus();
        auto empty = service.emptyTrash();
        auto after = service.fetchStatus();
        QCOMPARE(blockingWait(std::move(put)).movedCount, 1);
        const TrashStatusResult status = blockingWait(std::move(scan));
        QCOMPARE(status->itemCount, 1);
        QVERIFY(status->lastUpdatedAt == clock.now()); // stamped with the scheduler's clock
        QCOMPARE(blockingWait(std::move(empty))->removedCount, 1);
        QCOMPARE(blockingWait(std::move(after))->itemCount, 0);
    }

    void destroyingTheServiceMidScanIsSafe()
    {
        TrashFixture fx;
        for (int i = 0; i < 200; ++i)
            fx.files().file("d/" + QByteArray::number(i), 10);
        VirtualScheduler clock;
        auto* service = new TrashService(&clock, fx.locations());
        auto pending = service->fetchStatus();
        auto queued = service->fetchStatus();
        delete service;
        // The running scan finishes and its result is delivered; nothing touches the dead service.
        QTRY_VERIFY(pending.isReady());
        QCoreApplication::processEvents();
    }
};

QTEST_GUILESS_MAIN(TrashServiceTest)
#include "TrashServiceTest.moc"
