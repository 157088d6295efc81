#pragma once

#include "Result.h"
#include "TrashStatus.h"

#include <QByteArray>
#include <QString>

namespace rubbly {

enum class TrashServiceError {
    TrashURLUnavailable, // no trash folder could be located at all
    PermissionDenied,    // no trash folder could be listed, and at least one refused for lack of permission
    FileSystem,          // any other failure; `message` says what
};

struct TrashError {
    TrashServiceError kind = TrashServiceError::FileSystem;
    // errno of the failure, when there was one.
    int errorCode = 0;
    // For the log and the command line; the interface picks its own words from `kind`.
    QString message;

    bool operator==(const TrashError&) const = default;
};

struct TrashCleanupResult {
    int removedCount = 0;
    qint64 freedBytes = 0;
    int failedCount = 0;

    bool operator==(const TrashCleanupResult&) const = default;
};

using TrashStatusResult = Result<TrashStatus, TrashError>;
using TrashCleanupOutcome = Result<TrashCleanupResult, TrashError>;
using TrashPutResult = Result<Done, TrashError>;

} // namespace rubbly
