#include "PortalAppearanceSource.h"

#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>

namespace rubbly {

namespace {
const QString kService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString kPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString kInterface = QStringLiteral("org.freedesktop.portal.Settings");
const QString kGroup = QStringLiteral("org.freedesktop.appearance");
const QString kKey = QStringLiteral("color-scheme");
} // namespace

PortalAppearanceSource::PortalAppearanceSource(QDBusConnection bus, QObject* parent)
    : AppearanceSource(parent)
    , m_bus(std::move(bus))
{
    // The slot's QDBusVariant must be a registered type, or connect() fails without a word.
    qRegisterMetaType<QDBusVariant>();
    if (!m_bus.isConnected())
        return;
    m_bus.connect(kService, kPath, kInterface, QStringLiteral("SettingChanged"), this,
                  SLOT(onSettingChanged(QString, QString, QDBusVariant)));
    QDBusMessage read = QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("Read"));
    read << kGroup << kKey;
    auto* watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(read, 2000), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, watcher] {
        watcher->deleteLater();
        const QDBusMessage reply = watcher->reply();
        if (reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty())
            setScheme(fromPortalValue(reply.arguments().first()));
    });
}

AppearanceSource::ColorScheme PortalAppearanceSource::fromPortalValue(const QVariant& value)
{
    QVariant inner = value;
    for (int depth = 0; depth < 4 && inner.userType() == qMetaTypeId<QDBusVariant>(); ++depth)
        inner = qvariant_cast<QDBusVariant>(inner).variant();
    bool ok = false;
    const uint scheme = inner.toUInt(&ok);
    if (!ok)
        return ColorScheme::NoPreference;
    if (scheme == 1)
        return ColorScheme::Dark;
    if (scheme == 2)
        return ColorScheme::Light;
    return ColorScheme::NoPreference;
}

void PortalAppearanceSource::onSettingChanged(const QString& group, const QString& key, const QDBusVariant& value)
{
    if (group == kGroup && key == kKey)
        setScheme(fromPortalValue(value.variant()));
}

void PortalAppearanceSource::setScheme(ColorScheme scheme)
{
    if (m_scheme == scheme)
        return;
    m_scheme = scheme;
    Q_EMIT colorSchemeChanged();
}

} // namespace rubbly
