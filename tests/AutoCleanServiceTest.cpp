#include "AutoCleanService.h"
#include "StoredRecords.h"
#include "ViewModelRig.h"

#include <QTest>

using namespace rubbly;
using namespace rubbly::test;
using namespace std::chrono_literals;
using namespace Qt::StringLiterals;

namespace {

constexpr qint64 kGiB = 1024LL * 1024 * 1024;

// The shared rig's auto-clean service, switched on and emptying silently, and the records it hands back.
struct Rig : ViewModelRig {
    QObject receiver;
    QList<CleaningRecord> records;

    Rig()
    {
        settings.setAutoCleanEnabled(true);
        settings.setAutoCleanActionIsSilent(true);
    }

    void evaluate(qint64 size, int items)
    {
        finish(autoClean.evaluate(statusWith(items, size), settings, &receiver,
                                  [this](const CleaningRecord& record) { records.append(record); }));
        QCoreApplication::processEvents();
    }
};

} // namespace

class AutoCleanServiceTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // The size rule empties silently here, so each case shows in the trash calls alone. (That nothing
    // runs while auto-clean is off is BinwellViewModelTest's, where the switch is read.)
    void whichRuleRuns_data()
    {
        QTest::addColumn<bool>("bySize");
        QTest::addColumn<int>("days");
        QTest::addColumn<qint64>("size");
        QTest::addColumn<int>("items");
        QTest::addColumn<QStringList>("calls");
        const auto row = [](const char* name, bool bySize, int days, qint64 size, int items, const QStringList& calls) {
            QTest::newRow(name) << bySize << days << size << items << calls;
        };
        row("exactly the threshold: emptying ends it", true, 30, 10 * kGiB, 3, {u"emptyTrash"_s});
        row("one byte under the threshold", true, 30, 10 * kGiB - 1, 3, {u"removeItems(30)"_s});
        row("age alone, one day, the size rule off", false, 1, 100 * kGiB, 1, {u"removeItems(1)"_s});
        row("zero days switch the age rule off", false, 0, 1, 1, {});
    }
    void whichRuleRuns()
    {
        QFETCH(bool, bySize);
        QFETCH(int, days);
        QFETCH(qint64, size);
        QFETCH(int, items);
        QFETCH(QStringList, calls);
        Rig rig;
        rig.settings.setAutoCleanBySizeEnabled(bySize);
        rig.settings.setAutoCleanDays(days);
        rig.evaluate(size, items);
        QCOMPARE(rig.trash.calls, calls);
        // The fake removes nothing, and removing nothing is not a cleaning to record or tell.
        QVERIFY(rig.records.isEmpty() && rig.center.posted.isEmpty() && !rig.defaults.contains(kLastCleaningRecordKey));
    }

    void warningsKeepATwelveHourGap()
    {
        Rig rig;
        rig.settings.setAutoCleanByAgeEnabled(false);
        rig.settings.setAutoCleanActionIsSilent(false);
        // At exactly 12 h not yet: it must be strictly more. (The wording shows at once in every warning.)
        for (const auto& [wait, posted] : {std::pair<std::chrono::seconds, int>{0s, 1}, {12h, 1}, {1s, 2}}) {
            rig.clock.advance(wait);
            rig.evaluate(12 * kGiB, 7);
            QCOMPARE(rig.center.posted.size(), posted);
        }
        QVERIFY(rig.trash.calls.isEmpty()); // warned, never emptied
    }

    void silentEmptyingRecordsAndNotifiesOnlyWhenAsked()
    {
        Rig rig;
        rig.settings.setNotifyAfterCleaning(false);
        rig.trash.emptyResult = TrashCleanupResult{4, 11 * kGiB, 0, {}};
        rig.evaluate(11 * kGiB, 4);
        QVERIFY(rig.center.posted.isEmpty());
        const CleaningRecord expected{rig.clock.now(), 11 * kGiB, 4};
        QCOMPARE(rig.records, QList{expected});
        QCOMPARE(loadRecord(rig.defaults, kLastCleaningRecordKey), std::optional(expected));

        rig.settings.setNotifyAfterCleaning(true);
        rig.trash.emptyResult = TrashCleanupResult{2, 1024, 1, {}};
        rig.evaluate(11 * kGiB, 3);
        // The text is NotificationServiceTest's; here the numbers reach it.
        QCOMPARE(rig.center.posted.value(0).second, u"已释放 1 KB · 共移除 2 个项目"_s);
    }

    void aFailedSilentEmptyingFallsThroughToTheAgeRule()
    {
        Rig rig;
        rig.trash.emptyResult = TrashError{TrashServiceError::TrashURLUnavailable, 0, {}};
        rig.trash.removeResult = TrashCleanupResult{1, 100, 0, {}};
        rig.evaluate(11 * kGiB, 3);
        QCOMPARE(rig.trash.calls, (QStringList{u"emptyTrash"_s, u"removeItems(30)"_s}));
        QCOMPARE(rig.records, (QList{CleaningRecord{rig.clock.now(), 100, 1}}));
    }

    void aGoneReceiverGetsNoRecordButTheRecordIsSaved()
    {
        Rig rig;
        rig.trash.removeResult = TrashCleanupResult{1, 10, 0, {}};
        rig.trash.deferred = true;
        auto* receiver = new QObject;
        bool called = false;
        auto task = rig.autoClean.evaluate(statusWith(1, 1), rig.settings, receiver,
                                           [&](const CleaningRecord&) { called = true; });
        delete receiver;
        finish(task);
        QVERIFY(!called);
        QVERIFY(loadRecord(rig.defaults, kLastCleaningRecordKey));
    }

    void evaluationsTakeTurns()
    {
        // The second evaluation starts only when the first has finished: while the first waits for
        // its emptying, the second has asked for nothing. (Its own emptying follows.)
        Rig rig;
        rig.trash.deferred = true;
        auto a = rig.autoClean.evaluate(statusWith(1, 12 * kGiB), rig.settings, nullptr, {});
        auto b = rig.autoClean.evaluate(statusWith(1, 12 * kGiB), rig.settings, nullptr, {});
        QCOMPARE(rig.trash.calls, QStringList{u"emptyTrash"_s});
        finish(a);
        finish(b);
        QCOMPARE(rig.trash.calls, (QStringList{u"emptyTrash"_s, u"emptyTrash"_s}));
    }

    void aHoldStopsEvenAnEvaluationAlreadyWaitingItsTurn()
    {
        Rig rig;
        rig.trash.deferred = true;
        auto a = rig.autoClean.evaluate(statusWith(1, 12 * kGiB), rig.settings, nullptr, {});
        auto b = rig.autoClean.evaluate(statusWith(1, 12 * kGiB), rig.settings, nullptr, {});
        rig.autoClean.hold();
        finish(a);
        finish(b);
        QCOMPARE(rig.trash.calls, QStringList{u"emptyTrash"_s});
        QVERIFY(rig.autoClean.release() && !rig.autoClean.release()); // once: evaluate again
    }

    void thresholdsThatFitNoByteCountDisableTheRule()
    {
        QCOMPARE(AutoCleanService::thresholdBytes(0.5), std::optional<qint64>(kGiB / 2));
        for (const double gigabytes : {std::numeric_limits<double>::infinity(), 1e12, -1.0})
            QVERIFY(!AutoCleanService::thresholdBytes(gigabytes));
    }
};

QTEST_GUILESS_MAIN(AutoCleanServiceTest)
#include "AutoCleanServiceTest.moc"
