#pragma once

#include <QObject>

namespace rubbly {

// A system-wide hot key for Alt+Shift+BackSpace, whichever window has the focus.
class KeyGrabber : public QObject {
    Q_OBJECT
public:
    enum class Status {
        Inactive,         // not started, or stopped, or still asking
        Active,           // the combination is ours
        Conflict,         // another program holds the combination (as the desktop said)
        Unavailable,      // this session offers no way to grab keys
        Waiting,          // the desktop asks the user (a dialog of its own); no deadline
        RefusedByUser,    // the user declined in the desktop's dialog
        RefusedByDesktop, // the desktop declined without asking; detail() holds its reason when known
    };
    Q_ENUM(Status)

    using QObject::QObject;

    // Takes the combination; any earlier grab of ours is released first, so exactly one set exists.
    virtual void start() = 0;
    virtual void stop() = 0;
    virtual Status status() const = 0;
    // Active: the desktop's own text for the trigger it bound ("Shift+Alt+BackSpace"), when it gave one.
    // RefusedByDesktop: the desktop's reason, when it gave one. Otherwise empty.
    virtual QString detail() const { return {}; }
    // The desktop cannot tell which application is asking (no registered id, no launcher's unit):
    // desktops that ask the user refuse such callers.
    virtual bool anonymous() const { return false; }

Q_SIGNALS:
    // The combination was pressed (delivered on the grabber's thread, from its event loop).
    void activated();
    void statusChanged();
};

} // namespace rubbly
