#include "SettingsService.h"
#include "MemoryDefaults.h"
#include "RecordingEffects.h"

#include <QHash>
#include <QSignalSpy>
#include <QTest>

using namespace rubbly;
using namespace rubbly::test;
using Key = SettingsService::Key;
using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(rubbly::DefaultsValue)

class SettingsServiceTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void everySettingHasItsKeyAndNotifySignalAndStartsUnwritten()
    {
        MemoryDefaults defaults;
        SettingsService settings(defaults, {});
        const QMetaObject* meta = settings.metaObject();
        for (int i = 0; i < SettingsService::kKeyCount; ++i) {
            const QString key = SettingsService::defaultsKey(static_cast<Key>(i));
            QVERIFY2(key.startsWith(QLatin1String("Rubbly.")), qPrintable(key));
            const QMetaProperty property = meta->property(meta->indexOfProperty(key.mid(7).toLatin1()));
            QVERIFY2(property.isValid() && property.hasNotifySignal(), qPrintable(key));
        }
        // A fresh install never deletes anything unasked.
        QVERIFY(!settings.autoCleanEnabled());
        QCoreApplication::processEvents();
        QCOMPARE(defaults.writes, 0);
    }

    // Which stored types a typed read takes is DefaultsStoreTest's; here one refusal per kind of setting.
    void illTypedValuesFallBackAndStayStored_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<DefaultsValue>("stored");
        QTest::newRow("appearance with a capital letter") << "Rubbly.appAppearance" << DefaultsValue(u"Dark"_s);
        QTest::newRow("days beyond int") << "Rubbly.autoCleanDays" << DefaultsValue(qint64(1) << 40);
        QTest::newRow("threshold as text") << "Rubbly.autoCleanSizeThresholdGB" << DefaultsValue(u"5"_s);
        QTest::newRow("bool stored as int") << "Rubbly.hideInDock" << DefaultsValue(qint64(0));
    }
    void illTypedValuesFallBackAndStayStored()
    {
        QFETCH(QString, key);
        QFETCH(DefaultsValue, stored);
        MemoryDefaults defaults;
        defaults.values.insert(key, stored);
        SettingsService settings(defaults, {});
        QCOMPARE(settings.appAppearance(), AppAppearance::System);
        QCOMPARE(settings.autoCleanDays(), 30);
        QCOMPARE(settings.autoCleanSizeThresholdGB(), 10.0);
        QCOMPARE(settings.hideInDock(), true);
        QCoreApplication::processEvents();
        QCOMPARE(defaults.writes, 0);
        QCOMPARE(defaults.values.value(key), stored);
    }

    void everyChangeIsWrittenWithItsTypeAndSignalled()
    {
        MemoryDefaults defaults;
        SettingsService settings(defaults, {});
        QSignalSpy shortcut(&settings, &SettingsService::globalShortcutEnabledChanged);
        settings.setAutoCleanDays(14);
        settings.setAutoCleanSizeThresholdGB(2.5);
        settings.setAppAppearance(AppAppearance::Light);
        settings.setGlobalShortcutEnabled(true);
        settings.setGlobalShortcutEnabled(true); // same value: neither written nor signalled again
        QCOMPARE(shortcut.count(), 1);
        QCOMPARE(defaults.values, (QHash<QString, DefaultsValue>{{u"Rubbly.autoCleanDays"_s, qint64(14)},
                                                                 {u"Rubbly.autoCleanSizeThresholdGB"_s, 2.5},
                                                                 {u"Rubbly.appAppearance"_s, u"light"_s},
                                                                 {u"Rubbly.globalShortcutEnabled"_s, true}}));
        QCOMPARE(defaults.writes, 4);
        // And a new store sees them; a whole double and an int convert to the other without loss.
        defaults.values.insert(QStringLiteral("Rubbly.autoCleanDays"), 7.0);
        defaults.values.insert(QStringLiteral("Rubbly.autoCleanSizeThresholdGB"), qint64(5));
        SettingsService again(defaults, {});
        QCOMPARE(again.autoCleanDays(), 7);
        QCOMPARE(again.autoCleanSizeThresholdGB(), 5.0);
        QCOMPARE(again.appAppearance(), AppAppearance::Light);
        QVERIFY(again.globalShortcutEnabled());
    }

    void appearanceAndTaskbarPolicyApplyAfterTheCurrentTurn()
    {
        MemoryDefaults defaults;
        defaults.values.insert(QStringLiteral("Rubbly.appAppearance"), QStringLiteral("dark"));
        RecordingAppearance effects;
        SettingsService settings(defaults, {&effects, &effects, nullptr});
        QVERIFY(effects.appearances.isEmpty() && effects.hideInDockCalls.isEmpty());
        QCoreApplication::processEvents();
        QCOMPARE(effects.appearances, QList<AppAppearance>{AppAppearance::Dark});
        QCOMPARE(effects.hideInDockCalls, QList<bool>{true});

        settings.setHideInDock(false);
        settings.setAppAppearance(AppAppearance::System);
        QCOMPARE(effects.hideInDockCalls.size(), 1);
        QCoreApplication::processEvents();
        QCOMPARE(effects.hideInDockCalls, (QList<bool>{true, false}));
        QCOMPARE(effects.appearances, (QList<AppAppearance>{AppAppearance::Dark, AppAppearance::System}));

        // Nothing is applied once the store is gone.
        auto gone = std::make_unique<SettingsService>(defaults, SettingsService::Effects{&effects, &effects, nullptr});
        gone->setHideInDock(true);
        gone.reset();
        QCoreApplication::processEvents();
        QCOMPARE(effects.hideInDockCalls.size() + effects.appearances.size(), 4);
    }

    void loginItemIsOnlyCalledWhenItsStateDiffers()
    {
        MemoryDefaults defaults;
        FakeLoginItem login;
        SettingsService settings(defaults, {nullptr, nullptr, &login});
        QCOMPARE(login.registerCalls + login.unregisterCalls, 0); // not re-applied at start

        login.enabled = true;
        settings.setLaunchAtLogin(true);
        QCOMPARE(login.registerCalls, 0);
        login.enabled = false;
        settings.setLaunchAtLogin(false);
        QCOMPARE(login.unregisterCalls, 0);

        settings.setLaunchAtLogin(true);
        settings.setLaunchAtLogin(false);
        QCOMPARE(login.registerCalls + login.unregisterCalls, 2);

        // A failed registration keeps the user's choice.
        login.failing = true;
        settings.setLaunchAtLogin(true);
        QCOMPARE(login.registerCalls, 2);
        QVERIFY(settings.launchAtLogin());
        QCOMPARE(defaults.values.value(QStringLiteral("Rubbly.launchAtLogin")), DefaultsValue{true});
    }
};

QTEST_GUILESS_MAIN(SettingsServiceTest)
#include "SettingsServiceTest.moc"
