#pragma once

#include "KeyGrabber.h"

#include <QObject>
#include <QPointer>

#include <functional>

namespace rubbly {

// Empties the Trash on Alt+Shift+BackSpace from anywhere: a system-wide grab through a KeyGrabber,
// and inside our own windows an application event filter that swallows the combination so it never
// reaches the focused widget. The trigger always runs later on the GUI thread, after the key event
// has been handled. Lives on the GUI thread.
class GlobalShortcutService final : public QObject {
    Q_OBJECT
public:
    // `grabber` may be null (no way to grab in this session); it is not owned.
    explicit GlobalShortcutService(KeyGrabber* grabber, QObject* parent = nullptr);
    ~GlobalShortcutService() override;

    // Stops any earlier watch, then watches with `onTrigger`.
    void start(std::function<void()> onTrigger);
    void stop();
    bool isStarted() const { return m_started; }
    // What the settings pane can show: the grab's state, or Unavailable without a grabber.
    KeyGrabber::Status status() const;

    bool eventFilter(QObject* watched, QEvent* event) override;

Q_SIGNALS:
    void statusChanged();

private:
    void fire();

    QPointer<KeyGrabber> m_grabber;
    std::function<void()> m_onTrigger;
    bool m_started = false;
};

} // namespace rubbly
