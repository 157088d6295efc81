#pragma once

#include "AppAppearance.h"

#include <QObject>
#include <QVariant>

#include <array>

namespace rubbly {

class ActivationPolicy;
class AppearanceApplier;
class DefaultsStore;
class LoginItem;

// The user's preferences. Every property is loaded once from the defaults store at construction and
// written back on every assignment; a missing or ill-typed stored value reads as the default and is
// left untouched until the user changes that setting. Lives on the GUI thread.
class SettingsService final : public QObject {
    Q_OBJECT
    Q_PROPERTY(
        rubbly::AppAppearance appAppearance READ appAppearance WRITE setAppAppearance NOTIFY appAppearanceChanged)
    Q_PROPERTY(bool launchAtLogin READ launchAtLogin WRITE setLaunchAtLogin NOTIFY launchAtLoginChanged)
    Q_PROPERTY(bool hideInDock READ hideInDock WRITE setHideInDock NOTIFY hideInDockChanged)
    Q_PROPERTY(bool showSizeInMenuBar READ showSizeInMenuBar WRITE setShowSizeInMenuBar NOTIFY showSizeInMenuBarChanged)
    Q_PROPERTY(bool hideSizeWhenEmpty READ hideSizeWhenEmpty WRITE setHideSizeWhenEmpty NOTIFY hideSizeWhenEmptyChanged)
    Q_PROPERTY(
        bool dynamicMenuBarIcon READ dynamicMenuBarIcon WRITE setDynamicMenuBarIcon NOTIFY dynamicMenuBarIconChanged)
    Q_PROPERTY(bool confirmBeforeEmptying READ confirmBeforeEmptying WRITE setConfirmBeforeEmptying NOTIFY
                   confirmBeforeEmptyingChanged)
    Q_PROPERTY(bool notifyAfterCleaning READ notifyAfterCleaning WRITE setNotifyAfterCleaning NOTIFY
                   notifyAfterCleaningChanged)
    Q_PROPERTY(bool hasShownConfirmOffWarning READ hasShownConfirmOffWarning WRITE setHasShownConfirmOffWarning NOTIFY
                   hasShownConfirmOffWarningChanged)
    Q_PROPERTY(bool autoCleanEnabled READ autoCleanEnabled WRITE setAutoCleanEnabled NOTIFY autoCleanEnabledChanged)
    Q_PROPERTY(bool autoCleanByAgeEnabled READ autoCleanByAgeEnabled WRITE setAutoCleanByAgeEnabled NOTIFY
                   autoCleanByAgeEnabledChanged)
    Q_PROPERTY(int autoCleanDays READ autoCleanDays WRITE setAutoCleanDays NOTIFY autoCleanDaysChanged)
    Q_PROPERTY(bool autoCleanBySizeEnabled READ autoCleanBySizeEnabled WRITE setAutoCleanBySizeEnabled NOTIFY
                   autoCleanBySizeEnabledChanged)
    Q_PROPERTY(double autoCleanSizeThresholdGB READ autoCleanSizeThresholdGB WRITE setAutoCleanSizeThresholdGB NOTIFY
                   autoCleanSizeThresholdGBChanged)
    Q_PROPERTY(bool autoCleanActionIsSilent READ autoCleanActionIsSilent WRITE setAutoCleanActionIsSilent NOTIFY
                   autoCleanActionIsSilentChanged)
    Q_PROPERTY(bool soundFeedbackEnabled READ soundFeedbackEnabled WRITE setSoundFeedbackEnabled NOTIFY
                   soundFeedbackEnabledChanged)
    Q_PROPERTY(bool hapticFeedbackEnabled READ hapticFeedbackEnabled WRITE setHapticFeedbackEnabled NOTIFY
                   hapticFeedbackEnabledChanged)
    Q_PROPERTY(bool globalShortcutEnabled READ globalShortcutEnabled WRITE setGlobalShortcutEnabled NOTIFY
                   globalShortcutEnabledChanged)
    Q_PROPERTY(bool automaticallyCheckForUpdates READ automaticallyCheckForUpdates WRITE setAutomaticallyCheckForUpdates
                   NOTIFY automaticallyCheckForUpdatesChanged)

public:
    // What a change acts on besides the stored value. Any of them may be null (nothing happens).
    struct Effects {
        AppearanceApplier* appearance = nullptr;
        ActivationPolicy* activationPolicy = nullptr;
        LoginItem* loginItem = nullptr;
    };

    // One row per property, in declaration order.
    enum class Key {
        AppAppearance,
        LaunchAtLogin,
        HideInDock,
        ShowSizeInMenuBar,
        HideSizeWhenEmpty,
        DynamicMenuBarIcon,
        ConfirmBeforeEmptying,
        NotifyAfterCleaning,
        HasShownConfirmOffWarning,
        AutoCleanEnabled,
        AutoCleanByAgeEnabled,
        AutoCleanDays,
        AutoCleanBySizeEnabled,
        AutoCleanSizeThresholdGB,
        AutoCleanActionIsSilent,
        SoundFeedbackEnabled,
        HapticFeedbackEnabled,
        GlobalShortcutEnabled,
        AutomaticallyCheckForUpdates,
    };
    static constexpr int kKeyCount = 19;

    // Loads every setting, then queues the appearance and taskbar policy for after this event-loop turn.
    SettingsService(DefaultsStore& defaults, Effects effects, QObject* parent = nullptr);

    // "Rubbly." plus the property name.
    static QString defaultsKey(Key key);
    static QVariant defaultValue(Key key);

