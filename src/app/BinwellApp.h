#pragma once

#include "ApplicationBus.h"
#include "DesktopSession.h"
#include "PanelWindow.h"

#include <QObject>

#include <chrono>
#include <memory>

class QNetworkAccessManager;

namespace rubbly {

class AutoCleanService;
class DesktopWorkspace;
class MenuBarView;
class PanelKeeper;
class X11Bars;
class X11Pointer;
class SettingsWindow;
class PanelLabelPublisher;
class TrayHost;
class BinwellViewModel;
class DiskSlimService;
class GlobalShortcutService;
class InstalledAppDetector;
class NotificationService;
class ShortcutKeyFilter;
class SlimViewModel;
class SoundHapticService;
class TrashMonitor;
class Timer;
class TrashService;
class UpdateService;
struct PlatformServices;

// The application object: builds the long-lived objects in their fixed order (the trash service,
// the settings with their platform effects, then the view models with the monitor, notifications,
// slim and auto-clean services), starts the Trash's view model once, and owns it all for the life of the
// process. Then buildScenes() adds what the user sees: the tray item, the panel and, on demand, the
// settings window. Needs a QApplication.
class BinwellApp final : public QObject {
    Q_OBJECT
public:
    explicit BinwellApp(QObject* parent = nullptr);
    ~BinwellApp() override;

    // The tray item, the panel and the settings window, wired to each other, to the view model and to
    // `bus` (null: no single-instance requests), then the tray registered.
    void buildScenes(ApplicationBus* bus);
    // What a start of `rubbly` asks for, here or handed over from a second start.
    void perform(ApplicationAction action);
    void togglePanel();
    void openSettings();
    // The menu's "清空废纸篓…": the panel with its empty action, so the confirmation setting holds.
    void requestEmptyTrash(PanelWindow::Via via = PanelWindow::Via::Elsewhere);

    // Null until the panel is first needed, and again once it has been let go after closing.
    PanelWindow* panel() const;
    MenuBarView* panelView() const { return panel() ? m_panelView : nullptr; }
    // The panel, made now if there is none.
    PanelWindow& panelWindow();
    PanelKeeper& panelKeeper() const { return *m_panel; }
    SettingsWindow* settingsWindow() const { return m_settingsWindow.get(); }
    TrayHost* tray() const { return m_tray.get(); }

    BinwellViewModel& viewModel() const { return *m_viewModel; }
    SlimViewModel& slimViewModel() const { return *m_slimViewModel; }
    PlatformServices& platform() const { return *m_platform; }
    UpdateService& updates() const { return *m_updates; }
    GlobalShortcutService& shortcut() const { return *m_shortcut; }

private:
    // Popup next to the tray item, or an ordinary window when no tray shows the item.
    void updateTrayPresence();
    // The size was put in the desktop's panel: the panel's offer to do it goes for good.
    void withdrawPanelItemOffer();
    std::unique_ptr<PanelWindow> makePanel();

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
    std::unique_ptr<SlimViewModel> m_slimViewModel;

    // The scenes, built after the view model started.
    std::unique_ptr<DesktopWorkspace> m_workspace;
    MenuBarView* m_panelView = nullptr; // owned by the panel window
    std::unique_ptr<PanelKeeper> m_panel;
    std::unique_ptr<X11Pointer> m_pointer;
    std::unique_ptr<X11Bars> m_bars;
    // Read from the environment once: the panel, the tray and the settings all follow it.
    const DesktopSession m_session = DesktopSession::detect();
    std::unique_ptr<SettingsWindow> m_settingsWindow;
    std::unique_ptr<TrayHost> m_tray;
    std::unique_ptr<PanelLabelPublisher> m_panelLabel;
    // The panel's window was opened because the tray went, not by the user.
    bool m_standInForTray = false;
    // A tray that was shown and went may be a panel restarting (XFCE's does to load a plugin): the
    // window stands in for it only once it has stayed away this long.
    static constexpr std::chrono::seconds kTrayGoneGrace{5};
    Timer* m_trayGone = nullptr;
    bool m_trayWasShown = false;
    // The panel offers to put the size into the desktop's own panel: on Plasma and XFCE, in the run
    // that first shows the offer, until it is dismissed or taken.
    bool m_offerPanelItem = false;
};

} // namespace rubbly
