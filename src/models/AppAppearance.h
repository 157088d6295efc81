#pragma once

#include <QString>

#include <array>

namespace rubbly {

// The appearance the user forces on the program; persisted by its raw value.
enum class AppAppearance {
    System, // follow the desktop's colour scheme
    Light,
    Dark,
};

inline constexpr std::array<AppAppearance, 3> kAllAppAppearances{AppAppearance::System, AppAppearance::Light,
                                                                 AppAppearance::Dark};

QString appAppearanceRawValue(AppAppearance appearance);
// Exact match of "system", "light" or "dark"; anything else is System.
AppAppearance appAppearanceFromRawValue(const QString& raw);
// Title shown in the settings pane.
QString appAppearanceTitle(AppAppearance appearance);
// Symbol name of the settings pane's picker.
QString appAppearanceSymbol(AppAppearance appearance);

} // namespace rubbly
