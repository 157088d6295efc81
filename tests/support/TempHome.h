#pragma once

#include "EnvGuard.h"

#include <QProcessEnvironment>
#include <QString>
#include <QTemporaryDir>

namespace rubbly::test {

// A fresh home folder for one test: HOME and every XDG base directory variable point into it while
// the object lives, so nothing a test does can reach the real home, trash or configuration.
class TempHome final {
public:
    TempHome();
    ~TempHome();

    QString root() const { return m_dir.path(); }
    QString home() const { return m_dir.path() + QStringLiteral("/home"); }
    QString configHome() const { return home() + QStringLiteral("/.config"); }
    QString dataHome() const { return home() + QStringLiteral("/.local/share"); }
    QString cacheHome() const { return home() + QStringLiteral("/.cache"); }
    // System-wide folders (XDG_CONFIG_DIRS, XDG_DATA_DIRS), also inside the temporary tree.
    QString systemConfigDir() const { return m_dir.path() + QStringLiteral("/etc/xdg"); }
    QString systemDataDir() const { return m_dir.path() + QStringLiteral("/usr/share"); }

    // The environment as it is now, for code that takes an injected environment.
    QProcessEnvironment environment() const { return QProcessEnvironment::systemEnvironment(); }

private:
    QTemporaryDir m_dir;
    EnvGuard m_env;
};

} // namespace rubbly::test
