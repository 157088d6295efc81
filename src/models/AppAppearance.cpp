#include "AppAppearance.h"

#include <QCoreApplication>

namespace rubbly {

QString appAppearanceRawValue(AppAppearance appearance)
{
    switch (appearance) {
    case AppAppearance::System:
        return QStringLiteral("system");
    case AppAppearance::Light:
        return QStringLiteral("light");
    case AppAppearance::Dark:
        return QStringLiteral("dark");
    }
    return QStringLiteral("system");
}

AppAppearance appAppearanceFromRawValue(const QString& raw)
{
    for (AppAppearance appearance : kAllAppAppearances) {
        if (appAppearanceRawValue(appearance) == raw)
            return appearance;
    }
    return AppAppearance::System;
}

QString appAppearanceTitle(AppAppearance appearance)
{
    switch (appearance) {
    case AppAppearance::System:
        return QCoreApplication::translate("AppAppearance", "System");
    case AppAppearance::Light:
        return QCoreApplication::translate("AppAppearance", "Light");
    case AppAppearance::Dark:
        return QCoreApplication::translate("AppAppearance", "Dark");
    }
    return {};
}

QString appAppearanceSymbol(AppAppearance appearance)
{
    switch (appearance) {
    case AppAppearance::System:
        return QStringLiteral("circle.righthalf.filled");
    case AppAppearance::Light:
        return QStringLiteral("sun.max.fill");
    case AppAppearance::Dark:
        return QStringLiteral("moon.fill");
    }
    return {};
}

} // namespace rubbly
