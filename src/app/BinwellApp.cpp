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
#include "PanelKeeper.h"
#include "PanelLabelPublisher.h"
#include "PanelWindow.h"
#include "PlatformServices.h"
#include "Scheduler.h"
#include "SettingsService.h"
#include "SettingsView.h"
#include "SettingsWindow.h"
#include "ShortcutKeyFilter.h"
#include "SlimViewModel.h"
#include "SoundHapticService.h"
#include "TaskbarPolicy.h"
#include "TrashMonitor.h"
#include "TrashService.h"
#include "TrayHost.h"
#include "UpdateService.h"
#include "X11Bars.h"
#include "X11Pointer.h"
#include "XdgPaths.h"

#include <QCoreApplication>
#include <QFile>
#include <QGuiApplication>
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
    m_slim = std::make_unique<DiskSlimService>();
    m_autoClean = std::make_unique<AutoCleanService>(*m_trash, *m_notifications, *m_platform->defaults, scheduler);
    m_feedback = std::make_unique<SoundHapticService>(*m_platform->soundPlayer, *m_platform->haptics);
    m_shortcut = std::make_unique<GlobalShortcutService>(m_platform->keyGrabber.get());
    m_shortcutKeys = std::make_unique<ShortcutKeyFilter>(*m_shortcut);
    m_apps = std::make_unique<InstalledAppDetector>();
    m_network = std::make_unique<QNetworkAccessManager>();
    m_updates = std::make_unique<UpdateService>(*m_platform->defaults, *scheduler, *m_network,
                                                UpdateService::Config::defaults());
    m_viewModel = std::make_unique<BinwellViewModel>(
        BinwellViewModel::Services{*m_trash, *m_platform->settings, *m_platform->defaults, *scheduler, *m_notifications,
                                   *m_feedback, *m_shortcut, m_monitor.get(), m_autoClean.get(), m_updates.get()});
    m_viewModel->start();
    m_slimViewModel = std::make_unique<SlimViewModel>(SlimViewModel::Services{
        *m_slim, *m_apps, *m_platform->settings, *m_platform->defaults, *scheduler, *m_notifications, *m_feedback});

    m_workspace =
        std::make_unique<DesktopWorkspace>(DesktopWorkspace::Config{TrashLocations::fromEnvironment().homeTrashPath()});
    m_panel = std::make_unique<PanelKeeper>(*scheduler, [this] { return makePanel(); });
    SettingsService& settings = m_viewModel->settings();
    m_offerPanelItem = panelDesktop(m_session) != PanelDesktop::None && !settings.hasShownPanelItemOffer() &&
                       !settings.panelItemAdded();
    // The Tray pane and `rubbly tray add-to-panel` (through the settings file we follow) mark the item
    // added; from then on nothing offers to add it.
    connect(&settings, &SettingsService::panelItemAddedChanged, this, [this] {
        if (m_viewModel->settings().panelItemAdded())
            withdrawPanelItemOffer();
    });
}

BinwellApp::~BinwellApp()
{
    // The scenes first, then the view model: each uses what was made before it.
    m_tray.reset();
    m_panelLabel.reset();
    m_settingsWindow.reset();
    m_panel.reset();
    m_workspace.reset();
    m_slimViewModel.reset();
    m_viewModel.reset();
}

