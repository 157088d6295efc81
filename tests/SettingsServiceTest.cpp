#include "SettingsService.h"
#include "JsonFileDefaultsStore.h"
#include "MemoryDefaults.h"
#include "RecordingEffects.h"
#include "TempHome.h"
#include "TreeBuilder.h"

#include <QHash>
#include <QSignalSpy>
#include <QTest>

using namespace rubbly;
using namespace rubbly::test;
using Key = SettingsService::Key;
using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(rubbly::DefaultsValue)
Q_DECLARE_METATYPE(rubbly::SettingsService::Key)

class SettingsServiceTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // Which stored types a typed read takes is DefaultsStoreTest's; here one refusal per kind of setting.
    void illTypedValuesFallBackAndStayStored_data()
    {
        QTest::addColumn<Key>("key");
        QTest::addColumn<DefaultsValue>("stored");
        QTest::newRow("appearance with a capital letter") << Key::AppAppearance << DefaultsValue(u"Dark"_s);
        QTest::newRow("days beyond int") << Key::AutoCleanDays << DefaultsValue(qint64(1) << 40);
        QTest::newRow("threshold as text") << Key::AutoCleanSizeThresholdGB << DefaultsValue(u"5"_s);
        QTest::newRow("bool stored as int") << Key::HideInDock << DefaultsValue(qint64(0));
    }
    void illTypedValuesFallBackAndStayStored()
    {
        QFETCH(Key, key);
        QFETCH(DefaultsValue, stored);
        MemoryDefaults defaults;
        defaults.values.insert(SettingsService::defaultsKey(key), stored);
        SettingsService settings(defaults, {});
        QCOMPARE(settings.value(key), SettingsService::defaultValue(key));
        QCoreApplication::processEvents();
        QCOMPARE(defaults.writes, 0);
        QCOMPARE(defaults.values.value(SettingsService::defaultsKey(key)), stored);
    }

    void everyChangeIsWrittenWithItsType()
    {
        MemoryDefaults defaults;
        SettingsService settings(defaults, {});
        QVERIFY(!settings.autoCleanEnabled()); // a fresh install never deletes anything unasked
        QCoreApplication::processEvents();
        QCOMPARE(defaults.writes, 0); // nor writes anything
        settings.setAutoCleanDays(14);
        settings.setAutoCleanSizeThresholdGB(2.5);
        settings.setAppAppearance(AppAppearance::Light);
        settings.setGlobalShortcutEnabled(true);
        settings.setGlobalShortcutEnabled(true); // same value: not written again
        QCOMPARE(defaults.values, (QHash<QString, DefaultsValue>{{u"Rubbly.autoCleanDays"_s, qint64(14)},
                                                                 {u"Rubbly.autoCleanSizeThresholdGB"_s, 2.5},
                                                                 {u"Rubbly.appAppearance"_s, u"light"_s},
                                                                 {u"Rubbly.globalShortcutEnabled"_s, true}}));
        QCOMPARE(defaults.writes, 4);
        // And a new store sees them.
        SettingsService again(defaults, {});
        for (int i = 0; i < SettingsService::kKeyCount; ++i)
            QCOMPARE(again.value(Key(i)), settings.value(Key(i)));
    }

    // Appearance and taskbar policy apply after the current turn, so a store destroyed before then
    // applies nothing, not even the values it started with.
    void nothingIsAppliedOnceTheStoreIsGone()
    {
        MemoryDefaults defaults;
        RecordingAppearance effects;
        auto gone = std::make_unique<SettingsService>(defaults, SettingsService::Effects{&effects, &effects, nullptr});
        gone->setHideInDock(false);
        gone.reset();
        QCoreApplication::processEvents();
        QCOMPARE(effects.hideInDockCalls.size() + effects.appearances.size(), 0);
    }

    // The login item is asked only when its state differs from the setting, not at start; a failed
    // registration keeps the user's choice.
    void loginItemIsOnlyCalledWhenItsStateDiffers()
    {
        MemoryDefaults defaults;
        FakeLoginItem login;
        login.enabled = true;
        SettingsService settings(defaults, {nullptr, nullptr, &login});
        settings.setLaunchAtLogin(true);
        settings.setLaunchAtLogin(false);
        settings.setLaunchAtLogin(false);
        QCOMPARE(std::pair(login.registerCalls, login.unregisterCalls), std::pair(0, 1));
        login.failing = true;
        settings.setLaunchAtLogin(true);
        QCOMPARE(login.registerCalls, 1);
        QVERIFY(settings.launchAtLogin());
        QCOMPARE(defaults.values.value(u"Rubbly.launchAtLogin"_s), DefaultsValue{true});
    }

    // What another program stores reaches the running service with its effect, whether it replaces
    // the file (as our own saves do) or an editor rewrites it in place afterwards.
    void aChangeStoredByAnotherProgramIsTakenIn()
    {
        TempHome home;
        const QString path = JsonFileDefaultsStore::defaultFilePath();
        JsonFileDefaultsStore store(path, JsonFileDefaultsStore::Watch::ForOtherWriters);
        FakeLoginItem login;
        SettingsService settings(store, {nullptr, nullptr, &login});
        QSignalSpy days(&settings, &SettingsService::autoCleanDaysChanged);
        JsonFileDefaultsStore(path).setValue(u"Rubbly.autoCleanDays"_s, qint64(7));
        QTRY_COMPARE(settings.autoCleanDays(), 7);
        TreeBuilder(QFile::encodeName(home.configHome()))
            .write("rubbly/defaults.json",
                   R"({"Rubbly.autoCleanDays":{"int":7},"Rubbly.launchAtLogin":{"bool":true}})");
        QTRY_VERIFY(settings.launchAtLogin());
        QCOMPARE(std::pair(login.registerCalls, days.size()), std::pair(1, qsizetype(1)));
    }
};

QTEST_GUILESS_MAIN(SettingsServiceTest)
#include "SettingsServiceTest.moc"
