#pragma once

#include <QCoreApplication>

#include <memory>

namespace rubbly {

class AppearanceSource;
class DefaultsStore;
class HapticPerformer;
class KeyGrabber;
class LoginItem;
class NotificationCenter;
class QtAppearanceApplier;
class SettingsService;
class SoundPlayer;
class TaskbarPolicy;

// The production backends of every platform interface, and the settings store wired to them, in the
// order the application needs them. Owned by the application object for the life of the process.
// Needs a QApplication (the appearance and taskbar backends act on it, and the last-resort beep is
// the display's bell).
struct PlatformServices {
    PlatformServices();
    ~PlatformServices();
    PlatformServices(const PlatformServices&) = delete;
    PlatformServices& operator=(const PlatformServices&) = delete;

    std::unique_ptr<DefaultsStore> defaults;
    std::unique_ptr<LoginItem> loginItem;
    std::unique_ptr<AppearanceSource> appearanceSource;
    std::unique_ptr<QtAppearanceApplier> appearance;
    std::unique_ptr<TaskbarPolicy> taskbar;
    std::unique_ptr<NotificationCenter> notificationCenter;
    std::unique_ptr<SoundPlayer> soundPlayer;
    std::unique_ptr<HapticPerformer> haptics;
    // Null when the session offers no way to grab keys.
    std::unique_ptr<KeyGrabber> keyGrabber;
    // Last: its effects use the backends above.
    std::unique_ptr<SettingsService> settings;
};

} // namespace rubbly
