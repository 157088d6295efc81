#include "BinwellViewModel.h"
#include "StoredRecords.h"
#include "TreeBuilder.h"
#include "ViewModelRig.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTest>

using namespace rubbly;
using namespace rubbly::test;
using namespace std::chrono_literals;
using namespace Qt::StringLiterals;
using Kind = BinwellState::Kind;

using Rig = ViewModelRig;

Q_DECLARE_METATYPE(rubbly::BinwellState)

namespace {

// The kinds of state the view model passes through while it empties the Trash.
QList<Kind> emptyAndRecordKinds(BinwellViewModel& vm)
{
    QList<Kind> seen;
    QObject context;
    QObject::connect(&vm, &BinwellViewModel::stateChanged, &context, [&] { seen.append(vm.state().kind()); });
    finish(vm.emptyTrash());
    return seen;
}

// The view model after a slim scan that found one Go cache folder of 4 KB.
BinwellViewModel& makeWithScannedGoCache(Rig& rig)
{
    TreeBuilder(QFile::encodeName(rig.home.home())).file(".cache/go-build/a/x", 4096);
    BinwellViewModel& vm = rig.make();
    finish(vm.scanSlim(true));
    return vm;
}

} // namespace

class BinwellViewModelTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // When the Trash is scanned as the clock runs. Steps: "start", "change" (the monitor saw one),
    // "open" (the panel opened), "refresh", a time the clock moves on ("1500ms", "59s"), and "=N",
    // the scans so far.
    void scansFollowTheClock_data()
    {
        QTest::addColumn<QString>("steps");
        QTest::newRow("the first scan, then one a minute") << u"start start =1 59s =1 1s =2 120s =4"_s;
        QTest::newRow("a burst of changes, one scan after the last")
            << u"change 100ms "_s.repeated(20) + u"=0 1500ms =1 10s =1"_s;
        QTest::newRow("a change whose wait ends right after a scan began: none")
            << u"change 1000ms refresh =1 500ms =1"_s;
        QTest::newRow("panel openings within a second: one") << u"open 999ms open =1 1ms open =2"_s;
    }
    void scansFollowTheClock()
    {
        QFETCH(QString, steps);
        Rig rig;
        BinwellViewModel& vm = rig.make();
        QCOMPARE(vm.state().kind(), Kind::Scanning);
        for (const QString& step : steps.split(u' ', Qt::SkipEmptyParts)) {
            if (step == u"start"_s)
                vm.start();
            else if (step == u"change"_s)
                vm.handleTrashChange();
            else if (step == u"open"_s)
                vm.refreshIfNeeded();
            else if (step == u"refresh"_s)
                finish(vm.refresh());
            else if (step.startsWith(u'=')) {
                settle();
                QCOMPARE(rig.scans(), step.mid(1).toInt());
            } else if (step.endsWith(u"ms"_s))
                rig.clock.advance(std::chrono::milliseconds(step.chopped(2).toInt()));
            else
                rig.clock.advance(std::chrono::seconds(step.chopped(1).toInt()));
        }
    }

    void aFailedScanShowsItsStateUntilAScanSucceeds_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<int>("code");
        QTest::addColumn<int>("expected");
        QTest::newRow("EACCES is permission")
            << int(TrashServiceError::PermissionDenied) << EACCES << int(Kind::PermissionDenied);
        QTest::newRow("EPERM is permission too")
            << int(TrashServiceError::FileSystem) << EPERM << int(Kind::PermissionDenied);
        QTest::newRow("no trash folder") << int(TrashServiceError::TrashURLUnavailable) << 0 << int(Kind::Error);
        QTest::newRow("I/O error") << int(TrashServiceError::FileSystem) << EIO << int(Kind::Error);
    }
    void aFailedScanShowsItsStateUntilAScanSucceeds()
    {
        QFETCH(int, kind);
        QFETCH(int, code);
        QFETCH(int, expected);
        Rig rig;
        rig.trash.statusQueue = {TrashError{TrashServiceError(kind), code, {}}};
        BinwellViewModel& vm = rig.make();
        finish(vm.refresh());
        QCOMPARE(int(vm.state().kind()), expected);
        if (expected == int(Kind::Error))
            QCOMPARE(vm.state().errorText(), u"废纸篓不可用"_s);
        finish(vm.refresh());
        QCOMPARE(vm.state(), BinwellState::normal(statusWith(2)));
    }

    void emptyingAnEmptyTrashDoesNothing()
    {
        Rig rig;
        BinwellViewModel& vm = rig.makeShowing(statusWith(0, 0));
        QSignalSpy changes(&vm, &BinwellViewModel::stateChanged);
        finish(vm.emptyTrash());
        QCOMPARE(changes.count(), 0);
        QVERIFY(!rig.trash.calls.contains(u"emptyTrash"_s));
        QVERIFY(rig.player.log.isEmpty());
        QVERIFY(!vm.lastCleaningRecord());
    }

    void successIsShownForTwoSecondsOrUntilTheNextScan()
    {
        Rig rig;
        rig.trash.emptyResult = TrashCleanupResult{2, 4096, 0, {}};
        BinwellViewModel& vm = rig.makeShowing(statusWith(2));
        rig.trash.status = statusWith(0, 0);
        QCOMPARE(emptyAndRecordKinds(vm), (QList<Kind>{Kind::Cleaning, Kind::Success}));
        QCOMPARE(vm.state().freedBytes(), 4096);
        QCOMPARE(vm.lastCleaningRecord()->removedItemCount, 2);
        QCOMPARE(loadRecord(rig.defaults, kLastCleaningRecordKey), vm.lastCleaningRecord());
        QVERIFY(rig.player.log.contains(u"play 1 trash-empty"_s));
        QCOMPARE(rig.haptics.taps, 1);
        QCOMPARE(rig.center.posted.size(), 1);
        const int scansBefore = rig.scans();
        rig.clock.advance(1999ms);
        QCOMPARE(vm.state().kind(), Kind::Success);
        rig.clock.advance(1ms);
        settle();
        QCOMPARE(rig.scans(), scansBefore + 1);
        QCOMPARE(vm.state(), BinwellState::normal(statusWith(0, 0)));

        // A scan inside the two seconds ends the success, and the dismissal's rescan is cancelled.
        rig.trash.status = statusWith(2);
        finish(vm.refresh());
        finish(vm.emptyTrash());
        rig.clock.advance(500ms);
        finish(vm.refresh());
        QCOMPARE(vm.state().kind(), Kind::Normal);
        const int scans = rig.scans();
        rig.clock.advance(5s);
        settle();
        QCOMPARE(rig.scans(), scans);
    }

    void partialFailureRecordsWhatWentAndRescans()
    {
        Rig rig;
        rig.trash.emptyResult = TrashCleanupResult{3, 3000, 1, {}};
        BinwellViewModel& vm = rig.makeShowing(statusWith(4));
        rig.trash.status = statusWith(1);
        QCOMPARE(emptyAndRecordKinds(vm), (QList<Kind>{Kind::Cleaning, Kind::Normal}));
        QCOMPARE(vm.state(), BinwellState::normal(statusWith(1)));
        QCOMPARE(vm.lastCleaningRecord()->removedItemCount, 3);
        QCOMPARE(vm.lastFailureDetail(), std::optional(u"已移除 3/4 项，1 项无法删除。"_s));
        QVERIFY(rig.player.log.isEmpty());
        QCOMPARE(rig.haptics.taps, 0);
        QCOMPARE(rig.center.posted.size(), 1); // its wording is NotificationServiceTest's
        // Nothing removed keeps the record of the last real cleaning.
        rig.trash.emptyResult = TrashCleanupResult{0, 0, 2, {}};
        finish(vm.emptyTrash());
        QCOMPARE(vm.lastCleaningRecord()->freedBytes, 3000);
        QCOMPARE(vm.lastFailureDetail(), std::optional(u"已移除 0/2 项，2 项无法删除。"_s));
        // The next complete success clears the failure line; an emptying that fails whole is an error.
        rig.trash.emptyResult = TrashCleanupResult{1, 10, 0, {}};
        finish(vm.emptyTrash());
        QVERIFY(!vm.lastFailureDetail());
        rig.clock.advance(2s);
        settle();
        rig.trash.emptyResult = TrashError{TrashServiceError::TrashURLUnavailable, 0, {}};
        finish(vm.emptyTrash());
        QCOMPARE(vm.state(), BinwellState::error(u"无法清空废纸篓"_s));
    }

    // A trash folder that cannot be used or listed is a failure the user reads, on the scan and on
    // the emptying, never an empty Trash or a success.
    void anUnusableTrashFolderIsAFailureNeverAnEmptyTrash()
    {
        Rig rig;
        TrashStatus status = statusWith(0, 0);
        status.folderProblems = {{"/media/u/stick/.Trash-1000", u"files/ cannot be listed"_s, EACCES}};
        BinwellViewModel& vm = rig.makeShowing(status);
        QCOMPARE(vm.lastFailureDetail(),
                 std::optional(u"废纸篓文件夹 /media/u/stick/.Trash-1000 无法使用（files/ cannot be listed）"_s));
        rig.trash.status = statusWith(1);
        rig.trash.emptyResult = TrashCleanupResult{0, 0, 0, {u"/home/u/.local/share/Trash/files cannot be listed"_s}};
        BinwellViewModel& full = rig.makeShowing(statusWith(1));
        QCOMPARE(emptyAndRecordKinds(full), (QList<Kind>{Kind::Cleaning, Kind::Normal}));
        QVERIFY(full.lastFailureDetail()->contains(u"Trash/files cannot be listed"_s));
        QVERIFY(rig.player.log.isEmpty());
    }

    void scansAreSkippedWhileCleaningButOneInFlightStillLands()
    {
        Rig rig;
        BinwellViewModel& vm = rig.makeShowing(statusWith(2));
        // A scan is under way (held at its gate) when the emptying starts.
        auto* scanGate = new Cancellation;
        rig.trash.scanGate = scanGate;
        rig.trash.status = statusWith(5);
        auto inFlight = vm.refresh();
        rig.trash.scanGate = nullptr;
        auto* emptyGate = new Cancellation;
        rig.trash.emptyGate = emptyGate;
        rig.trash.emptyResult = TrashCleanupResult{2, 100, 0, {}};
        auto empty = vm.emptyTrash();
        QCOMPARE(vm.state().kind(), Kind::Cleaning);
        finish(vm.refresh()); // refused: cleaning
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
        rig.trash.emptyResult = TrashCleanupResult{2, 100, 0, {}};
        BinwellViewModel& vm = rig.make();
        QVERIFY(rig.grabber.active);
        Q_EMIT rig.grabber.activated(); // while scanning
        settle();
        QVERIFY(!rig.trash.calls.contains(u"emptyTrash"_s));
        finish(vm.refresh());
        Q_EMIT rig.grabber.activated();
        QTRY_COMPARE(vm.state().kind(), Kind::Success);
        Q_EMIT rig.grabber.activated(); // while showing success
        settle();
        QCOMPARE(rig.trash.calls.count(u"emptyTrash"_s), 1);

        rig.settings.setGlobalShortcutEnabled(false);
        QVERIFY(!rig.grabber.active);
        rig.settings.setGlobalShortcutEnabled(true);
        QVERIFY(rig.grabber.active);
    }

    void droppedFilesMoveThenRescanOrShowTheError()
    {
        Rig rig;
        BinwellViewModel& vm = rig.make();
        rig.settings.setSoundFeedbackEnabled(false);
        finish(vm.moveToTrash({"/tmp/a"}));
        QCOMPARE(rig.player.log, QStringList{u"play 2 audio-volume-change"_s}); // whatever the setting
        QCOMPARE(rig.scans(), 1);
        QVERIFY(!vm.lastFailureDetail());

        // Some went in: they are shown, and the failure line counts the others.
        const TrashError failure{TrashServiceError::FileSystem, ENOENT, {}};
        rig.trash.putReport = TrashPutReport{2, {failure}, {}};
        finish(vm.moveToTrash({"/tmp/b", "/tmp/c", "/tmp/d"}));
        QCOMPARE(vm.state().kind(), BinwellState::Kind::Normal);
        QCOMPARE(rig.scans(), 2);
        QCOMPARE(rig.player.log.size(), 2);
        QCOMPARE(vm.lastFailureDetail(), std::optional(u"已移入 2/3 项，1 项无法移入废纸篓。"_s));

        rig.trash.putReport = TrashPutReport{0, {failure, failure}, {}};
        finish(vm.moveToTrash({"/tmp/e", "/tmp/f"}));
        QCOMPARE(vm.state(), BinwellState::error(u"移入废纸篓失败"_s));
        QCOMPARE(vm.lastFailureDetail(), std::optional(u"已移入 0/2 项，2 项无法移入废纸篓。"_s));
        QCOMPARE(rig.player.log.size(), 2);
    }

    // Undo is offered for ten seconds or until the panel closes, and puts back the drop's own entries:
    // not the newest entry from the same place, which another trasher may have made since.
    void aDropCanBeUndoneForTenSecondsWithItsOwnEntries()
    {
        Rig rig;
        BinwellViewModel& vm = rig.make();
        finish(vm.moveToTrash({"/tmp/a", "/tmp/b"}));
        QCOMPARE(vm.dropUndo()->movedCount, 2);
        rig.clock.advance(9999ms);
        QVERIFY(vm.dropUndo());
        rig.clock.advance(1ms);
        settle();
        QVERIFY(!vm.dropUndo());
        finish(vm.undoLastDrop());
        QVERIFY(rig.trash.restored.isEmpty());

        const QList<TrashEntryRef> made{{"/home/t", "a.2"}, {"/vol/.Trash-1000", "b"}};
        rig.trash.putReport = TrashPutReport{2, {TrashError{}}, made};
        finish(vm.moveToTrash({"/tmp/a", "/tmp/b", "/tmp/c"}));
        rig.clock.advance(5s);
        const int scans = rig.scans();
        const QString why = u"cannot restore /vol/.Trash-1000/files/b: its original place is taken (/tmp/b)"_s;
        rig.trash.restoreReport =
            TrashRestoreReport{{"/tmp/a"}, {TrashError{TrashServiceError::FileSystem, EEXIST, why}}};
        finish(vm.undoLastDrop());
        QCOMPARE(rig.trash.restored, made);
        QVERIFY(!vm.dropUndo());
        QCOMPARE(rig.scans(), scans + 1);
        QCOMPARE(vm.lastFailureDetail(), std::optional(u"已放回 1/2 项，1 项仍在废纸篓中。\n"_s + why));

        finish(vm.moveToTrash({"/tmp/d"}));
        vm.dismissDropUndo(); // the panel closed
        QVERIFY(!vm.dropUndo());
        finish(vm.moveToTrash({"/tmp/e"}));
        finish(vm.emptyTrash());
        QVERIFY(!vm.dropUndo());
        finish(vm.undoLastDrop());
        QCOMPARE(rig.trash.restored, made);
    }

    void autoCleanRunsAfterScansOnlyWhenEnabledAndNeverTouchesTheState()
    {
        Rig rig;
        rig.settings.setAutoCleanBySizeEnabled(false);
        rig.trash.removeResult = TrashCleanupResult{1, 500, 0, {}};
        BinwellViewModel& vm = rig.make();
        finish(vm.refresh());
        settle();
        QVERIFY(!rig.trash.calls.contains(u"removeItems(30)"_s));

        rig.settings.setAutoCleanEnabled(true);
        finish(vm.refresh());
        QTRY_VERIFY(vm.lastCleaningRecord().has_value());
        QCOMPARE(vm.lastCleaningRecord()->freedBytes, 500);
        QVERIFY(rig.trash.calls.contains(u"removeItems(30)"_s));
        QSignalSpy states(&vm, &BinwellViewModel::stateChanged);
        settle();
        QCOMPARE(states.count(), 0); // the rules never set the state
        QCOMPARE(vm.state(), BinwellState::normal(statusWith(2)));
    }

    void destroyingTheViewModelMidFlowIsSafe()
    {
        Rig rig;
        rig.trash.deferred = true;
        rig.trash.emptyResult = TrashCleanupResult{2, 100, 0, {}};
        rig.settings.setGlobalShortcutEnabled(true);
        rig.make().start();
        finish(rig.vm->refresh());
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
        QTest::newRow("size shown") << full << true << false << u"3 MB"_s;
        QTest::newRow("size off: icon alone") << full << false << false << QString();
        QTest::newRow("empty shows zero") << empty << true << false << u"0 B"_s;
        QTest::newRow("empty hidden") << empty << true << true << QString();
        QTest::newRow("a zero-byte entry is not empty") << zeroBytes << true << true << u"0 B"_s;
        QTest::newRow("cleaning ignores the settings")
            << BinwellState::cleaning(statusWith(2)) << false << false << u"正在清理…"_s;
        QTest::newRow("success") << BinwellState::success(1536) << false << true << u"已释放 2 KB"_s;
        QTest::newRow("error") << BinwellState::error(u"x"_s) << true << false << u"废纸篓"_s;
        QTest::newRow("scanning") << BinwellState::scanning() << true << false << u"…"_s;
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
        QCOMPARE(vm.menuBarLabelText(), u"…"_s);
        QSignalSpy changes(&vm, &BinwellViewModel::menuBarLabelTextChanged);
        finish(vm.refresh());
        QCOMPARE(vm.menuBarLabelText(), u"4 KB"_s);
        rig.settings.setHideSizeWhenEmpty(true); // the Trash is not empty: same text
        finish(vm.refresh());
        QCOMPARE(changes.count(), 1);
        rig.settings.setShowSizeInMenuBar(false);
        QCOMPARE(vm.menuBarLabelText(), QString());
        QCOMPARE(changes.count(), 2);
    }

    void slimFreshnessAndThrottle()
    {
        Rig rig;
        TreeBuilder(QFile::encodeName(rig.home.home())).file(".cache/go-build/a/b", 4096);
        BinwellViewModel& vm = rig.make();
        QSignalSpy dates(&vm, &BinwellViewModel::lastSlimScanDateChanged);
        finish(vm.scanSlim(false)); // nothing shown yet: scans
        QCOMPARE(dates.count(), 1);
        QCOMPARE(vm.diskSlimItems().size(), 1);
        QVERIFY(!vm.isScanningSlim() && !vm.slimScanProgressText());
        QCOMPARE(vm.slimScanProgressValue(), 1.0);
        QVERIFY(loadSlimSnapshot(rig.defaults));

        rig.clock.advance(10min);
        finish(vm.scanSlim(false));
        QCOMPARE(dates.count(), 1);
        rig.clock.advance(21min);
        finish(vm.scanSlim(false));
        QCOMPARE(dates.count(), 2);

        // Forced rescans: 5 s apart run once, 9 s apart twice.
        rig.clock.advance(5s);
        finish(vm.scanSlim(true));
        QCOMPARE(dates.count(), 2);
        rig.clock.advance(4s);
        finish(vm.scanSlim(true));
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
        finish(vm.scanSlim(false));
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
        finish(vm.scanSlim(true));
        QCOMPARE(sizes, (QList<int>{1, 2}));
        QCOMPARE(texts.first(), u"正在检测已安装的应用…"_s);
        QVERIFY(texts.contains(u"已完成 Rust (Cargo) 依赖与构建缓存 · 发现 8 KB"_s));
        QVERIFY(std::any_of(texts.cbegin(), texts.cend(), [](const QString& t) {
            return t.startsWith(u"正在扫描 Go 编译与模块缓存... ("_s) && t.endsWith(QLatin1Char(')'));
        }));
    }

    void selectionRulesSelectedSizeAndAPurgeOfNothing()
    {
        Rig rig;
        TreeBuilder(QFile::encodeName(rig.home.home())).file(".cache/go-build/b/y", 8192);
        BinwellViewModel& vm = makeWithScannedGoCache(rig);
        // Sizes as the engine measured them (DiskSlimServiceTest checks those): b, the larger, first.
        const qint64 b = vm.diskSlimItems()[0].subItems[0].size, a = vm.diskSlimItems()[0].subItems[1].size;
        QCOMPARE(vm.selectedSlimSize(), a + b);
        vm.toggleSlimCategory(DiskSlimCategory::GoCache);
        QCOMPARE(vm.selectedSlimSize(), 0);
        QVERIFY(!vm.diskSlimItems()[0].isSelected);
        const QByteArray larger = vm.diskSlimItems()[0].subItems[0].path;
        vm.toggleSlimSubItem(DiskSlimCategory::GoCache, larger);
        QVERIFY(vm.diskSlimItems()[0].isSelected);
        QCOMPARE(vm.selectedSlimSize(), b);
        vm.toggleSlimSubItem(DiskSlimCategory::GoCache, larger);
        QVERIFY(!vm.diskSlimItems()[0].isSelected);
        // With nothing selected a purge does nothing at all.
        QSignalSpy cleaning(&vm, &BinwellViewModel::isCleaningSlimChanged);
        QSignalSpy text(&vm, &BinwellViewModel::slimCleanProgressTextChanged);
        finish(vm.purgeSelectedSlimItems());
        QCOMPARE(cleaning.count(), 0);
        QCOMPARE(text.count(), 0);
        QVERIFY(TreeBuilder::exists(QFile::encodeName(rig.home.home()) + "/.cache/go-build/a/x"));
    }

    void aPurgeRecordsFeedsBackAndRescansEvenRightAfterAScan()
    {
        Rig rig;
        BinwellViewModel& vm = makeWithScannedGoCache(rig);
        const qint64 freed = vm.diskSlimItems()[0].subItems[0].size;
        // Well inside the rescan throttle: the purged folder must still leave the list.
        rig.clock.advance(1s);
        QStringList texts;
        connect(&vm, &BinwellViewModel::slimCleanProgressTextChanged, &vm, [&] {
            if (vm.slimCleanProgressText())
                texts.append(*vm.slimCleanProgressText());
        });
        finish(vm.purgeSelectedSlimItems());
        QTRY_VERIFY(!vm.isScanningSlim());
        QCOMPARE(texts.first(), u"正在开始瘦身…"_s);
        QCOMPARE(texts.last(), u"正在清理 Go 编译与模块缓存... (1/1)"_s);
        QCOMPARE(vm.lastSlimCleaningRecord()->freedBytes, freed);
        QCOMPARE(loadRecord(rig.defaults, kLastSlimCleaningRecordKey), vm.lastSlimCleaningRecord());
        QVERIFY(rig.player.log.contains(u"play 1 trash-empty"_s));
        QCOMPARE(rig.center.posted.size(), 1);
        QVERIFY(vm.diskSlimItems().isEmpty()); // the rescan found nothing left
        QCOMPARE(vm.selectedSlimSize(), 0);
        QVERIFY(!vm.isCleaningSlim() && !vm.slimCleanProgressText());
    }

    void aPurgeFreeingNothingKeepsTheRecordButRescans()
    {
        Rig rig;
        saveRecord(rig.defaults, CleaningRecord{rig.clock.now(), 7, 1}, kLastSlimCleaningRecordKey);
        BinwellViewModel& vm = makeWithScannedGoCache(rig);
        // Gone behind our back: the purge finds nothing to delete.
        const QByteArray folder = QFile::encodeName(rig.home.home()) + "/.cache/go-build/a";
        TreeBuilder::makeWritable(folder);
        QVERIFY(QDir(QFile::decodeName(folder)).removeRecursively());
        rig.clock.advance(10s);
        QSignalSpy dates(&vm, &BinwellViewModel::lastSlimScanDateChanged);
        finish(vm.purgeSelectedSlimItems());
        QTRY_COMPARE(dates.count(), 1);
        QCOMPARE(vm.lastSlimCleaningRecord()->freedBytes, 7);
        QVERIFY(rig.player.log.isEmpty());
    }
};

QTEST_GUILESS_MAIN(BinwellViewModelTest)
#include "BinwellViewModelTest.moc"
