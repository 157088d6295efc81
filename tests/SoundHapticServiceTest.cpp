#include "SoundHapticService.h"
#include "FakeServices.h"

#include <QTest>

using namespace rubbly;
using namespace rubbly::test;
using namespace Qt::StringLiterals;

class SoundHapticServiceTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void emptyingRestartsItsSoundFallsBackAndTaps_data()
    {
        QTest::addColumn<QStringList>("available");
        QTest::addColumn<bool>("sound");
        QTest::addColumn<bool>("haptic");
        QTest::addColumn<QString>("log");
        const QStringList all{u"trash-empty"_s, u"bell"_s};
        QTest::newRow("the theme's sound, then a tap") << all << true << true << u"cancel 1|play 1 trash-empty"_s;
        QTest::newRow("no theme sound: the bell")
            << QStringList{u"bell"_s} << true << false << u"cancel 1|play 1 trash-empty|play 1 bell"_s;
        QTest::newRow("no sound at all: the beep")
            << QStringList() << true << false << u"cancel 1|play 1 trash-empty|play 1 bell|beep"_s;
        QTest::newRow("sound off") << all << false << true << QString();
    }
    void emptyingRestartsItsSoundFallsBackAndTaps()
    {
        QFETCH(QStringList, available);
        QFETCH(bool, sound);
        QFETCH(bool, haptic);
        QFETCH(QString, log);
        FakeSoundPlayer player;
        FakeHaptics haptics;
        player.available = available;
        SoundHapticService service(player, haptics);
        service.emptyTrashFeedback(sound, haptic);
        QCOMPARE(player.log.join(QLatin1Char('|')), log);
        QCOMPARE(haptics.taps, haptic ? 1 : 0);
        // Moving to the Trash has its own short sound, on its own slot.
        player.log.clear();
        service.moveToTrashFeedback();
        QCOMPARE(player.log, QStringList{u"play 2 audio-volume-change"_s});
    }
};

QTEST_GUILESS_MAIN(SoundHapticServiceTest)
#include "SoundHapticServiceTest.moc"