void BinwellApp::buildScenes(ApplicationBus* bus)
{
    AboutSettingsView::Links links{UpdateService::Config::defaults().baseURL, QUrl(kProjectUrl), kProjectName};
    SettingsView::Options options{versionDisplayString(), m_session.wayland, links, m_session.desktops, {}};
    if (const PanelDesktop desktop = panelDesktop(m_session); desktop != PanelDesktop::None) {
        options.addSizeToPanel = [this, desktop] {
            const PanelItemOutcome outcome = PanelItems(PanelItems::Config::forThisProgram()).add(desktop);
            // Recorded as `rubbly tray add-to-panel` records it; the change withdraws the panel's card.
            // (The panel's own card says it was added and goes with the panel.)
            if (outcome.ok)
                m_viewModel->settings().setPanelItemAdded(true);
            return outcome.message;
        };
    }
    m_settingsWindow = std::make_unique<SettingsWindow>([this, options] {
        return new SettingsView(m_viewModel->settings(), *m_updates, *m_shortcut, *m_workspace, options);
    });
    connect(m_settingsWindow.get(), &SettingsWindow::created, this, [this](SettingsView* view) {
        view->winId(); // the window handle the taskbar policy acts on
        m_platform->taskbar->registerWindow(view->windowHandle());
    });

    m_tray = std::make_unique<TrayHost>(m_session);
    m_tray->setLabel(m_viewModel->menuBarLabelText());
    connect(m_viewModel.get(), &BinwellViewModel::menuBarLabelTextChanged, m_tray.get(),
            [this] { m_tray->setLabel(m_viewModel->menuBarLabelText()); });
    // The same label for the items the user put into the desktop's own panel, whose trays draw only
    // the icon.
    m_panelLabel = std::make_unique<PanelLabelPublisher>(panelDesktop(m_session));
    m_panelLabel->setLabel(m_viewModel->menuBarLabelText());
    connect(m_viewModel.get(), &BinwellViewModel::menuBarLabelTextChanged, m_panelLabel.get(),
            [this] { m_panelLabel->setLabel(m_viewModel->menuBarLabelText()); });
    connect(m_tray.get(), &StatusItem::activated, this, [this](QPoint position, bool hasPosition) {
        panelWindow().activate(hasPosition ? std::optional(position) : std::nullopt);
    });
    connect(m_tray.get(), &StatusItem::menuActionTriggered, this, [this](StatusItem::MenuAction action) {
        switch (action) {
        case StatusItem::MenuAction::OpenPanel:
            panelWindow().open(std::nullopt, PanelWindow::Via::Menu);
            break;
        case StatusItem::MenuAction::EmptyTrash:
            requestEmptyTrash(PanelWindow::Via::Menu);
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
        connect(bus, &ApplicationBus::emptyTrashRequested, this, [this] { requestEmptyTrash(); });
        // Our own trash commands say what they changed: the size follows at once, without the
        // monitor's debounce of a few seconds that gathers a file manager's bursts.
        connect(bus, &ApplicationBus::trashChanged, this, [this] { m_viewModel->refresh(); });
    }
    m_tray->start();
    updateTrayPresence(); // with no watcher at all the answer is already in, and nothing changed
}

PanelWindow* BinwellApp::panel() const
{
    return m_panel->get();
}

PanelWindow& BinwellApp::panelWindow()
{
    return m_panel->window();
}

std::unique_ptr<PanelWindow> BinwellApp::makePanel()
{
    // Made on first use, and again after it was let go: a tray program that is not being looked at
    // keeps no panel, and none of its fonts.
    m_panelView = new MenuBarView(*m_viewModel, *m_slimViewModel, m_viewModel->settings(), *m_workspace);
    // On X11 the server knows whether a button is held in another program (a drag on its way);
    // XWayland only while an X window has the focus, and other platforms not at all.
    PanelWindow::ButtonProbe buttonHeld;
    PanelWindow::BarProbe bars;
    if (QGuiApplication::platformName() == QLatin1String("xcb")) {
        if (!m_pointer)
            m_pointer = std::make_unique<X11Pointer>(QByteArray(), m_session.wayland);
        buttonHeld = [pointer = m_pointer.get()] { return pointer->buttonHeld(); };
        // XWayland's windows carry no struts of the shell's bars: the available areas tell more there.
        if (!m_session.wayland) {
            if (!m_bars)
                m_bars = std::make_unique<X11Bars>();
            bars = [reader = m_bars.get()] { return reader->read(); };
        }
    }
    const auto anchor = m_session.wayland ? PanelWindow::Anchor::HostCoordinates : PanelWindow::Anchor::Pointer;
    auto panel = std::make_unique<PanelWindow>(m_panelView, *Scheduler::system(), anchor, buttonHeld, bars);
    m_panelView->setFramed(true);
    connect(m_panelView, &MenuBarView::settingsRequested, this, [this] {
        m_panel->get()->close();
        openSettings();
    });
    // Quitting is immediate: nothing needs tearing down first.
    connect(m_panelView, &MenuBarView::quitRequested, this, [] { QCoreApplication::exit(0); });
    if (m_offerPanelItem) {
        // The same action as the Tray pane's button.
        m_panelView->offerPanelItem([desktop = panelDesktop(m_session)] {
            return PanelItems(PanelItems::Config::forThisProgram()).add(desktop);
        });
        connect(m_panelView, &MenuBarView::panelItemOfferClosed, this, [this] { m_offerPanelItem = false; });
    }
    return panel;
}

void BinwellApp::withdrawPanelItemOffer()
{
    m_offerPanelItem = false;
    if (MenuBarView* view = panelView())
        view->offerPanelItem({});
}

void BinwellApp::updateTrayPresence()
{
    if (!m_tray->isSettled())
        return; // a watcher is still answering: no window for a tray about to appear
    if (!m_trayGone) {
        m_trayGone = Scheduler::system()->createTimer(this);
        m_trayGone->setSingleShot(true);
        connect(m_trayGone, &Timer::timeout, this, [this] {
            m_trayWasShown = false; // gone for good: the window takes its place
            updateTrayPresence();
        });
    }
    if (m_tray->isShown()) {
        m_trayWasShown = true;
        m_trayGone->stop();
    } else if (m_trayWasShown) {
        if (!m_trayGone->isActive())
            m_trayGone->start(kTrayGoneGrace);
        return;
    }
    const PanelWindow::Mode mode = m_tray->isShown() ? PanelWindow::Mode::Popup : PanelWindow::Mode::Window;
    if (!panel() && mode == PanelWindow::Mode::Popup)
        return; // made as a popup when first needed
    PanelWindow& window = panelWindow();
    if (mode == window.mode() && (mode == PanelWindow::Mode::Popup || window.isOpen()))
        return;
    const bool open = window.isOpen();
    window.close();
    window.setMode(mode);
    m_panelView->setFramed(mode == PanelWindow::Mode::Popup);
    if (mode == PanelWindow::Mode::Popup) {
        m_panelView->setNotice({});
        // A window that only stood in for a tray gone for a moment (a panel restarting to load a
        // plugin) goes with the tray's return; reopened, it would be closed by the next click on the
        // item instead of opening.
        if (open && !m_standInForTray)
            window.open();
        m_standInForTray = false;
        return;
    }
    m_panelView->setNotice(
        QCoreApplication::translate("Tray", "> no tray here: this desktop lacks %1.").arg(m_tray->missingSupport()));
    m_standInForTray = !open;
    window.open();
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
    case ApplicationAction::TrashChanged:
        m_viewModel->refresh();
        break;
    }
}

void BinwellApp::togglePanel()
{
    // Without a tray the panel is the program's window: a second start brings it up.
    PanelWindow& panel = panelWindow();
    if (panel.mode() == PanelWindow::Mode::Window) {
        m_standInForTray = false; // asked for: it stays when a tray comes
        panel.open();
        return;
    }
    panel.activate(std::nullopt, PanelWindow::Via::Elsewhere);
}

void BinwellApp::openSettings()
{
    m_settingsWindow->open();
}

void BinwellApp::requestEmptyTrash(PanelWindow::Via via)
{
    panelWindow().open(std::nullopt, via);
    m_panelView->requestEmpty();
}

} // namespace rubbly
