#pragma once

#include "Timestamp.h"
#include "UpdateTypes.h"

#include <QObject>

#include <QCoroTask>

#include <optional>

namespace rubbly {

// What the view model and the About pane need of the self-updater; tests fake it. One instance lives
// for the whole process on the GUI thread.
class UpdateServicing : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    virtual const UpdateStatus& status() const = 0;
    // When the latest check started (successful or not), if any ever did.
    virtual std::optional<Timestamp> lastCheckDate() const = 0;

    // manual false: the silent background check, at most once a day, failures not shown.
    virtual QCoro::Task<void> checkForUpdates(bool manual) = 0;
    // Starts downloading and unpacking `info`'s archive; the status follows. The task completes when
    // the status has left Downloading; callers need not await it.
    virtual QCoro::Task<void> downloadUpdate(UpdateInfo info) = 0;
    // Replaces the running application folder with `newAppPath` through a relaunch script and asks the
    // application to quit; true when that happened. False when the program is not a replaceable
    // application folder or the script could not be started: the new version is then started from
    // where it was unpacked and this process keeps running.
    virtual bool installAndRelaunch(const QByteArray& newAppPath) = 0;

Q_SIGNALS:
    void statusChanged();
    void lastCheckDateChanged();
};

} // namespace rubbly
