#include "TrayHost.h"

#include "StatusNotifierItem.h"
#include "TrayIcons.h"
#include "XEmbedStatusItem.h"
#include "XEmbedTrayWatch.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QLoggingCategory>
#include <QMenu>

namespace rubbly {

Q_DECLARE_LOGGING_CATEGORY(lcStatusItem)

TrayHost::TrayHost(const DesktopSession& session, QDBusConnection bus, QObject* parent)
    : StatusItem(parent)
    , m_session(session)
    , m_hasBus(bus.isConnected())
    , m_sni(std::make_unique<StatusNotifierItem>(bus))
{
    updateIcon();
    connect(m_sni.get(), &StatusItem::shownChanged, this, &TrayHost::evaluate);
    connect(m_sni.get(), &StatusNotifierItem::watcherChanged, this, &TrayHost::evaluate);
    connect(m_sni.get(), &StatusItem::activated, this, &StatusItem::activated);
    connect(m_sni.get(), &StatusItem::menuActionTriggered, this, &StatusItem::menuActionTriggered);
    connect(m_sni.get(), &StatusNotifierItem::contextMenuRequested, this, &TrayHost::showContextMenu);

    // XEmbed docks X windows; a Qt running on Wayland (or offscreen) has none to dock.
    if (m_session.x11 && QGuiApplication::platformName() == QLatin1String("xcb")) {
        m_xembedWatch = std::make_unique<XEmbedTrayWatch>();
        connect(m_xembedWatch.get(), &XEmbedTrayWatch::availableChanged, this, &TrayHost::evaluate);
        connect(m_xembedWatch.get(), &XEmbedTrayWatch::foregroundChanged, this, &TrayHost::updateIcon);
    }
}

TrayHost::~TrayHost() = default;

void TrayHost::start()
{
    // The XEmbed tray first: its colours decide the icon, which is complete before any host sees it.
    if (m_xembedWatch && !m_xembedWatch->start())
        m_xembedWatch.reset();
    updateIcon();
    m_sni->start();
    m_started = true;
    evaluate();
}

void TrayHost::updateIcon()
{
    const std::optional<std::uint32_t> panelText = m_xembedWatch ? m_xembedWatch->foreground() : std::nullopt;
    const QColor color = trayicons::pixmapColor(panelText ? QColor(QRgb(*panelText)) : QColor(), m_session.isGnome());
    if (color == m_iconColor)
        return;
    m_iconColor = color;
    if (m_themePath.isNull())
        m_themePath = trayicons::themePath();
    m_sni->setIcon(
        {trayicons::iconNameFor(m_themePath), m_themePath, trayicons::renderPixmaps(trayicons::resourcePath(), color)});
    if (m_xembed)
        m_xembed->setIcon(trayicons::icon(color));
}

bool TrayHost::isSettled() const
{
    return m_backend != Backend::None || m_sni->isSettled();
}

void TrayHost::setLabel(const QString& text)
{
    m_label = text;
    m_sni->setLabel(text);
    if (m_xembed)
        m_xembed->setLabel(text);
}

void TrayHost::evaluate()
{
    // Nothing is decided before the item has looked for a watcher: an XEmbed icon made while one runs
    // would be a second item beside ours.
    if (!m_started)
        return;
    const bool wasShown = isShown();
    const bool wasSettled = isSettled();
    const Backend before = m_backend;

    Backend next = Backend::None;
    if (m_sni->isShown())
        next = Backend::StatusNotifier;
    else if (!m_sni->isSettled() && m_backend == Backend::XEmbed)
        next = Backend::XEmbed; // keep the XEmbed icon until the new watcher has answered
    else if (!m_sni->hasWatcher() && m_xembedWatch && m_xembedWatch->isAvailable())
        next = Backend::XEmbed;

    if (next == Backend::XEmbed && !m_xembed) {
        m_xembed = std::make_unique<XEmbedStatusItem>(trayicons::icon(m_iconColor));
        m_xembed->setLabel(m_label);
        connect(m_xembed.get(), &StatusItem::activated, this, &StatusItem::activated);
        connect(m_xembed.get(), &StatusItem::menuActionTriggered, this, &StatusItem::menuActionTriggered);
    }
    // The XEmbed icon is kept once made and only hidden, see XEmbedStatusItem.
    if (m_xembed)
        m_xembed->setVisible(next == Backend::XEmbed);

    m_backend = next;
    if (m_backend != before) {
        qCInfo(lcStatusItem) << "status item shown by" << m_backend;
        Q_EMIT backendChanged();
    }
    if (isShown() != wasShown || isSettled() != wasSettled)
        Q_EMIT shownChanged();
}

void TrayHost::showContextMenu(QPoint position)
{
    if (!m_contextMenu) {
        m_contextMenu = std::make_unique<QMenu>();
        fillStatusMenu(*m_contextMenu, *this);
    }
    m_contextMenu->popup(position);
}

QString TrayHost::missingSupport() const
{
    if (!m_hasBus)
        return QCoreApplication::translate("Tray", "a D-Bus session bus");
    if (m_session.isGnome())
        return QCoreApplication::translate("Tray",
                                           "the AppIndicator extension (package gnome-shell-extension-appindicator)");
    if (m_session.desktops.contains(QStringLiteral("KDE"), Qt::CaseInsensitive))
        return QCoreApplication::translate("Tray", "a System Tray widget in its panel");
    if (m_session.x11 && !m_session.wayland)
        return QCoreApplication::translate(
            "Tray", "a system tray in its panel (a StatusNotifierItem host or an XEmbed notification area)");
    return QCoreApplication::translate("Tray", "a system tray in its panel (a StatusNotifierItem host)");
}

} // namespace rubbly
