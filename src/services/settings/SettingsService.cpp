#include "SettingsService.h"

#include "ActivationPolicy.h"
#include "AppearanceApplier.h"
#include "DefaultsStore.h"
#include "LoginItem.h"
#include "StoredKeys.h"

#include <QMetaProperty>

#include <cmath>
#include <limits>

namespace rubbly {

namespace {

enum class Kind { Appearance, Bool, Int, Double };

template <typename T> constexpr Kind kindOf();
template <> constexpr Kind kindOf<AppAppearance>()
{
    return Kind::Appearance;
}
template <> constexpr Kind kindOf<bool>()
{
    return Kind::Bool;
}
template <> constexpr Kind kindOf<int>()
{
    return Kind::Int;
}
template <> constexpr Kind kindOf<double>()
{
    return Kind::Double;
}

struct Row {
    const char* property;
    Kind kind;
    QVariant defaultValue;
};

// The settings table, made from the list in the header: property (and so the key), stored type and
// default, in the list's order. The effects live in applyEffect().
const std::array<Row, SettingsService::kKeyCount>& table()
{
#define RUBBLY_SETTING_ROW(Type, name, Name, fallback) Row{#name, kindOf<Type>(), QVariant::fromValue<Type>(fallback)},
    static const std::array<Row, SettingsService::kKeyCount> rows{{RUBBLY_SETTINGS(RUBBLY_SETTING_ROW)}};
#undef RUBBLY_SETTING_ROW
    return rows;
}

const Row& row(SettingsService::Key key)
{
    return table()[static_cast<std::size_t>(key)];
}

} // namespace

SettingsService::SettingsService(DefaultsStore& defaults, Effects effects, QObject* parent)
    : QObject(parent)
    , m_defaults(defaults)
    , m_effects(effects)
{
    for (int i = 0; i < kKeyCount; ++i)
        m_values[i] = load(static_cast<Key>(i));
    connect(&m_defaults, &DefaultsStore::valuesChangedElsewhere, this, &SettingsService::followStoredChanges);
    scheduleAppearance();
    scheduleActivationPolicy();
}

QString SettingsService::defaultsKey(Key key)
{
    return kSettingsKeyPrefix + QLatin1String(row(key).property);
}

QVariant SettingsService::defaultValue(Key key)
{
    return row(key).defaultValue;
}

QVariant SettingsService::load(Key key) const
{
    const Row& r = row(key);
    const QString name = defaultsKey(key);
    switch (r.kind) {
    case Kind::Appearance:
        if (const auto raw = m_defaults.stringValue(name))
            return QVariant::fromValue(appAppearanceFromRawValue(*raw));
        break;
    case Kind::Bool:
        if (const auto value = m_defaults.boolValue(name))
            return *value;
        break;
    case Kind::Int:
        if (const auto value = m_defaults.intValue(name);
            value && *value >= std::numeric_limits<int>::min() && *value <= std::numeric_limits<int>::max())
            return static_cast<int>(*value);
        break;
    case Kind::Double:
        if (const auto value = m_defaults.doubleValue(name); value && std::isfinite(*value))
            return *value;
        break;
    }
    return r.defaultValue;
}

void SettingsService::setValue(Key key, const QVariant& value)
{
    QVariant converted = value;
    if (converted.metaType() != row(key).defaultValue.metaType() &&
        !converted.convert(row(key).defaultValue.metaType()))
        return;
    assign(key, converted);
}

void SettingsService::assign(Key key, const QVariant& value)
{
    const bool changed = m_values[index(key)] != value;
    m_values[index(key)] = value;
    write(key);
    applyEffect(key);
    if (changed)
        notify(key);
}

void SettingsService::followStoredChanges(const QStringList& keys)
{
    // Another program's value is already stored: it is taken as the user's choice and acted on, but not
    // written back.
    for (int i = 0; i < kKeyCount; ++i) {
        const Key key = static_cast<Key>(i);
        if (!keys.contains(defaultsKey(key)))
            continue;
        QVariant stored = load(key);
        if (stored == m_values[i])
            continue;
        m_values[i] = std::move(stored);
        applyEffect(key);
        notify(key);
    }
}

void SettingsService::applyEffect(Key key)
{
    switch (key) {
    case Key::AppAppearance:
        scheduleAppearance();
        break;
    case Key::HideInDock:
        scheduleActivationPolicy();
        break;
    case Key::LaunchAtLogin:
        applyLaunchAtLogin();
        break;
    default:
        break;
    }
}

void SettingsService::notify(Key key)
{
    const QMetaObject* meta = metaObject();
    meta->property(meta->indexOfProperty(row(key).property)).notifySignal().invoke(this);
    Q_EMIT valueChanged(key);
}

void SettingsService::write(Key key)
{
    const QString name = defaultsKey(key);
    const QVariant& value = m_values[index(key)];
    switch (row(key).kind) {
    case Kind::Appearance:
        m_defaults.setValue(name, appAppearanceRawValue(value.value<AppAppearance>()));
        break;
    case Kind::Bool:
        m_defaults.setValue(name, value.toBool());
        break;
    case Kind::Int:
        m_defaults.setValue(name, static_cast<qint64>(value.toInt()));
        break;
    case Kind::Double:
        m_defaults.setValue(name, value.toDouble());
        break;
    }
}

void SettingsService::applyLaunchAtLogin()
{
    LoginItem* item = m_effects.loginItem;
    if (!item)
        return;
    // Failures are deliberately silent: the toggle keeps what the user chose.
    if (launchAtLogin()) {
        if (!item->isEnabled())
            item->registerItem();
    } else if (item->isEnabled()) {
        item->unregisterItem();
    }
}

void SettingsService::scheduleAppearance()
{
    // Applied after the current event-loop turn, and not at all once the store is gone.
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (m_effects.appearance)
                m_effects.appearance->applyAppearance(appAppearance());
        },
        Qt::QueuedConnection);
}

void SettingsService::scheduleActivationPolicy()
{
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (m_effects.activationPolicy)
                m_effects.activationPolicy->applyHideInDock(hideInDock());
        },
        Qt::QueuedConnection);
}

} // namespace rubbly
