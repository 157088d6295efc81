#pragma once

#include "DiskSlimSnapshot.h"
#include "Result.h"

#include <QByteArray>
#include <QString>

#include <optional>

namespace rubbly {

class DefaultsStore;

// The last slim scan's result lives in a file of its own, $XDG_CACHE_HOME/rubbly/slim-snapshot.json,
// never in the settings file: however much a scan finds, the settings stay readable, and losing the
// file costs one scan. What is written is at most the limit the reader allows.
inline constexpr qint64 kSlimSnapshotFileLimit = 16 * 1024 * 1024;
QByteArray slimSnapshotPath();

// The stored snapshot as a scan would show it now (no credential file offered, the user's own work
// not selected), or nothing when there is none or it does not decode. A snapshot that an earlier
// version kept in the defaults store moves to the file the first time: it is written there and the
// old key removed (also when it no longer decodes: it is nobody's setting).
std::optional<DiskSlimSnapshot> loadSlimSnapshot(DefaultsStore& defaults, const QByteArray& path = slimSnapshotPath());
// Writes the snapshot, its largest sub-items first when all would not fit the limit; on failure the
// previous file stays as it was, and the error names the file and the cause. A snapshot still in
// the defaults store is removed once the file is written.
Result<Done, QString> saveSlimSnapshot(DefaultsStore& defaults, const DiskSlimSnapshot& snapshot,
                                       const QByteArray& path = slimSnapshotPath());

// `snapshot` as a scan would offer it now.
DiskSlimSnapshot offeredNow(DiskSlimSnapshot snapshot);

} // namespace rubbly
