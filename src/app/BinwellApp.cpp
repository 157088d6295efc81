#include "BinwellApp.h"

#include "AutoCleanService.h"
#include "BinwellViewModel.h"
#include "DefaultsStore.h"
#include "DiskSlimService.h"
#include "GlobalShortcutService.h"
#include "InstalledAppDetector.h"
#include "KeyGrabber.h"
#include "NotificationService.h"
#include "PlatformServices.h"
#include "Scheduler.h"
#include "SettingsService.h"
#include "ShortcutKeyFilter.h"
#include "SoundHapticService.h"
#include "TrashMonitor.h"
#include "TrashService.h"
#include "UpdateService.h"
#include "XdgPaths.h"

#include <QFile>
#include <QNetworkAccessManager>

namespace rubbly {

BinwellApp::BinwellApp(QObject* parent)
    : QObject(parent)
{
    Scheduler* scheduler = Scheduler::system();
    TrashLocations locations = TrashLocations::fromEnvironment();
    const QString homeTrashFiles = QFile::decodeName(locations.homeTrashPath() + "/files");
    locations.ensureHomeTrash();
    m_trash = std::make_unique<TrashService>(scheduler, std::move(locations));
    m_platform = std::make_unique<PlatformServices>();
    m_monitor = std::make_unique<TrashMonitor>(scheduler, homeTrashFiles);
    m_notifications = std::make_unique<NotificationService>(*m_platform->notificationCenter);
    m_slim = std::make_unique<DiskSlimService>(xdg::home());
    m_autoClean = std::make_unique<AutoCleanService>(*m_trash, *m_notifications, *m_platform->defaults, scheduler);
    m_feedback = std::make_unique<SoundHapticService>(*m_platform->soundPlayer, *m_platform->haptics);
    m_shortcut = std::make_unique<GlobalShortcutService>(m_platform->keyGrabber.get());
    m_shortcutKeys = std::make_unique<ShortcutKeyFilter>(*m_shortcut);
    m_apps = std::make_unique<InstalledAppDetector>();
    m_network = std::make_unique<QNetworkAccessManager>();
    m_updates = std::make_unique<UpdateService>(*m_platform->defaults, *scheduler, *m_network,
                                                UpdateService::Config::defaults());
    m_viewModel = std::make_unique<BinwellViewModel>(BinwellViewModel::Services{
        *m_trash, *m_platform->settings, *m_platform->defaults, *scheduler, *m_notifications, *m_feedback, *m_shortcut,
        *m_slim, *m_apps, m_monitor.get(), m_autoClean.get(), m_updates.get()});
    m_viewModel->start();
}

BinwellApp::~BinwellApp()
{
    // The view model first: it uses everything else.
    m_viewModel.reset();
}

} // namespace rubbly
