#pragma once

#include <QObject>

class QNetworkAccessManager;

#include <memory>

namespace rubbly {

class AutoCleanService;
class BinwellViewModel;
class DiskSlimService;
class GlobalShortcutService;
class InstalledAppDetector;
class NotificationService;
class ShortcutKeyFilter;
class SoundHapticService;
class TrashMonitor;
class TrashService;
class UpdateService;
struct PlatformServices;

// The application object: builds the long-lived objects in their fixed order (the trash service,
// the settings with their platform effects, then the view model with the monitor, notifications,
// slim and auto-clean services), starts the view model once, and owns it all for the life of the
// process. Needs a QApplication.
class BinwellApp final : public QObject {
    Q_OBJECT
public:
    explicit BinwellApp(QObject* parent = nullptr);
    ~BinwellApp() override;

    BinwellViewModel& viewModel() const { return *m_viewModel; }
    PlatformServices& platform() const { return *m_platform; }
    UpdateService& updates() const { return *m_updates; }
    GlobalShortcutService& shortcut() const { return *m_shortcut; }

private:
    std::unique_ptr<TrashService> m_trash;
    std::unique_ptr<PlatformServices> m_platform;
    std::unique_ptr<TrashMonitor> m_monitor;
    std::unique_ptr<NotificationService> m_notifications;
    std::unique_ptr<DiskSlimService> m_slim;
    std::unique_ptr<AutoCleanService> m_autoClean;
    std::unique_ptr<SoundHapticService> m_feedback;
    std::unique_ptr<GlobalShortcutService> m_shortcut;
    std::unique_ptr<ShortcutKeyFilter> m_shortcutKeys;
    std::unique_ptr<InstalledAppDetector> m_apps;
    std::unique_ptr<QNetworkAccessManager> m_network;
    std::unique_ptr<UpdateService> m_updates;
    std::unique_ptr<BinwellViewModel> m_viewModel;
};

} // namespace rubbly
