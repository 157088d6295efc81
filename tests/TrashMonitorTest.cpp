#include "TrashMonitor.h"
#include "TempHome.h"
#include "TreeBuilder.h"
#include "VirtualScheduler.h"

#include <QFile>
#include <QTest>
#include <QThread>

using namespace rubbly;
using namespace rubbly::test;
using namespace std::chrono_literals;

class TrashMonitorTest : public QObject {
    Q_OBJECT

    struct Setup {
        TempHome home;
        TreeBuilder files{QFile::encodeName(home.root()) + "/Trash/files"};
        VirtualScheduler clock;
        int calls = 0;
        int events = 0;
        std::unique_ptr<TrashMonitor> monitor;

        Setup()
        {
            files.dir({});
            monitor = std::make_unique<TrashMonitor>(&clock, QFile::decodeName(files.root()));
            QObject::connect(monitor.get(), &TrashMonitor::changed, monitor.get(), [this] { ++calls; });
            QObject::connect(monitor.get(), &TrashMonitor::eventReceived, monitor.get(), [this] { ++events; });
        }
        // Lets inotify's event cross from the monitor thread (real time, milliseconds); true when a
        // new one arrived. The virtual clock does not move meanwhile.
        bool eventArrived()
        {
            const int before = events;
            return QTest::qWaitFor([&] { return events > before; }, 5000);
        }
    };

private Q_SLOTS:
    void aBurstGivesOneCallOneSecondAfterItsLastEvent()
    {
        Setup s;
        s.monitor->start();
        QVERIFY(s.monitor->isWatching());
        for (int i = 0; i < 10; ++i) {
            s.files.file("f" + QByteArray::number(i), 1);
            QVERIFY(s.eventArrived());
            s.clock.advance(50ms);
        }
        s.clock.advance(949ms);
        QCOMPARE(s.calls, 0);
        s.clock.advance(2ms);
        QCOMPARE(s.calls, 1);
        s.clock.advance(10s);
        QCOMPARE(s.calls, 1);
    }

    void eventsFurtherApartGiveOneCallEach()
    {
        Setup s;
        s.monitor->start();
        s.files.file("a", 1);
        QVERIFY(s.eventArrived());
        s.clock.advance(1500ms);
        s.files.file("b", 1);
        QVERIFY(s.eventArrived());
        s.clock.advance(1500ms);
        QCOMPARE(s.calls, 2);
    }

    void stopDropsThePendingCall()
    {
        Setup s;
        s.monitor->start();
        s.files.file("a", 1);
        QVERIFY(s.eventArrived());
        s.monitor->stop();
        s.clock.advance(5s);
        QCOMPARE(s.calls, 0);
        // Changes after stop() are not watched.
        s.files.file("b", 1);
        QTest::qWait(50);
        s.clock.advance(5s);
        QCOMPARE(s.calls, 0);
    }

    void startingTwiceWatchesOnce()
    {
        Setup s;
        s.monitor->start();
        s.monitor->start();
        s.files.file("a", 1);
        QVERIFY(s.eventArrived());
        s.clock.advance(2s);
        QCOMPARE(s.calls, 1);
    }

    void noCallAfterDestruction()
    {
        Setup s;
        s.monitor->start();
        s.files.file("a", 1);
        QVERIFY(s.eventArrived());
        s.monitor.reset();
        s.clock.advance(5s);
        QCOMPARE(s.calls, 0);
    }

    void aMissingFolderLeavesTheMonitorIdle()
    {
        TempHome home;
        VirtualScheduler clock;
        TrashMonitor monitor(&clock, home.root() + QStringLiteral("/no/such/Trash/files"));
        monitor.start();
        QVERIFY(!monitor.isWatching());
    }
};

QTEST_GUILESS_MAIN(TrashMonitorTest)
#include "TrashMonitorTest.moc"
