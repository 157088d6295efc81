#pragma once

#include "Actor.h"

#include <QObject>
#include <QProcessEnvironment>
#include <QSet>
#include <QStringList>

#include <QCoroTask>

#include <optional>

namespace rubbly {

// Which applications are installed, as desktop-file ids ("firefox", "org.mozilla.firefox"): the
// .desktop files in $XDG_DATA_HOME/applications, each $XDG_DATA_DIRS/applications and the Flatpak
// export folders. The answer is kept until a caller asks for a refresh. Use from one thread.
class InstalledAppDetector final : public QObject {
    Q_OBJECT
public:
    explicit InstalledAppDetector(const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment(),
                                  QObject* parent = nullptr);

    // The cached set, or a fresh one when there is none yet or `forceRefresh` is set.
    QCoro::Task<QSet<QString>> installedBundleIDs(bool forceRefresh);

    // Reads the folders now; unreadable ones are skipped silently. Sub-folders give ids joined with
    // '-' ("kde4/okular.desktop" is "kde4-okular"), as the desktop-entry specification says.
    static QSet<QString> scanFolders(const QStringList& folders);
    // The desktop-file id of a file found at `relativePath` below an applications folder, or empty
    // when it names no application: not a "*.desktop" name, nested deeper than three folders, or
    // nothing left of the name.
    static QString desktopFileId(const QString& relativePath);

private:
    QStringList m_folders;
    std::optional<QSet<QString>> m_cached;
    Actor m_actor;
};

} // namespace rubbly
