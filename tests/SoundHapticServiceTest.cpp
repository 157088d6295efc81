#include "SoundHapticService.h"
#include "CanberraSoundPlayer.h"
#include "FakeServices.h"
#include "TempHome.h"

#include <QFile>
#include <QTest>

using namespace rubbly;
using namespace rubbly::test;

class SoundHapticServiceTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void emptyTrashRestartsItsSoundThenTaps()
    {
        FakeSoundPlayer player;
        FakeHaptics haptics;
        SoundHapticService service(player, haptics);
        service.emptyTrashFeedback(true, true);
        service.emptyTrashFeedback(true, false);
        QCOMPARE(player.log, (QStringList{QStringLiteral("cancel 1"), QStringLiteral("play 1 trash-empty"),
                                          QStringLiteral("cancel 1"), QStringLiteral("play 1 trash-empty")}));
        QCOMPARE(haptics.taps, 1);
    }

    void fallsBackToTheBellThenTheBeep()
    {
        FakeSoundPlayer player;
        FakeHaptics haptics;
        SoundHapticService service(player, haptics);
        player.available = {QStringLiteral("bell")};
        service.emptyTrashFeedback(true, false);
        QVERIFY(player.log.contains(QStringLiteral("play 1 bell")));
        QVERIFY(!player.log.contains(QStringLiteral("beep")));
        player.available.clear();
        player.log.clear();
        service.emptyTrashFeedback(true, false);
        QCOMPARE(player.log.last(), QStringLiteral("beep"));
    }

    void bothFlagsOffDoNothing()
    {
        FakeSoundPlayer player;
        FakeHaptics haptics;
        SoundHapticService(player, haptics).emptyTrashFeedback(false, false);
        QVERIFY(player.log.isEmpty());
        QCOMPARE(haptics.taps, 0);
    }

    void moveToTrashPlaysItsOwnShortSound()
    {
        FakeSoundPlayer player;
        FakeHaptics haptics;
        SoundHapticService(player, haptics).moveToTrashFeedback();
        QCOMPARE(player.log, QStringList{QStringLiteral("play 2 audio-volume-change")});
    }

    void theThemeSoundPlaysIntoANullDevice()
    {
        // A home whose ALSA configuration discards all sound: the theme's sound is found and played.
        TempHome home;
        QFile asoundrc(home.home() + QStringLiteral("/.asoundrc"));
        QVERIFY(asoundrc.open(QIODevice::WriteOnly));
        asoundrc.write("pcm.!default { type null }\nctl.!default { type hw card 0 }\n");
        asoundrc.close();
        EnvGuard env;
        env.set("XDG_DATA_DIRS", "/usr/share").set("CANBERRA_DRIVER", "alsa").unset("PULSE_SERVER");
        if (!QFile::exists(QStringLiteral("/usr/share/sounds/freedesktop/stereo/trash-empty.oga")))
            QSKIP("the freedesktop sound theme is not installed (scripts/setup installs it)");
        int beeps = 0;
        CanberraSoundPlayer player([&beeps] { ++beeps; });
        FakeHaptics haptics;
        SoundHapticService service(player, haptics);
        QVERIFY(player.play(SoundHapticService::kMoveToTrashSlot, QStringLiteral("trash-empty")));
        service.emptyTrashFeedback(true, false);
        QCOMPARE(beeps, 0);
    }

    void withoutAnySoundTheChainEndsInTheBeep()
    {
        TempHome home; // its XDG_DATA_DIRS holds no sound theme
        EnvGuard env;
        env.set("CANBERRA_DRIVER", "alsa");
        int beeps = 0;
        CanberraSoundPlayer player([&beeps] { ++beeps; });
        FakeHaptics haptics;
        SoundHapticService(player, haptics).emptyTrashFeedback(true, true);
        QCOMPARE(beeps, 1);
        QCOMPARE(haptics.taps, 1);
    }
};

QTEST_GUILESS_MAIN(SoundHapticServiceTest)
#include "SoundHapticServiceTest.moc"
