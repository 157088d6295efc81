#pragma once

#include "TrashAccess.h"

#include <QByteArray>
#include <QUrl>

#include <optional>

namespace rubbly {

// The desktop's file manager and URL handlers, as the views use them. Each call only asks the
// desktop; true means something was asked to act, not that a window appeared.
class Workspace {
public:
    virtual ~Workspace() = default;

    // Shows the Trash: the trash:/// location when the desktop has a handler for it, else the home
    // trash's files/ folder.
    virtual bool openTrash() = 0;
    // Shows the folder that holds `path` (exact bytes) with it selected, else opens that folder.
    virtual bool reveal(const QByteArray& path) = 0;
    virtual bool openUrl(const QUrl& url) = 0;
    // Opens the folder `path` (exact bytes) in the file manager.
    virtual bool openFolder(const QByteArray& path) = 0;
    // Puts `text` on the clipboard.
    virtual bool copyText(const QString& text) = 0;
    // The first trash folder of this session that the program cannot read or empty (checkTrashAccess),
    // or none. A few stats; nothing is changed.
    virtual std::optional<TrashAccessProblem> checkTrashAccess() = 0;
    // The user's home folder, for paths as the user reads them.
    virtual QByteArray homeFolder() const = 0;
};

} // namespace rubbly
