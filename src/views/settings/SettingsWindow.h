#pragma once

#include <QObject>
#include <QPointer>

#include <functional>

namespace rubbly {

class SettingsView;

// Opens the one settings window: created on first use, raised and focused on every later call.
class SettingsWindow final : public QObject {
    Q_OBJECT
public:
    explicit SettingsWindow(std::function<SettingsView*()> create, QObject* parent = nullptr);
    ~SettingsWindow() override;
    SettingsView* open();
    SettingsView* view() const { return m_view; }

Q_SIGNALS:
    // A new window was made (the taskbar policy takes it from here).
    void created(SettingsView* view);

private:
    std::function<SettingsView*()> m_create;
    QPointer<SettingsView> m_view;
};

} // namespace rubbly
