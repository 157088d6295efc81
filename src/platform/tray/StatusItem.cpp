#include "StatusItem.h"

#include <QCoreApplication>

namespace rubbly {

QList<StatusMenuEntry> statusMenuEntries()
{
    using Action = StatusItem::MenuAction;
    // Translated each time the menu is built, in the interface's language.
    return {
        {false, Action::OpenPanel, QCoreApplication::translate("Tray", "Open Panel")},
        {false, Action::EmptyTrash, QCoreApplication::translate("Tray", "Empty Trash…")},
        {false, Action::Settings, QCoreApplication::translate("Tray", "Settings…")},
        {true, Action::OpenPanel, QString()},
        {false, Action::Quit, QCoreApplication::translate("Tray", "Quit Rubbly")},
    };
}

} // namespace rubbly
