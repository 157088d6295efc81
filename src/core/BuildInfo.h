#pragma once

#include <QString>

namespace rubbly {

// The version of this build and its build number, both set in one place: the CMake project version
// and the RUBBLY_BUILD_NUMBER cache variable.
inline QString buildVersion()
{
    return QStringLiteral(RUBBLY_VERSION);
}

inline QString buildNumber()
{
    return QStringLiteral(RUBBLY_BUILD_NUMBER);
}

// "1.1.0 (1)": what the About pane shows.
inline QString versionDisplayString()
{
    return buildVersion() + QStringLiteral(" (") + buildNumber() + QLatin1Char(')');
}

} // namespace rubbly
