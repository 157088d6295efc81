#include "XEmbedStatusItem.h"

#include "AppIdentity.h"

namespace rubbly {

void fillStatusMenu(QMenu& menu, StatusItem& item)
{
    for (const StatusMenuEntry& entry : statusMenuEntries()) {
        if (entry.separator) {
            menu.addSeparator();
            continue;
        }
        const StatusItem::MenuAction action = entry.action;
        QObject::connect(menu.addAction(entry.text), &QAction::triggered, &item,
                         [&item, action] { Q_EMIT item.menuActionTriggered(action); });
    }
}

XEmbedStatusItem::XEmbedStatusItem(const QIcon& icon, QObject* parent)
    : StatusItem(parent)
    , m_icon(icon)
{
    fillStatusMenu(m_menu, *this);
    m_icon.setContextMenu(&m_menu);
    m_icon.setToolTip(toolTipFor(m_label));
    connect(&m_icon, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        // A double click also delivers a Trigger for its first press; toggling on both would close
        // the panel it just opened.
        if (reason != QSystemTrayIcon::Trigger)
            return;
        // The icon's own rectangle on the screen, where XEmbed knows it.
        const QRect geometry = m_icon.geometry();
        Q_EMIT activated(geometry.center(), geometry.isValid());
    });
}

XEmbedStatusItem::~XEmbedStatusItem()
{
    m_icon.setContextMenu(nullptr);
}

QString XEmbedStatusItem::toolTipFor(const QString& label)
{
    return label.isEmpty() ? kAppName : kAppName + QLatin1Char('\n') + label;
}

void XEmbedStatusItem::setLabel(const QString& text)
{
    if (text == m_label)
        return;
    m_label = text;
    m_icon.setToolTip(toolTipFor(m_label));
}

void XEmbedStatusItem::setVisible(bool visible)
{
    if (visible == m_icon.isVisible())
        return;
    m_icon.setVisible(visible);
    Q_EMIT shownChanged();
}

} // namespace rubbly
