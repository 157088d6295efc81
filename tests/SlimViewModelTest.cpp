#include "SlimViewModel.h"
#include "StoredRecords.h"
#include "TreeBuilder.h"
#include "ViewModelRig.h"

#include <QFile>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>

using namespace rubbly;
using namespace rubbly::test;
using namespace std::chrono_literals;
using namespace Qt::StringLiterals;

namespace {

// The slim view model after a scan that found one Go cache folder of 4 KB.
SlimViewModel& makeWithScannedGoCache(ViewModelRig& rig)
{
    TreeBuilder(QFile::encodeName(rig.home.home())).file(".cache/go-build/a/x", 4096);
    rig.make();
    finish(rig.slimVm->scanSlim(true));
    return *rig.slimVm;
}

} // namespace

class SlimViewModelTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // Slim scans as the clock runs. Steps: "slim" and "force" (scans, the latter forced), a time the
    // clock moves on ("5s", "10min"), and "=N", the count of scans so far. A leading "stored" starts
    // from an empty list stored at the start.
    void scansFollowTheClock_data()
    {
        QTest::addColumn<QString>("steps");
        QTest::newRow("a list stays fresh for half an hour") << u"slim =1 10min slim =1 21min slim =2"_s;
        QTest::newRow("forced scans eight seconds apart at least") << u"slim =1 5s force =1 4s force =2"_s;
        QTest::newRow("an empty stored list, fresh by its date, still scans") << u"stored 1min slim =1"_s;
    }
    void scansFollowTheClock()
    {
        QFETCH(QString, steps);
        ViewModelRig rig;
        TreeBuilder(QFile::encodeName(rig.home.home())).file(".cache/go-build/a/b", 4096);
        if (steps.startsWith(u"stored"_s))
            saveSlimSnapshot(rig.defaults, DiskSlimSnapshot{rig.clock.now(), {}});
        rig.make();
        SlimViewModel& vm = *rig.slimVm;
        QSignalSpy scans(&vm, &SlimViewModel::lastSlimScanDateChanged);
        // Anything else matches nothing, so that a mistyped step fails instead of doing nothing.
        static const QRegularExpression numbered(u"^(?:=(\\d+)|(\\d+)(s|min))$"_s);
        for (const QString& step : steps.split(u' ', Qt::SkipEmptyParts)) {
            if (step == u"slim"_s || step == u"force"_s)
                finish(vm.scanSlim(step == u"force"_s));
            else if (step == u"stored"_s)
                continue;
            else if (const QRegularExpressionMatch m = numbered.match(step); m.hasCaptured(1))
                QCOMPARE(scans.count(), m.captured(1).toInt());
            else if (m.hasCaptured(2))
                rig.clock.advance(std::chrono::seconds(m.captured(3) == u"min"_s ? 60 : 1) * m.captured(2).toInt());
            else
                QFAIL(qPrintable(u"unknown step: "_s + step));
        }
        // What a scan leaves: no progress, and its list stored.
        QVERIFY(!vm.isScanningSlim() && !vm.slimScanProgressText());
        QCOMPARE(loadSlimSnapshot(rig.defaults).value_or(DiskSlimSnapshot{}).items, vm.diskSlimItems());
    }

    void ticksSpreadOverPathsAndAPurgeOfNothingDoesNothing()
    {
        ViewModelRig rig;
        TreeBuilder(QFile::encodeName(rig.home.home())).file(".cache/go-build/b/y", 8192);
        SlimViewModel& vm = makeWithScannedGoCache(rig);
        const auto ticks = [&vm] {
            const DiskSlimItem& go = vm.diskSlimItems()[0];
            return QList<bool>{go.isSelected, go.subItems[0].isSelected, go.subItems[1].isSelected};
        };
        vm.toggleSlimCategory(DiskSlimCategory::GoCache);
        QCOMPARE(ticks(), (QList<bool>{false, false, false}));
        const QByteArray larger = vm.diskSlimItems()[0].subItems[0].path;
        vm.toggleSlimSubItem(DiskSlimCategory::GoCache, larger);
        QCOMPARE(ticks(), (QList<bool>{true, true, false}));
        vm.toggleSlimSubItem(DiskSlimCategory::GoCache, larger);
        QCOMPARE(ticks(), (QList<bool>{false, false, false}));
        QSignalSpy cleaning(&vm, &SlimViewModel::isCleaningSlimChanged);
        finish(vm.purgeSelectedSlimItems());
        QCOMPARE(cleaning.count(), 0);
        QVERIFY(TreeBuilder::exists(QFile::encodeName(rig.home.home()) + "/.cache/go-build/a/x"));
    }

    // A purge records what it freed, sounds, notifies and rescans, even inside the throttle, so the
    // purged folder leaves the list.
    void aPurgeRecordsWhatItFreedAndRescans()
    {
        ViewModelRig rig;
        SlimViewModel& vm = makeWithScannedGoCache(rig);
        const qint64 freed = vm.diskSlimItems()[0].subItems[0].size;
        rig.clock.advance(1s);
        finish(vm.purgeSelectedSlimItems());
        QTRY_VERIFY(!vm.isScanningSlim());
        QCOMPARE(vm.lastSlimCleaningRecord()->freedBytes, freed);
        QCOMPARE(loadRecord(rig.defaults, kLastSlimCleaningRecordKey), vm.lastSlimCleaningRecord());
        QVERIFY(rig.player.log.contains(u"play 1 trash-empty"_s));
        QCOMPARE(rig.center.posted.size(), 1);
        QVERIFY(vm.diskSlimItems().isEmpty() && !vm.isCleaningSlim() && !vm.slimCleanProgressText());
    }

    // A scan that outlives its view model ends without storing anything.
    void destroyingTheViewModelMidScanIsSafe()
    {
        ViewModelRig rig;
        rig.make();
        auto scan = rig.slimVm->scanSlim(true);
        rig.slimVm.reset();
        finish(scan);
        QVERIFY(!loadSlimSnapshot(rig.defaults));
    }
};

QTEST_GUILESS_MAIN(SlimViewModelTest)
#include "SlimViewModelTest.moc"
