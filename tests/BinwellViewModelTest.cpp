#include "BinwellViewModel.h"
#include "AutoCleanService.h"
#include "DiskSlimService.h"
#include "FakeServices.h"
#include "GlobalShortcutService.h"
#include "InstalledAppDetector.h"
#include "MemoryDefaults.h"
#include "NotificationService.h"
#include "SettingsService.h"
#include "SoundHapticService.h"
#include "StoredRecords.h"
#include "TempHome.h"
#include "TreeBuilder.h"
#include "VirtualScheduler.h"

#include <QFile>
#include <QSignalSpy>
#include <QTest>

using namespace rubbly;
using namespace rubbly::test;
using namespace std::chrono_literals;
using Kind = BinwellState::Kind;

namespace {

TrashStatus statusWith(int items, qint64 size = 4096)
{
    TrashStatus status;
    status.itemCount = items;
    status.totalSize = size;
    for (int i = 0; i < items; ++i) {
        TrashItemDetail item;
        item.name = QString::number(i);
        item.size = size / std::max(items, 1);
        status.topItems.append(item);
    }
    return status;
}

// The view model with every service real except the trash and the desktop, which are fakes.
struct Rig {
    TempHome home;
    VirtualScheduler clock;
    MemoryDefaults defaults;
    SettingsService settings{defaults, {}};
    FakeTrashService trash;
    FakeNotificationCenter center;
    NotificationService notifications{center};
    FakeSoundPlayer player;
    FakeHaptics haptics;
    SoundHapticService feedback{player, haptics};
    FakeGrabber grabber;
    GlobalShortcutService shortcut{&grabber};
    DiskSlimService slim{home.home()};
    InstalledAppDetector apps{home.environment()};
    AutoCleanService autoClean{trash, notifications, defaults, &clock};
    std::unique_ptr<BinwellViewModel> vm;

    Rig() { trash.status = statusWith(2); }

    BinwellViewModel& make()
    {
        vm = std::make_unique<BinwellViewModel>(BinwellViewModel::Services{trash, settings, defaults, clock,
                                                                           notifications, feedback, shortcut, slim,
                                                                           apps, nullptr, &autoClean, nullptr});
        return *vm;
    }
    int scans() const { return static_cast<int>(trash.calls.count(QStringLiteral("fetchStatus"))); }
    // Lets queued resumptions run; the virtual clock does not move.
    static void settle() { QTest::qWait(5); }
    template <typename T> static void finish(QCoro::Task<T>& task)
    {
        if (!QTest::qWaitFor([&task] { return task.isReady(); }, 5000))
            qFatal("a view-model task did not finish");
    }
};

} // namespace

class BinwellViewModelTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void startsScanningThenShowsTheStatus()
    {
        Rig rig;
        BinwellViewModel& vm = rig.make();
        QCOMPARE(vm.state().kind(), Kind::Scanning);
        vm.start();
        vm.start(); // once only
        Rig::settle();
        QCOMPARE(rig.scans(), 1);
        QCOMPARE(vm.state(), BinwellState::normal(statusWith(2)));
    }

    void permissionDeniedThenGrantedAndRefreshed()
    {
        Rig rig;
        rig.trash.statusQueue = {TrashError{TrashServiceError::PermissionDenied, EACCES, {}}};
        BinwellViewModel& vm = rig.make();
        vm.start();
        Rig::settle();
        QCOMPARE(vm.state().kind(), Kind::PermissionDenied);
        auto refresh = vm.refresh();
        Rig::finish(refresh);
        QCOMPARE(vm.state().kind(), Kind::Normal);
    }

    void otherScanFailuresShowTheTrashAsUnavailable_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<int>("code");
        QTest::addColumn<int>("expected");
        QTest::newRow("no trash folder") << int(TrashServiceError::TrashURLUnavailable) << 0 << int(Kind::Error);
        QTest::newRow("I/O error") << int(TrashServiceError::FileSystem) << EIO << int(Kind::Error);
        QTest::newRow("EPERM counts as permission")
            << int(TrashServiceError::FileSystem) << EPERM << int(Kind::PermissionDenied);
    }
    void otherScanFailuresShowTheTrashAsUnavailable()
    {
        QFETCH(int, kind);
        QFETCH(int, code);
        QFETCH(int, expected);
        Rig rig;
        rig.trash.status = TrashError{TrashServiceError(kind), code, {}};
        BinwellViewModel& vm = rig.make();
        auto refresh = vm.refresh();
        Rig::finish(refresh);
        QCOMPARE(int(vm.state().kind()), expected);
        if (expected == int(Kind::Error))
            QCOMPARE(vm.state().errorText(), QStringLiteral("废纸篓不可用"));
    }

    void emptyingAnEmptyTrashDoesNothing()
    {
        Rig rig;
        rig.trash.status = statusWith(0, 0);
        BinwellViewModel& vm = rig.make();
        auto refresh = vm.refresh();
        Rig::finish(refresh);
        QSignalSpy changes(&vm, &BinwellViewModel::stateChanged);
        auto empty = vm.emptyTrash();
        Rig::finish(empty);
        QCOMPARE(changes.count(), 0);
        QVERIFY(!rig.trash.calls.contains(QStringLiteral("emptyTrash")));
        QVERIFY(rig.player.log.isEmpty());
        QVERIFY(!vm.lastCleaningRecord());
    }

    void successIsShownForTwoSecondsThenRescanned()
    {
        Rig rig;
        rig.trash.emptyResult = TrashCleanupResult{2, 4096, 0};
        BinwellViewModel& vm = rig.make();
        auto refresh = vm.refresh();
        Rig::finish(refresh);
        rig.trash.status = statusWith(0, 0);
        QList<Kind> seen;
        connect(&vm, &BinwellViewModel::stateChanged, &vm, [&] { seen.append(vm.state().kind()); });
        auto empty = vm.emptyTrash();
        Rig::finish(empty);
        QCOMPARE(seen, (QList<Kind>{Kind::Cleaning, Kind::Success}));
        QCOMPARE(vm.state().freedBytes(), 4096);
        QCOMPARE(vm.lastCleaningRecord()->removedItemCount, 2);
        QCOMPARE(loadRecord(rig.defaults, kLastCleaningRecordKey), vm.lastCleaningRecord());
        QVERIFY(rig.player.log.contains(QStringLiteral("play 1 trash-empty")));
        QCOMPARE(rig.haptics.taps, 1);
        QCOMPARE(rig.center.posted.size(), 1);
        const int scansBefore = rig.scans();
        rig.clock.advance(1999ms);
        Rig::settle();
        QCOMPARE(vm.state().kind(), Kind::Success);
        rig.clock.advance(1ms);
        Rig::settle();
        QCOMPARE(rig.scans(), scansBefore + 1);
        QCOMPARE(vm.state(), BinwellState::normal(statusWith(0, 0)));
    }

    void anEarlierScanEndsTheSuccessAndCancelsTheDismissal()
    {
        Rig rig;
        rig.trash.emptyResult = TrashCleanupResult{2, 4096, 0};
        BinwellViewModel& vm = rig.make();
        auto refresh = vm.refresh();
        Rig::finish(refresh);
        auto empty = vm.emptyTrash();
        Rig::finish(empty);
        rig.clock.advance(500ms);
        auto early = vm.refresh();
        Rig::finish(early);
        QCOMPARE(vm.state().kind(), Kind::Normal);
        const int scans = rig.scans();
        rig.clock.advance(5s);
        Rig::settle();
        QCOMPARE(rig.scans(), scans); // the dismissal's rescan was cancelled
    }

    void partialFailureRecordsWhatWentAndRescans()
    {
        Rig rig;
        rig.trash.status = statusWith(4);
        rig.trash.emptyResult = TrashCleanupResult{3, 3000, 1};
        BinwellViewModel& vm = rig.make();
        auto refresh = vm.refresh();
        Rig::finish(refresh);
        rig.trash.status = statusWith(1);
        QList<Kind> seen;
        connect(&vm, &BinwellViewModel::stateChanged, &vm, [&] { seen.append(vm.state().kind()); });
        auto empty = vm.emptyTrash();
        Rig::finish(empty);
        QCOMPARE(seen, (QList<Kind>{Kind::Cleaning, Kind::Normal}));
        QCOMPARE(vm.state(), BinwellState::normal(statusWith(1)));
        QCOMPARE(vm.lastCleaningRecord()->removedItemCount, 3);
        QCOMPARE(vm.lastFailureDetail(), std::optional(QStringLiteral("已移除 3/4 项，1 项无法删除。")));
        QVERIFY(rig.player.log.isEmpty());
        QCOMPARE(rig.haptics.taps, 0);
        QCOMPARE(rig.center.posted.size(), 1);
        QCOMPARE(rig.center.posted[0].first, QStringLiteral("废纸篓未能完全清空"));
        // The next complete success clears the failure line.
        rig.trash.emptyResult = TrashCleanupResult{1, 10, 0};
        auto again = vm.emptyTrash();
        Rig::finish(again);
        QVERIFY(!vm.lastFailureDetail());
    }

    void nothingRemovedKeepsTheOldRecord()
    {
        Rig rig;
        saveRecord(rig.defaults, CleaningRecord{rig.clock.now(), 99, 9}, kLastCleaningRecordKey);
        rig.trash.emptyResult = TrashCleanupResult{0, 0, 2};
        BinwellViewModel& vm = rig.make();
        QCOMPARE(vm.lastCleaningRecord()->freedBytes, 99);
        auto refresh = vm.refresh();
        Rig::finish(refresh);
        auto empty = vm.emptyTrash();
        Rig::finish(empty);
        QCOMPARE(vm.lastCleaningRecord()->freedBytes, 99);
        QCOMPARE(vm.lastFailureDetail(), std::optional(QStringLiteral("已移除 0/2 项，2 项无法删除。")));
    }

    void aFailedEmptyingIsAnError()
    {
        Rig rig;
        rig.trash.emptyResult = TrashError{TrashServiceError::TrashURLUnavailable, 0, {}};
        BinwellViewModel& vm = rig.make();
        auto refresh = vm.refresh();
        Rig::finish(refresh);
        auto empty = vm.emptyTrash();
        Rig::finish(empty);
        QCOMPARE(vm.state(), BinwellState::error(QStringLiteral("无法清空废纸篓")));
    }

    void scansAreSkippedWhileCleaningButOneInFlightStillLands()
    {
        Rig rig;
        BinwellViewModel& vm = rig.make();
        auto first = vm.refresh();
        Rig::finish(first);
        // A scan is under way (held at its gate) when the emptying starts.
        auto* scanGate = new Cancellation;
        rig.trash.scanGate = scanGate;
        rig.trash.status = statusWith(5);
        auto inFlight = vm.refresh();
        rig.trash.scanGate = nullptr;
        auto* emptyGate = new Cancellation;
        rig.trash.emptyGate = emptyGate;
        rig.trash.emptyResult = TrashCleanupResult{2, 100, 0};
        auto empty = vm.emptyTrash();
        QCOMPARE(vm.state().kind(), Kind::Cleaning);
        auto skipped = vm.refresh(); // refused: cleaning
        Rig::finish(skipped);
        const int scans = rig.scans();
        delete scanGate; // the held scan lands while the emptying goes on
        Rig::finish(inFlight);
        QCOMPARE(vm.state(), BinwellState::normal(statusWith(5)));
        delete emptyGate;
        Rig::finish(empty);
        QCOMPARE(rig.scans(), scans);
        QCOMPARE(vm.state().kind(), Kind::Success); // the emptying's outcome wins
    }

    void theShortcutEmptiesOnlyFromNormalWithEntries()
    {
        Rig rig;
        rig.settings.setGlobalShortcutEnabled(true);
        rig.trash.emptyResult = TrashCleanupResult{2, 100, 0};
        BinwellViewModel& vm = rig.make();
        QVERIFY(rig.grabber.active);
        Q_EMIT rig.grabber.activated(); // while scanning
        Rig::settle();
        QVERIFY(!rig.trash.calls.contains(QStringLiteral("emptyTrash")));
        auto refresh = vm.refresh();
        Rig::finish(refresh);
        Q_EMIT rig.grabber.activated();
        QTRY_COMPARE(vm.state().kind(), Kind::Success);
        Q_EMIT rig.grabber.activated(); // while showing success
        Rig::settle();
        QCOMPARE(rig.trash.calls.count(QStringLiteral("emptyTrash")), 1);

        rig.settings.setGlobalShortcutEnabled(false);
        QVERIFY(!rig.grabber.active);
        rig.settings.setGlobalShortcutEnabled(true);
        QVERIFY(rig.grabber.active);
    }

    void aBurstOfChangesGivesOneScan()
    {
        Rig rig;
        BinwellViewModel& vm = rig.make();
        for (int i = 0; i < 20; ++i) {
            vm.handleTrashChange();
            rig.clock.advance(100ms);
        }
        QCOMPARE(rig.scans(), 0);
        rig.clock.advance(1500ms);
        Rig::settle();
        QCOMPARE(rig.scans(), 1);
        rig.clock.advance(10s);
        Rig::settle();
        QCOMPARE(rig.scans(), 1);
    }

    void aChangeRightAfterAScanIsThrottled()
    {
        Rig rig;
        BinwellViewModel& vm = rig.make();
        vm.handleTrashChange();
        rig.clock.advance(1000ms);
        auto scan = vm.refresh(); // starts 0.5 s before the debounce ends
        Rig::finish(scan);
        rig.clock.advance(500ms);
        Rig::settle();
        QCOMPARE(rig.scans(), 1);
    }

    void panelOpeningsWithinASecondScanOnce()
    {
        Rig rig;
        BinwellViewModel& vm = rig.make();
        vm.refreshIfNeeded();
        rig.clock.advance(999ms);
        vm.refreshIfNeeded();
        Rig::settle();
        QCOMPARE(rig.scans(), 1);
        rig.clock.advance(1ms);
        vm.refreshIfNeeded();
        Rig::settle();
        QCOMPARE(rig.scans(), 2);
    }

    void thePollScansEveryMinute()
    {
        Rig rig;
        BinwellViewModel& vm = rig.make();
        vm.start();
        Rig::settle();
        rig.clock.advance(59s);
        Rig::settle();
        QCOMPARE(rig.scans(), 1);
        rig.clock.advance(1s);
        Rig::settle();
        QCOMPARE(rig.scans(), 2);
        rig.clock.advance(120s);
        Rig::settle();
        QCOMPARE(rig.scans(), 4);
    }

    void droppedFilesMoveThenRescanOrShowTheError()
    {
        Rig rig;
        BinwellViewModel& vm = rig.make();
        rig.settings.setSoundFeedbackEnabled(false);
        auto ok = vm.moveToTrash({"/tmp/a"});
        Rig::finish(ok);
        QCOMPARE(rig.player.log, QStringList{QStringLiteral("play 2 audio-volume-change")}); // whatever the setting
        QCOMPARE(rig.scans(), 1);
        rig.trash.putResult = TrashError{TrashServiceError::FileSystem, ENOENT, {}};
        auto failed = vm.moveToTrash({"/tmp/b"});
        Rig::finish(failed);
        QCOMPARE(vm.state(), BinwellState::error(QStringLiteral("移入废纸篓失败")));
        QCOMPARE(rig.player.log.size(), 1);
    }

    void autoCleanRunsAfterScansOnlyWhenEnabledAndNeverTouchesTheState()
    {
        Rig rig;
        rig.settings.setAutoCleanBySizeEnabled(false);
        rig.trash.removeResult = TrashCleanupResult{1, 500, 0};
        BinwellViewModel& vm = rig.make();
        auto off = vm.refresh();
        Rig::finish(off);
        Rig::settle();
        QVERIFY(!rig.trash.calls.contains(QStringLiteral("removeItems(30)")));

        rig.settings.setAutoCleanEnabled(true);
        auto on = vm.refresh();
        Rig::finish(on);
        QTRY_VERIFY(vm.lastCleaningRecord().has_value());
        QCOMPARE(vm.lastCleaningRecord()->freedBytes, 500);
        QVERIFY(rig.trash.calls.contains(QStringLiteral("removeItems(30)")));
        QSignalSpy states(&vm, &BinwellViewModel::stateChanged);
        Rig::settle();
        QCOMPARE(states.count(), 0); // the rules never set the state
        QCOMPARE(vm.state(), BinwellState::normal(statusWith(2)));
    }

    void destroyingTheViewModelMidFlowIsSafe()
    {
        Rig rig;
        rig.trash.deferred = true;
        rig.trash.emptyResult = TrashCleanupResult{2, 100, 0};
        rig.make();
        auto refresh = rig.vm->refresh();
        Rig::finish(refresh);
        auto empty = rig.vm->emptyTrash();
        auto scan = rig.vm->refresh();
        auto slim = rig.vm->scanSlim(true);
        rig.vm->handleTrashChange();
        rig.vm.reset();
        Rig::finish(empty);
        Rig::finish(scan);
        Rig::finish(slim);
        rig.clock.advance(10s);
        Rig::settle();
    }

    void slimFreshnessAndThrottle()
    {
        Rig rig;
        TreeBuilder(QFile::encodeName(rig.home.home())).file(".cache/go-build/a/b", 4096);
        BinwellViewModel& vm = rig.make();
        QSignalSpy dates(&vm, &BinwellViewModel::lastSlimScanDateChanged);
        auto first = vm.scanSlim(false); // nothing shown yet: scans
        Rig::finish(first);
        QCOMPARE(dates.count(), 1);
        QCOMPARE(vm.diskSlimItems().size(), 1);
        QVERIFY(!vm.isScanningSlim() && !vm.slimScanProgressText());
        QCOMPARE(vm.slimScanProgressValue(), 1.0);
        QVERIFY(loadSlimSnapshot(rig.defaults));

        rig.clock.advance(10min);
        auto fresh = vm.scanSlim(false);
        Rig::finish(fresh);
        QCOMPARE(dates.count(), 1);
        rig.clock.advance(21min);
        auto stale = vm.scanSlim(false);
        Rig::finish(stale);
        QCOMPARE(dates.count(), 2);

        // Forced rescans: 5 s apart run once, 9 s apart twice.
        rig.clock.advance(5s);
        auto soon = vm.scanSlim(true);
        Rig::finish(soon);
        QCOMPARE(dates.count(), 2);
        rig.clock.advance(4s);
        auto later = vm.scanSlim(true);
        Rig::finish(later);
        QCOMPARE(dates.count(), 3);
    }

    void anEmptyStoredSnapshotStillScans()
    {
        Rig rig;
        saveSlimSnapshot(rig.defaults, DiskSlimSnapshot{rig.clock.now(), {}});
        BinwellViewModel& vm = rig.make();
        QVERIFY(vm.lastSlimScanDate());
        rig.clock.advance(1min); // fresh by its date, but it shows nothing
        QSignalSpy dates(&vm, &BinwellViewModel::lastSlimScanDateChanged);
        auto scan = vm.scanSlim(false);
        Rig::finish(scan);
        QCOMPARE(dates.count(), 1);
    }

    void slimItemsFillCategoryByCategoryWithTexts()
    {
        Rig rig;
        TreeBuilder(QFile::encodeName(rig.home.home()))
            .file(".cache/go-build/a/b", 4096)
            .file(".cargo/registry/cache/c", 8192);
        BinwellViewModel& vm = rig.make();
        QList<int> sizes;
        QStringList texts;
        connect(&vm, &BinwellViewModel::diskSlimItemsChanged, &vm,
                [&] { sizes.append(int(vm.diskSlimItems().size())); });
        connect(&vm, &BinwellViewModel::slimScanProgressTextChanged, &vm, [&] {
            if (vm.slimScanProgressText())
                texts.append(*vm.slimScanProgressText());
        });
        auto scan = vm.scanSlim(true);
        Rig::finish(scan);
        QCOMPARE(sizes, (QList<int>{1, 2}));
        QCOMPARE(texts.first(), QStringLiteral("正在检测已安装 App…"));
        QVERIFY(texts.contains(QStringLiteral("已完成 Rust (Cargo) 依赖与构建缓存 · 发现 8 KB")));
        QVERIFY(std::any_of(texts.cbegin(), texts.cend(), [](const QString& t) {
            return t.startsWith(QStringLiteral("正在扫描 Go 编译与模块缓存... (")) && t.endsWith(QLatin1Char(')'));
        }));
    }

    void selectionRulesAndSelectedSize()
    {
        Rig rig;
        TreeBuilder(QFile::encodeName(rig.home.home()))
            .file(".cache/go-build/a/x", 4096)
            .file(".cache/go-build/b/y", 8192);
        BinwellViewModel& vm = rig.make();
        auto scan = vm.scanSlim(true);
        Rig::finish(scan);
        QCOMPARE(vm.selectedSlimSize(), 12288);
        vm.toggleSlimCategory(DiskSlimCategory::GoCache);
        QCOMPARE(vm.selectedSlimSize(), 0);
        QVERIFY(!vm.diskSlimItems()[0].isSelected);
        const QByteArray b = vm.diskSlimItems()[0].subItems[0].path; // the larger one, first
        vm.toggleSlimSubItem(DiskSlimCategory::GoCache, b);
        QVERIFY(vm.diskSlimItems()[0].isSelected);
        QCOMPARE(vm.selectedSlimSize(), 8192);
        vm.toggleSlimSubItem(DiskSlimCategory::GoCache, b);
        QVERIFY(!vm.diskSlimItems()[0].isSelected);
        // An item without sub-items counts by its own flag.
        QCOMPARE(BinwellViewModel::selectedSize({DiskSlimItem{DiskSlimCategory::NpmCache, 500, 1, true, {}}}), 500);
    }

    void purgeRecordsFeedsBackAndRescans()
    {
        Rig rig;
        TreeBuilder tree(QFile::encodeName(rig.home.home()));
        tree.file(".cache/go-build/a/x", 4096);
        BinwellViewModel& vm = rig.make();
        auto scan = vm.scanSlim(true);
        Rig::finish(scan);
        rig.clock.advance(10s);
        QStringList texts;
        connect(&vm, &BinwellViewModel::slimCleanProgressTextChanged, &vm, [&] {
            if (vm.slimCleanProgressText())
                texts.append(*vm.slimCleanProgressText());
        });
        auto purge = vm.purgeSelectedSlimItems();
        Rig::finish(purge);
        QTRY_VERIFY(!vm.isScanningSlim());
        QCOMPARE(texts.first(), QStringLiteral("正在开始瘦身…"));
        QCOMPARE(texts.last(), QStringLiteral("正在清理 Go 编译与模块缓存... (1/1)"));
        QCOMPARE(vm.lastSlimCleaningRecord()->freedBytes, 4096);
        QCOMPARE(loadRecord(rig.defaults, kLastSlimCleaningRecordKey), vm.lastSlimCleaningRecord());
        QVERIFY(rig.player.log.contains(QStringLiteral("play 1 trash-empty")));
        QCOMPARE(rig.center.posted.size(), 1);
        QVERIFY(vm.diskSlimItems().isEmpty()); // the rescan found nothing left
        QVERIFY(!vm.isCleaningSlim() && !vm.slimCleanProgressText());
    }

    void purgeWithNothingSelectedDoesNothing()
    {
        Rig rig;
        TreeBuilder(QFile::encodeName(rig.home.home())).file(".cache/go-build/a/x", 4096);
        BinwellViewModel& vm = rig.make();
        auto scan = vm.scanSlim(true);
        Rig::finish(scan);
        vm.toggleSlimCategory(DiskSlimCategory::GoCache);
        QSignalSpy cleaning(&vm, &BinwellViewModel::isCleaningSlimChanged);
        QSignalSpy text(&vm, &BinwellViewModel::slimCleanProgressTextChanged);
        auto purge = vm.purgeSelectedSlimItems();
        Rig::finish(purge);
        QCOMPARE(cleaning.count(), 0);
        QCOMPARE(text.count(), 0);
        QVERIFY(TreeBuilder::exists(QFile::encodeName(rig.home.home()) + "/.cache/go-build/a/x"));
    }

    void aPurgeFreeingNothingKeepsTheRecordButRescans()
    {
        Rig rig;
        saveRecord(rig.defaults, CleaningRecord{rig.clock.now(), 7, 1}, kLastSlimCleaningRecordKey);
        TreeBuilder tree(QFile::encodeName(rig.home.home()));
        tree.file(".cache/go-build/a/x", 4096);
        BinwellViewModel& vm = rig.make();
        auto scan = vm.scanSlim(true);
        Rig::finish(scan);
        // Gone behind our back: the purge finds nothing to delete.
        TreeBuilder::makeWritable(tree.path(".cache/go-build/a"));
        QVERIFY(QDir(QFile::decodeName(tree.path(".cache/go-build/a"))).removeRecursively());
        rig.clock.advance(10s);
        QSignalSpy dates(&vm, &BinwellViewModel::lastSlimScanDateChanged);
        auto purge = vm.purgeSelectedSlimItems();
        Rig::finish(purge);
        QTRY_COMPARE(dates.count(), 1);
        QCOMPARE(vm.lastSlimCleaningRecord()->freedBytes, 7);
        QVERIFY(rig.player.log.isEmpty());
    }
};

QTEST_MAIN(BinwellViewModelTest)
#include "BinwellViewModelTest.moc"
