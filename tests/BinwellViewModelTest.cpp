#include "BinwellViewModel.h"
#include "StoredRecords.h"
#include "TreeBuilder.h"
#include "ViewModelRig.h"

#include <QFile>
#include <QSignalSpy>
#include <QTest>

using namespace rubbly;
using namespace rubbly::test;
using namespace std::chrono_literals;
using Kind = BinwellState::Kind;

using Rig = ViewModelRig;

Q_DECLARE_METATYPE(rubbly::BinwellState)

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
        settle();
        QCOMPARE(rig.scans(), 1);
        QCOMPARE(vm.state(), BinwellState::normal(statusWith(2)));
    }

    void permissionDeniedThenGrantedAndRefreshed()
    {
        Rig rig;
        rig.trash.statusQueue = {TrashError{TrashServiceError::PermissionDenied, EACCES, {}}};
        BinwellViewModel& vm = rig.make();
        vm.start();
        settle();
        QCOMPARE(vm.state().kind(), Kind::PermissionDenied);
        auto refresh = vm.refresh();
        finish(refresh);
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
        finish(refresh);
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
        finish(refresh);
        QSignalSpy changes(&vm, &BinwellViewModel::stateChanged);
        auto empty = vm.emptyTrash();
        finish(empty);
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
        finish(refresh);
        rig.trash.status = statusWith(0, 0);
        QList<Kind> seen;
        connect(&vm, &BinwellViewModel::stateChanged, &vm, [&] { seen.append(vm.state().kind()); });
        auto empty = vm.emptyTrash();
        finish(empty);
        QCOMPARE(seen, (QList<Kind>{Kind::Cleaning, Kind::Success}));
        QCOMPARE(vm.state().freedBytes(), 4096);
        QCOMPARE(vm.lastCleaningRecord()->removedItemCount, 2);
        QCOMPARE(loadRecord(rig.defaults, kLastCleaningRecordKey), vm.lastCleaningRecord());
        QVERIFY(rig.player.log.contains(QStringLiteral("play 1 trash-empty")));
        QCOMPARE(rig.haptics.taps, 1);
        QCOMPARE(rig.center.posted.size(), 1);
        const int scansBefore = rig.scans();
        rig.clock.advance(1999ms);
        settle();
        QCOMPARE(vm.state().kind(), Kind::Success);
        rig.clock.advance(1ms);
        settle();
        QCOMPARE(rig.scans(), scansBefore + 1);
        QCOMPARE(vm.state(), BinwellState::normal(statusWith(0, 0)));
    }

    void anEarlierScanEndsTheSuccessAndCancelsTheDismissal()
    {
        Rig rig;
        rig.trash.emptyResult = TrashCleanupResult{2, 4096, 0};
        BinwellViewModel& vm = rig.make();
        auto refresh = vm.refresh();
        finish(refresh);
        auto empty = vm.emptyTrash();
        finish(empty);
        rig.clock.advance(500ms);
        auto early = vm.refresh();
        finish(early);
        QCOMPARE(vm.state().kind(), Kind::Normal);
        const int scans = rig.scans();
        rig.clock.advance(5s);
        settle();
        QCOMPARE(rig.scans(), scans); // the dismissal's rescan was cancelled
    }

    void partialFailureRecordsWhatWentAndRescans()
    {
        Rig rig;
        rig.trash.status = statusWith(4);
        rig.trash.emptyResult = TrashCleanupResult{3, 3000, 1};
        BinwellViewModel& vm = rig.make();
        auto refresh = vm.refresh();
        finish(refresh);
        rig.trash.status = statusWith(1);
        QList<Kind> seen;
        connect(&vm, &BinwellViewModel::stateChanged, &vm, [&] { seen.append(vm.state().kind()); });
        auto empty = vm.emptyTrash();
        finish(empty);
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
        finish(again);
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
        finish(refresh);
        auto empty = vm.emptyTrash();
        finish(empty);
        QCOMPARE(vm.lastCleaningRecord()->freedBytes, 99);
        QCOMPARE(vm.lastFailureDetail(), std::optional(QStringLiteral("已移除 0/2 项，2 项无法删除。")));
    }

    void aFailedEmptyingIsAnError()
    {
        Rig rig;
        rig.trash.emptyResult = TrashError{TrashServiceError::TrashURLUnavailable, 0, {}};
        BinwellViewModel& vm = rig.make();
        auto refresh = vm.refresh();
        finish(refresh);
        auto empty = vm.emptyTrash();
        finish(empty);
        QCOMPARE(vm.state(), BinwellState::error(QStringLiteral("无法清空废纸篓")));
    }

    void scansAreSkippedWhileCleaningButOneInFlightStillLands()
    {
        Rig rig;
        BinwellViewModel& vm = rig.make();
        auto first = vm.refresh();
        finish(first);
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
        finish(skipped);
        const int scans = rig.scans();
        delete scanGate; // the held scan lands while the emptying goes on
        finish(inFlight);
        QCOMPARE(vm.state(), BinwellState::normal(statusWith(5)));
        delete emptyGate;
        finish(empty);
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
        settle();
        QVERIFY(!rig.trash.calls.contains(QStringLiteral("emptyTrash")));
        auto refresh = vm.refresh();
        finish(refresh);
        Q_EMIT rig.grabber.activated();
        QTRY_COMPARE(vm.state().kind(), Kind::Success);
        Q_EMIT rig.grabber.activated(); // while showing success
        settle();
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
        settle();
        QCOMPARE(rig.scans(), 1);
        rig.clock.advance(10s);
        settle();
        QCOMPARE(rig.scans(), 1);
    }

    void aChangeRightAfterAScanIsThrottled()
    {
        Rig rig;
        BinwellViewModel& vm = rig.make();
        vm.handleTrashChange();
        rig.clock.advance(1000ms);
        auto scan = vm.refresh(); // starts 0.5 s before the debounce ends
        finish(scan);
        rig.clock.advance(500ms);
        settle();
        QCOMPARE(rig.scans(), 1);
    }

    void panelOpeningsWithinASecondScanOnce()
    {
        Rig rig;
        BinwellViewModel& vm = rig.make();
        vm.refreshIfNeeded();
        rig.clock.advance(999ms);
        vm.refreshIfNeeded();
        settle();
        QCOMPARE(rig.scans(), 1);
        rig.clock.advance(1ms);
        vm.refreshIfNeeded();
        settle();
        QCOMPARE(rig.scans(), 2);
    }

    void thePollScansEveryMinute()
    {
        Rig rig;
        BinwellViewModel& vm = rig.make();
        vm.start();
        settle();
        rig.clock.advance(59s);
        settle();
        QCOMPARE(rig.scans(), 1);
        rig.clock.advance(1s);
        settle();
        QCOMPARE(rig.scans(), 2);
        rig.clock.advance(120s);
        settle();
        QCOMPARE(rig.scans(), 4);
    }

    void droppedFilesMoveThenRescanOrShowTheError()
    {
        Rig rig;
        BinwellViewModel& vm = rig.make();
        rig.settings.setSoundFeedbackEnabled(false);
        auto ok = vm.moveToTrash({"/tmp/a"});
        finish(ok);
        QCOMPARE(rig.player.log, QStringList{QStringLiteral("play 2 audio-volume-change")}); // whatever the setting
        QCOMPARE(rig.scans(), 1);
        rig.trash.putResult = TrashError{TrashServiceError::FileSystem, ENOENT, {}};
        auto failed = vm.moveToTrash({"/tmp/b"});
        finish(failed);
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
        finish(off);
        settle();
        QVERIFY(!rig.trash.calls.contains(QStringLiteral("removeItems(30)")));

        rig.settings.setAutoCleanEnabled(true);
        auto on = vm.refresh();
        finish(on);
        QTRY_VERIFY(vm.lastCleaningRecord().has_value());
        QCOMPARE(vm.lastCleaningRecord()->freedBytes, 500);
        QVERIFY(rig.trash.calls.contains(QStringLiteral("removeItems(30)")));
        QSignalSpy states(&vm, &BinwellViewModel::stateChanged);
        settle();
        QCOMPARE(states.count(), 0); // the rules never set the state
        QCOMPARE(vm.state(), BinwellState::normal(statusWith(2)));
    }

    void destroyingTheViewModelMidFlowIsSafe()
    {
        Rig rig;
        rig.trash.deferred = true;
        rig.trash.emptyResult = TrashCleanupResult{2, 100, 0};
        rig.settings.setGlobalShortcutEnabled(true);
        rig.make();
        rig.vm->start();
        auto refresh = rig.vm->refresh();
        finish(refresh);
        auto empty = rig.vm->emptyTrash();
        auto scan = rig.vm->refresh();
        auto slim = rig.vm->scanSlim(true);
        rig.vm->handleTrashChange();
        rig.vm.reset();
        finish(empty);
        finish(scan);
        finish(slim);
        const QStringList calls = rig.trash.calls;
        // The emptying that was under way ends without feedback, record or notification, and no
        // timer of the dead view model scans again.
        rig.clock.advance(10min);
        settle();
        QCOMPARE(rig.trash.calls, calls);
        QVERIFY(rig.player.log.isEmpty());
        QVERIFY(rig.center.posted.isEmpty());
        QVERIFY(!loadRecord(rig.defaults, kLastCleaningRecordKey));
        QVERIFY(!rig.grabber.active);
        QCOMPARE(rig.clock.activeTimerCount(), 0);
    }

    void theLabelFollowsTheStateAndTheDisplaySettings_data()
    {
        QTest::addColumn<BinwellState>("state");
        QTest::addColumn<bool>("showSize");
        QTest::addColumn<bool>("hideWhenEmpty");
        QTest::addColumn<QString>("text");
        const BinwellState full = BinwellState::normal(statusWith(2, 3 << 20));
        const BinwellState empty = BinwellState::normal(statusWith(0, 0));
        const BinwellState zeroBytes = BinwellState::normal(statusWith(1, 0));
        QTest::newRow("size shown") << full << true << false << QStringLiteral("3 MB");
        QTest::newRow("size off: icon alone") << full << false << false << QString();
        QTest::newRow("empty shows zero") << empty << true << false << QStringLiteral("0 B");
        QTest::newRow("empty hidden") << empty << true << true << QString();
        QTest::newRow("a zero-byte entry is not empty") << zeroBytes << true << true << QStringLiteral("0 B");
        QTest::newRow("cleaning ignores the settings")
            << BinwellState::cleaning(statusWith(2)) << false << false << QStringLiteral("正在清理…");
        QTest::newRow("success") << BinwellState::success(1536) << false << true << QStringLiteral("已释放 2 KB");
        QTest::newRow("error") << BinwellState::error(QStringLiteral("x")) << true << false << QStringLiteral("废纸篓");
        QTest::newRow("scanning") << BinwellState::scanning() << true << false << QStringLiteral("…");
        QTest::newRow("permission denied") << BinwellState::permissionDenied() << true << false << QString();
    }
    void theLabelFollowsTheStateAndTheDisplaySettings()
    {
        QFETCH(BinwellState, state);
        QFETCH(bool, showSize);
        QFETCH(bool, hideWhenEmpty);
        QFETCH(QString, text);
        QCOMPARE(BinwellViewModel::menuBarLabelText(state, showSize, hideWhenEmpty), text);
    }

    void theLabelSignalsOncePerRealChange()
    {
        Rig rig;
        BinwellViewModel& vm = rig.make();
        QCOMPARE(vm.menuBarLabelText(), QStringLiteral("…"));
        QSignalSpy changes(&vm, &BinwellViewModel::menuBarLabelTextChanged);
        auto scan = vm.refresh();
        finish(scan);
        QCOMPARE(vm.menuBarLabelText(), QStringLiteral("4 KB"));
        rig.settings.setHideSizeWhenEmpty(true); // the Trash is not empty: same text
        auto again = vm.refresh();
        finish(again);
        QCOMPARE(changes.count(), 1);
        rig.settings.setShowSizeInMenuBar(false);
        QCOMPARE(vm.menuBarLabelText(), QString());
        QCOMPARE(changes.count(), 2);
        QVERIFY(vm.canEmptyTrash());
    }

    void slimFreshnessAndThrottle()
    {
        Rig rig;
        TreeBuilder(QFile::encodeName(rig.home.home())).file(".cache/go-build/a/b", 4096);
        BinwellViewModel& vm = rig.make();
        QSignalSpy dates(&vm, &BinwellViewModel::lastSlimScanDateChanged);
        auto first = vm.scanSlim(false); // nothing shown yet: scans
        finish(first);
        QCOMPARE(dates.count(), 1);
        QCOMPARE(vm.diskSlimItems().size(), 1);
        QVERIFY(!vm.isScanningSlim() && !vm.slimScanProgressText());
        QCOMPARE(vm.slimScanProgressValue(), 1.0);
        QVERIFY(loadSlimSnapshot(rig.defaults));

        rig.clock.advance(10min);
        auto fresh = vm.scanSlim(false);
        finish(fresh);
        QCOMPARE(dates.count(), 1);
        rig.clock.advance(21min);
        auto stale = vm.scanSlim(false);
        finish(stale);
        QCOMPARE(dates.count(), 2);

        // Forced rescans: 5 s apart run once, 9 s apart twice.
        rig.clock.advance(5s);
        auto soon = vm.scanSlim(true);
        finish(soon);
        QCOMPARE(dates.count(), 2);
        rig.clock.advance(4s);
        auto later = vm.scanSlim(true);
        finish(later);
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
        finish(scan);
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
        finish(scan);
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
        finish(scan);
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
        finish(scan);
        rig.clock.advance(10s);
        QStringList texts;
        connect(&vm, &BinwellViewModel::slimCleanProgressTextChanged, &vm, [&] {
            if (vm.slimCleanProgressText())
                texts.append(*vm.slimCleanProgressText());
        });
        auto purge = vm.purgeSelectedSlimItems();
        finish(purge);
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

    void aPurgeRightAfterAScanStillRescans()
    {
        Rig rig;
        TreeBuilder(QFile::encodeName(rig.home.home())).file(".cache/go-build/a/x", 4096);
        BinwellViewModel& vm = rig.make();
        auto scan = vm.scanSlim(true);
        finish(scan);
        // Well inside the rescan throttle: the purged folder must still leave the list.
        rig.clock.advance(1s);
        auto purge = vm.purgeSelectedSlimItems();
        finish(purge);
        QTRY_VERIFY(!vm.isScanningSlim());
        QVERIFY(vm.diskSlimItems().isEmpty());
        QCOMPARE(vm.selectedSlimSize(), 0);
    }

    void purgeWithNothingSelectedDoesNothing()
    {
        Rig rig;
        TreeBuilder(QFile::encodeName(rig.home.home())).file(".cache/go-build/a/x", 4096);
        BinwellViewModel& vm = rig.make();
        auto scan = vm.scanSlim(true);
        finish(scan);
        vm.toggleSlimCategory(DiskSlimCategory::GoCache);
        QSignalSpy cleaning(&vm, &BinwellViewModel::isCleaningSlimChanged);
        QSignalSpy text(&vm, &BinwellViewModel::slimCleanProgressTextChanged);
        auto purge = vm.purgeSelectedSlimItems();
        finish(purge);
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
        finish(scan);
        // Gone behind our back: the purge finds nothing to delete.
        TreeBuilder::makeWritable(tree.path(".cache/go-build/a"));
        QVERIFY(QDir(QFile::decodeName(tree.path(".cache/go-build/a"))).removeRecursively());
        rig.clock.advance(10s);
        QSignalSpy dates(&vm, &BinwellViewModel::lastSlimScanDateChanged);
        auto purge = vm.purgeSelectedSlimItems();
        finish(purge);
        QTRY_COMPARE(dates.count(), 1);
        QCOMPARE(vm.lastSlimCleaningRecord()->freedBytes, 7);
        QVERIFY(rig.player.log.isEmpty());
    }
};

QTEST_GUILESS_MAIN(BinwellViewModelTest)
#include "BinwellViewModelTest.moc"
