#include "SoundHapticService.h"
#include "CanberraSoundPlayer.h"
#include "FakeServices.h"
#include "TempHome.h"
#include "TreeBuilder.h"

#include <QFile>
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

    // The real player, into an ALSA device that discards all sound: the theme's sound is found and
    // played, without the beep. What follows a failed sound is the service's, checked above.
    void theRealPlayerPlaysTheThemeSound()
    {
        TempHome home;
        TreeBuilder(QFile::encodeName(home.home()))
            .write(".asoundrc", "pcm.!default { type null }\nctl.!default { type hw card 0 }\n");
        EnvGuard env;
        env.set("XDG_DATA_DIRS", "/usr/share").set("CANBERRA_DRIVER", "alsa").unset("PULSE_SERVER");
        if (!QFile::exists(u"/usr/share/sounds/freedesktop/stereo/trash-empty.oga"_s))
            QSKIP("the freedesktop sound theme is not installed (scripts/setup installs it)");
        int beeps = 0;
        CanberraSoundPlayer player([&beeps] { ++beeps; });
        FakeHaptics haptics;
        QVERIFY(player.play(SoundHapticService::kMoveToTrashSlot, u"trash-empty"_s));
        SoundHapticService(player, haptics).emptyTrashFeedback(true, false);
        QCOMPARE(beeps, 0);
    }
};

QTEST_GUILESS_MAIN(SoundHapticServiceTest)
#include "SoundHapticServiceTest.moc"
