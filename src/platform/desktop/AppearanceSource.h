#pragma once

#include <QDBusConnection>
#include <QDBusVariant>
#include <QObject>

namespace rubbly {

// The desktop's colour-scheme preference.
class AppearanceSource : public QObject {
    Q_OBJECT
public:
    enum class ColorScheme {
        NoPreference, // the desktop does not say (or cannot be asked)
        Dark,
        Light,
    };
    Q_ENUM(ColorScheme)

    using QObject::QObject;
    virtual ColorScheme colorScheme() const = 0;

Q_SIGNALS:
    void colorSchemeChanged();
};

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
