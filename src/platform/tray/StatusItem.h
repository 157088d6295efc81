#pragma once

#include <QList>
#include <QObject>
#include <QPoint>
#include <QString>

namespace rubbly {

// The program's item in the panel's status area: an icon, the short label text beside it, a click
// that toggles the panel and a small menu. Backends: our own StatusNotifierItem over D-Bus, the
// XEmbed tray through Qt, and the chooser that owns both and reports which of them shows the item.
class StatusItem : public QObject {
    Q_OBJECT
public:
    // The menu's entries, in menu order.
    enum class MenuAction {
        OpenPanel,  // "Open Panel": GNOME opens the menu on a single click, so the panel must be reachable here
        EmptyTrash, // "Empty Trash…": the panel's own empty action, so its confirmation setting holds
        Settings,   // "Settings…": the settings window
        Quit,       // "Quit Rubbly"
    };
    Q_ENUM(MenuAction)

    using QObject::QObject;

    // The text beside the icon; empty shows the icon alone. It is also the item's tooltip.
    virtual void setLabel(const QString& text) = 0;
    virtual QString label() const = 0;
    // True while a host shows the item.
    virtual bool isShown() const = 0;
    // False while the backend has not yet learnt whether a host shows the item (a registration is on
    // its way); shownChanged() follows once it knows, even when the answer is "not shown".
    virtual bool isSettled() const { return true; }

Q_SIGNALS:
    void shownChanged();
    // A primary click on the item, or a host's Activate(x, y). `position` is what the host sent,
    // which is not always screen coordinates (some hosts send item-relative ones); `hasPosition` is
    // false when the backend has none.
    void activated(QPoint position, bool hasPosition);
    void menuActionTriggered(rubbly::StatusItem::MenuAction action);
};

// One entry of the item's menu: an action with its text, or a separator.
struct StatusMenuEntry {
    bool separator = false;
    StatusItem::MenuAction action = StatusItem::MenuAction::OpenPanel;
    QString text;
};

// The menu every backend shows, in order: the four actions with the separator before "Quit Rubbly".
QList<StatusMenuEntry> statusMenuEntries();

} // namespace rubbly