    AppAppearance appAppearance() const { return m_values[index(Key::AppAppearance)].value<AppAppearance>(); }
    bool launchAtLogin() const { return flag(Key::LaunchAtLogin); }
    bool hideInDock() const { return flag(Key::HideInDock); }
    bool showSizeInMenuBar() const { return flag(Key::ShowSizeInMenuBar); }
    bool hideSizeWhenEmpty() const { return flag(Key::HideSizeWhenEmpty); }
    bool dynamicMenuBarIcon() const { return flag(Key::DynamicMenuBarIcon); }
    bool confirmBeforeEmptying() const { return flag(Key::ConfirmBeforeEmptying); }
    bool notifyAfterCleaning() const { return flag(Key::NotifyAfterCleaning); }
    bool hasShownConfirmOffWarning() const { return flag(Key::HasShownConfirmOffWarning); }
    bool autoCleanEnabled() const { return flag(Key::AutoCleanEnabled); }
    bool autoCleanByAgeEnabled() const { return flag(Key::AutoCleanByAgeEnabled); }
    int autoCleanDays() const { return m_values[index(Key::AutoCleanDays)].toInt(); }
    bool autoCleanBySizeEnabled() const { return flag(Key::AutoCleanBySizeEnabled); }
    double autoCleanSizeThresholdGB() const { return m_values[index(Key::AutoCleanSizeThresholdGB)].toDouble(); }
    bool autoCleanActionIsSilent() const { return flag(Key::AutoCleanActionIsSilent); }
    bool soundFeedbackEnabled() const { return flag(Key::SoundFeedbackEnabled); }
    bool hapticFeedbackEnabled() const { return flag(Key::HapticFeedbackEnabled); }
    bool globalShortcutEnabled() const { return flag(Key::GlobalShortcutEnabled); }
    bool automaticallyCheckForUpdates() const { return flag(Key::AutomaticallyCheckForUpdates); }

    void setAppAppearance(AppAppearance value) { assign(Key::AppAppearance, QVariant::fromValue(value)); }
    void setLaunchAtLogin(bool value) { assign(Key::LaunchAtLogin, value); }
    void setHideInDock(bool value) { assign(Key::HideInDock, value); }
    void setShowSizeInMenuBar(bool value) { assign(Key::ShowSizeInMenuBar, value); }
    void setHideSizeWhenEmpty(bool value) { assign(Key::HideSizeWhenEmpty, value); }
    void setDynamicMenuBarIcon(bool value) { assign(Key::DynamicMenuBarIcon, value); }
    void setConfirmBeforeEmptying(bool value) { assign(Key::ConfirmBeforeEmptying, value); }
    void setNotifyAfterCleaning(bool value) { assign(Key::NotifyAfterCleaning, value); }
    void setHasShownConfirmOffWarning(bool value) { assign(Key::HasShownConfirmOffWarning, value); }
    void setAutoCleanEnabled(bool value) { assign(Key::AutoCleanEnabled, value); }
    void setAutoCleanByAgeEnabled(bool value) { assign(Key::AutoCleanByAgeEnabled, value); }
    void setAutoCleanDays(int value) { assign(Key::AutoCleanDays, value); }
    void setAutoCleanBySizeEnabled(bool value) { assign(Key::AutoCleanBySizeEnabled, value); }
    void setAutoCleanSizeThresholdGB(double value) { assign(Key::AutoCleanSizeThresholdGB, value); }
    void setAutoCleanActionIsSilent(bool value) { assign(Key::AutoCleanActionIsSilent, value); }
    void setSoundFeedbackEnabled(bool value) { assign(Key::SoundFeedbackEnabled, value); }
    void setHapticFeedbackEnabled(bool value) { assign(Key::HapticFeedbackEnabled, value); }
    void setGlobalShortcutEnabled(bool value) { assign(Key::GlobalShortcutEnabled, value); }
    void setAutomaticallyCheckForUpdates(bool value) { assign(Key::AutomaticallyCheckForUpdates, value); }

Q_SIGNALS:
    void appAppearanceChanged();
    void launchAtLoginChanged();
    void hideInDockChanged();
    void showSizeInMenuBarChanged();
    void hideSizeWhenEmptyChanged();
    void dynamicMenuBarIconChanged();
    void confirmBeforeEmptyingChanged();
    void notifyAfterCleaningChanged();
    void hasShownConfirmOffWarningChanged();
    void autoCleanEnabledChanged();
    void autoCleanByAgeEnabledChanged();
    void autoCleanDaysChanged();
    void autoCleanBySizeEnabledChanged();
    void autoCleanSizeThresholdGBChanged();
    void autoCleanActionIsSilentChanged();
    void soundFeedbackEnabledChanged();
    void hapticFeedbackEnabledChanged();
    void globalShortcutEnabledChanged();
    void automaticallyCheckForUpdatesChanged();

private:
    static constexpr int index(Key key) { return static_cast<int>(key); }
    bool flag(Key key) const { return m_values[index(key)].toBool(); }

    QVariant load(Key key) const;
    // Stores, writes back, runs the effect, and signals when the value differs.
    void assign(Key key, const QVariant& value);
    void write(Key key);
    void applyLaunchAtLogin();
    void scheduleAppearance();
    void scheduleActivationPolicy();

    DefaultsStore& m_defaults;
    Effects m_effects;
    std::array<QVariant, kKeyCount> m_values;
};

} // namespace rubbly

Q_DECLARE_METATYPE(rubbly::AppAppearance)
