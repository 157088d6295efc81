#pragma once

#include <QByteArray>
#include <QUrl>

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
    // Where the user can let us read the Trash: the folder holding the unreadable home trash, or in a
    // sandbox the desktop's application permissions.
    virtual bool openFullDiskAccessSettings() = 0;
};

} // namespace rubbly
