#include "BinwellViewModel.h"
#include "StoredRecords.h"
#include "TrashFailureText.h"
#include "UiLanguageGuard.h"
#include "ViewModelRig.h"

#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>

#include <cstring>

using namespace rubbly;
using namespace rubbly::test;
using namespace std::chrono_literals;
using namespace Qt::StringLiterals;
using Kind = BinwellState::Kind;

using Rig = ViewModelRig;

Q_DECLARE_METATYPE(std::optional<rubbly::TrashCleanupResult>)
Q_DECLARE_METATYPE(rubbly::TrashError)

namespace {

// A step that is a number and one letter or unit: "=3", "e1" (counts), "1500ms", "59s", "10min"
// (times). Anything else matches nothing, so that a mistyped step fails instead of doing nothing.
QRegularExpressionMatch numbered(const QString& step)
{
    static const QRegularExpression pattern(u"^(?:([=e])(\\d+)|(\\d+)(ms|s|min))$"_s);
    return pattern.match(step);
}

} // namespace

class BinwellViewModelTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // The view model's scans and emptyings as the clock runs. Steps: "start", "change" (the monitor
    // saw one), "open" (the panel opened), "refresh", "empty" (the button), "key" (the shortcut),
    // "none" (the Trash is emptied elsewhere), a time the clock moves on ("1500ms", "59s", "10min"),
    // and the counts so far: "=N" of scans of the Trash, "eN" of emptyings.
    void scansAndEmptyingsFollowTheClock_data()
    {
        QTest::addColumn<QString>("steps");
        QTest::newRow("the first scan, then one a minute") << u"start start =1 59s =1 1s =2 120s =4"_s;
        QTest::newRow("a burst of changes, one scan after the last")
            << u"change 100ms "_s.repeated(20) + u"=0 1500ms =1 10s =1"_s;
        QTest::newRow("a change whose wait ends right after a scan began: none")
            << u"change 1000ms refresh =1 500ms =1"_s;
        QTest::newRow("panel openings within a second: one") << u"open 999ms open =1 1ms open =2"_s;
        QTest::newRow("a success is shown two seconds, then rescanned") << u"refresh empty e1 1999ms =1 1ms =2"_s;
        QTest::newRow("a scan within the success cancels its rescan") << u"refresh empty 500ms refresh =2 5s =2"_s;
        QTest::newRow("only a shown Trash with entries is emptied, by key or button")
            << u"key empty e0 refresh key e1 key empty e1 none 2s =2 empty e1"_s;
    }
    void scansAndEmptyingsFollowTheClock()
    {
        QFETCH(QString, steps);
        Rig rig;
        rig.settings.setGlobalShortcutEnabled(true);
        BinwellViewModel& vm = rig.make();
        for (const QString& step : steps.split(u' ', Qt::SkipEmptyParts)) {
            if (step == u"start"_s)
                vm.start();
            else if (step == u"change"_s)
                vm.handleTrashChange();
            else if (step == u"open"_s)
                vm.refreshIfNeeded();
            else if (step == u"refresh"_s)
                finish(vm.refresh());
            else if (step == u"empty"_s)
                finish(vm.emptyTrash());
            else if (step == u"key"_s)
                Q_EMIT rig.grabber.activated();
            else if (step == u"none"_s)
                rig.trash.status = statusWith(0, 0);
            else if (const QRegularExpressionMatch m = numbered(step); m.hasCaptured(1)) {
                settle();
                const QString what = m.captured(1);
                QCOMPARE(what == u"="_s ? rig.scans() : int(rig.trash.calls.count(u"emptyTrash"_s)),
                         m.captured(2).toInt());
            } else if (m.hasCaptured(3)) {
                const int scale = m.captured(4) == u"ms"_s ? 1 : m.captured(4) == u"min"_s ? 60000 : 1000;
                rig.clock.advance(std::chrono::milliseconds(m.captured(3).toLongLong() * scale));
            } else
                QFAIL(qPrintable(u"unknown step: "_s + step));
        }
        rig.settings.setGlobalShortcutEnabled(false);
        QVERIFY(!rig.grabber.active);
    }

    // EACCES and EPERM are a permission problem whatever the error's kind; a scan that succeeds ends it.
    void aFailedScanShowsItsStateUntilAScanSucceeds()
    {
        Rig rig;
        BinwellViewModel& vm = rig.make();
        const auto scan = [&](TrashStatusResult result) {
            rig.trash.status = result;
            finish(vm.refresh());
            return vm.state().kind();
        };
        QCOMPARE((QList<Kind>{scan(TrashError{TrashServiceError::PermissionDenied, 0, {}}),
                              scan(TrashError{TrashServiceError::FileSystem, EIO, {}}),
                              scan(TrashError{TrashServiceError::FileSystem, EACCES, {}}),
                              scan(TrashError{TrashServiceError::FileSystem, EPERM, {}})}),
                 (QList<Kind>{Kind::PermissionDenied, Kind::Error, Kind::PermissionDenied, Kind::PermissionDenied}));
        scan(statusWith(2));
        QCOMPARE(vm.state(), BinwellState::normal(statusWith(2)));
    }

    // What an emptying ends in, from a Trash whose scan named an unusable folder, after an earlier
    // cleaning that freed 7 bytes. How the panel shows the line and the record is MenuBarViewTest's.
    void anEmptyingEndsAsItsOutcomeSays_data()
    {
        QTest::addColumn<std::optional<TrashCleanupResult>>("counts"); // none: it failed whole
        QTest::addColumn<Kind>("ending");
        QTest::addColumn<qint64>("recorded");
        QTest::addColumn<QString>("detail");
        const QString folder = u"废纸篓文件夹 /media/u/stick 无法使用（files/ cannot be listed）。"_s;
        const TrashError unlisted{TrashServiceError::FileSystem, EIO, u"x"_s, TrashFailure::FolderUnlistable,
                                  "/v/.Trash-1"};
        QTest::newRow("all removed: a success that clears the line")
            << std::optional(TrashCleanupResult{2, 4096, 0, {}}) << Kind::Success << qint64(4096) << QString();
        QTest::newRow("some stayed: a record, the count and a rescan")
            << std::optional(TrashCleanupResult{3, 3000, 1, {}}) << Kind::Normal << qint64(3000)
            << u"已移除 3/4 项，1 项无法删除。"_s;
        QTest::newRow("none removed but a folder that cannot be listed: no success, the last record stays")
            << std::optional(TrashCleanupResult{0, 0, 0, {unlisted}}) << Kind::Normal << qint64(7)
            << u"已移除 0 项。\n废纸篓文件夹 /v/.Trash-1 无法完整读取。"_s;
        QTest::newRow("failed whole: an error, the scan's line stays")
            << std::optional<TrashCleanupResult>() << Kind::Error << qint64(7) << folder;
    }
    void anEmptyingEndsAsItsOutcomeSays()
    {
        QFETCH(std::optional<TrashCleanupResult>, counts);
        QFETCH(Kind, ending);
        QFETCH(QString, detail);
        Rig rig;
        saveRecord(rig.defaults, CleaningRecord{rig.clock.now(), 7, 1}, kLastCleaningRecordKey);
        if (counts)
            rig.trash.emptyResult = *counts;
        else
            rig.trash.emptyResult = TrashError{TrashServiceError::TrashURLUnavailable, 0, {}};
        TrashStatus status = statusWith(4);
        status.folderProblems = {{"/media/u/stick", u"files/ cannot be listed"_s, EACCES}};
        BinwellViewModel& vm = rig.makeShowing(status);
        rig.trash.status = statusWith(1);
        QList<Kind> kinds;
        connect(&vm, &BinwellViewModel::stateChanged, &vm, [&] { kinds.append(vm.state().kind()); });
        finish(vm.emptyTrash());
        QCOMPARE(kinds, (QList<Kind>{Kind::Cleaning, ending}));
        QTEST(vm.lastCleaningRecord()->freedBytes, "recorded");
        QCOMPARE(loadRecord(rig.defaults, kLastCleaningRecordKey), vm.lastCleaningRecord());
        QCOMPARE(vm.lastFailureDetail().value_or(QString()).remove(QChar(0x2060)), detail);
        QCOMPARE(rig.player.log.contains(u"play 1 trash-empty"_s), ending == Kind::Success);
        QCOMPARE(rig.center.posted.size(), counts ? 1 : 0);
    }

    // The panel's lines for what the engine could not do, in both languages: a reason with the paths
    // it names from "~", the errno's words where no reason fits, the engine's sentence with neither;
    // the counts say "1 item" for one. `counts`: kind, done, total, failed (a count line), else none.
    void failureLinesSayWhatHappenedInTheInterfacesLanguage_data()
    {
        QTest::addColumn<TrashError>("failure");
        QTest::addColumn<QList<int>>("counts");
        QTest::addColumn<QString>("english");
        QTest::addColumn<QString>("chinese");
        const auto error = [](TrashFailure reason, QByteArray path, QByteArray other = {}, int code = 0) {
            return TrashError{TrashServiceError::FileSystem, code, u"engine words"_s, reason, path, other};
        };
        QTest::newRow("a taken place below the home")
            << error(TrashFailure::PlaceTaken, "/h/Downloads/a-b.mov") << QList<int>{}
            << u"Another file is already at ~/Downloads/a-b.mov."_s << u"~/Downloads/a-b.mov 已被其他文件占用。"_s;
        QTest::newRow("an entry holding a mount point, on a volume")
            << error(TrashFailure::HoldsMountPoint, "/v/.Trash-1/files/d", "/v/.Trash-1/files/d/m") << QList<int>{}
            << u"The entry /v/.Trash-1/files/d holds the mount point /v/.Trash-1/files/d/m, which is never entered, "
               u"and stays in the Trash."_s
            << u"项目 /v/.Trash-1/files/d 包含挂载点 /v/.Trash-1/files/d/m（从不进入），仍留在废纸篓中。"_s;
        const QString noSpace = QString::fromLocal8Bit(std::strerror(ENOSPC));
        QTest::newRow("no reason of its own: the errno")
            << error(TrashFailure::Other, "/h/x", {}, ENOSPC) << QList<int>{}
            << u"The system refused ~/x: "_s + noSpace + u"."_s << u"系统拒绝了 ~/x："_s + noSpace + u"。"_s;
        QTest::newRow("neither reason nor path: the engine's sentence")
            << error(TrashFailure::Other, {}) << QList<int>{} << u"engine words"_s << u"engine words"_s;
        QTest::newRow("the only entry stayed")
            << TrashError{} << QList<int>{int(TrashCountLine::PutBack), 0, 1, 1}
            << u"Put back 0 of 1 item; it stayed in the Trash."_s << u"已放回 0/1 项，1 项仍在废纸篓中。"_s;
        QTest::newRow("two of three stayed")
            << TrashError{} << QList<int>{int(TrashCountLine::Removed), 1, 3, 2}
            << u"Removed 1 of 3 items; 2 could not be deleted."_s << u"已移除 1/3 项，2 项无法删除。"_s;
    }
    void failureLinesSayWhatHappenedInTheInterfacesLanguage()
    {
        QFETCH(TrashError, failure);
        QFETCH(QList<int>, counts);
        QFETCH(QString, english);
        QFETCH(QString, chinese);
        for (const auto& [language, expected] :
             {std::pair{UiLanguage::English, english}, std::pair{UiLanguage::Chinese, chinese}}) {
            UiLanguageGuard guard(language);
            const QString line = counts.isEmpty()
                                     ? trashFailureLine(failure, "/h/")
                                     : trashCountLine(TrashCountLine(counts[0]), counts[1], counts[2], counts[3]);
            QCOMPARE(QString(line).remove(QChar(0x2060)), expected);
        }
    }

    // A trash folder the engine refused is named from "~" with its reason in the interface's language;
    // a refusal of no known kind keeps the engine's sentence.
    void refusedTrashFoldersSayWhyInTheInterfacesLanguage_data()
    {
        QTest::addColumn<TrashFolderProblem>("problem");
        QTest::addColumn<QString>("english");
        QTest::addColumn<QString>("chinese");
        const QString denied = QString::fromLocal8Bit(std::strerror(EACCES));
        QTest::newRow("a volume's files/ is a link")
            << TrashFolderProblem{"/v/.Trash-1", u"engine words"_s, ELOOP, TrashFolderFault::Link,
                                  TrashFolderPart::Files}
            << u"Trash folder /v/.Trash-1 cannot be used (files/ is a symbolic link, which is never followed)."_s
            << u"废纸篓文件夹 /v/.Trash-1 无法使用（files/是符号链接，不会被跟随）。"_s;
        QTest::newRow("the home trash belongs to root")
            << TrashFolderProblem{"/h/.local/share/Trash",      u"engine words"_s,       EPERM,
                                  TrashFolderFault::OtherOwner, TrashFolderPart::Folder, 0}
            << u"Trash folder ~/.local/share/Trash cannot be used (it belongs to another user, user ID 0)."_s
            << u"废纸篓文件夹 ~/.local/share/Trash 无法使用（它属于另一位用户，用户 ID 为 0）。"_s;
        QTest::newRow("the folder above cannot be opened")
            << TrashFolderProblem{"/h/.local/share/Trash",
                                  u"engine words"_s,
                                  EACCES,
                                  TrashFolderFault::CannotOpen,
                                  TrashFolderPart::Folder,
                                  0,
                                  "/h/.local/share"}
            << u"Trash folder ~/.local/share/Trash cannot be used (the folder above it, ~/.local/share, cannot be "
               u"opened: "_s +
                   denied + u")."_s
            << u"废纸篓文件夹 ~/.local/share/Trash 无法使用（无法打开其上层文件夹 ~/.local/share："_s + denied +
                   u"）。"_s;
        QTest::newRow("no kind: the engine's sentence") << TrashFolderProblem{"/v/.Trash-1", u"engine words"_s, EIO}
                                                        << u"Trash folder /v/.Trash-1 cannot be used (engine words)."_s
                                                        << u"废纸篓文件夹 /v/.Trash-1 无法使用（engine words）。"_s;
    }
    void refusedTrashFoldersSayWhyInTheInterfacesLanguage()
    {
        QFETCH(TrashFolderProblem, problem);
        QFETCH(QString, english);
        QFETCH(QString, chinese);
        for (const auto& [language, expected] :
             {std::pair{UiLanguage::English, english}, std::pair{UiLanguage::Chinese, chinese}}) {
            UiLanguageGuard guard(language);
            QCOMPARE(trashFolderProblemLine(problem, "/h/").remove(QChar(0x2060)), expected);
        }
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

    // A drop rescans. Its undo is offered for ten seconds and puts
    // back the drop's own entries, not the newest entry from the same place, which another trasher may
    // have made since. How the panel withdraws the offer when it closes is MenuBarViewTest's.
    void aDropRescansAndCanBeUndoneForTenSecondsWithItsOwnEntries()
    {
        Rig rig;
        BinwellViewModel& vm = rig.make();
        finish(vm.moveToTrash({"/tmp/a", "/tmp/b"}));
        QCOMPARE(rig.scans(), 1);
        rig.clock.advance(9999ms);
        QVERIFY(vm.dropUndo());
        rig.clock.advance(1ms);
        settle();
        finish(vm.undoLastDrop());
        QVERIFY(!vm.dropUndo() && rig.trash.restored.isEmpty());

        // Some went in: the failure line counts the others, and the undo the entries made.
        const QList<TrashEntryRef> made{{"/home/t", "a.2"}, {"/vol/.Trash-1000", "b"}};
        rig.trash.putReport = TrashPutReport{2, {TrashError{}}, made};
        finish(vm.moveToTrash({"/tmp/a", "/tmp/b", "/tmp/c"}));
        QCOMPARE(vm.lastFailureDetail(), std::optional(u"已移入 2/3 项，1 项无法移入废纸篓。"_s));
        rig.clock.advance(5s);
        const QString why = u"cannot restore /vol/.Trash-1000/files/b: its original place is taken (/tmp/b)"_s;
        rig.trash.restoreReport =
            TrashRestoreReport{{"/tmp/a"}, {TrashError{TrashServiceError::FileSystem, EEXIST, why}}, {made[1]}};
        finish(vm.undoLastDrop());
        QCOMPARE(rig.trash.restored, made);
        QVERIFY(!vm.dropUndo());
        QCOMPARE(rig.scans(), 3);
        QCOMPARE(vm.lastFailureDetail(), std::optional(u"已放回 1/2 项，1 项仍在废纸篓中。\n"_s + why));
        QCOMPARE(vm.takenPlaces(), QList<TrashEntryRef>{made[1]});

        // None went in: an error, without undo. An emptying withdraws the offer.
        rig.trash.putReport = TrashPutReport{0, {TrashError{}, TrashError{}}, {}};
        finish(vm.moveToTrash({"/tmp/d", "/tmp/e"}));
        QCOMPARE(vm.state().kind(), Kind::Error);
        QVERIFY(!vm.dropUndo());
        rig.trash.putReport.reset();
        finish(vm.moveToTrash({"/tmp/f"}));
        finish(vm.emptyTrash());
        QVERIFY(!vm.dropUndo());
    }

    // The listing of every entry is asked for once, again when a scan finds the Trash changed while
    // it is held, and never once it was let go; deleting rescans and counts what stayed.
    void theListingFollowsTheTrashWhileItIsHeld()
    {
        const auto listOf = [](std::initializer_list<qint64> sizes) {
            TrashEntryList list;
            for (const qint64 size : sizes)
                list.append(TrashEntryList::Fields{"/trash", "x", {}, size, {}, FileCategory::Other, false});
            list.finish();
            return list;
        };
        {
            // After a change, what the last listing found is shown at once and the current listing
            // replaces it.
            Rig rig;
            BinwellViewModel& vm = rig.make();
            rig.trash.earlierList = listOf({4096});
            rig.trash.entryList = listOf({2048, 2048});
            QList<qsizetype> shown;
            connect(&vm, &BinwellViewModel::allEntriesChanged, this, [&] { shown.append(vm.allEntries()->size()); });
            finish(vm.listAllEntries());
            QCOMPARE(shown, (QList<qsizetype>{1, 2}));
            QVERIFY(!vm.allEntries()->isEarlier() && !vm.isListingAllEntries());
            QCOMPARE(rig.trash.calls, (QStringList{u"fetchEntryList(earlier)"_s, u"fetchEntryList"_s}));
        }
        {
            // Listed beside the start's first scan: shown without the size of a folder never
            // measured, then measured; the scan, which finds what the list holds, lists nothing more.
            Rig rig;
            BinwellViewModel& vm = rig.make();
            rig.trash.unmeasuredList = listOf({TrashEntryList::kUnknownSize, 2048});
            rig.trash.entryList = listOf({2048, 2048});
            QList<qsizetype> unsized;
            connect(&vm, &BinwellViewModel::allEntriesChanged, this,
                    [&] { unsized.append(vm.allEntries()->unsizedCount()); });
            finish(vm.listAllEntries());
            rig.trash.status = statusWith(2);
            finish(vm.refresh());
            QCOMPARE(unsized, (QList<qsizetype>{1, 0}));
            QCOMPARE(rig.trash.calls,
                     (QStringList{u"fetchEntryList"_s, u"fetchEntryList(measured)"_s, u"fetchStatus"_s}));
        }
        Rig rig;
        BinwellViewModel& vm = rig.makeShowing(statusWith(2));
        const auto listings = [&rig] { return rig.trash.calls.count(u"fetchEntryList"_s); };
        finish(vm.listAllEntries());
        finish(vm.refresh());
        QVERIFY(vm.allEntries());
        QCOMPARE(listings(), 1);
        rig.trash.status = statusWith(3);
        rig.trash.removeReport = TrashRemoveReport{{}, 0, {TrashError{TrashServiceError::FileSystem, 0, u"x"_s}}};
        finish(vm.deleteEntries({{"/trash", "a"}}));
        QCOMPARE(rig.trash.removed, (QList<TrashEntryRef>{{"/trash", "a"}}));
        QCOMPARE(vm.lastFailureDetail(), std::optional(u"已删除 0/1 项，1 项仍在废纸篓中。\nx"_s));
        QCOMPARE(listings(), 2);
        vm.releaseAllEntries();
        QVERIFY(!vm.allEntries());
        rig.trash.status = statusWith(4);
        finish(vm.refresh());
        QCOMPARE(listings(), 2);
    }

    // A drop that takes the Trash past a silent size rule: the rules wait while the drop is on its
    // way and its undo is offered or under way, then act on a fresh scan. Calls are traced in order.
    void theRulesWaitWhileADropCanBeUndone()
    {
        Rig rig;
        rig.settings.setAutoCleanEnabled(true);
        rig.settings.setAutoCleanActionIsSilent(true);
        rig.trash.status = statusWith(3, 11LL << 30);
        rig.trash.emptyResult = TrashCleanupResult{3, 11LL << 30, 0, {}};
        BinwellViewModel& vm = rig.make();
        finish(vm.moveToTrash({"/tmp/a"}));
        finish(vm.refresh()); // the poll, the monitor, the panel opening
        settle();
        QVERIFY(vm.dropUndo() && !rig.trash.calls.contains(u"emptyTrash"_s));
        rig.clock.advance(10s); // the offer ends: the rules get the Trash as it is now
        settle();
        QCOMPARE(rig.trash.calls.mid(2), (QStringList{u"fetchStatus"_s, u"emptyTrash"_s}));
        QVERIFY(vm.lastCleaningRecord());

        rig.trash.calls.clear();
        finish(vm.moveToTrash({"/tmp/b"}));
        QVERIFY(!rig.trash.calls.contains(u"emptyTrash"_s));
        finish(vm.undoLastDrop());
        settle();
        QCOMPARE(rig.trash.restored.size(), 1);
        QCOMPARE(rig.trash.calls, (QStringList{u"fetchStatus"_s, u"fetchStatus"_s, u"emptyTrash"_s}));

        // Emptied by someone else meanwhile: what left the Trash is not said to have stayed.
        finish(vm.moveToTrash({"/tmp/c"}));
        const QString why = u"cannot restore /trash/files/c: it is no longer in the Trash"_s;
        rig.trash.restoreReport =
            TrashRestoreReport{{}, {TrashError{TrashServiceError::FileSystem, ENOENT, why}}, {{"/trash", "c"}}};
        finish(vm.undoLastDrop());
        QCOMPARE(vm.lastFailureDetail(), std::optional(u"已放回 0/1 项，1 项已不在废纸篓中。\n"_s + why));
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
        QSignalSpy states(&vm, &BinwellViewModel::stateChanged);
        finish(vm.refresh());
        settle();
        QCOMPARE(vm.lastCleaningRecord().value_or(CleaningRecord{}).freedBytes, 500);
        QCOMPARE(states.count(), 0); // the rules never set the state
        QVERIFY(!vm.lastFailureDetail());

        // What the age rule keeps for want of a date is said, until the rule no longer runs.
        rig.trash.removeResult = TrashCleanupResult{0, 0, 0, {}, 2};
        finish(vm.refresh());
        settle();
        QVERIFY(vm.lastFailureDetail().value_or(QString()).contains(u" 2 "_s)); // in either language
        rig.settings.setAutoCleanByAgeEnabled(false);
        finish(vm.refresh());
        QVERIFY(!vm.lastFailureDetail());
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
        rig.vm->handleTrashChange();
        rig.vm.reset();
        for (auto* task : {&empty, &scan})
            finish(*task);
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
};

QTEST_GUILESS_MAIN(BinwellViewModelTest)
#include "BinwellViewModelTest.moc"
