#pragma once

#include "AppAppearance.h"

#include <QObject>
#include <QStringList>
#include <QVariant>

#include <array>

// Every setting, once: its type, its property name, the same name capitalised (for the setter and
// the key), and its default. The property, getter, setter, change signal, stored key ("Rubbly."
// plus the property name) and the row of the settings table all come from this line; an effect
// beyond storing the value goes into SettingsService::applyEffect().
#define RUBBLY_SETTINGS(X)                                                                                             \
    X(rubbly::AppAppearance, appAppearance, AppAppearance, rubbly::AppAppearance::System)                              \
    X(bool, launchAtLogin, LaunchAtLogin, false)                                                                       \
    X(bool, hideInDock, HideInDock, true)                                                                              \
    X(bool, showSizeInMenuBar, ShowSizeInMenuBar, true)                                                                \
    X(bool, hideSizeWhenEmpty, HideSizeWhenEmpty, false)                                                               \
    X(bool, dynamicMenuBarIcon, DynamicMenuBarIcon, true)                                                              \
    X(bool, confirmBeforeEmptying, ConfirmBeforeEmptying, true)                                                        \
    X(bool, notifyAfterCleaning, NotifyAfterCleaning, true)                                                            \
    X(bool, hasShownConfirmOffWarning, HasShownConfirmOffWarning, false)                                               \
    X(bool, hasShownPanelItemOffer, HasShownPanelItemOffer, false)                                                     \
    X(bool, panelItemAdded, PanelItemAdded, false)                                                                     \
    X(bool, autoCleanEnabled, AutoCleanEnabled, false)                                                                 \
    X(bool, autoCleanByAgeEnabled, AutoCleanByAgeEnabled, true)                                                        \
    X(int, autoCleanDays, AutoCleanDays, 30)                                                                           \
    X(bool, autoCleanBySizeEnabled, AutoCleanBySizeEnabled, true)                                                      \
    X(double, autoCleanSizeThresholdGB, AutoCleanSizeThresholdGB, 10.0)                                                \
    X(bool, autoCleanActionIsSilent, AutoCleanActionIsSilent, false)                                                   \
    X(bool, soundFeedbackEnabled, SoundFeedbackEnabled, true)                                                          \
    X(bool, hapticFeedbackEnabled, HapticFeedbackEnabled, true)                                                        \
    X(bool, globalShortcutEnabled, GlobalShortcutEnabled, false)                                                       \
    X(bool, automaticallyCheckForUpdates, AutomaticallyCheckForUpdates, true)

// What one line of the list becomes inside the class (moc expands these too).
#define RUBBLY_SETTING_PROPERTY(Type, name, Name, fallback)                                                            \
    Q_PROPERTY(Type name READ name WRITE set##Name NOTIFY name##Changed)
#define RUBBLY_SETTING_KEY(Type, name, Name, fallback) Name,
#define RUBBLY_SETTING_COUNT(Type, name, Name, fallback) +1
#define RUBBLY_SETTING_ACCESSORS(Type, name, Name, fallback)                                                           \
    Type name() const                                                                                                  \
    {                                                                                                                  \
        return m_values[index(Key::Name)].value<Type>();                                                               \
    }                                                                                                                  \
    void set##Name(Type value)                                                                                         \
    {                                                                                                                  \
        assign(Key::Name, QVariant::fromValue(value));                                                                 \
    }
#define RUBBLY_SETTING_SIGNAL(Type, name, Name, fallback) void name##Changed();

namespace rubbly {

class ActivationPolicy;
class AppearanceApplier;
class DefaultsStore;
class LoginItem;

// The user's preferences. Every property is loaded from the defaults store at construction and
// written back on every assignment; a missing or ill-typed stored value reads as the default and is
// left untouched until the user changes that setting. A value another program stores while we run
// (the store announces it) is taken in with its effect and change signals. Lives on the GUI thread.
class SettingsService final : public QObject {
    Q_OBJECT
    RUBBLY_SETTINGS(RUBBLY_SETTING_PROPERTY)

public:
    // What a change acts on besides the stored value. Any of them may be null (nothing happens).
    struct Effects {
        AppearanceApplier* appearance = nullptr;
        ActivationPolicy* activationPolicy = nullptr;
        LoginItem* loginItem = nullptr;
    };

    // One per setting, in the list's order.
    enum class Key { RUBBLY_SETTINGS(RUBBLY_SETTING_KEY) };
    static constexpr int kKeyCount = 0 RUBBLY_SETTINGS(RUBBLY_SETTING_COUNT);

    // Loads every setting, then queues the appearance and taskbar policy for after this event-loop turn.
    SettingsService(DefaultsStore& defaults, Effects effects, QObject* parent = nullptr);

    // "Rubbly." plus the property name.
    static QString defaultsKey(Key key);
    static QVariant defaultValue(Key key);

    // Every setting by key, for the settings panes, which bind their controls by key. setValue()
    // converts `value` to the setting's type.
    const QVariant& value(Key key) const { return m_values[index(key)]; }
    void setValue(Key key, const QVariant& value);

    RUBBLY_SETTINGS(RUBBLY_SETTING_ACCESSORS)

Q_SIGNALS:
    RUBBLY_SETTINGS(RUBBLY_SETTING_SIGNAL)
    // After the setting's own change signal, for every setting.
    void valueChanged(rubbly::SettingsService::Key key);

private:
    static constexpr int index(Key key) { return static_cast<int>(key); }

    QVariant load(Key key) const;
    // Stores, writes back, runs the effect, and signals when the value differs.
    void assign(Key key, const QVariant& value);
    // Takes in the settings among `keys` that another program changed in the store.
    void followStoredChanges(const QStringList& keys);
    void applyEffect(Key key);
    void notify(Key key);
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
