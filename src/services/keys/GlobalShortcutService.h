#pragma once

#include "KeyGrabber.h"

#include <QObject>
#include <QPointer>

namespace rubbly {

// Alt+Shift+BackSpace from anywhere: a system-wide grab through a KeyGrabber, plus the presses the
// application's own key filter sees inside our windows. `triggered` is always emitted in a later
// event-loop turn, after the key event has been handled. Lives on the GUI thread.
class GlobalShortcutService final : public QObject {
    Q_OBJECT
public:
    // `grabber` may be null (no way to grab in this session); it is not owned.
    explicit GlobalShortcutService(KeyGrabber* grabber, QObject* parent = nullptr);
    ~GlobalShortcutService() override;

    // Starts watching. A service that is already started keeps its grab as it is: asking a portal
    // or the X server again would only race with the grab that is already there.
    void start();
    void stop();
    bool isStarted() const { return m_started; }
    // What the settings pane can show: the grab's state, or Unavailable without a grabber.
    KeyGrabber::Status status() const;
    // The grabber's detail() and anonymous(), see there.
    QString statusDetail() const { return m_grabber ? m_grabber->detail() : QString(); }
    bool anonymous() const { return m_grabber && m_grabber->anonymous(); }

    // The combination was pressed inside one of our windows; counts only while started.
    void handleLocalPress();

Q_SIGNALS:
    void triggered();
    void statusChanged();

private:
    void fire();

    QPointer<KeyGrabber> m_grabber;
    bool m_started = false;
};

} // namespace rubbly
