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
        QTest::newRow("both off") << all << false << false << QString();
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

    void theThemeSoundPlaysIntoANullDevice()
    {
        // A home whose ALSA configuration discards all sound: the theme's sound is found and played.
        TempHome home;
        TreeBuilder(QFile::encodeName(home.home()))
            .write(".asoundrc", "pcm.!default { type null }\nctl.!default { type hw card 0 }\n");
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
