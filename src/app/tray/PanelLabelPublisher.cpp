#include "PanelLabelPublisher.h"

#include "PanelLabel.h"
#include "XdgPaths.h"

#include <QDBusMessage>
#include <QDBusVariant>
#include <QLoggingCategory>

namespace rubbly {

Q_DECLARE_LOGGING_CATEGORY(lcStatusItem)

PanelLabelPublisher::PanelLabelPublisher(PanelDesktop desktop, QDBusConnection bus, QProcessEnvironment env,
                                         QObject* parent)
    : QObject(parent)
    , m_desktop(desktop)
    , m_bus(std::move(bus))
    , m_env(std::move(env))
{
}

PanelLabelPublisher::~PanelLabelPublisher()
{
    if (!m_published)
        return;
    panellabel::withdraw(m_env);
    // The process ends right after: a request left queued in the connection would never be sent,
    // and the monitor would show the last size with no application behind it.
    refreshXfce(QDBus::Block);
}

void PanelLabelPublisher::setLabel(const QString& label)
{
    // Only Plasma's and XFCE's panel items read it: elsewhere the tray draws the label itself, and
    // nothing is left in the runtime folder.
    if (m_desktop == PanelDesktop::None)
        return;
    if (m_published && label == m_label)
        return;
    m_label = label;
    const auto written = panellabel::publish(label, m_env);
    if (!written) {
        qCWarning(lcStatusItem) << "cannot publish the panel label:" << written.error();
        return;
    }
    m_published = true;
    refreshXfce(QDBus::NoBlock);
}

void PanelLabelPublisher::refreshXfce(QDBus::CallMode mode) const
{
    if (m_desktop != PanelDesktop::Xfce || !m_bus.isConnected())
        return;
    // The generic monitor's "refresh" event runs its command at once; only ours are asked.
    const QMap<int, QString> commands = xfcepanel::genmonCommands(xdg::configHome(m_env));
    for (auto it = commands.begin(); it != commands.end(); ++it) {
        if (!xfcepanel::isOurCommand(it.value()))
            continue;
        QDBusMessage event =
            QDBusMessage::createMethodCall(QStringLiteral("org.xfce.Panel"), QStringLiteral("/org/xfce/Panel"),
                                           QStringLiteral("org.xfce.Panel"), QStringLiteral("PluginEvent"));
        event << QStringLiteral("genmon-%1").arg(it.key()) << QStringLiteral("refresh")
              << QVariant::fromValue(QDBusVariant(true));
        // Blocking, a panel that hangs holds the quitting application for a second at most.
        m_bus.call(event, mode, 1000);
    }
}

} // namespace rubbly
