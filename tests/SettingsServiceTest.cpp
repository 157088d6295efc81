#include "SettingsService.h"
#include "MemoryDefaults.h"
#include "RecordingEffects.h"

#include <QHash>
#include <QSignalSpy>
#include <QTest>

using namespace rubbly;
using namespace rubbly::test;
using Key = SettingsService::Key;

class SettingsServiceTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void freshStoreYieldsTheDefaultsAndWritesNothing()
    {
        MemoryDefaults defaults;
        SettingsService settings(defaults, {});
        QCOMPARE(settings.appAppearance(), AppAppearance::System);
        QCOMPARE(settings.launchAtLogin(), false);
        QCOMPARE(settings.hideInDock(), true);
        QCOMPARE(settings.showSizeInMenuBar(), true);
        QCOMPARE(settings.hideSizeWhenEmpty(), false);
        QCOMPARE(settings.dynamicMenuBarIcon(), true);
        QCOMPARE(settings.confirmBeforeEmptying(), true);
        QCOMPARE(settings.notifyAfterCleaning(), true);
        QCOMPARE(settings.hasShownConfirmOffWarning(), false);
        QCOMPARE(settings.autoCleanEnabled(), false);
        QCOMPARE(settings.autoCleanByAgeEnabled(), true);
        QCOMPARE(settings.autoCleanDays(), 30);
        QCOMPARE(settings.autoCleanBySizeEnabled(), true);
        QCOMPARE(settings.autoCleanSizeThresholdGB(), 10.0);
        QCOMPARE(settings.autoCleanActionIsSilent(), false);
        QCOMPARE(settings.soundFeedbackEnabled(), true);
        QCOMPARE(settings.hapticFeedbackEnabled(), true);
        QCOMPARE(settings.globalShortcutEnabled(), false);
        QCOMPARE(settings.automaticallyCheckForUpdates(), true);
        QCoreApplication::processEvents();
        QCOMPARE(defaults.writes, 0);
    }

    void illTypedValuesFallBackAndStayStored_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QVariant>("stored");
        QTest::newRow("appearance with a capital letter") << "Rubbly.appAppearance" << QVariant(QStringLiteral("Dark"));
        QTest::newRow("appearance stored as a bool") << "Rubbly.appAppearance" << QVariant(true);
        QTest::newRow("days as text") << "Rubbly.autoCleanDays" << QVariant(QStringLiteral("7"));
        QTest::newRow("days beyond int") << "Rubbly.autoCleanDays" << QVariant(qint64(1) << 40);
        QTest::newRow("days fractional") << "Rubbly.autoCleanDays" << QVariant(7.5);
        QTest::newRow("threshold as text") << "Rubbly.autoCleanSizeThresholdGB" << QVariant(QStringLiteral("5"));
        QTest::newRow("bool stored as int") << "Rubbly.hideInDock" << QVariant(qint64(0));
    }
    void illTypedValuesFallBackAndStayStored()
    {
        QFETCH(QString, key);
        QFETCH(QVariant, stored);
        MemoryDefaults defaults;
        DefaultsValue value;
        if (stored.typeId() == QMetaType::QString)
            value = stored.toString();
        else if (stored.typeId() == QMetaType::Bool)
            value = stored.toBool();
        else if (stored.typeId() == QMetaType::Double)
            value = stored.toDouble();
        else
            value = stored.toLongLong();
        defaults.values.insert(key, value);

        SettingsService settings(defaults, {});
        QCOMPARE(settings.appAppearance(), AppAppearance::System);
        QCOMPARE(settings.autoCleanDays(), 30);
        QCOMPARE(settings.autoCleanSizeThresholdGB(), 10.0);
        QCOMPARE(settings.hideInDock(), true);
        QCoreApplication::processEvents();
        QCOMPARE(defaults.writes, 0);
        QCOMPARE(defaults.values.value(key), value);
    }

    void storedValuesLoadAndNumbersConvertWithoutLoss()
    {
        MemoryDefaults defaults;
        defaults.values.insert(QStringLiteral("Rubbly.appAppearance"), QStringLiteral("dark"));
        defaults.values.insert(QStringLiteral("Rubbly.autoCleanDays"), 7.0);
        defaults.values.insert(QStringLiteral("Rubbly.autoCleanSizeThresholdGB"), qint64(5));
        defaults.values.insert(QStringLiteral("Rubbly.confirmBeforeEmptying"), false);
        SettingsService settings(defaults, {});
        QCOMPARE(settings.appAppearance(), AppAppearance::Dark);
        QCOMPARE(settings.autoCleanDays(), 7);
        QCOMPARE(settings.autoCleanSizeThresholdGB(), 5.0);
        QCOMPARE(settings.confirmBeforeEmptying(), false);
    }

    void everyChangeIsWrittenWithItsTypeAndSignalled()
    {
        MemoryDefaults defaults;
        SettingsService settings(defaults, {});
        QSignalSpy days(&settings, &SettingsService::autoCleanDaysChanged);
        QSignalSpy shortcut(&settings, &SettingsService::globalShortcutEnabledChanged);
        settings.setAutoCleanDays(14);
        settings.setAutoCleanSizeThresholdGB(2.5);
        settings.setAppAppearance(AppAppearance::Light);
        settings.setGlobalShortcutEnabled(true);
        settings.setGlobalShortcutEnabled(true); // same value: written, not signalled again
        QCOMPARE(days.count(), 1);
        QCOMPARE(shortcut.count(), 1);
        QCOMPARE(defaults.values.value(QStringLiteral("Rubbly.autoCleanDays")), DefaultsValue{qint64(14)});
        QCOMPARE(defaults.values.value(QStringLiteral("Rubbly.autoCleanSizeThresholdGB")), DefaultsValue{2.5});
        QCOMPARE(defaults.values.value(QStringLiteral("Rubbly.appAppearance")), DefaultsValue{QStringLiteral("light")});
        QCOMPARE(defaults.values.value(QStringLiteral("Rubbly.globalShortcutEnabled")), DefaultsValue{true});
        QCOMPARE(defaults.writes, 5);
        // And a new store sees them.
        SettingsService again(defaults, {});
        QCOMPARE(again.autoCleanDays(), 14);
        QCOMPARE(again.appAppearance(), AppAppearance::Light);
    }

    void everyPropertyHasItsKeyAndNotifySignal()
    {
        MemoryDefaults defaults;
        SettingsService settings(defaults, {});
        const QMetaObject* meta = settings.metaObject();
        for (int i = 0; i < SettingsService::kKeyCount; ++i) {
            const QString key = SettingsService::defaultsKey(static_cast<Key>(i));
            const QByteArray name = key.mid(7).toLatin1();
            QVERIFY2(key.startsWith(QLatin1String("Rubbly.")), qPrintable(key));
            const QMetaProperty property = meta->property(meta->indexOfProperty(name));
            QVERIFY2(property.isValid() && property.hasNotifySignal(), name.constData());
        }
    }

    void appearanceAndTaskbarPolicyApplyAfterTheCurrentTurn()
    {
        MemoryDefaults defaults;
        defaults.values.insert(QStringLiteral("Rubbly.appAppearance"), QStringLiteral("dark"));
        RecordingAppearance effects;
        SettingsService settings(defaults, {&effects, &effects, nullptr});
        QVERIFY(effects.appearances.isEmpty());
        QVERIFY(effects.hideInDockCalls.isEmpty());
        QCoreApplication::processEvents();
        QCOMPARE(effects.appearances, QList<AppAppearance>{AppAppearance::Dark});
        QCOMPARE(effects.hideInDockCalls, QList<bool>{true});

        settings.setHideInDock(false);
        settings.setAppAppearance(AppAppearance::System);
        QCOMPARE(effects.hideInDockCalls.size(), 1);
        QCoreApplication::processEvents();
        QCOMPARE(effects.hideInDockCalls, (QList<bool>{true, false}));
        QCOMPARE(effects.appearances, (QList<AppAppearance>{AppAppearance::Dark, AppAppearance::System}));
    }

    void nothingIsAppliedOnceTheStoreIsGone()
    {
        MemoryDefaults defaults;
        RecordingAppearance effects;
        {
            SettingsService settings(defaults, {&effects, &effects, nullptr});
            settings.setHideInDock(false);
        }
        QCoreApplication::processEvents();
        QVERIFY(effects.appearances.isEmpty());
        QVERIFY(effects.hideInDockCalls.isEmpty());
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
        QCOMPARE(login.registerCalls, 1);
        QVERIFY(login.enabled);
        settings.setLaunchAtLogin(false);
        QCOMPARE(login.unregisterCalls, 1);
    }

    void failedRegistrationKeepsTheUsersChoice()
    {
        MemoryDefaults defaults;
        FakeLoginItem login;
        login.failing = true;
        SettingsService settings(defaults, {nullptr, nullptr, &login});
        settings.setLaunchAtLogin(true);
        QCOMPARE(login.registerCalls, 1);
        QVERIFY(settings.launchAtLogin());
        QCOMPARE(defaults.values.value(QStringLiteral("Rubbly.launchAtLogin")), DefaultsValue{true});
    }
};

QTEST_GUILESS_MAIN(SettingsServiceTest)
#include "SettingsServiceTest.moc"
