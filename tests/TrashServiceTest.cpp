#include "TrashService.h"
#include "BlockingWait.h"
#include "TestTime.h"
#include "TrashFixture.h"
#include "VirtualScheduler.h"

#include <QTest>

#include <cstdio>

#include <QFile>

#include <atomic>
#include <climits>
#include <condition_variable>

using namespace rubbly;
using namespace rubbly::test;
using namespace Qt::StringLiterals;

class TrashServiceTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // An age is a number of calendar days before now: 30 days before 2026-04-01 10:00 local is
    // 2026-03-02 10:00, across the change to summer time (a fixed 30 × 86400 s would land an hour
    // off). Zero days is now; an age beyond every date saturates before any. (Which entries a cut-off
    // takes, never an undated one, is TrashStoreTest's anUnchangedTrashIsListedAgainByNeitherScanNorAgeRule.)
    void ageRemovalCountsCalendarDaysFromNow()
    {
        const Timestamp now = localTime(2026, 4, 1, 10, 0, 0);
        QVERIFY(TrashService::cutoff(now, 0, kTestZone) == now);
        QVERIFY(TrashService::cutoff(now, 30, kTestZone) == localTime(2026, 3, 2, 10, 0, 0));
        for (const int days : {1000000, INT_MAX})
            QVERIFY(TrashService::cutoff(now, days, kTestZone) < localTime(1, 1, 1, 0, 0, 0));

        TrashFixture fx;
        fx.addFile("just-inside", 10, "2026-03-02T10:00:00");
        fx.addFile("just-outside", 10, "2026-03-02T09:59:59");
        VirtualScheduler clock(now);
        TrashService service(&clock, fx.locations(), {}, kTestZone);
        QCOMPARE(blockingWait(service.removeItems(30))->removedCount, 1);
        QVERIFY(TreeBuilder::exists(fx.filesPath() + "/just-inside"));
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

    // `restore --last` puts back what the last put moved, whoever made it (a command, a drop on the panel
    // in the tray's own service), and only while each entry is still the one that put made.
    void restoreLastPutsBackOnlyTheLastPut_data()
    {
        QTest::addColumn<QByteArray>("story");
        QTest::addColumn<QByteArrayList>("expectBack"); // names back outside afterwards
        QTest::addColumn<QString>("problem");
        QTest::newRow("two puts, then a drop") << "drop"_ba << QByteArrayList{"d"} << QString();
        // c came back by another way, b by this one.
        QTest::newRow("its entry replaced meanwhile")
            << "replaced"_ba << QByteArrayList{"b", "c"} << QStringLiteral("replaced in the Trash");
        QTest::newRow("the last put moved nothing")
            << "failed put"_ba << QByteArrayList{} << QStringLiteral("nothing in the Trash");
        QTest::newRow("undone on the panel meanwhile")
            << "undone"_ba << QByteArrayList{"b", "c"} << QStringLiteral("nothing in the Trash");
        QTest::newRow("a record not of ours") << "corrupt"_ba << QByteArrayList{} << QStringLiteral("not a record");
        QTest::newRow("a link for a record") << "link"_ba << QByteArrayList{} << QStringLiteral("not a regular file");
    }
    void restoreLastPutsBackOnlyTheLastPut()
    {
        QFETCH(QByteArray, story);
        QFETCH(QByteArrayList, expectBack);
        QFETCH(QString, problem);
        TrashFixture fx;
        for (const char* name : {"a", "b", "c"})
            fx.outside().write(name, name);
        const auto at = [&](const char* name) { return fx.outside().path(name); };
        VirtualScheduler clock;
        TrashService command(&clock, fx.locations());
        QCOMPARE(blockingWait(command.moveToTrash({at("a")})).movedCount, 1);
        const TrashPutReport second = blockingWait(command.moveToTrash({at("b"), at("c")}));
        QCOMPARE(second.movedCount, 2);
        const QByteArray record = LastPutRecord::defaultPath();
        if (story == "drop") {
            fx.outside().write("d", "d");
            TrashService tray(&clock, fx.locations());
            QCOMPARE(blockingWait(tray.moveToTrash({at("d")})).movedCount, 1);
        } else if (story == "replaced") {
            // c went back by another tool, and another file took its name in the Trash.
            QVERIFY(::rename((fx.filesPath() + "/c").constData(), at("c").constData()) == 0);
            fx.outside().write("other", "other");
            QVERIFY(::rename(at("other").constData(), (fx.filesPath() + "/c").constData()) == 0);
            fx.writeInfo("c", at("c"), "2026-03-01T10:00:00");
        } else if (story == "undone") {
            QCOMPARE(blockingWait(command.restore(second.entries, false)).restoredPaths.size(), 2);
        } else if (story == "failed put") {
            QCOMPARE(blockingWait(command.moveToTrash({at("missing")})).movedCount, 0);
        } else if (story == "corrupt") {
            TreeBuilder(record.left(record.lastIndexOf('/'))).write("last-put", "rubbly-last-put 1\n/x\ty\n");
        } else {
            QVERIFY(QFile::remove(QFile::decodeName(record)));
            TreeBuilder(record.left(record.lastIndexOf('/'))).symlink("last-put", fx.trashPath() + "/x");
        }
        const auto result = blockingWait(command.restoreLastPut(false));
        QByteArrayList back;
        for (const char* name : {"a", "b", "c", "d"})
            if (TreeBuilder::read(at(name)) == name)
                back.append(name);
        QCOMPARE(back, expectBack);
        const QString said = result ? result->failures.value(0).message : result.error().message;
        QVERIFY2(problem.isEmpty() ? result && result->failures.isEmpty() : said.contains(problem), qPrintable(said));
        // The replacement stays in the Trash, as does everything else not put back.
        QCOMPARE(TreeBuilder::exists(fx.filesPath() + "/c"), story != "undone");
        // Nothing is put back twice: a second try finds nothing left of that put.
        if (story == "drop")
            QVERIFY(!blockingWait(command.restoreLastPut(false)));
    }

    // A volume whose first look never comes back (a dying disk, a stopped FUSE daemon) is reported and
    // skipped: the home Trash and the other volume are listed and emptied within the deadline, later
    // scans do not look at it again while that look is pending, and once it returns it is used again.
    void aVolumeThatDoesNotAnswerHoldsUpNothingElse()
    {
        TrashFixture fx;
        fx.addFile("home.txt", 10);
        const QByteArray stalled = QFile::encodeName(fx.home().root()) + "/stalled";
        fx.addVolume("stalled");
        TreeBuilder(fx.addVolume("other") + "/files").file("volume.txt", 10);
        struct Gate {
            std::mutex mutex;
            std::condition_variable opened;
            bool open = false;
            std::atomic<int> looks = 0;
        };
        auto gate = std::make_shared<Gate>();
        auto prober = std::make_shared<VolumeProber>(std::chrono::milliseconds(50));
        TrashLocations locations = fx.locations();
        locations.setVolumeProbing(prober, [gate, stalled](const MountEntry& mount, uid_t uid) {
            if (mount.mountPoint == stalled) {
                std::unique_lock lock(gate->mutex);
                ++gate->looks;
                gate->opened.wait(lock, [&] { return gate->open; });
            }
            return TrashLocations::lookAtVolume(mount, uid);
        });
        VirtualScheduler clock;
        TrashService service(&clock, locations);
        for (int scan = 0; scan < 2; ++scan) {
            const TrashStatusResult status = blockingWait(service.fetchStatus());
            QCOMPARE(status->itemCount, 2);
            QCOMPARE(status->folderProblems.size(), 1);
            QCOMPARE(status->folderProblems[0].path, stalled);
            QVERIFY(status->folderProblems[0].reason.contains(u"not answering"));
        }
        // A drop onto it is refused at once; what restore can find says it is missing.
        QVERIFY(
            blockingWait(service.moveToTrash({stalled + "/x"})).failures.value(0).message.contains(u"not answering"));
        const TrashRestorer::Listing restorable = blockingWait(service.restorableEntries());
        QCOMPARE(restorable.entries.size(), 2);
        QVERIFY(restorable.problems.join(u' ').contains(u"not answering"));
        const TrashCleanupOutcome emptied = blockingWait(service.emptyTrash());
        QCOMPARE(emptied->removedCount, 2);
        QVERIFY(!emptied->complete());
        QCOMPARE(gate->looks.load(), 1);
        {
            std::lock_guard lock(gate->mutex);
            gate->open = true;
        }
        gate->opened.notify_all();
        QTRY_VERIFY(!prober->isOverdue(stalled));
        QVERIFY(blockingWait(service.fetchStatus())->folderProblems.isEmpty());
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
