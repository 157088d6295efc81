#include "Timestamp.h"

#include <QTest>

using namespace rubbly;
using namespace std::chrono;

class TimestampTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void roundTripsEveryMicrosecond_data()
    {
        QTest::addColumn<qint64>("micros");
        QTest::newRow("a recent date with microseconds") << qint64(1'780'000'000'123'457);
        QTest::newRow("before the reference epoch") << qint64(946'684'800'999'999);
        QTest::newRow("before the Unix epoch") << qint64(-1'000'000'000'000'001);
    }
    void roundTripsEveryMicrosecond()
    {
        QFETCH(qint64, micros);
        const Timestamp t{microseconds{micros}};
        QCOMPARE(fromReferenceSeconds(toReferenceSeconds(t)), std::optional(t));
    }

    // As any encoder of reference-date seconds writes them; no date holds NaN, infinities or 1e300.
    void knownValuesMatchOtherImplementationsAndImpossibleOnesAreRejected()
    {
        QCOMPARE(toDateTime(*fromReferenceSeconds(730987200.5)), utcDateTime(QDate(2024, 3, 1), QTime(12, 0, 0, 500)));
        for (const double seconds :
             {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity(), 1e300, -1e300})
            QVERIFY2(!fromReferenceSeconds(seconds), qPrintable(QString::number(seconds)));
    }
};

QTEST_GUILESS_MAIN(TimestampTest)
#include "TimestampTest.moc"
