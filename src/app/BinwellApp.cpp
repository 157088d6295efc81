#include "BinwellApp.h"

#include "AppIdentity.h"
#include "AutoCleanService.h"
#include "BinwellViewModel.h"
#include "BuildInfo.h"
#include "DefaultsStore.h"
#include "DesktopSession.h"
#include "DesktopWorkspace.h"
#include "DiskSlimService.h"
#include "GlobalShortcutService.h"
#include "InstalledAppDetector.h"
#include "KeyGrabber.h"
#include "MenuBarView.h"
#include "NotificationService.h"
#include "PanelWindow.h"
#include "PlatformServices.h"
#include "QtAppearance.h"
#include "Scheduler.h"
#include "SettingsService.h"
#include "SettingsView.h"
#include "ShortcutKeyFilter.h"
#include "SoundHapticService.h"
#include "TrashMonitor.h"
#include "TrashService.h"
#include "TrayHost.h"
#include "UpdateService.h"
#include "XdgPaths.h"

#include <QCoreApplication>
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
    // The scenes first, then the view model: each uses what was made before it.
    m_tray.reset();
    m_settingsWindow.reset();
    m_panel.reset();
    m_viewModel.reset();
}

void BinwellApp::buildScenes(ApplicationBus* bus)
{
    const DesktopSession session = DesktopSession::detect();
    TrashLocations locations = TrashLocations::fromEnvironment();
    m_workspace = std::make_unique<DesktopWorkspace>(DesktopWorkspace::Config{
        locations.homeTrashPath(), session.sandboxed, session.desktops.join(QLatin1Char(':'))});

    m_panelAnchor = session.wayland ? PanelWindow::Anchor::HostCoordinates : PanelWindow::Anchor::Pointer;

    AboutSettingsView::Links links{UpdateService::Config::defaults().baseURL, QUrl(kProjectUrl), kProjectName};
    SettingsView::Options options{versionDisplayString(), session.wayland, links};
    m_settingsWindow = std::make_unique<SettingsWindow>([this, options] {
        return new SettingsView(m_viewModel->settings(), *m_updates, *m_shortcut, *m_workspace, options);
    });
    connect(m_settingsWindow.get(), &SettingsWindow::created, this, [this](SettingsView* view) {
        view->winId(); // the window handle the taskbar policy acts on
        m_platform->taskbar->registerWindow(view->windowHandle());
    });

    m_tray = std::make_unique<TrayHost>(session);
    m_tray->setLabel(m_viewModel->menuBarLabelText());
    connect(m_viewModel.get(), &BinwellViewModel::menuBarLabelTextChanged, m_tray.get(),
            [this] { m_tray->setLabel(m_viewModel->menuBarLabelText()); });
    connect(m_tray.get(), &StatusItem::activated, this, [this](QPoint position, bool hasPosition) {
        panelWindow().activate(hasPosition ? std::optional(position) : std::nullopt);
    });
    connect(m_tray.get(), &StatusItem::menuActionTriggered, this, [this](StatusItem::MenuAction action) {
        switch (action) {
        case StatusItem::MenuAction::OpenPanel:
            panelWindow().open();
            break;
        case StatusItem::MenuAction::EmptyTrash:
            requestEmptyTrash();
            break;
        case StatusItem::MenuAction::Settings:
            openSettings();
            break;
        case StatusItem::MenuAction::Quit:
            QCoreApplication::exit(0);
            break;
        }
    });
    // No tray on this desktop: the panel becomes an ordinary window that says why; it turns back
    // into the popup as soon as a tray appears.
    connect(m_tray.get(), &StatusItem::shownChanged, this, &BinwellApp::updateTrayPresence);
    if (bus) {
        connect(bus, &ApplicationBus::togglePanelRequested, this, &BinwellApp::togglePanel);
        connect(bus, &ApplicationBus::settingsRequested, this, &BinwellApp::openSettings);
        connect(bus, &ApplicationBus::emptyTrashRequested, this, &BinwellApp::requestEmptyTrash);
    }
    m_tray->start();
    updateTrayPresence(); // with no watcher at all the answer is already in, and nothing changed
}

PanelWindow& BinwellApp::panelWindow()
{
    if (m_panel)
        return *m_panel;
    // Made on first use: a tray program that is never clicked keeps no panel, and none of its fonts.
    m_panelView = new MenuBarView(*m_viewModel, m_viewModel->settings(), *m_workspace);
    m_panel = std::make_unique<PanelWindow>(m_panelView, *Scheduler::system(), m_panelAnchor);
    m_panelView->setFramed(true);
    connect(m_panelView, &MenuBarView::settingsRequested, this, [this] {
        m_panel->close();
        openSettings();
    });
    // Quitting is immediate: nothing needs tearing down first.
    connect(m_panelView, &MenuBarView::quitRequested, this, [] { QCoreApplication::exit(0); });
    return *m_panel;
}

void BinwellApp::updateTrayPresence()
{
    if (!m_tray->isSettled())
        return; // a watcher is still answering: no window for a tray about to appear
    const PanelWindow::Mode mode = m_tray->isShown() ? PanelWindow::Mode::Popup : PanelWindow::Mode::Window;
    if (!m_panel && mode == PanelWindow::Mode::Popup)
        return; // made as a popup when first needed
    panelWindow();
    if (mode == m_panel->mode() && (mode == PanelWindow::Mode::Popup || m_panel->isOpen()))
        return;
    const bool open = m_panel->isOpen();
    m_panel->close();
    m_panel->setMode(mode);
    m_panelView->setFramed(mode == PanelWindow::Mode::Popup);
    if (mode == PanelWindow::Mode::Popup) {
        m_panelView->setNotice({});
        if (open)
            m_panel->open();
        return;
    }
    m_panelView->setNotice(QStringLiteral("> no tray here: this desktop lacks ") + m_tray->missingSupport() +
                           QLatin1Char('.'));
    m_panel->open();
}

void BinwellApp::perform(ApplicationAction action)
{
    switch (action) {
    case ApplicationAction::Activate:
        // A first start shows the tray item only; without a tray the panel opens by itself.
        break;
    case ApplicationAction::TogglePanel:
        togglePanel();
        break;
    case ApplicationAction::Settings:
        openSettings();
        break;
    case ApplicationAction::EmptyTrash:
        requestEmptyTrash();
        break;
    }
}

void BinwellApp::togglePanel()
{
    // Without a tray the panel is the program's window: a second start brings it up.
    PanelWindow& panel = panelWindow();
    if (panel.mode() == PanelWindow::Mode::Window) {
        panel.open();
        return;
    }
    panel.activate(std::nullopt);
}

void BinwellApp::openSettings()
{
    m_settingsWindow->open();
}

void BinwellApp::requestEmptyTrash()
{
    panelWindow().open();
    m_panelView->requestEmpty();
}

} // namespace rubbly
