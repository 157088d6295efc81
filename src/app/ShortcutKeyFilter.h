#pragma once

#include <QObject>

namespace rubbly {

class GlobalShortcutService;

// Inside our own windows the X grab and the portal do not see the combination (the focused window
// gets the key first), so an application-wide event filter claims Alt+Shift+BackSpace while the
// shortcut is on, swallows it before any widget, and hands it to the service.
class ShortcutKeyFilter final : public QObject {
    Q_OBJECT
public:
    // Installs itself on the application; `service` must outlive it.
    explicit ShortcutKeyFilter(GlobalShortcutService& service, QObject* parent = nullptr);
    ~ShortcutKeyFilter() override;

    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    GlobalShortcutService& m_service;
};

} // namespace rubbly
