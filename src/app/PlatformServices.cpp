#include "PlatformServices.h"

#include "CanberraSoundPlayer.h"
#include "DesktopSession.h"
#include "FreedesktopNotificationCenter.h"
#include "JsonFileDefaultsStore.h"
#include "KeyGrabber.h"
#include "NullHapticPerformer.h"
#include "PortalAppearanceSource.h"
#include "ProgramFiles.h"
#include "QtAppearanceApplier.h"
#include "SettingsService.h"
#include "SoundPlayer.h"
#include "TaskbarPolicy.h"
#include "XdgAutostartLoginItem.h"

#include <QApplication>

namespace rubbly {

PlatformServices::PlatformServices()
    : defaults(std::make_unique<JsonFileDefaultsStore>(JsonFileDefaultsStore::defaultFilePath(),
                                                       JsonFileDefaultsStore::Watch::ForOtherWriters))
    , loginItem(std::make_unique<XdgAutostartLoginItem>(commandProgramPath()))
    , appearanceSource(std::make_unique<PortalAppearanceSource>())
    , appearance(std::make_unique<QtAppearanceApplier>(appearanceSource.get()))
    , taskbar(std::make_unique<TaskbarPolicy>())
    , notificationCenter(std::make_unique<FreedesktopNotificationCenter>())
    , soundPlayer(std::make_unique<CanberraSoundPlayer>([] { QApplication::beep(); }))
    , haptics(std::make_unique<NullHapticPerformer>())
    , keyGrabber(createKeyGrabber(DesktopSession::detect()))
    , settings(std::make_unique<SettingsService>(
          *defaults, SettingsService::Effects{appearance.get(), taskbar.get(), loginItem.get()}))
{
}

PlatformServices::~PlatformServices() = default;

} // namespace rubbly
