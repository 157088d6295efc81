#include "TrashMonitor.h"
#include "TempHome.h"
#include "TreeBuilder.h"
#include "VirtualScheduler.h"

#include <QFile>
#include <QTest>

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
        s.monitor->start(); // starting again replaces the watch
        for (const char* name : {"a", "b", "c"}) {
            s.files.file(name, 1);
            QVERIFY(s.eventArrived());
            s.clock.advance(500ms);
        }
        // One second after the last event, not the first.
        s.clock.advance(499ms);
        QCOMPARE(s.calls, 0);
        s.clock.advance(2ms);
        QCOMPARE(s.calls, 1);
    }

    void aPendingCallIsDroppedByStopOrDestruction()
    {
        Setup s;
        s.monitor->start();
        s.files.file("a", 1);
        QVERIFY(s.eventArrived());
        s.monitor->stop();
        // Nothing is watched after stop(): the watch is gone before stop() returns, so no event of
        // this change can be on its way.
        QVERIFY(!s.monitor->isWatching());
        const int events = s.events;
        s.files.file("b", 1);
        QCoreApplication::processEvents();
        s.clock.advance(5s);
        QCOMPARE(s.events, events);
        QCOMPARE(s.calls, 0);

        s.monitor->start();
        s.files.file("c", 1);
        QVERIFY(s.eventArrived());
        s.monitor.reset();
        s.clock.advance(5s);
        QCOMPARE(s.calls, 0);

        // A folder that is not there leaves a monitor idle.
        TrashMonitor missing(&s.clock, QStringLiteral("/nonexistent/rubbly-test/Trash/files"));
        missing.start();
        QVERIFY(!missing.isWatching());
    }
};

QTEST_GUILESS_MAIN(TrashMonitorTest)
#include "TrashMonitorTest.moc"
