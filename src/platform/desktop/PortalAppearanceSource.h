#pragma once

#include "AppearanceSource.h"

#include <QDBusConnection>
#include <QDBusVariant>

namespace rubbly {

// org.freedesktop.appearance color-scheme from the settings portal: read once at start, then
// followed through SettingChanged. Read() wraps the value in two variants; both are unwrapped.
class PortalAppearanceSource final : public AppearanceSource {
    Q_OBJECT
public:
    explicit PortalAppearanceSource(QDBusConnection bus = QDBusConnection::sessionBus(), QObject* parent = nullptr);

    ColorScheme colorScheme() const override { return m_scheme; }

    // 1 is dark, 2 light, anything else no preference; the value may arrive wrapped in variants.
    static ColorScheme fromPortalValue(const QVariant& value);

private Q_SLOTS:
    void onSettingChanged(const QString& group, const QString& key, const QDBusVariant& value);

private:
    void setScheme(ColorScheme scheme);

    QDBusConnection m_bus;
    ColorScheme m_scheme = ColorScheme::NoPreference;
};

} // namespace rubbly
