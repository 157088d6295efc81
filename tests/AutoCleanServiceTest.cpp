#include "AutoCleanService.h"
#include "FakeServices.h"
#include "MemoryDefaults.h"
#include "NotificationService.h"
#include "SettingsService.h"
#include "StoredRecords.h"
#include "VirtualScheduler.h"

#include <QTest>

using namespace rubbly;
using namespace rubbly::test;
using namespace std::chrono_literals;

namespace {

constexpr qint64 kGiB = 1024LL * 1024 * 1024;

TrashStatus statusOf(qint64 size, int items)
{
    TrashStatus status;
    status.totalSize = size;
    status.itemCount = items;
    return status;
}

// Everything one evaluation needs, with auto-clean on and the rest at its defaults.
struct Rig {
    VirtualScheduler clock;
    MemoryDefaults defaults;
    SettingsService settings{defaults, {}};
    FakeTrashService trash;
    FakeNotificationCenter center;
    NotificationService notifications{center};
    AutoCleanService service{trash, notifications, defaults, &clock};
    QObject receiver;
    QList<CleaningRecord> records;

    Rig() { settings.setAutoCleanEnabled(true); }

    void evaluate(const TrashStatus& status)
    {
        auto task = service.evaluate(status, settings, &receiver,
                                     [this](const CleaningRecord& record) { records.append(record); });
        if (!QTest::qWaitFor([&task] { return task.isReady(); }, 2000))
            qFatal("evaluation did not finish");
        QCoreApplication::processEvents();
    }
};

} // namespace

class AutoCleanServiceTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void switchedOffDoesNothing()
    {
        Rig rig;
        rig.settings.setAutoCleanEnabled(false);
        rig.settings.setAutoCleanActionIsSilent(true);
        rig.evaluate(statusOf(100 * kGiB, 5));
        QVERIFY(rig.trash.calls.isEmpty());
        QVERIFY(rig.center.posted.isEmpty());
    }

    void anEmptyTrashIsLeftAloneWhateverItsSize()
    {
        Rig rig;
        rig.settings.setAutoCleanActionIsSilent(true);
        rig.evaluate(statusOf(100 * kGiB, 0));
        QVERIFY(rig.trash.calls.isEmpty());
    }

    void thresholdBoundary_data()
    {
        QTest::addColumn<qint64>("size");
        QTest::addColumn<bool>("fires");
        QTest::newRow("exactly the threshold") << 10 * kGiB << true;
        QTest::newRow("one byte less") << 10 * kGiB - 1 << false;
    }
    void thresholdBoundary()
    {
        QFETCH(qint64, size);
        QFETCH(bool, fires);
        Rig rig;
        rig.settings.setAutoCleanActionIsSilent(true);
        rig.settings.setAutoCleanByAgeEnabled(false);
        rig.evaluate(statusOf(size, 3));
        QCOMPARE(rig.trash.calls.contains(QStringLiteral("emptyTrash")), fires);
    }

    void warningTextsAndTheTwelveHourGap()
    {
        Rig rig;
        rig.settings.setAutoCleanByAgeEnabled(false);
        rig.evaluate(statusOf(12 * kGiB, 7));
        QCOMPARE(rig.center.posted.size(), 1);
        QCOMPARE(rig.center.posted[0].first, QStringLiteral("废纸篓占用已超过 10 GB"));
        QCOMPARE(rig.center.posted[0].second,
                 QStringLiteral("当前已占用 12 GB（7 个项目），建议及时清空释放磁盘空间。"));
        QVERIFY(rig.trash.calls.isEmpty());

        rig.clock.advance(11h);
        rig.evaluate(statusOf(12 * kGiB, 7));
        QCOMPARE(rig.center.posted.size(), 1);
        rig.clock.advance(1h); // exactly 12 h: not yet, it must be strictly more
        rig.evaluate(statusOf(12 * kGiB, 7));
        QCOMPARE(rig.center.posted.size(), 1);
        rig.clock.advance(1s);
        rig.evaluate(statusOf(12 * kGiB, 7));
        QCOMPARE(rig.center.posted.size(), 2);
    }

    void aNewServiceAlwaysWarnsFirst()
    {
        Rig first;
        first.evaluate(statusOf(12 * kGiB, 1));
        Rig second;
        second.evaluate(statusOf(12 * kGiB, 1));
        QCOMPARE(second.center.posted.size(), 1);
    }

    void silentEmptyingRecordsAndEndsTheEvaluation()
    {
        Rig rig;
        rig.settings.setAutoCleanActionIsSilent(true);
        rig.settings.setNotifyAfterCleaning(false);
        rig.trash.emptyResult = TrashCleanupResult{4, 11 * kGiB, 0};
        rig.evaluate(statusOf(11 * kGiB, 4));
        QCOMPARE(rig.trash.calls, QStringList{QStringLiteral("emptyTrash")}); // no age rule afterwards
        QVERIFY(rig.center.posted.isEmpty());
        QCOMPARE(rig.records.size(), 1);
        QCOMPARE(rig.records[0].removedItemCount, 4);
        QVERIFY(rig.records[0].cleanedAt == rig.clock.now());
        QCOMPARE(loadRecord(rig.defaults, kLastCleaningRecordKey), std::optional(rig.records[0]));
    }

    void silentEmptyingNotifiesWhenAsked()
    {
        Rig rig;
        rig.settings.setAutoCleanActionIsSilent(true);
        rig.trash.emptyResult = TrashCleanupResult{2, 1024, 1};
        rig.evaluate(statusOf(11 * kGiB, 3));
        QCOMPARE(rig.center.posted.size(), 1);
        QCOMPARE(rig.center.posted[0].second, QStringLiteral("已释放 1 KB · 共移除 2 个项目"));
    }

    void aFailedSilentEmptyingFallsThroughToTheAgeRule()
    {
        Rig rig;
        rig.settings.setAutoCleanActionIsSilent(true);
        rig.trash.emptyResult = TrashError{TrashServiceError::TrashURLUnavailable, 0, {}};
        rig.trash.removeResult = TrashCleanupResult{1, 100, 0};
        rig.evaluate(statusOf(11 * kGiB, 3));
        QCOMPARE(rig.trash.calls, (QStringList{QStringLiteral("emptyTrash"), QStringLiteral("removeItems(30)")}));
        QCOMPARE(rig.records.size(), 1);
        QCOMPARE(rig.records[0].freedBytes, 100);
    }

    void ageRule_data()
    {
        QTest::addColumn<int>("days");
        QTest::addColumn<bool>("runs");
        QTest::newRow("30 days") << 30 << true;
        QTest::newRow("one day") << 1 << true;
        QTest::newRow("zero disables") << 0 << false;
        QTest::newRow("negative disables") << -5 << false;
    }
    void ageRule()
    {
        QFETCH(int, days);
        QFETCH(bool, runs);
        Rig rig;
        rig.settings.setAutoCleanBySizeEnabled(false);
        rig.settings.setAutoCleanDays(days);
        rig.evaluate(statusOf(1, 1));
        QCOMPARE(rig.trash.calls.size(), runs ? 1 : 0);
    }

    void ageRemovalOfNothingRecordsNothing()
    {
        Rig rig;
        rig.settings.setAutoCleanBySizeEnabled(false);
        rig.evaluate(statusOf(1, 1));
        QVERIFY(rig.records.isEmpty());
        QVERIFY(!rig.defaults.contains(kLastCleaningRecordKey));
    }

    void aGoneReceiverGetsNoRecordButTheRecordIsSaved()
    {
        Rig rig;
        rig.settings.setAutoCleanBySizeEnabled(false);
        rig.trash.removeResult = TrashCleanupResult{1, 10, 0};
        rig.trash.deferred = true;
        auto* receiver = new QObject;
        bool called = false;
        auto task =
            rig.service.evaluate(statusOf(1, 1), rig.settings, receiver, [&](const CleaningRecord&) { called = true; });
        delete receiver;
        QVERIFY(QTest::qWaitFor([&task] { return task.isReady(); }, 2000));
        QVERIFY(!called);
        QVERIFY(loadRecord(rig.defaults, kLastCleaningRecordKey));
    }

    void evaluationsTakeTurns()
    {
        // The second evaluation starts only when the first has finished: one warning, not two.
        Rig rig;
        rig.settings.setAutoCleanByAgeEnabled(false);
        auto a = rig.service.evaluate(statusOf(12 * kGiB, 1), rig.settings, nullptr, {});
        auto b = rig.service.evaluate(statusOf(12 * kGiB, 1), rig.settings, nullptr, {});
        QVERIFY(QTest::qWaitFor([&] { return a.isReady() && b.isReady(); }, 2000));
        QCoreApplication::processEvents();
        QCOMPARE(rig.center.posted.size(), 1);
    }

    void thresholdsThatFitNoByteCountDisableTheRule()
    {
        QCOMPARE(AutoCleanService::thresholdBytes(10.0), std::optional<qint64>(10 * kGiB));
        QCOMPARE(AutoCleanService::thresholdBytes(0.5), std::optional<qint64>(kGiB / 2));
        QVERIFY(!AutoCleanService::thresholdBytes(std::numeric_limits<double>::infinity()));
        QVERIFY(!AutoCleanService::thresholdBytes(1e12));
        QVERIFY(!AutoCleanService::thresholdBytes(-1));
    }
};

QTEST_GUILESS_MAIN(AutoCleanServiceTest)
#include "AutoCleanServiceTest.moc"
