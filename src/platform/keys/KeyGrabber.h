#pragma once

#include <QObject>

namespace rubbly {

// A system-wide hot key for Alt+Shift+BackSpace, whichever window has the focus.
class KeyGrabber : public QObject {
    Q_OBJECT
public:
    enum class Status {
        Inactive,    // not started, or stopped
        Active,      // the combination is ours
        Conflict,    // another program holds the combination
        Unavailable, // this session offers no way to grab keys
    };
    Q_ENUM(Status)

    using QObject::QObject;

    // Takes the combination; any earlier grab of ours is released first, so exactly one set exists.
    virtual void start() = 0;
    virtual void stop() = 0;
    virtual Status status() const = 0;

Q_SIGNALS:
    // The combination was pressed (delivered on the grabber's thread, from its event loop).
    void activated();
    void statusChanged();
};

} // namespace rubbly
