#pragma once

#include <QString>

// Every key of the defaults file, in one place: a key renamed here loses what users stored under
// the old name, so these never change. (The "Binwell." keys keep the name the records and the
// snapshot were first stored under.)
namespace rubbly {

// Each setting is stored under this prefix plus its property name ("Rubbly.hideInDock").
inline const QString kSettingsKeyPrefix = QStringLiteral("Rubbly.");
// When the latest update check started.
inline const QString kLastUpdateCheckDateKey = QStringLiteral("Rubbly.LastUpdateCheckDate");
// The last emptying of the Trash and the last slim purge (CleaningRecord data).
inline const QString kLastCleaningRecordKey = QStringLiteral("Binwell.lastCleaningRecord");
inline const QString kLastSlimCleaningRecordKey = QStringLiteral("Binwell.lastSlimCleaningRecord");
// Where the last slim scan's result used to be kept (DiskSlimSnapshot JSON). It has a file of its own
// in the cache folder now, so no scan can make the settings file too large to read; a value still
// found here moves there once and the key is removed.
inline const QString kDiskSlimSnapshotKey = QStringLiteral("Binwell.DiskSlimSnapshot.v9");

} // namespace rubbly
