#pragma once

#include "LoginItem.h"

#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

namespace rubbly {

// Login item as an XDG autostart entry, $XDG_CONFIG_HOME/autostart/com.tolvik.Rubbly.desktop.
// Files we write carry X-Rubbly-Managed=true; a file without it belongs to the user or a package and is
// never deleted or overwritten. A packaged entry in $XDG_CONFIG_DIRS/autostart is switched off with a
// user-level copy holding Hidden=true, as the autostart specification prescribes.
class XdgAutostartLoginItem final : public LoginItem {
public:
    XdgAutostartLoginItem(QString executablePath,
                          const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment());

    bool isEnabled() const override;
    bool registerItem() override;
    bool unregisterItem() override;

    QString userEntryPath() const;

    // The Exec= value that starts `program` with no arguments, quoted and escaped for a desktop file.
    static QString execValue(const QString& program);

private:
    QString m_executablePath;
    QString m_configHome;
    QStringList m_configDirs;
};

} // namespace rubbly
