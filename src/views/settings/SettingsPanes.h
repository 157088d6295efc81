#pragma once

#include <functional>

#include "KeyGrabber.h"
#include "SettingsForm.h"

namespace rubbly {

class GlobalShortcutService;
class TrashAccessReport;
class SettingsService;
class Workspace;

// The six form panes of the settings window. Every control reads and writes the settings store at
// once; there is nothing to apply or cancel.

class GeneralSettingsView final : public FormPane {
    Q_OBJECT
public:
    explicit GeneralSettingsView(SettingsService& settings, QWidget* parent = nullptr);
};

// The Tray pane: what the tray item shows beside its icon (the Trash's size, or nothing when it is
// empty) and whether the icon fills with the Trash.
class TraySettingsView final : public FormPane {
    Q_OBJECT
public:
    // With `addSizeToPanel`, a button that puts the size item into the desktop's own panel.
    explicit TraySettingsView(SettingsService& settings, std::function<QString()> addSizeToPanel = {},
                              QWidget* parent = nullptr);
};

// Turning the confirmation off for the first time ever asks the window to warn once.
class CleaningSettingsView final : public FormPane {
    Q_OBJECT
public:
    explicit CleaningSettingsView(SettingsService& settings, QWidget* parent = nullptr);

Q_SIGNALS:
    void confirmOffWarningRequested();
};

// The rule sections, and each rule's detail rows, exist only while their switches are on.
class AutomationSettingsView final : public FormPane {
    Q_OBJECT
public:
    explicit AutomationSettingsView(SettingsService& settings, QWidget* parent = nullptr);
};

class InteractionSettingsView final : public FormPane {
    Q_OBJECT
public:
    // `wayland`: the session is Wayland, where only the desktop can bind a global key for us.
    // `desktops`: XDG_CURRENT_DESKTOP's names, to name the desktop's own keyboard settings.
    InteractionSettingsView(SettingsService& settings, GlobalShortcutService& shortcut, bool wayland,
                            QStringList desktops = {}, QWidget* parent = nullptr);
};

// Checks the trash folders each time it shows and on "Check again": the first problem with the command
// that mends it, or that all is well.
class PermissionsSettingsView final : public FormPane {
    Q_OBJECT
public:
    explicit PermissionsSettingsView(Workspace& workspace, QWidget* parent = nullptr);
    TrashAccessReport* report() const { return m_report; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    TrashAccessReport* m_report;
};

// What the desktop made of the shortcut: the grabber's status(), detail() and anonymous().
struct ShortcutReport {
    KeyGrabber::Status status = KeyGrabber::Status::Inactive;
    QString detail;
    bool anonymous = false;
};

// Where the user binds a command to a key: the keyboard settings of the desktop in `desktops`.
QString keyboardSettingsName(const QStringList& desktops);
// What the shortcut can do on this desktop, for the line under its switch; empty while it is off.
QString shortcutStatusText(bool enabled, const ShortcutReport& report, bool wayland, const QStringList& desktops);

} // namespace rubbly
