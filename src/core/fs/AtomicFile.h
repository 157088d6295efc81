#pragma once

#include "Result.h"

#include <QByteArray>
#include <QString>

#include <sys/types.h>

namespace rubbly::fs {

// Whether a replacement waits for the disk. A cache that is rebuilt when it is missing or does not
// parse needs none of it: after a crash it is the old file, the new one, or one its reader rejects.
enum class Durability { Flushed, CacheOnly };

// Replaces the file `name` in the folder `dirFd` with `content`, as a whole or not at all.
//
// The bytes go to a new file beside it (O_EXCL, never through a link), every write is checked, the
// data is flushed to the disk (unless `durability` says not to) and the file closed; only then is it
// renamed over the old one. A full disk, a quota or an I/O error therefore leaves the old file byte
// for byte as it was (QSaveFile's buffered write reports ENOSPC only inside commit(), after which an
// empty file used to replace ours). The new file keeps the mode of the file it replaces, so a user's
// chmod survives; `newMode` applies only when there was none. The error is a sentence naming the
// file and the cause.
Result<Done, QString> replaceFileAt(int dirFd, const QByteArray& name, const QByteArray& content, mode_t newMode,
                                    Durability durability = Durability::Flushed);

// The same for a path; the folder is opened without following a link in its last component.
Result<Done, QString> replaceFile(const QByteArray& path, const QByteArray& content, mode_t newMode,
                                  Durability durability = Durability::Flushed);

} // namespace rubbly::fs
